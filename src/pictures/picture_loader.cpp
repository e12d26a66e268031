#include "pictures/picture_loader.h"

#include "pictures/dib_reader.h"
#include "pictures/jpeg_rows.h"
#include "pictures/metafile/wmf_document.h"
#include "pictures/picture_bounds.h"
#include "pictures/picture_formats.h"
#include "pictures/picture_jpeg12.h"
#include "pictures/pixel_memory.h"
#include "platform/file_names.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QScopeGuard>
#include <QThread>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

enum class Kind { Unknown, Bmp, Dib, Icon, Jpeg, Gif, Metafile };

// Enough for every signature below and for a 16-byte bitmap info header.
constexpr int kSniffBytes = 64;
// Icon files hold a handful of images; looking further only costs time on hostile ones.
constexpr int kMaxIconEntries = 1024;
// Decoding attempts, largest image first, when an icon's best images turn out unreadable.
constexpr int kMaxIconAttempts = 4;
// The largest size an icon stored as a bitmap can have (its directory holds sizes in one byte).
constexpr int kMaxIconBitmapSide = 256;
// Marker segments in front of a JPEG's frame header; real files have a few dozen.
constexpr int kMaxJpegSegmentsBeforeFrame = 10000;
// Every scan of a multi-scan JPEG is another pass over the whole picture, and a hostile file can hold
// thousands of nearly empty ones; real files have at most a few dozen.
constexpr int kMaxJpegScans = 100;

quint16 le16(const char* p) { return qFromLittleEndian<quint16>(p); }
quint32 le32(const char* p) { return qFromLittleEndian<quint32>(p); }
quint16 be16(const uchar* p) { return qFromBigEndian<quint16>(p); }
quint32 be32(const char* p) { return qFromBigEndian<quint32>(p); }

using picturebounds::carried;
using picturebounds::fits;

// Each format below can describe at most so many pixels per byte of file (see picturebounds::carried).
// JPEG: every 8 x 8 block of every component costs at least one bit (a progressive file's DC scan; baseline
// costs two), so a grey picture carries at most 512 pixels a byte; twice that for margin.
constexpr qint64 kJpegPixelsPerByte = 1024;
// GIF: an LZW code is at most 12 bits and stands for at most 4096 pixels (the longest dictionary string).
constexpr qint64 kGifPixelsPerByte = 4096;
// BMP run-length and Huffman coding: an end-of-line escape of two bytes skips the rest of a row; with the
// rows of a picture that fits kMaxPixels that bounds a real file. Runs alone carry at most 255 pixels in 2
// bytes (RLE), 2560 in 11 bits (Huffman).
constexpr qint64 kRlePixelsPerByte = 4096;
using picturebounds::kPngPixelsPerByte;  // a PNG inside an icon

Kind sniff(const QByteArray& head) {
  const auto startsWith = [&head](const char* magic, int size) {
    return head.size() >= size && std::memcmp(head.constData(), magic, size_t(size)) == 0;
  };
  if (startsWith("BM", 2)) return Kind::Bmp;
  if (startsWith("GIF87a", 6) || startsWith("GIF89a", 6)) return Kind::Gif;
  if (startsWith("\xFF\xD8\xFF", 3)) return Kind::Jpeg;
  if (wmf::Document::looksLikeMetafile(head)) return Kind::Metafile;
  if (head.size() >= 6) {
    const char* p = head.constData();
    const quint16 type = le16(p + 2);
    if (le16(p) == 0 && (type == 1 || type == 2) && le16(p + 4) > 0) return Kind::Icon;
  }
  if (dib::looksLikeInfoHeader(head)) return Kind::Dib;
  return Kind::Unknown;
}

// Reads a device forwards through a buffer of its own, so that walking a file byte by byte costs no calls
// into the device.
class ByteReader {
 public:
  explicit ByteReader(QIODevice& device) : device_(device) {}

  bool next(uchar& byte) {
    if (at_ == size_ && !refill()) return false;
    byte = uchar(buffer_[at_++]);
    return true;
  }
  bool read(uchar* data, int count) {
    for (int i = 0; i < count; ++i)
      if (!next(data[i])) return false;
    return true;
  }
  bool skip(qint64 count) {
    const qint64 inBuffer = size_ - at_;
    if (count <= inBuffer) {
      at_ += int(count);
      return true;
    }
    const qint64 target = device_.pos() + (count - inBuffer);
    at_ = size_ = 0;
    return target <= device_.size() && device_.seek(target);
  }

