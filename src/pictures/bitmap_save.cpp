#include "pictures/bitmap_save.h"

#include "platform/atomic_file.h"

#include <QIODevice>
#include <QImageWriter>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>

namespace bitmapfile {
namespace {

constexpr int kHeaderBytes = 14 + 40;

qint64 rowBytes(int width) { return (qint64(width) * 3 + 3) & ~qint64(3); }

void put16(char* at, quint16 value) { qToLittleEndian(value, at); }
void put32(char* at, quint32 value) { qToLittleEndian(value, at); }

// The file header and the 40-byte info header, as Qt's writer puts them before 24-bit rows.
QByteArray header(const QSize& size) {
  const quint32 pixels = quint32(rowBytes(size.width()) * size.height());
  // The resolution toImage()'s picture would carry: Qt's default.
  const QImage probe(1, 1, QImage::Format_RGB32);
  QByteArray bytes(kHeaderBytes, '\0');
  char* p = bytes.data();
  p[0] = 'B';
  p[1] = 'M';
  put32(p + 2, kHeaderBytes + pixels);
  put32(p + 10, kHeaderBytes);
  put32(p + 14, 40);
  put32(p + 18, quint32(size.width()));
  put32(p + 22, quint32(size.height()));
  put16(p + 26, 1);
  put16(p + 28, 24);
  put32(p + 34, pixels);
  put32(p + 38, quint32(probe.dotsPerMeterX()));
  put32(p + 42, quint32(probe.dotsPerMeterY()));
  return bytes;
}

bool writeMetafile(const Picture& picture, QIODevice& device, const std::function<bool()>& cancelled) {
  const QSize size = picture.size();
  const int width = size.width();
  const int height = size.height();
  if (device.write(header(size)) != kHeaderBytes) return false;
  // Bands start at multiples of 64 rows from the top: a brush pattern, laid from the device's origin as GDI
  // lays it, then meets itself across a band's edge as in one whole picture.
  const qint64 fit = std::max<qint64>(kBandBytes / (qint64(width) * 4) / 64 * 64, 64);
  const int bandRows = int(std::min<qint64>(fit, height));
  QImage band(width, bandRows, QImage::Format_RGB32);
  if (band.isNull()) return false;
  QByteArray row(rowBytes(width), '\0');
  // The file's rows go from the bottom up; so do the bands.
  for (int index = (height - 1) / bandRows; index >= 0; --index) {
    const int top = index * bandRows;
    const int bottom = std::min(height, top + bandRows);
    if (cancelled && cancelled()) return false;
    band.fill(Qt::white);
    {
      QPainter painter(&band);
      painter.translate(0, -top);
      picture.paint(painter, QRectF(0, 0, width, height), QRect(0, 0, width, bottom - top), cancelled);
    }
    if (cancelled && cancelled()) return false;
    for (int y = bottom - 1; y >= top; --y) {
      const auto* from = reinterpret_cast<const QRgb*>(band.constScanLine(y - top));
      auto* to = reinterpret_cast<uchar*>(row.data());
      for (int x = 0; x < width; ++x, to += 3) {
        to[0] = uchar(qBlue(from[x]));
        to[1] = uchar(qGreen(from[x]));
        to[2] = uchar(qRed(from[x]));
      }
      if (device.write(row) != row.size()) return false;
    }
  }
  return true;
}

}  // namespace

qint64 estimatedBytes(const Picture& picture) {
  const QSize size = picture.size();
  return kHeaderBytes + rowBytes(size.width()) * size.height();
}

bool write(const Picture& picture, QIODevice& device, const std::function<bool()>& cancelled,
           QString* error) {
  if (picture.isNull()) return false;
  bool ok = false;
  if (picture.isDrawing()) {
    ok = writeMetafile(picture, device, cancelled);
  } else {
    // A raster is in memory already (a picture still being decoded is waited for here, off the UI thread).
    QImageWriter writer(&device, "BMP");
    ok = writer.write(picture.toImage());
    if (!ok && error) *error = writer.errorString();
  }
  if (!ok && error && error->isEmpty()) *error = device.errorString();
  return ok;
}

}  // namespace bitmapfile

// Where a job posts its end, and when the jobs must stop. The owner is cleared under the lock by the
// destructor, so that no job posts to an object being destroyed.
struct BitmapSaver::Mailbox {
  QMutex mutex;
  BitmapSaver* owner = nullptr;
  // Steady-clock milliseconds after which jobs stop; none while the owner lives.
  std::atomic<qint64> stopAt{std::numeric_limits<qint64>::max()};

  static qint64 now() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  bool stopped() const { return now() >= stopAt.load(std::memory_order_relaxed); }
};

BitmapSaver::BitmapSaver(QObject* parent) : QObject(parent), mailbox_(std::make_shared<Mailbox>()) {
  mailbox_->owner = this;
  // One at a time: two saves of the same name end in the one asked last.
  pool_.setMaxThreadCount(1);
}

BitmapSaver::~BitmapSaver() {
  {
    const QMutexLocker lock(&mailbox_->mutex);
    mailbox_->owner = nullptr;
  }
  mailbox_->stopAt.store(Mailbox::now() + kFinishMs, std::memory_order_relaxed);
  pool_.waitForDone();
}

void BitmapSaver::save(const Picture& picture, const QString& path) {
  ++pending_;
  // Runs on the pool: touches only its own copies and the mailbox.
  pool_.start([picture, path, mailbox = mailbox_] {
    const auto stopped = [&mailbox] { return mailbox->stopped(); };
    bool ok = false;
    QString reason;
    if (!stopped()) {
      AtomicFile file(path);
      ok = file.open() && bitmapfile::write(picture, file.device(), stopped, &reason) && file.commit();
      // The file's own reason comes first: it is the step that failed.
      if (!ok && !file.errorString().isEmpty()) reason = file.errorString();
    }
    const QMutexLocker lock(&mailbox->mutex);
    if (BitmapSaver* owner = mailbox->owner)
      QMetaObject::invokeMethod(
          owner, [owner, path, ok, reason] { owner->finished(path, ok, reason); }, Qt::QueuedConnection);
  });
}

void BitmapSaver::finished(const QString& path, bool ok, const QString& reason) {
  --pending_;
  if (ok)
    emit saved(path);
  else
    emit failed(path, reason);
}
