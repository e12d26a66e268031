#include "pictures/dib_reader.h"

#include <QIODevice>
#include <QImageReader>
#include <QtEndian>

#include <QColorSpace>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

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
constexpr int kAlphaBitFields = 6;                // four masks; Qt's reader only knows the three-mask kind
constexpr quint32 kEmbeddedProfile = 0x4D424544;  // 'MBED': a V5 header's colour profile is in the file
// Real colour profiles are a few kilobytes, rarely a megabyte.
constexpr qint64 kMaxProfileBytes = 4 * 1024 * 1024;

// A truncated uncompressed bitmap must hold at least this share (1/n) of its rows.
constexpr int kMinRowsPresentShare = 16;
// An unused palette in front of 16/24/32-bit pixels: any real one is small.
constexpr quint32 kMaxUnusedPaletteEntries = 65536;

quint16 u16(const char* p) { return qFromLittleEndian<quint16>(p); }
quint32 u32(const char* p) { return qFromLittleEndian<quint32>(p); }
qint32 i32(const char* p) { return qFromLittleEndian<qint32>(p); }

bool knownInfoSize(quint32 size) {
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

bool knownDepth(int bits) {
  return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32 ||
         bits == 64;
}

bool readExactly(QIODevice& device, char* data, qint64 size) { return device.read(data, size) == size; }

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
quint32 narrowMask(quint32 mask) {
  if (!mask) return 0;
  const int low = std::countr_zero(mask), high = 31 - std::countl_zero(mask);
  if (high - low < 8) return mask;
  return quint32(mask & (quint64(0xff) << (high - 7)));
}

int maskWidth(quint32 mask) { return mask ? 32 - std::countl_zero(mask) - std::countr_zero(mask) : 0; }

// Qt 6.4 widens a channel of fewer than 8 bits by shifting it up, so a 5-bit white comes out as 248; repeat
// its bits downwards instead. A no-op where the reader already did so.
void widenNarrowChannels(QImage& image, const std::array<quint32, 4>& masks) {
  if (image.depth() != 32) return;
  std::array<std::array<uchar, 256>, 4> tables{};
  bool any = false;
  for (size_t c = 0; c < 4; ++c) {
    const int width = c == 3 && !image.hasAlphaChannel() ? 0 : maskWidth(masks[c]);
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

QByteArray fileHeader(quint32 pixelOffset) {
  QByteArray header(kFileHeaderSize, '\0');
  header[0] = 'B';
  header[1] = 'M';
  // bfSize stays 0: readers do not use it.
  qToLittleEndian<quint32>(pixelOffset, header.data() + 10);
  return header;
}

// A 108-byte header carrying the fields of a 40-byte one, the compression given and the masks given.
QByteArray v4Header(const QByteArray& info40, int compression, const quint32 (&masks)[4]) {
  QByteArray header(kV4Size, '\0');
  std::memcpy(header.data(), info40.constData(), kInfoSize);
  qToLittleEndian<quint32>(kV4Size, header.data());
  qToLittleEndian<quint32>(quint32(compression), header.data() + 16);
  for (int i = 0; i < 4; ++i) qToLittleEndian<quint32>(masks[i], header.data() + 40 + 4 * i);
  return header;
}

}  // namespace

bool looksLikeInfoHeader(const QByteArray& head) {
  if (head.size() < kOs2ShortSize) return false;
  const char* p = head.constData();
  const quint32 size = u32(p);
  if (!knownInfoSize(size)) return false;
  const int planesAt = size == kCoreSize ? 8 : 12;
  return u16(p + planesAt) == 1 && knownDepth(u16(p + planesAt + 2));
}

std::optional<Header> readHeader(QIODevice& device, bool hasFileHeader) {
  if (!device.seek(0)) return std::nullopt;
  Header h;
  h.hasFileHeader = hasFileHeader;
  const qint64 start = hasFileHeader ? kFileHeaderSize : 0;

  quint32 fileOffset = 0;
  if (hasFileHeader) {
    char file[kFileHeaderSize];
    if (!readExactly(device, file, kFileHeaderSize) || file[0] != 'B' || file[1] != 'M') return std::nullopt;
    fileOffset = u32(file + 10);
  }

  char sizeField[4];
  if (!readExactly(device, sizeField, 4)) return std::nullopt;
  const quint32 infoSize = u32(sizeField);
  if (!knownInfoSize(infoSize)) return std::nullopt;
  QByteArray info(int(infoSize), '\0');
  std::memcpy(info.data(), sizeField, 4);
  if (!readExactly(device, info.data() + 4, infoSize - 4)) return std::nullopt;
  const char* p = info.constData();

  h.infoSize = int(infoSize);
  int planes = 0;
  if (infoSize == kCoreSize) {
    // Qt's reader takes these as signed 16-bit; beyond 32767 it would misread them.
    const quint16 w = u16(p + 4), hh = u16(p + 6);
    if (w > 32767 || hh > 32767) return std::nullopt;
    h.width = w;
    h.height = hh;
    planes = u16(p + 8);
    h.bitCount = u16(p + 10);
  } else {
    h.width = i32(p + 4);
    h.height = i32(p + 8);
    planes = u16(p + 12);
    h.bitCount = u16(p + 14);
    if (infoSize > kOs2ShortSize) {
      h.compression = int(std::min<quint32>(u32(p + 16), 255));
      h.colorsUsed = u32(p + 32);
    }
  }
  if (planes != 1 || !knownDepth(h.bitCount)) return std::nullopt;
  if (h.width <= 0 || h.height == 0 || h.height == std::numeric_limits<qint32>::min()) return std::nullopt;

  // OS/2 2.x numbers its compressions differently: 3 is Huffman 1D, 4 is RLE24, and it has no bit fields.
  if (infoSize == kOs2Size && h.compression == 3) h.compression = kHuffman1D;
  if (infoSize == kOs2Size && h.compression == 4) h.compression = kRle24;
  const bool bitFields = h.compression == kBitFields || h.compression == kAlphaBitFields;
  const bool compressionFits = h.compression == kRgb || (h.compression == kRle8 && h.bitCount == 8) ||
                               (h.compression == kRle4 && h.bitCount == 4) ||
                               (h.compression == kRle24 && h.bitCount == 24) ||
                               (h.compression == kHuffman1D && h.bitCount == 1) ||
                               (bitFields && infoSize != kOs2Size && (h.bitCount == 16 || h.bitCount == 32));
  if (!compressionFits) return std::nullopt;

  const bool indexed = h.bitCount <= 8;
  if (!indexed && h.colorsUsed > kMaxUnusedPaletteEntries) return std::nullopt;

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
      for (int i = 0; i < (infoSize == kV2Size ? 3 : 4); ++i) masks[i] = u32(p + 40 + 4 * i);
    } else {
      const int count = h.compression == kAlphaBitFields ? 4 : 3;
      char maskBytes[16];
      if (!readExactly(device, maskBytes, 4 * count)) return std::nullopt;
      for (int i = 0; i < count; ++i) masks[i] = u32(maskBytes + 4 * i);
      consumed += 4 * count;
    }
    for (int i = 0; i < 4; ++i) h.masks[size_t(i)] = masks[i] = narrowMask(masks[i]);
    if (infoSize >= kV4Size) {
      h.info = info;
      qToLittleEndian<quint32>(kBitFields, h.info.data() + 16);
      for (int i = 0; i < 4; ++i) qToLittleEndian<quint32>(masks[i], h.info.data() + 40 + 4 * i);
    } else {
      h.info = v4Header(info, kBitFields, masks);
    }
    h.compression = kBitFields;
  } else if (infoSize == kV2Size || infoSize == kV3Size) {
    // Masks mean nothing for plain pixels; leaving them would make the reader take an alpha mask as real.
    h.info = v4Header(info, h.compression, {0, 0, 0, 0});
  } else {
    h.info = info;
  }
  if (h.compression == kRgb && h.bitCount == 16) h.masks = {0x7c00, 0x03e0, 0x001f, 0};
  if (infoSize == kV5Size && u32(p + 56) == kEmbeddedProfile) {
    h.profileOffset = start + u32(p + 112);
    h.profileSize = u32(p + 116);
  }
  h.replacedBytes = int(consumed);
  h.rewritten = h.info != QByteArray(p, int(infoSize)) || consumed != infoSize;

  // Where the pixels start: after the palette, or further on when the file header says so. A palette may
  // declare more entries than the pixels can index (only the first ones count), and the headers without a
  // count (OS/2) may hold fewer than the depth's, which only the file header's pixel offset tells.
  const int entrySize = infoSize == kCoreSize ? 3 : 4;
  qint64 declared = indexed ? qint64(h.colorsUsed ? h.colorsUsed : (1u << h.bitCount)) : 0;
  const bool countless = infoSize == kCoreSize || infoSize == kOs2ShortSize;
  if (indexed && countless && hasFileHeader && fileOffset >= start + consumed + entrySize &&
      fileOffset < start + consumed + declared * entrySize)
    declared = (fileOffset - start - consumed) / entrySize;
  const qint64 afterTables = start + consumed + declared * entrySize;
  if (hasFileHeader)
    h.pixelOffset = fileOffset > afterTables ? fileOffset : afterTables;
  else
    h.pixelOffset = afterTables + (indexed ? 0 : qint64(h.colorsUsed) * 4);
  if (h.pixelOffset >= device.size()) return std::nullopt;
  if (indexed) {
    const int entries = int(std::min<qint64>(declared, 1 << h.bitCount));
    QByteArray table(entries * entrySize, '\0');
    if (!device.seek(start + consumed) || !readExactly(device, table.data(), table.size()))
      return std::nullopt;
    for (int i = 0; i < entries; ++i) {
      const uchar* e = reinterpret_cast<const uchar*>(table.constData()) + i * entrySize;
      h.palette.append(qRgb(e[2], e[1], e[0]));
    }
  }
  if (h.pixelOffset - start - consumed + kFileHeaderSize + h.info.size() >
      qint64(std::numeric_limits<quint32>::max()))
    return std::nullopt;
  return h;
}

