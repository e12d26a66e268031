#pragma once

#include "pictures/picture.h"

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <functional>
#include <memory>

class QIODevice;

namespace bitmapfile {

// The pixels of a metafile drawn at once while it is written: a band of whole rows of at most this many
// bytes.
constexpr qint64 kBandBytes = 16LL * 1024 * 1024;

// What the bitmap file of `picture` takes on the disk, at 24 bits a pixel (a palette picture's is smaller).
qint64 estimatedBytes(const Picture& picture);

// Writes `picture` into `device` as the BMP file that QImage::save(device, "BMP") writes of toImage(): a
// raster through Qt's writer, a metafile drawn band by band from its bottom up (the file's row order) so that
// no more than kBandBytes of pixels are held, whatever its size. False when `cancelled` said so (asked
// between bands and while drawing) or the device failed; then `error` says why, if anything did.
bool write(const Picture& picture, QIODevice& device, const std::function<bool()>& cancelled = {},
           QString* error = nullptr);

}  // namespace bitmapfile

// Saves pictures as bitmap files on a thread of its own, one after another in the order asked, each written
// atomically (a failure leaves an earlier file of that name as it was), so that the window that asked goes on
// answering while a big one is drawn and written. Owned by that window and used on the UI thread; a job holds
// its own copy of the picture and reaches back only through a mailbox that the destructor closes.
class BitmapSaver : public QObject {
  Q_OBJECT

 public:
  explicit BitmapSaver(QObject* parent = nullptr);
  // The saves asked for go on for up to kFinishMs, so that ending the program soon after asking still saves;
  // whatever is then still under way stops and leaves its file as it was.
  ~BitmapSaver() override;

  static constexpr int kFinishMs = 10000;

  void save(const Picture& picture, const QString& path);
  // Saves asked for whose end has not been told yet.
  int pending() const { return pending_; }

 signals:
  // One of these for every save, on the UI thread, in the order asked.
  void saved(const QString& path);
  void failed(const QString& path, const QString& reason);

 private:
  struct Mailbox;
  void finished(const QString& path, bool ok, const QString& reason);

  int pending_ = 0;
  std::shared_ptr<Mailbox> mailbox_;
  QThreadPool pool_;
};
