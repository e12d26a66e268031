#include "pictures/picture_opening.h"

#include "pictures/picture_loader.h"
#include "pictures/picture_prefetch.h"

#include <QCursor>
#include <QGuiApplication>
#include <QTimer>

PictureOpening::PictureOpening(PicturePrefetch& prefetch, Handlers handlers, QObject* parent)
    : QObject(parent), prefetch_(prefetch), handlers_(std::move(handlers)), busyDelay_(new QTimer(this)) {
  busyDelay_->setSingleShot(true);
  connect(busyDelay_, &QTimer::timeout, this, &PictureOpening::showBusy);
  connect(&prefetch_, &PicturePrefetch::ready, this, &PictureOpening::decoded);
  connect(&prefetch_, &PicturePrefetch::early, this, &PictureOpening::arrivedEarly);
}

PictureOpening::~PictureOpening() { stopWaiting(); }

PictureOpening::Opened PictureOpening::open(const QString& path, const QStringList& neighbours,
                                            qint64 waitFreeBytes, int busyDelayMs) {
  cancel();
  // Decided before anything changes, so that a file that is no picture leaves the pane exactly as it was.
  if (decodedBytesEstimate(path) > waitFreeBytes) {
    const PicturePrefetch::Found found = prefetch_.request(path, neighbours);
    if (!found.ready) {
      pending_ = path;
      neighbours_ = neighbours;
      busyDelay_->start(busyDelayMs);
      return Opened::Later;
    }
    if (!found.picture) return Opened::NoPicture;
    handlers_.show(path, *found.picture);
    return Opened::Picture;
  }
  const auto picture = prefetch_.take(path, neighbours);
  if (!picture) return Opened::NoPicture;
  handlers_.show(path, *picture);
  return Opened::Picture;
}

void PictureOpening::cancel() {
  pending_.clear();
  neighbours_.clear();
  earlyShown_ = false;
  stopWaiting();
}

void PictureOpening::decoded(const QString& path) {
  if (pending_.isEmpty() || path != pending_) return;
  const PicturePrefetch::Found found = prefetch_.request(path, neighbours_);
  if (!found.ready) return;  // the file changed while it was read: decoded again
  const bool shownEarly = earlyShown_;
  cancel();
  if (found.picture && shownEarly) {
    // Its top rows are on screen already, opened as any picture is; the rest arrives without a second
    // opening, so that a zoom or scroll made meanwhile stays.
    handlers_.complete(*found.picture);
  } else if (found.picture) {
    handlers_.show(path, *found.picture);
  } else {
    handlers_.noPicture(path);
  }
}

void PictureOpening::arrivedEarly(const QString& path, const Picture& picture) {
  if (pending_.isEmpty() || path != pending_ || earlyShown_) return;
  earlyShown_ = true;
  // What the user waits for is there: no busy pointer for the rest.
  stopWaiting();
  handlers_.show(path, picture);
}

void PictureOpening::showBusy() {
  if (pending_.isEmpty() || busyShown_ || earlyShown_) return;
  busyShown_ = true;
  QGuiApplication::setOverrideCursor(Qt::BusyCursor);
}

void PictureOpening::stopWaiting() {
  busyDelay_->stop();
  if (busyShown_) {
    busyShown_ = false;
    QGuiApplication::restoreOverrideCursor();
  }
}