namespace {

// Reads a device forwards through a buffer of its own, so that walking the pixels byte by byte costs no
// calls into the device. Past the end every byte reads as 0 and `ended()` says so.
class Input {
 public:
  explicit Input(QIODevice& device) : device_(device) {}

  uchar next() {
    if (at_ == size_ && !refill()) return 0;
    return uchar(buffer_[size_t(at_++)]);
  }
  // Whole bytes, or false at the end of the device.
  bool read(uchar* data, qint64 count) {
    while (count > 0) {
      if (at_ == size_ && !refill()) return false;
      const qint64 n = std::min<qint64>(count, size_ - at_);
      std::memcpy(data, buffer_.data() + at_, size_t(n));
      at_ += int(n);
      data += n;
      count -= n;
    }
    return true;
  }
  bool ended() const { return ended_; }

 private:
  bool refill() {
    const qint64 got = ended_ ? 0 : device_.read(buffer_.data(), qint64(buffer_.size()));
    at_ = 0;
    size_ = got > 0 ? int(got) : 0;
    ended_ = size_ == 0;
    return !ended_;
  }

  QIODevice& device_;
  std::array<char, 65536> buffer_{};
  int at_ = 0;
  int size_ = 0;
  bool ended_ = false;
};

// Where the pixels of one stored row (0 = first in the file) go in the image.
int imageRow(const Header& h, int stored) { return h.height < 0 ? stored : h.size().height() - 1 - stored; }

// Palette pictures: one byte an index, palette entry 0 wherever the file says nothing.
QImage paletteImage(const Header& h) {
  QImage image(h.size(), QImage::Format_Indexed8);
  if (image.isNull()) return image;
  image.fill(0);
  QList<QRgb> colors = h.palette;
  if (colors.isEmpty()) colors.append(qRgb(0, 0, 0));
  image.setColorTable(colors);
  return image;
}

QImage uncompressed(Input& in, const Header& h, int rowsPresent) {
  const int w = h.width;
  const bool indexed = h.bitCount <= 8;
  QImage image = indexed ? paletteImage(h) : QImage(h.size(), QImage::Format_ARGB32);
  if (image.isNull()) return image;
  if (!indexed) image.fill(0);
  std::vector<uchar> row(size_t(h.stride()));
  // 64-bit pixels are linear-light fixed point with 1.0 at 8192: channels go through the sRGB curve.
  std::vector<uchar> curve;
  if (h.bitCount == 64) {
    curve.resize(8193);
    for (int v = 0; v <= 8192; ++v) {
      const double linear = v / 8192.0;
      const double encoded = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
      curve[size_t(v)] = uchar(std::lround(std::clamp(encoded, 0.0, 1.0) * 255));
    }
  }
  const auto channel = [&curve](const uchar* p) {
    return curve[size_t(std::clamp<int>(qFromLittleEndian<qint16>(p), 0, 8192))];
  };
  for (int r = 0; r < rowsPresent; ++r) {
    if (!in.read(row.data(), qint64(row.size()))) break;
    uchar* line = image.scanLine(imageRow(h, r));
    if (indexed) {
      const int bits = h.bitCount, perByte = 8 / bits, mask = (1 << bits) - 1;
      for (int x = 0; x < w; ++x)
        line[x] = uchar((row[size_t(x / perByte)] >> (8 - bits - (x % perByte) * bits)) & mask);
    } else {
      QRgb* out = reinterpret_cast<QRgb*>(line);
      for (int x = 0; x < w; ++x) {
        const uchar* p = row.data() + size_t(x) * 8;
        const int alpha = std::clamp<int>(qFromLittleEndian<qint16>(p + 6), 0, 8192);
        out[x] = qRgba(channel(p + 4), channel(p + 2), channel(p), (alpha * 255 + 4096) / 8192);
      }
    }
  }
  return image;
}

// RLE4, RLE8 and RLE24: runs and literal stretches, with escapes for the end of a row, of the picture and a
// jump ahead. Runs past a row's end are cut there; a jump past the picture or the end of the data ends it.
QImage runLength(Input& in, const Header& h) {
  const int w = h.width, rows = h.size().height();
  const bool rgb = h.compression == kRle24;
  QImage image = rgb ? QImage(h.size(), QImage::Format_RGB32) : paletteImage(h);
  if (image.isNull()) return image;
  if (rgb) image.fill(0xff000000u);
  int x = 0, r = 0;
  const auto put = [&](int count, auto pixel) {
    const int n = std::min(count, w - x);
    if (n <= 0) return;
    uchar* line = image.scanLine(imageRow(h, r));
    for (int i = 0; i < n; ++i, ++x) {
      if (rgb)
        reinterpret_cast<QRgb*>(line)[x] = pixel(i);
      else
        line[x] = uchar(pixel(i));
    }
  };
  while (r < rows) {
    const int count = in.next(), code = in.next();
    if (in.ended()) break;
    if (count > 0) {
      if (rgb) {
        const int g = in.next(), red = in.next();
        put(count, [c = qRgb(red, g, code)](int) { return c; });
      } else if (h.compression == kRle4) {
        put(count, [code](int i) { return i % 2 ? code & 0x0f : code >> 4; });
      } else {
        put(count, [code](int) { return code; });
      }
      continue;
    }
    if (code == 0) {
      x = 0;
      ++r;
    } else if (code == 1) {
      break;
    } else if (code == 2) {
      const int dx = in.next(), dy = in.next();
      x = std::min(w, x + dx);
      r += dy;
    } else {
      // A literal stretch of `code` pixels, padded to an even number of bytes.
      const int bytes = rgb ? 3 * code : h.compression == kRle4 ? (code + 1) / 2 : code;
      std::array<uchar, 3 * 255 + 1> literal{};
      if (!in.read(literal.data(), bytes + bytes % 2)) break;
      if (rgb)
        put(code, [&literal](int i) {
          return qRgb(literal[size_t(3 * i + 2)], literal[size_t(3 * i + 1)], literal[size_t(3 * i)]);
        });
      else if (h.compression == kRle4)
        put(code, [&literal](int i) {
          return i % 2 ? literal[size_t(i / 2)] & 0x0f : literal[size_t(i / 2)] >> 4;
        });
      else
        put(code, [&literal](int i) { return literal[size_t(i)]; });
    }
  }
  return image;
}

// The modified Huffman codes of fax machines: run lengths of white and black, terminating (0-63) and
// make-up (multiples of 64); the longest make-ups are shared by both colours.
struct RunCode {
  quint16 bits;
  quint8 length;
  quint16 run;
};
// clang-format off
constexpr RunCode kWhiteCodes[] = {
    {0x35, 8, 0}, {0x07, 6, 1}, {0x07, 4, 2}, {0x08, 4, 3}, {0x0b, 4, 4}, {0x0c, 4, 5}, {0x0e, 4, 6},
    {0x0f, 4, 7}, {0x13, 5, 8}, {0x14, 5, 9}, {0x07, 5, 10}, {0x08, 5, 11}, {0x08, 6, 12}, {0x03, 6, 13},
    {0x34, 6, 14}, {0x35, 6, 15}, {0x2a, 6, 16}, {0x2b, 6, 17}, {0x27, 7, 18}, {0x0c, 7, 19}, {0x08, 7, 20},
    {0x17, 7, 21}, {0x03, 7, 22}, {0x04, 7, 23}, {0x28, 7, 24}, {0x2b, 7, 25}, {0x13, 7, 26}, {0x24, 7, 27},
    {0x18, 7, 28}, {0x02, 8, 29}, {0x03, 8, 30}, {0x1a, 8, 31}, {0x1b, 8, 32}, {0x12, 8, 33}, {0x13, 8, 34},
    {0x14, 8, 35}, {0x15, 8, 36}, {0x16, 8, 37}, {0x17, 8, 38}, {0x28, 8, 39}, {0x29, 8, 40}, {0x2a, 8, 41},
    {0x2b, 8, 42}, {0x2c, 8, 43}, {0x2d, 8, 44}, {0x04, 8, 45}, {0x05, 8, 46}, {0x0a, 8, 47}, {0x0b, 8, 48},
    {0x52, 8, 49}, {0x53, 8, 50}, {0x54, 8, 51}, {0x55, 8, 52}, {0x24, 8, 53}, {0x25, 8, 54}, {0x58, 8, 55},
    {0x59, 8, 56}, {0x5a, 8, 57}, {0x5b, 8, 58}, {0x4a, 8, 59}, {0x4b, 8, 60}, {0x32, 8, 61}, {0x33, 8, 62},
    {0x34, 8, 63},
    {0x1b, 5, 64}, {0x12, 5, 128}, {0x17, 6, 192}, {0x37, 7, 256}, {0x36, 8, 320}, {0x37, 8, 384},
    {0x64, 8, 448}, {0x65, 8, 512}, {0x68, 8, 576}, {0x67, 8, 640}, {0xcc, 9, 704}, {0xcd, 9, 768},
    {0xd2, 9, 832}, {0xd3, 9, 896}, {0xd4, 9, 960}, {0xd5, 9, 1024}, {0xd6, 9, 1088}, {0xd7, 9, 1152},
    {0xd8, 9, 1216}, {0xd9, 9, 1280}, {0xda, 9, 1344}, {0xdb, 9, 1408}, {0x98, 9, 1472}, {0x99, 9, 1536},
    {0x9a, 9, 1600}, {0x18, 6, 1664}, {0x9b, 9, 1728}};
constexpr RunCode kBlackCodes[] = {
    {0x37, 10, 0}, {0x02, 3, 1}, {0x03, 2, 2}, {0x02, 2, 3}, {0x03, 3, 4}, {0x03, 4, 5}, {0x02, 4, 6},
    {0x03, 5, 7}, {0x05, 6, 8}, {0x04, 6, 9}, {0x04, 7, 10}, {0x05, 7, 11}, {0x07, 7, 12}, {0x04, 8, 13},
    {0x07, 8, 14}, {0x18, 9, 15}, {0x17, 10, 16}, {0x18, 10, 17}, {0x08, 10, 18}, {0x67, 11, 19},
    {0x68, 11, 20}, {0x6c, 11, 21}, {0x37, 11, 22}, {0x28, 11, 23}, {0x17, 11, 24}, {0x18, 11, 25},
    {0xca, 12, 26}, {0xcb, 12, 27}, {0xcc, 12, 28}, {0xcd, 12, 29}, {0x68, 12, 30}, {0x69, 12, 31},
    {0x6a, 12, 32}, {0x6b, 12, 33}, {0xd2, 12, 34}, {0xd3, 12, 35}, {0xd4, 12, 36}, {0xd5, 12, 37},
    {0xd6, 12, 38}, {0xd7, 12, 39}, {0x6c, 12, 40}, {0x6d, 12, 41}, {0xda, 12, 42}, {0xdb, 12, 43},
    {0x54, 12, 44}, {0x55, 12, 45}, {0x56, 12, 46}, {0x57, 12, 47}, {0x64, 12, 48}, {0x65, 12, 49},
    {0x52, 12, 50}, {0x53, 12, 51}, {0x24, 12, 52}, {0x37, 12, 53}, {0x38, 12, 54}, {0x27, 12, 55},
    {0x28, 12, 56}, {0x58, 12, 57}, {0x59, 12, 58}, {0x2b, 12, 59}, {0x2c, 12, 60}, {0x5a, 12, 61},
    {0x66, 12, 62}, {0x67, 12, 63},
    {0x0f, 10, 64}, {0xc8, 12, 128}, {0xc9, 12, 192}, {0x5b, 12, 256}, {0x33, 12, 320}, {0x34, 12, 384},
    {0x35, 12, 448}, {0x6c, 13, 512}, {0x6d, 13, 576}, {0x4a, 13, 640}, {0x4b, 13, 704}, {0x4c, 13, 768},
    {0x4d, 13, 832}, {0x72, 13, 896}, {0x73, 13, 960}, {0x74, 13, 1024}, {0x75, 13, 1088}, {0x76, 13, 1152},
    {0x77, 13, 1216}, {0x52, 13, 1280}, {0x53, 13, 1344}, {0x54, 13, 1408}, {0x55, 13, 1472},
    {0x5a, 13, 1536}, {0x5b, 13, 1600}, {0x64, 13, 1664}, {0x65, 13, 1728}};
constexpr RunCode kSharedMakeUpCodes[] = {
    {0x08, 11, 1792}, {0x0c, 11, 1856}, {0x0d, 11, 1920}, {0x12, 12, 1984}, {0x13, 12, 2048},
    {0x14, 12, 2112}, {0x15, 12, 2176}, {0x16, 12, 2240}, {0x17, 12, 2304}, {0x1c, 12, 2368},
    {0x1d, 12, 2432}, {0x1e, 12, 2496}, {0x1f, 12, 2560}};
// clang-format on
constexpr int kMaxCodeLength = 13;

// Run length + 1 by (1 << length | code), 0 where no code is.
using RunTable = std::array<quint16, size_t(2) << kMaxCodeLength>;

RunTable makeRunTable(const RunCode* codes, size_t count) {
  RunTable table{};
  const auto add = [&table](const RunCode& c) {
    table[(size_t(1) << c.length) | c.bits] = quint16(c.run + 1);
  };
  for (size_t i = 0; i < count; ++i) add(codes[i]);
  for (const RunCode& c : kSharedMakeUpCodes) add(c);
  return table;
}

// OS/2 Huffman 1D: each row a white run, then black and white in turn, each colour's runs coded as above;
// rows may start with an end-of-line code (eleven or more zero bits and a one) which also ends a short row.
// White is palette entry 0, black entry 1; what a bad code leaves undecoded stays entry 0.
QImage huffman1D(Input& in, const Header& h) {
  static const RunTable white = makeRunTable(kWhiteCodes, std::size(kWhiteCodes));
  static const RunTable black = makeRunTable(kBlackCodes, std::size(kBlackCodes));
  QImage image = paletteImage(h);
  if (image.isNull()) return image;
  const int w = h.width, rows = h.size().height();
  int byte = 0, bitsLeft = 0;
  const auto bit = [&]() {
    if (bitsLeft == 0) {
      byte = in.next();
      bitsLeft = 8;
    }
    return (byte >> --bitsLeft) & 1;
  };
  int x = 0, r = 0;
  bool isBlack = false;
  while (r < rows && !in.ended()) {
    int code = 0, length = 0, run = -1;
    while (length < kMaxCodeLength) {
      code = code << 1 | bit();
      ++length;
      const RunTable& table = isBlack ? black : white;
      if (const int found = table[(size_t(1) << length) | size_t(code)]) {
        run = found - 1;
        break;
      }
      if (code == 0 && length == 8) break;  // no code has eight leading zeros: an end of line
    }
    if (in.ended()) break;
    if (run < 0) {
      if (code != 0) break;  // a bad code: the rest stays as it is
      while (!bit() && !in.ended()) {
      }
      if (x > 0) {
        x = 0;
        ++r;
        isBlack = false;
      }
      continue;
    }
    const int n = std::min(run, w - x);
    if (isBlack && n > 0) std::memset(image.scanLine(imageRow(h, r)) + x, 1, size_t(n));
    x += n;
    if (run < 64) {
      isBlack = !isBlack;
      if (x >= w) {
        x = 0;
        ++r;
        isBlack = false;
      }
    }
  }
  return image;
}

}  // namespace