 private:
  bool refill() {
    const qint64 got = device_.read(buffer_.data(), qint64(buffer_.size()));
    at_ = 0;
    size_ = got > 0 ? int(got) : 0;
    return size_ > 0;
  }

  QIODevice& device_;
  std::array<char, 65536> buffer_{};
  int at_ = 0;
  int size_ = 0;
};

QImage readWithQt(QIODevice& device, const char* format, int imageIndex = 0) {
  if (!device.seek(0)) return QImage();
  QImageReader reader(&device, format);
  reader.setAutoDetectImageFormat(false);
  reader.setAutoTransform(true);
  if (imageIndex > 0 && !reader.jumpToImage(imageIndex)) return QImage();
  picturebounds::allowFullSizeDecoding();
  return reader.read();
}

// ---- JPEG

// What a walk through a JPEG's marker segments found.
struct JpegLayout {
  bool frame = false;  // a frame header before the first scan
  int scans = 0;       // counted only when the decoder will make several passes
  int precision = 0;   // bits a sample, from the frame header
  QSize size;          // from the frame header
};

JpegLayout walkJpeg(QIODevice& device) {
  JpegLayout layout;
  if (!device.seek(0)) return layout;
  ByteReader in(device);
  uchar soi[2];
  if (!in.read(soi, 2) || soi[0] != 0xFF || soi[1] != 0xD8) return layout;

  int components = 0;
  bool multiPass = false;
  int segments = 0;
  uchar marker = 0;
  bool haveMarker = false;  // set when entropy-coded data ended at a marker already read
  for (;;) {
    if (!haveMarker) {
      // Markers are 0xFF runs followed by a code; anything else in between is junk the decoder skips too.
      uchar byte = 0;
      do {
        if (!in.next(byte)) return layout;
      } while (byte != 0xFF);
      do {
        if (!in.next(byte)) return layout;
      } while (byte == 0xFF);
      if (byte == 0x00) continue;
      marker = byte;
    }
    haveMarker = false;
    if (marker == 0xD9) return layout;                                                     // end of image
    if (marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
    uchar lengthBytes[2];
    if (!in.read(lengthBytes, 2)) return layout;
    const int length = be16(lengthBytes);
    if (length < 2) return layout;

    const bool frameHeader =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frameHeader) {
      uchar sof[6];
      if (length < 8 || !in.read(sof, 6)) return layout;
      components = sof[5];
      multiPass = (marker & 0x03) == 0x02;  // progressive
      layout.frame = true;
      layout.precision = sof[0];
      layout.size = QSize(be16(sof + 3), be16(sof + 1));
      if (!in.skip(length - 8)) return layout;
      continue;
    }
    if (marker == 0xDA) {
      if (!layout.frame) return layout;
      uchar count = 0;
      if (length < 3 || !in.next(count)) return layout;
      if (layout.scans == 0 && count < components) multiPass = true;  // one component at a time
      if (!multiPass) return layout;  // a single pass over the picture: nothing more to count
      if (++layout.scans > kMaxJpegScans) return layout;
      if (!in.skip(length - 3)) return layout;
      // Entropy-coded data runs to the next marker other than a stuffed byte or a restart.
      uchar byte = 0;
      for (;;) {
        if (!in.next(byte)) return layout;
        if (byte != 0xFF) continue;
        do {
          if (!in.next(byte)) return layout;
        } while (byte == 0xFF);
        if (byte == 0x00 || (byte >= 0xD0 && byte <= 0xD7)) continue;
        marker = byte;
        haveMarker = true;
        break;
      }
      continue;
    }
    if (!layout.frame && ++segments > kMaxJpegSegmentsBeforeFrame) return layout;
    if (!in.skip(length - 2)) return layout;
  }
}

// A sequential JPEG of at least this many pixels may be decoded in two parts at once when someone waits.
constexpr qint64 kSplitJpegPixels = 8LL * 1024 * 1024;
// What the lower part's decoder pays for each upper row it passes, against decoding it: libjpeg-turbo
// passes a row with its entropy decoding alone, which is most of the cost of a detailed photograph (0.70
// measured on a 24-megapixel camera picture of 10 MB) and less of a smooth picture's.
constexpr double kSkipCost = 0.70;

