#include "pictures/picture_formats.h"

#include "pictures/heif_image.h"
#include "pictures/jxl_image.h"
#include "pictures/picture_bounds.h"
#include "pictures/svg_drawing.h"

#include <QIODevice>
#include <QImageReader>

#include <cstring>

namespace {

using picturebounds::carried;
using picturebounds::fits;

// Formats with no bound of their own (lossless WebP, AV1, HEVC and JPEG XL code a flat picture in almost
// nothing, TIFF's fax coding a blank row of a scanned page in about a bit): a blank 5000 x 4000 canvas as
// lossless WebP is 24000 pixels a byte; a bomb of 16384 x 16384 then needs 4 KB at least.
constexpr qint64 kPracticalPixelsPerByte = 65536;
// Text and raw formats: a byte holds at most eight pixels (raw 1-bit rows).
constexpr qint64 kPlainPixelsPerByte = 8;
// Drawings are parsed whole and kept; real ones are a few megabytes at most.
constexpr qint64 kMaxDrawingBytes = 64LL * 1024 * 1024;

bool startsWith(const QByteArray& head, const char* magic, int size) {
  return head.size() >= size && std::memcmp(head.constData(), magic, size_t(size)) == 0;
}

pictureformats::Sniffed qtPlugin(const char* format, qint64 pixelsPerByte) {
  return {pictureformats::Family::QtPlugin, format, pixelsPerByte};
}

bool netpbm(const QByteArray& head) {
  if (head.size() < 3 || head[0] != 'P' || head[1] < '1' || head[1] > '6') return false;
  const char after = head[2];
  return after == ' ' || after == '\t' || after == '\r' || after == '\n' || after == '#';
}

QImageReader* openReader(QImageReader& reader, QIODevice& device, const char* format) {
  if (!device.seek(0)) return nullptr;
  reader.setDevice(&device);
  reader.setFormat(format);
  reader.setAutoDetectImageFormat(false);
  reader.setAutoTransform(true);
  return &reader;
}

// The size a Qt plugin will decode, when its header gives one the bounds allow.
QSize qtSize(QImageReader& reader, QIODevice& device, const pictureformats::Sniffed& kind) {
  const QSize size = reader.size();
  return fits(size) && carried(size, device.size(), kind.pixelsPerByte) ? size : QSize();
}

// The decoders that take a file from memory get it whole; a file of more than 1 GiB is no picture anyone has.
constexpr qint64 kMaxWholeFileBytes = qint64(1) << 30;

QByteArray wholeFile(QIODevice& device) {
  const qint64 bytes = device.size();
  if (bytes <= 0 || bytes > kMaxWholeFileBytes || !device.seek(0)) return {};
  QByteArray file = device.read(bytes);
  return file.size() == bytes ? file : QByteArray();
}

auto allowedBy(QIODevice& device, qint64 pixelsPerByte) {
  const qint64 bytes = device.size();
  return [bytes, pixelsPerByte](QSize size) { return fits(size) && carried(size, bytes, pixelsPerByte); };
}

}  // namespace

namespace pictureformats {

Sniffed sniff(QIODevice& device, const QByteArray& head) {
  if (startsWith(head, "\x89PNG\r\n\x1A\n", 8)) return qtPlugin("png", picturebounds::kPngPixelsPerByte);
  if (startsWith(head, "RIFF", 4) && head.size() >= 12 && std::memcmp(head.constData() + 8, "WEBP", 4) == 0)
    return qtPlugin("webp", kPracticalPixelsPerByte);
  if (startsWith(head, "II*\0", 4) || startsWith(head, "MM\0*", 4))
    return qtPlugin("tiff", kPracticalPixelsPerByte);
  if (startsWith(head, "icns", 4)) return qtPlugin("icns", picturebounds::kPngPixelsPerByte);
  if (netpbm(head)) return qtPlugin("ppm", kPlainPixelsPerByte);
  if (startsWith(head, "/* XPM */", 9)) return qtPlugin("xpm", kPlainPixelsPerByte);
  if (startsWith(head, "#define ", 8)) return qtPlugin("xbm", kPlainPixelsPerByte);
  if (heifimage::looksLikeHeif(head)) return {Family::Heif, nullptr, kPracticalPixelsPerByte};
  if (jxlimage::looksLikeJxl(head)) return {Family::Jxl, nullptr, kPracticalPixelsPerByte};
  if (device.size() <= kMaxDrawingBytes && svgdrawing::looksLikeSvg(device)) return {Family::Svg, nullptr, 0};
  return {};
}

QImage readRaster(QIODevice& device, const Sniffed& kind) {
  switch (kind.family) {
    case Family::QtPlugin: {
      QImageReader reader;
      if (!openReader(reader, device, kind.qtFormat) || qtSize(reader, device, kind).isEmpty()) return {};
      picturebounds::allowFullSizeDecoding();
      return reader.read();
    }
    case Family::Heif:
      return heifimage::read(wholeFile(device), allowedBy(device, kind.pixelsPerByte));
    case Family::Jxl:
      return jxlimage::read(wholeFile(device), allowedBy(device, kind.pixelsPerByte));
    case Family::Svg:
    case Family::None:
      break;
  }
  return {};
}

std::optional<Picture> readDrawing(QIODevice& device) {
  if (device.size() > kMaxDrawingBytes || !device.seek(0)) return std::nullopt;
  std::shared_ptr<const Drawing> drawing = svgdrawing::parse(device.readAll());
  if (!drawing) return std::nullopt;
  return Picture(std::move(drawing));
}

qint64 decodedBytesEstimate(QIODevice& device, const Sniffed& kind) {
  QSize size;
  switch (kind.family) {
    case Family::QtPlugin: {
      QImageReader reader;
      if (openReader(reader, device, kind.qtFormat)) size = qtSize(reader, device, kind);
      break;
    }
    case Family::Heif:
      size = heifimage::size(device);
      break;
    case Family::Jxl:
      size = jxlimage::size(device);
      break;
    case Family::Svg:
      return device.size() <= kMaxDrawingBytes ? device.size() : 0;
    case Family::None:
      break;
  }
  if (kind.family != Family::QtPlugin && !allowedBy(device, kind.pixelsPerByte)(size)) return 0;
  return qint64(size.width()) * size.height() * 4;
}

}  // namespace pictureformats
