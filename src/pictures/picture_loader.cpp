// The loader's front: a file's format told by its first bytes, handed to its reader (picture_jpeg,
// picture_gif, picture_icon, picture_bitmap, picture_metafile here; pictureformats for the rest), and what
// every raster gets afterwards (a complete palette, sRGB). Also the size a file would decode to, from its
// headers alone.
#include "pictures/picture_loader.h"

#include "pictures/dib_reader.h"
#include "pictures/metafile/wmf_document.h"
#include "pictures/picture.h"
#include "pictures/picture_bounds.h"
#include "pictures/picture_formats.h"
#include "pictures/picture_loader_internal.h"
#include "platform/file_names.h"

#include <QBuffer>
#include <QByteArray>
#include <QColorSpace>
#include <QFile>
#include <QIODevice>
#include <QImage>
#include <QImageReader>
#include <QList>
#include <QSize>
#include <QString>

#include <cstring>
#include <new>
#include <optional>
#include <utility>

namespace pictureloader {

QImage readWithQt(QIODevice& device, const char* format, int imageIndex) {
  if (!device.seek(0)) return QImage();
  QImageReader reader(&device, format);
  reader.setAutoDetectImageFormat(false);
  reader.setAutoTransform(true);
  if (imageIndex > 0 && !reader.jumpToImage(imageIndex)) return QImage();
  picturebounds::allowFullSizeDecoding();
  return reader.read();
}

namespace {

enum class Kind { Unknown, Bmp, Dib, Icon, Jpeg, Gif, Metafile };

// Enough for every signature below and for a 16-byte bitmap info header.
constexpr int kSniffBytes = 64;

using picturebounds::carried;
using picturebounds::fits;

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

}  // namespace pictureloader

using namespace pictureloader;

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