// Where the parts meet, as a row: the upper part's thread also decodes the `early` rows first (and then
// passes them again), the lower part's decoder passes every upper row, and both should end together.
int jpegSplitRow(int height, int early) {
  const double earlyShare = double(early) / height;
  const double upper = (1.0 - kSkipCost * earlyShare) / (2.0 - kSkipCost);
  return std::clamp(int(height * upper), 1, height - 1);
}

// Decodes the rows [top, top + rows) of a JPEG in memory into `part`, which already has their size and the
// reader's format and is written in place. False when it could not, or wrote elsewhere.
bool readJpegRows(const QByteArray& bytes, int top, QImage& part, jpegrows::Band* band = nullptr) {
  const uchar* where = part.constBits();
  return jpegrows::read(bytes, top, part, band) && part.constBits() == where;
}

// A big sequential JPEG for someone who waits: the lower rows on a thread of their own, started first
// because passing the upper rows makes it the longer part, while this thread decodes the rows shown early
// and then the rest of the upper rows, all into one picture. nullopt when the file does not suit (an EXIF
// rotation, a palette, too big to hold twice) or a part fails: the caller then decodes it whole.
std::optional<QImage> readJpegInTwo(QIODevice& device, const QSize size, const QImage::Format format,
                                    const QImageIOHandler::Transformations transformation,
                                    const EarlyRows* early) {
  if (transformation != QImageIOHandler::TransformationNone || format == QImage::Format_Invalid ||
      format == QImage::Format_Indexed8 || QThread::idealThreadCount() < 2 || size.height() < 2)
    return std::nullopt;
  if (device.size() > 512LL * 1024 * 1024 || !device.seek(0)) return std::nullopt;
  const QByteArray bytes = device.readAll();
  QImage whole = largeImage(size, format);
  if (whole.isNull()) whole = QImage(size, format);
  if (whole.isNull()) return std::nullopt;
  const bool showEarly = early && early->show && format == QImage::Format_RGB32 && early->rows > 0 &&
                         early->rows < size.height();
  const int split = jpegSplitRow(size.height(), showEarly ? early->rows : 0);
  const qsizetype stride = whole.bytesPerLine();
  uchar* bits = whole.bits();
  const auto rowsAt = [&](int top, int rows) {
    return QImage(bits + stride * top, size.width(), rows, stride, format);
  };

  QImage lower = rowsAt(split, size.height() - split);
  bool lowerRead = false;
  std::thread helper;
  try {
    helper = std::thread([&] { lowerRead = readJpegRows(bytes, split, lower); });
  } catch (const std::system_error&) {
    return std::nullopt;
  }
  auto joined = qScopeGuard([&helper] { helper.join(); });

  // The top rows first, on their own, when someone is shown them early: then the rest into the same pixels,
  // which nothing changes afterwards (the picture shown shares them and draws only the rows it is told of).
  int first = 0;
  std::shared_ptr<DecodeProgress> progress;
  // The colour space and density, read by whichever part of this thread decodes the top of the file.
  jpegrows::Band band;
  bool banded = false;
  const auto described = [&whole, &band] {
    whole.setColorSpace(band.colorSpace);
    if (band.dotsPerMeterX > 0) whole.setDotsPerMeterX(band.dotsPerMeterX);
    if (band.dotsPerMeterY > 0) whole.setDotsPerMeterY(band.dotsPerMeterY);
  };
  if (showEarly && early->rows < split) {
    QImage top = rowsAt(0, early->rows);
    if (!readJpegRows(bytes, 0, top, &band)) return std::nullopt;
    banded = true;
    // A picture that will be converted to sRGB after decoding is not shown before.
    if (!band.colorSpace.isValid() || band.colorSpace == QColorSpace(QColorSpace::SRgb)) {
      described();
      progress = std::make_shared<DecodeProgress>();
      progress->setRows(early->rows);
      first = early->rows;
      early->show(Picture(whole, progress));
    }
  }
  // Whatever happens from here, the picture shown early is told that no more rows come.
  const auto finish = qScopeGuard([&progress] {
    if (progress) progress->finish();
  });

  QImage upper = rowsAt(first, split - first);
  const bool upperRead = readJpegRows(bytes, first, upper, banded ? nullptr : &band);
  helper.join();
  joined.dismiss();
  if (!upperRead || !lowerRead) return std::nullopt;
  if (progress)
    progress->setRows(size.height());
  else
    described();
  return whole;
}

