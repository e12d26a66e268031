// MMControl's face: its making and end, its properties, and the commands, which hand the work that may
// block to the worker.

#include "media/mmcontrol.h"

#include "media/cd_tracks.h"
#include "media/gst_start.h"
#include "media/mmcontrol_session.h"
#include "media/mmcontrol_worker.h"

#include <QFile>
#include <QLatin1String>
#include <QTimer>

#include <cdio/cdio.h>
#include <gst/gst.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

namespace {

constexpr int kProgressCheckMs = 250;
// How often a medium that has not prerolled yet is looked at for a demuxer that gave up unheard.
constexpr int kPrerollCheckMs = 100;
constexpr qint64 kStepMs = 1000;  // "Back"/"Step" in a sound or on the CD

}  // namespace

MMControl::MMControl(QObject* parent) : QObject(parent) {
  mmcontrol::initGStreamer();
  progressCheck_.setInterval(kProgressCheckMs);
  connect(&progressCheck_, &QTimer::timeout, this, &MMControl::checkProgress);
  prerollCheck_.setInterval(kPrerollCheckMs);
  connect(&prerollCheck_, &QTimer::timeout, this, &MMControl::checkPreroll);
  worker_ = std::make_unique<Worker>();
}

MMControl::~MMControl() {
  closeSession();
  worker_.reset();  // runs the teardown queued above; no GStreamer thread calls us after this
  delete surface_.data();
}

void MMControl::setCommand(const QString& command) {
  emit commandSent(command);
  const std::optional<qint32> from = std::exchange(from_, std::nullopt);
  const auto is = [&command](const char* name) {
    return command.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
  };
  if (is("Open"))
    open();
  else if (is("Play"))
    play(from);
  else if (is("Pause") || is("Stop"))
    pause();
  else if (is("Prev"))
    prev();
  else if (is("Back"))
    step(-1);
  else if (is("Step"))
    step(+1);
  else if (is("Eject"))
    eject();
  else if (is("Close"))
    close();
}

void MMControl::setDeviceType(const QString& type) { deviceType_ = type; }

qint32 MMControl::Length() const {
  return qint32(std::min<qint64>(lengthMs(), std::numeric_limits<qint32>::max()));
}

qint32 MMControl::Position() const {
  return qint32(std::min<qint64>(positionMs(), std::numeric_limits<qint32>::max()));
}

void MMControl::setSilent(bool silent) {
  silent_ = silent;
  if (session_) g_object_set(session_->pipeline.get(), "mute", gboolean(silent), nullptr);
}

GstElement* MMControl::pipeline() const { return session_ ? session_->pipeline.get() : nullptr; }

// ---- commands ----

void MMControl::open() {
  close();
  openSession(deviceType_.compare(QLatin1String("CDAudio"), Qt::CaseInsensitive) == 0);
}

void MMControl::play(std::optional<qint32> from) {
  if (!session_) {
    // A file that was refused at Open fails its play, as one that failed while opening does.
    if (refused_) {
      refused_ = false;  // reported once; from now on it is as closed
      playPending_ = true;
      finishPlay(Failure);
    }
    return;
  }
  finishPlay(Superseded);
  // A play button pressed at the end starts over; the player's position timer may still have left a
  // From at the very end, which must not stop that.
  const qint64 length = lengthMs();
  if (from && !(atEnd_ && length > 0 && *from >= length))
    seekTo(*from);
  else if (atEnd_)
    seekTo(0);
  playPending_ = true;
  stillSince_.invalidate();
  progressCheck_.start();
  setState(GST_STATE_PLAYING);
}

void MMControl::pause() {
  if (!session_) return;
  finishPlay(Aborted);
  setState(GST_STATE_PAUSED);
}

void MMControl::prev() {
  if (!session_) return;
  seekTo(session_->cd ? trackOffsetMs(session_->track) : 0);
}

void MMControl::step(int direction) {
  if (!session_) return;
  qint64 delta = kStepMs;
  if (session_->hasVideo)
    delta = session_->frameMs > 0 ? session_->frameMs.load() : mmcontrol::kDefaultFrameMs;
  // A movie steps from the frame on screen, to the first millisecond of its neighbour (a frame of 33.3 ms
  // rounded down would land in the same frame again). A frame from before the last seek is old news: then
  // the step goes from the seek's target.
  const qint64 frameNs = session_->frameNs;
  if (session_->hasVideo && frameNs > 0 && session_->shownFrameNs >= 0 &&
      session_->shownFrameSeekSerial == session_->seekSerial) {
    const qint64 targetNs = session_->shownFrameNs - session_->startMs * GST_MSECOND + direction * frameNs;
    seekTo((std::max<qint64>(targetNs, 0) + GST_MSECOND - 1) / GST_MSECOND);
    return;
  }
  seekTo(positionMs() + direction * delta);
}

void MMControl::eject() {
  if (session_ && session_->cd) close();
  worker_->post([device = QFile::encodeName(cdDevice_)] {
    const QByteArray drive = mmcontrol::resolveCdDevice(device);
    if (!drive.isEmpty()) cdio_eject_media_drive(drive.constData());
  });
}

void MMControl::close() {
  finishPlay(Aborted);
  closeSession();
}