QImage read(QIODevice& device, const Header& header) {
  const qint64 start = header.hasFileHeader ? kFileHeaderSize : 0;

  const qint64 available = device.size() - header.pixelOffset;
  if (available <= 0) return QImage();
  // Rows of an uncompressed bitmap that the device really holds. A cut-off file still shows what it has, but
  // a few rows under a header claiming thousands more is a corrupt header, not a picture worth a huge
  // allocation.
  const bool plain = !header.runLength();
  const int rows = header.size().height();
  int rowsPresent = rows;
  if (plain) {
    rowsPresent = int(std::min<qint64>(rows, available / header.stride()));
    if (rowsPresent == 0 || rowsPresent < rows / kMinRowsPresentShare) return QImage();
  }

  QImage image;
  if (header.ownDecoder()) {
    if (!device.seek(header.pixelOffset)) return QImage();
    Input in(device);
    switch (header.compression) {
      case kRgb:
        image = uncompressed(in, header, rowsPresent);
        break;
      case kHuffman1D:
        image = huffman1D(in, header);
        break;
      default:
        image = runLength(in, header);
        break;
    }
    rowsPresent = rows;  // the rest is filled already
  } else if (header.hasFileHeader && !header.rewritten) {
    if (!device.seek(0)) return QImage();
    QImageReader reader(&device, "bmp");
    reader.setAutoDetectImageFormat(false);
    image = reader.read();
  } else {
    // A file header and the prepared info header in front of the rest, which follows as stored.
    const qint64 pixelOffset =
        header.pixelOffset - start - header.replacedBytes + kFileHeaderSize + header.info.size();
    PrefixedDevice prefixed(fileHeader(quint32(pixelOffset)) + header.info, device,
                            start + header.replacedBytes);
    QImageReader reader(&prefixed, "bmp");
    reader.setAutoDetectImageFormat(false);
    image = reader.read();
  }
  if (image.isNull() || image.size() != header.size()) return QImage();

  widenNarrowChannels(image, header.masks);
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
  if (header.profileSize > 0 && header.profileSize <= kMaxProfileBytes &&
      header.profileOffset + header.profileSize <= device.size() && device.seek(header.profileOffset)) {
    const QColorSpace space = QColorSpace::fromIccProfile(device.read(header.profileSize));
    if (space.isValid()) image.setColorSpace(space);
  }
  return image;
}

}  // namespace dib