QImage readJpeg(QIODevice& device, Urgency urgency, const EarlyRows* early) {
  const JpegLayout layout = walkJpeg(device);
  if (!layout.frame || layout.scans > kMaxJpegScans) return QImage();
  if (layout.precision == 12) {
    if (!fits(layout.size) || !carried(layout.size, device.size(), kJpegPixelsPerByte)) return QImage();
    return jpeg12::read(device);
  }

  if (!device.seek(0)) return QImage();
  QImageReader reader(&device, "jpeg");
  reader.setAutoDetectImageFormat(false);
  reader.setAutoTransform(true);
  const QSize size = reader.size();
  if (!fits(size) || !carried(size, device.size(), kJpegPixelsPerByte)) return QImage();
  picturebounds::allowFullSizeDecoding();
  // One pass over the picture (no scans were counted): each part decodes only up to its last row.
  if (urgency == Urgency::Waited && layout.scans == 0 &&
      qint64(size.width()) * size.height() >= kSplitJpegPixels) {
    const QImage::Format format = reader.imageFormat();
    const QImageIOHandler::Transformations transformation = reader.transformation();
    if (auto image = readJpegInTwo(device, size, format, transformation, early)) return *std::move(image);
    if (!device.seek(0)) return QImage();
    reader.setDevice(nullptr);
    reader.setDevice(&device);
  }
  QImage image = largeImage(size, reader.imageFormat());
  if (!image.isNull() && reader.read(&image)) return image;
  return reader.read();
}

// ---- GIF

// The canvas Qt's decoder draws the first frame on: the logical screen, or where that is zero the frame's
// extent. nullopt when there is no frame.
std::optional<QSize> gifCanvas(QIODevice& device) {
  if (!device.seek(0)) return std::nullopt;
  ByteReader in(device);
  uchar header[13];
  if (!in.read(header, 13)) return std::nullopt;
  const int screenWidth = qFromLittleEndian<quint16>(header + 6);
  const int screenHeight = qFromLittleEndian<quint16>(header + 8);
  if ((header[10] & 0x80) && !in.skip(3 * (2 << (header[10] & 0x07)))) return std::nullopt;
  for (;;) {
    uchar introducer = 0;
    if (!in.next(introducer)) return std::nullopt;
    if (introducer == 0x2C) {
      uchar descriptor[9];
      if (!in.read(descriptor, 9)) return std::nullopt;
      const int left = qFromLittleEndian<quint16>(descriptor);
      const int top = qFromLittleEndian<quint16>(descriptor + 2);
      const int width = qFromLittleEndian<quint16>(descriptor + 4);
      const int height = qFromLittleEndian<quint16>(descriptor + 6);
      return QSize(screenWidth > 0 ? screenWidth : left + width,
                   screenHeight > 0 ? screenHeight : top + height);
    }
    if (introducer != 0x21) return std::nullopt;  // trailer, or junk where a block should start
    uchar label = 0;
    if (!in.next(label)) return std::nullopt;
    for (uchar blockSize = 0;;) {
      if (!in.next(blockSize)) return std::nullopt;
      if (blockSize == 0) break;
      if (!in.skip(blockSize)) return std::nullopt;
    }
  }
}

QImage readGif(QIODevice& device) {
  const std::optional<QSize> canvas = gifCanvas(device);
  if (!canvas || !fits(*canvas) || !carried(*canvas, device.size(), kGifPixelsPerByte)) return QImage();
  return readWithQt(device, "gif");
}

// ---- ICO and CUR

struct IconCandidate {
  int index = 0;
  QSize size;
  int depth = 0;
  bool png = false;
  qint64 offset = 0;  // of a bitmap's header
  qint64 bytes = 0;   // a bitmap's header, palette, colour and mask rows
};

