#include "platform/dib_reader.h"

#include <QIODevice>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <utility>

namespace dib {
namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kCoreSize = 12;      // OS/2 1.x: 16-bit sizes, 3-byte palette entries
constexpr int kOs2ShortSize = 16;  // OS/2 2.x with only the leading fields
constexpr int kInfoSize = 40;
constexpr int kV2Size = 52;  // + red, green, blue masks
constexpr int kV3Size = 56;  // + alpha mask
constexpr int kOs2Size = 64;
constexpr int kV4Size = 108;
constexpr int kV5Size = 124;
constexpr int kAlphaBitFields = 6;  // four masks; Qt's reader only knows the three-mask kind

// A truncated uncompressed bitmap must hold at least this share (1/n) of its rows.
constexpr int kMinRowsPresentShare = 16;
// Palettes longer than this cannot index anything; Qt's reader refuses them too.
constexpr quint32 kMaxPaletteEntries = 256;
// An unused palette in front of 16/24/32-bit pixels: any real one is small.
constexpr quint32 kMaxUnusedPaletteEntries = 65536;

quint16 U16(const char* p) { return qFromLittleEndian<quint16>(p); }
quint32 U32(const char* p) { return qFromLittleEndian<quint32>(p); }
qint32 I32(const char* p) { return qFromLittleEndian<qint32>(p); }

bool KnownInfoSize(quint32 size) {
  switch (size) {
    case kCoreSize:
    case kOs2ShortSize:
    case kInfoSize:
    case kV2Size:
    case kV3Size:
    case kOs2Size:
    case kV4Size:
    case kV5Size:
      return true;
    default:
      return false;
  }
}

bool KnownDepth(int bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

bool ReadExactly(QIODevice& device, char* data, qint64 size) { return device.read(data, size) == size; }

// Serves `prefix` followed by `body` from `bodyStart` on, as one random-access device, without copying the
// body. Unbuffered, so that its position is always the one readData() works from.
class PrefixedDevice final : public QIODevice {
 public:
  PrefixedDevice(QByteArray prefix, QIODevice& body, qint64 bodyStart)
      : prefix_(std::move(prefix)), body_(body), bodyStart_(bodyStart) {
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
  }

  bool isSequential() const override { return false; }
  qint64 size() const override { return prefix_.size() + std::max<qint64>(0, body_.size() - bodyStart_); }
  bool seek(qint64 pos) override {
    if (!QIODevice::seek(pos)) return false;
    pos_ = pos;
    return true;
  }

 protected:
  qint64 readData(char* data, qint64 maxSize) override {
    qint64 done = 0;
    if (pos_ < prefix_.size()) {
      done = std::min<qint64>(maxSize, prefix_.size() - pos_);
      std::memcpy(data, prefix_.constData() + pos_, size_t(done));
      pos_ += done;
    }
    if (done < maxSize) {
      const qint64 bodyPos = bodyStart_ + (pos_ - prefix_.size());
      if (bodyPos >= body_.size()) return done;
      if (body_.pos() != bodyPos && !body_.seek(bodyPos)) return done;
      const qint64 got = body_.read(data + done, maxSize - done);
      if (got > 0) {
        done += got;
        pos_ += got;
      }
    }
    return done;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  QByteArray prefix_;
  QIODevice& body_;
  qint64 bodyStart_ = 0;
  qint64 pos_ = 0;
};

// The top 8 bits of a wider channel mask: all that a 32-bit pixel can show, and all the reader copes with.
quint32 NarrowMask(quint32 mask) {
  if (!mask) return 0;
  const int low = std::countr_zero(mask), high = 31 - std::countl_zero(mask);
  if (high - low < 8) return mask;
  return quint32(mask & (quint64(0xff) << (high - 7)));
}

int MaskWidth(quint32 mask) { return mask ? 32 - std::countl_zero(mask) - std::countr_zero(mask) : 0; }

// Qt 6.4 widens a channel of fewer than 8 bits by shifting it up, so a 5-bit white comes out as 248; repeat
// its bits downwards instead. A no-op where the reader already did so.
void WidenNarrowChannels(QImage& image, const std::array<quint32, 4>& masks) {
  if (image.depth() != 32) return;
  std::array<std::array<uchar, 256>, 4> tables{};
  bool any = false;
  for (size_t c = 0; c < 4; ++c) {
    const int width = c == 3 && !image.hasAlphaChannel() ? 0 : MaskWidth(masks[c]);
    for (int v = 0; v < 256; ++v) {
      int widened = v;
      for (int filled = width; filled > 0 && filled < 8; filled *= 2) widened |= widened >> filled;
      tables[c][size_t(v)] = uchar(widened);
    }
    any = any || (width > 0 && width < 8);
  }
  if (!any) return;
  for (int y = 0; y < image.height(); ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = line[x];
      line[x] = qRgba(tables[0][size_t(qRed(p))], tables[1][size_t(qGreen(p))], tables[2][size_t(qBlue(p))],
                      tables[3][size_t(qAlpha(p))]);
    }
  }
}

QByteArray FileHeader(quint32 pixelOffset) {
  QByteArray header(kFileHeaderSize, '\0');
  header[0] = 'B';
  header[1] = 'M';
  // bfSize stays 0: readers do not use it.
  qToLittleEndian<quint32>(pixelOffset, header.data() + 10);
  return header;
}

// A 108-byte header carrying the fields of a 40-byte one, the compression given and the masks given.
QByteArray V4Header(const QByteArray& info40, int compression, const quint32 (&masks)[4]) {
  QByteArray header(kV4Size, '\0');
  std::memcpy(header.data(), info40.constData(), kInfoSize);
  qToLittleEndian<quint32>(kV4Size, header.data());
  qToLittleEndian<quint32>(quint32(compression), header.data() + 16);
  for (int i = 0; i < 4; ++i) qToLittleEndian<quint32>(masks[i], header.data() + 40 + 4 * i);
  return header;
}

}  // namespace

bool LooksLikeInfoHeader(const QByteArray& head) {
  if (head.size() < kOs2ShortSize) return false;
  const char* p = head.constData();
  const quint32 size = U32(p);
  if (!KnownInfoSize(size)) return false;
  const int planesAt = size == kCoreSize ? 8 : 12;
  return U16(p + planesAt) == 1 && KnownDepth(U16(p + planesAt + 2));
}

std::optional<Header> ReadHeader(QIODevice& device, bool hasFileHeader) {
  if (!device.seek(0)) return std::nullopt;
  Header h;
  h.hasFileHeader = hasFileHeader;
  const qint64 start = hasFileHeader ? kFileHeaderSize : 0;

  quint32 fileOffset = 0;
  if (hasFileHeader) {
    char file[kFileHeaderSize];
    if (!ReadExactly(device, file, kFileHeaderSize) || file[0] != 'B' || file[1] != 'M') return std::nullopt;
    fileOffset = U32(file + 10);
  }

  char sizeField[4];
  if (!ReadExactly(device, sizeField, 4)) return std::nullopt;
  const quint32 infoSize = U32(sizeField);
  if (!KnownInfoSize(infoSize)) return std::nullopt;
  QByteArray info(int(infoSize), '\0');
  std::memcpy(info.data(), sizeField, 4);
  if (!ReadExactly(device, info.data() + 4, infoSize - 4)) return std::nullopt;
  const char* p = info.constData();

  h.infoSize = int(infoSize);
  int planes = 0;
  if (infoSize == kCoreSize) {
    // Qt's reader takes these as signed 16-bit; beyond 32767 it would misread them.
    const quint16 w = U16(p + 4), hh = U16(p + 6);
    if (w > 32767 || hh > 32767) return std::nullopt;
    h.width = w;
    h.height = hh;
    planes = U16(p + 8);
    h.bitCount = U16(p + 10);
  } else {
    h.width = I32(p + 4);
    h.height = I32(p + 8);
    planes = U16(p + 12);
    h.bitCount = U16(p + 14);
    if (infoSize > kOs2ShortSize) {
      h.compression = int(std::min<quint32>(U32(p + 16), 255));
      h.colorsUsed = U32(p + 32);
    }
  }
  if (planes != 1 || !KnownDepth(h.bitCount)) return std::nullopt;
  if (h.width <= 0 || h.height == 0 || h.height == std::numeric_limits<qint32>::min()) return std::nullopt;

  const bool bitFields = h.compression == kBitFields || h.compression == kAlphaBitFields;
  const bool compressionFits = h.compression == kRgb || (h.compression == kRle8 && h.bitCount == 8) ||
                               (h.compression == kRle4 && h.bitCount == 4) ||
                               (bitFields && (h.bitCount == 16 || h.bitCount == 32));
  if (!compressionFits) return std::nullopt;
  // OS/2 2.x numbers its compressions differently (3 is Huffman, 4 is RLE24): only plain pixels there.
  if (infoSize == kOs2Size && h.compression != kRgb && h.compression != kRle8 && h.compression != kRle4)
    return std::nullopt;

  const bool indexed = h.bitCount <= 8;
  if (indexed) {
    const quint32 entries = h.colorsUsed ? h.colorsUsed : (1u << h.bitCount);
    if (entries > kMaxPaletteEntries) return std::nullopt;
  } else if (h.colorsUsed > kMaxUnusedPaletteEntries) {
    return std::nullopt;
  }

  // What Qt's reader gets to see, and how many bytes of the original that replaces.
  qint64 consumed = infoSize;
  if (infoSize == kOs2ShortSize) {
    QByteArray widened(kInfoSize, '\0');
    std::memcpy(widened.data(), p, kOs2ShortSize);
    qToLittleEndian<quint32>(kInfoSize, widened.data());
    h.info = widened;
  } else if (bitFields) {
    // Every bit-field bitmap reaches the reader with its masks inside a 108- or 124-byte header, each mask at
    // most 8 bits wide: Qt 6.4 turns wider channels black, and knows neither the four-mask compression nor
    // the 52- and 56-byte headers.
    quint32 masks[4] = {0, 0, 0, 0};
    if (infoSize >= kV2Size) {
      for (int i = 0; i < (infoSize == kV2Size ? 3 : 4); ++i) masks[i] = U32(p + 40 + 4 * i);
    } else {
      const int count = h.compression == kAlphaBitFields ? 4 : 3;
      char maskBytes[16];
      if (!ReadExactly(device, maskBytes, 4 * count)) return std::nullopt;
      for (int i = 0; i < count; ++i) masks[i] = U32(maskBytes + 4 * i);
      consumed += 4 * count;
    }
    for (int i = 0; i < 4; ++i) h.masks[size_t(i)] = masks[i] = NarrowMask(masks[i]);
    if (infoSize >= kV4Size) {
      h.info = info;
      qToLittleEndian<quint32>(kBitFields, h.info.data() + 16);
      for (int i = 0; i < 4; ++i) qToLittleEndian<quint32>(masks[i], h.info.data() + 40 + 4 * i);
    } else {
      h.info = V4Header(info, kBitFields, masks);
    }
    h.compression = kBitFields;
  } else if (infoSize == kV2Size || infoSize == kV3Size) {
    // Masks mean nothing for plain pixels; leaving them would make the reader take an alpha mask as real.
    h.info = V4Header(info, h.compression, {0, 0, 0, 0});
  } else {
    h.info = info;
  }
  if (h.compression == kRgb && h.bitCount == 16) h.masks = {0x7c00, 0x03e0, 0x001f, 0};
  h.replacedBytes = int(consumed);
  h.rewritten = h.info != QByteArray(p, int(infoSize)) || consumed != infoSize;

  // Where the pixels start in the original, the way Qt's reader finds them: after the palette it reads, or
  // further on when the file header says so.
  const qint64 paletteBytes =
      indexed ? qint64(h.colorsUsed ? h.colorsUsed : (1u << h.bitCount)) * (infoSize == kCoreSize ? 3 : 4)
              : 0;
  const qint64 afterTables = start + consumed + paletteBytes;
  if (hasFileHeader)
    h.pixelOffset = fileOffset > afterTables ? fileOffset : afterTables;
  else
    h.pixelOffset = afterTables + (indexed ? 0 : qint64(h.colorsUsed) * 4);
  if (h.pixelOffset - start - consumed + kFileHeaderSize + h.info.size() >
      qint64(std::numeric_limits<quint32>::max()))
    return std::nullopt;
  return h;
}

QImage Read(QIODevice& device, const Header& header) {
  const qint64 start = header.hasFileHeader ? kFileHeaderSize : 0;

  const qint64 available = device.size() - header.pixelOffset;
  if (available <= 0) return QImage();
  // Rows of an uncompressed bitmap that the device really holds. A cut-off file still shows what it has, but
  // a few rows under a header claiming thousands more is a corrupt header, not a picture worth a huge
  // allocation.
  const bool uncompressed = header.compression == kRgb || header.compression == kBitFields;
  const int rows = header.size().height();
  int rowsPresent = rows;
  if (uncompressed) {
    rowsPresent = int(std::min<qint64>(rows, available / header.stride()));
    if (rowsPresent == 0 || rowsPresent < rows / kMinRowsPresentShare) return QImage();
  }

  QImage image;
  if (header.hasFileHeader && !header.rewritten) {
    if (!device.seek(0)) return QImage();
    QImageReader reader(&device, "bmp");
    reader.setAutoDetectImageFormat(false);
    image = reader.read();
  } else {
    // A file header and the prepared info header in front of the rest, which follows as stored.
    const qint64 pixelOffset =
        header.pixelOffset - start - header.replacedBytes + kFileHeaderSize + header.info.size();
    PrefixedDevice prefixed(FileHeader(quint32(pixelOffset)) + header.info, device,
                            start + header.replacedBytes);
    QImageReader reader(&prefixed, "bmp");
    reader.setAutoDetectImageFormat(false);
    image = reader.read();
  }
  if (image.isNull() || image.size() != header.size()) return QImage();

  WidenNarrowChannels(image, header.masks);
  if (rowsPresent < rows) {
    // The reader fills rows from the bottom of the stored order and leaves the others as allocated.
    const bool topDown = header.height < 0;
    const int first = topDown ? rowsPresent : 0;
    const int last = topDown ? rows : rows - rowsPresent;
    for (int y = first; y < last; ++y) {
      uchar* line = image.scanLine(y);
      if (image.depth() == 32) {
        const QRgb fill = image.format() == QImage::Format_RGB32 ? 0xff000000u : 0u;
        std::fill_n(reinterpret_cast<QRgb*>(line), image.width(), fill);
      } else {
        std::memset(line, 0, size_t(image.bytesPerLine()));
      }
    }
  }
  return image;
}

}  // namespace dib
