// JPEG: a walk through the marker segments bounds the work before anything is decoded (12-bit pictures go to
// our own decoder), and a big sequential picture for someone who waits is decoded in two parts at once. On
// two cores the two parts take about three quarters of one whole decode. A picture with a colour profile to
// convert is decoded in parts too, but shown only once it is whole and converted.
#include "pictures/jpeg_rows.h"
#include "pictures/picture.h"
#include "pictures/picture_bounds.h"
#include "pictures/picture_jpeg12.h"
#include "pictures/picture_loader.h"
#include "pictures/picture_loader_internal.h"
#include "pictures/pixel_memory.h"

#include <QByteArray>
#include <QColorSpace>
#include <QIODevice>
#include <QImage>
#include <QImageIOHandler>
#include <QImageReader>
#include <QScopeGuard>
#include <QSize>
#include <QThread>

#include <algorithm>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

namespace pictureloader {

namespace {

// Marker segments in front of a JPEG's frame header; real files have a few dozen.
constexpr int kMaxJpegSegmentsBeforeFrame = 10000;
// Every scan of a multi-scan JPEG is another pass over the whole picture, and a hostile file can hold
// thousands of nearly empty ones; real files have at most a few dozen.
constexpr int kMaxJpegScans = 100;

}  // namespace

using picturebounds::carried;
using picturebounds::fits;

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

namespace {

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

}  // namespace

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

}  // namespace pictureloader