// The size of an icon's bitmap. The header describes the stored rows (colour and mask, so twice the height)
// and wins where the directory disagrees: Qt's reader would take the directory's and show the mask as
// colours, or refuse. Some writers store the height undoubled; that one matches the directory. The
// directory's 0 stands for 256. An empty size when neither makes sense.
QSize iconBitmapSize(int dirWidth, int dirHeight, qint32 headerWidth, qint32 headerHeight) {
  const auto valid = [](qint64 side) { return side > 0 && side <= kMaxIconBitmapSide; };
  const int dirW = dirWidth ? dirWidth : kMaxIconBitmapSide,
            dirH = dirHeight ? dirHeight : kMaxIconBitmapSide;
  const int w = valid(headerWidth) ? headerWidth : (dirWidth && valid(dirW) ? dirW : 0);
  int h = 0;
  if (valid(headerHeight / 2) && headerHeight / 2 != dirH && headerHeight == dirH)
    h = dirH;
  else if (valid(headerHeight / 2))
    h = headerHeight / 2;
  else if (dirHeight && valid(headerHeight) && headerHeight == dirH)
    h = dirH;
  return w && h ? QSize(w, h) : QSize();
}

// The images of an icon or cursor file that Qt's reader can decode in full, largest first (by area, then by
// depth). Sizes are the ones the reader will produce: a bitmap's as iconBitmapSize() decides, a PNG's own.
std::vector<IconCandidate> iconCandidates(QIODevice& device) {
  std::vector<IconCandidate> candidates;
  const qint64 fileSize = device.size();
  char dir[6];
  if (!device.seek(0) || device.read(dir, 6) != 6) return candidates;
  const int count = std::min<int>(le16(dir + 4), kMaxIconEntries);
  const QByteArray entries = device.read(qint64(count) * 16);

  for (int i = 0; i < int(entries.size() / 16); ++i) {
    const char* e = entries.constData() + i * 16;
    const int dirWidth = uchar(e[0]);
    const int dirHeight = uchar(e[1]);
    const int dirBits = le16(e + 6);  // a cursor's hotspot; Qt's reader still falls back on it
    const qint64 bytes = le32(e + 8);
    const qint64 offset = le32(e + 12);
    char head[40];
    if (offset < 6 || offset >= fileSize || !device.seek(offset)) continue;
    const qint64 headSize = device.read(head, 40);

    IconCandidate c;
    c.index = i;
    if (headSize >= 26 && std::memcmp(head, "\x89PNG\r\n\x1A\n", 8) == 0) {
      if (std::memcmp(head + 12, "IHDR", 4) != 0 || bytes > fileSize - offset) continue;
      const qint64 w = be32(head + 16), h = be32(head + 20);
      if (!fits(w, h) || !carried(QSize(int(w), int(h)), bytes, kPngPixelsPerByte)) continue;
      static constexpr int kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
      const int colorType = uchar(head[25]);
      c.size = QSize(int(w), int(h));
      c.depth = uchar(head[24]) * (colorType < 7 ? kChannels[colorType] : 0);
      c.png = true;
    } else {
      if (headSize != 40 || le32(head) != 40) continue;  // the reader takes any header as 40 bytes long
      const qint32 headerWidth = qFromLittleEndian<qint32>(head + 4);
      const qint32 headerHeight = qFromLittleEndian<qint32>(head + 8);
      const int bits = le16(head + 14) ? le16(head + 14) : dirBits;
      if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) continue;
      const QSize size = iconBitmapSize(dirWidth, dirHeight, headerWidth, headerHeight);
      if (size.isEmpty()) continue;
      const int w = size.width(), h = size.height();
      const quint32 used = le32(head + 32);
      const qint64 colors = bits <= 8 ? (used ? used : (1u << bits)) : 0;
      if (colors > 256) continue;
      const qint64 colorStride = ((qint64(w) * bits + 31) / 32) * 4;
      const qint64 maskStride = ((qint64(w) + 31) / 32) * 4;
      c.bytes = 40 + colors * 4 + h * (colorStride + maskStride);
      if (offset + c.bytes > fileSize) continue;  // truncated
      c.size = size;
      c.depth = bits;
      c.offset = offset;
    }
    candidates.push_back(c);
  }
  std::stable_sort(candidates.begin(), candidates.end(), [](const IconCandidate& a, const IconCandidate& b) {
    const qint64 areaA = qint64(a.size.width()) * a.size.height();
    const qint64 areaB = qint64(b.size.width()) * b.size.height();
    return areaA != areaB ? areaA > areaB : a.depth > b.depth;
  });
  return candidates;
}

// A bitmap image of an icon as an icon file of its own, whose directory and header agree on the size the
// candidate has. At most a 256 x 256 bitmap with its mask, so small.
QByteArray singleIcon(QIODevice& device, const IconCandidate& c) {
  if (!device.seek(c.offset)) return {};
  QByteArray bitmap = device.read(c.bytes);
  if (bitmap.size() != c.bytes) return {};
  qToLittleEndian<qint32>(c.size.width(), bitmap.data() + 4);
  qToLittleEndian<qint32>(c.size.height() * 2, bitmap.data() + 8);
  QByteArray icon(6 + 16, '\0');
  char* p = icon.data();
  qToLittleEndian<quint16>(1, p + 2);
  qToLittleEndian<quint16>(1, p + 4);
  p[6] = char(c.size.width() & 0xff);  // 256 is written as 0
  p[7] = char(c.size.height() & 0xff);
  qToLittleEndian<quint16>(1, p + 10);
  qToLittleEndian<quint16>(quint16(c.depth), p + 12);
  qToLittleEndian<quint32>(quint32(c.bytes), p + 14);
  qToLittleEndian<quint32>(6 + 16, p + 18);
  return icon + bitmap;
}

QImage readIcon(QIODevice& device) {
  const std::vector<IconCandidate> candidates = iconCandidates(device);
  const int attempts = std::min<int>(int(candidates.size()), kMaxIconAttempts);
  for (int i = 0; i < attempts; ++i) {
    const IconCandidate& c = candidates[size_t(i)];
    QImage image;
    if (c.png) {
      image = readWithQt(device, "ico", c.index);
    } else {
      QBuffer single;
      single.setData(singleIcon(device, c));
      if (single.open(QIODevice::ReadOnly)) image = readWithQt(single, "ico");
    }
    if (!image.isNull()) return image;
  }
  return QImage();
}

// ---- BMP and DIB

QImage readBitmap(QIODevice& device, bool hasFileHeader) {
  const std::optional<dib::Header> header = dib::readHeader(device, hasFileHeader);
  if (!header || !fits(header->size())) return QImage();
  // Uncompressed rows are checked against the file by the reader (a bitmap missing most of them is refused).
  if (header->runLength() && !carried(header->size(), device.size() - header->pixelOffset, kRlePixelsPerByte))
    return QImage();
  picturebounds::allowFullSizeDecoding();
  return dib::read(device, *header);
}

// ---- Windows metafiles

// Metafiles are read whole: the renderer plays them at every paint. Real ones are a few megabytes at most.
constexpr qint64 kMaxMetafileBytes = 64LL * 1024 * 1024;

std::optional<Picture> readMetafile(QIODevice& device) {
  if (device.size() > kMaxMetafileBytes || !device.seek(0)) return std::nullopt;
  std::shared_ptr<const wmf::Document> metafile = wmf::Document::parse(device.readAll());
  if (!metafile) return std::nullopt;
  return Picture(std::move(metafile));
}

// Qt's readers keep a palette as short as the file's, but leave pixels that index past its end as stored;
// drawing such a pixel would read beyond the colour table. Those pixels show black.
void completePalette(QImage& image) {
  int needed = 0;
  if (image.format() == QImage::Format_Indexed8) needed = 256;
  if (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB) needed = 2;
  if (image.colorCount() >= needed) return;
  QList<QRgb> colors = image.colorTable();
  colors.resize(needed, qRgb(0, 0, 0));
  image.setColorTable(colors);
}

// Pixels are shown as sRGB: a picture with another colour profile (a JPEG's, a PNG's in an icon, a V5
// bitmap's) is converted once, in time and memory linear in its pixels. Palette pictures convert their
// palette; formats the conversion does not take go through 32 bits.
void convertToSrgb(QImage& image) {
  const QColorSpace space = image.colorSpace();
  if (!space.isValid() || space == QColorSpace(QColorSpace::SRgb)) return;
  if (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB)
    image = image.convertToFormat(QImage::Format_Indexed8);
  else if (image.format() != QImage::Format_Indexed8 && image.pixelFormat().colorModel() != QPixelFormat::RGB)
    image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  image.convertToColorSpace(QColorSpace::SRgb);
}

std::optional<Picture> load(QIODevice& device, Urgency urgency, const EarlyRows* early) {
  if (!device.isOpen() || device.isSequential() || !device.seek(0)) return std::nullopt;
  const QByteArray head = device.read(kSniffBytes);
  QImage image;
  switch (sniff(head)) {
    case Kind::Bmp:
      image = readBitmap(device, true);
      break;
    case Kind::Dib:
      image = readBitmap(device, false);
      break;
    case Kind::Icon:
      image = readIcon(device);
      break;
    case Kind::Jpeg:
      image = readJpeg(device, urgency, early);
      break;
    case Kind::Gif:
      image = readGif(device);
      break;
    case Kind::Metafile:
      return readMetafile(device);
    case Kind::Unknown: {
      const pictureformats::Sniffed other = pictureformats::sniff(device, head);
      if (other.family == pictureformats::Family::Svg) return pictureformats::readDrawing(device);
      image = pictureformats::readRaster(device, other);
      break;
    }
  }
  if (image.isNull() || !fits(image.size())) return std::nullopt;
  completePalette(image);
  convertToSrgb(image);
  // Qt's reader takes a "@2x" in the file name as a pixel ratio; a picture's size comes from its content
  // alone.
  image.setDevicePixelRatio(1.0);
  return Picture(std::move(image));
}

// The picture's size as its reader would produce it, from the headers alone; an empty size when the loader
// would refuse the file.
QSize probeSize(QIODevice& device, Kind kind) {
  switch (kind) {
    case Kind::Bmp:
    case Kind::Dib: {
      const auto header = dib::readHeader(device, kind == Kind::Bmp);
      if (!header || !fits(header->size())) return {};
      if (header->runLength() &&
          !carried(header->size(), device.size() - header->pixelOffset, kRlePixelsPerByte))
        return {};
      return header->size();
    }
    case Kind::Icon: {
      const auto candidates = iconCandidates(device);
      return candidates.empty() ? QSize() : candidates.front().size;
    }
    case Kind::Jpeg: {
      const JpegLayout layout = walkJpeg(device);
      if (layout.precision == 12)
        return fits(layout.size) && carried(layout.size, device.size(), kJpegPixelsPerByte) ? layout.size
                                                                                            : QSize();
      if (!device.seek(0)) return {};
      QImageReader reader(&device, "jpeg");
      reader.setAutoDetectImageFormat(false);
      const QSize size = reader.size();
      return fits(size) && carried(size, device.size(), kJpegPixelsPerByte) ? size : QSize();
    }
    case Kind::Gif: {
      const auto canvas = gifCanvas(device);
      return canvas && fits(*canvas) && carried(*canvas, device.size(), kGifPixelsPerByte) ? *canvas
                                                                                           : QSize();
    }
    case Kind::Metafile:
    case Kind::Unknown:
      break;
  }
  return {};
}

}  // namespace

qint64 decodedBytesEstimate(const QString& path) {
  QFile file;
  if (!filenames::openForReading(file, path) || file.isSequential()) return 0;
  const QByteArray head = file.read(kSniffBytes);
  const Kind kind = sniff(head);
  if (kind == Kind::Metafile) return file.size() <= kMaxMetafileBytes ? file.size() : 0;
  try {
    if (kind == Kind::Unknown)
      return pictureformats::decodedBytesEstimate(file, pictureformats::sniff(file, head));
    const QSize size = probeSize(file, kind);
    return qint64(size.width()) * size.height() * 4;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

std::optional<Picture> loadPictureFromDevice(QIODevice& device, Urgency urgency, const EarlyRows* early) {
  try {
    return load(device, urgency, early);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::optional<Picture> loadPicture(const QString& path, Urgency urgency, const EarlyRows* early) {
  // Only regular files: opening a pipe would wait for a writer, and a device never ends.
  QFile file;
  if (!filenames::openForReading(file, path) || file.isSequential()) return std::nullopt;
  return loadPictureFromDevice(file, urgency, early);
}

std::optional<Picture> loadPictureFromData(const QByteArray& data) {
  QBuffer buffer;
  buffer.setData(data);
  if (!buffer.open(QIODevice::ReadOnly)) return std::nullopt;
  return loadPictureFromDevice(buffer);
}
