// MMControl's pipeline on the UI thread: a medium opened and closed, its state and seeks handed to the
// worker, its length and position, and the news GStreamer's threads send about it.

#include "media/audio_output.h"
#include "media/cd_tracks.h"
#include "media/gst_ptr.h"
#include "media/mmcontrol.h"
#include "media/mmcontrol_session.h"
#include "media/mmcontrol_worker.h"
#include "platform/file_names.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QTimer>
#include <QUrl>

#include <gst/gst.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

namespace {

// A medium that has neither started nor failed by then is taken as failed (a demuxer can lose its error).
constexpr int kPrerollLimitMs = 10000;
constexpr int kCdPrerollLimitMs = 30000;  // a disc may have to spin up first
// An MPEG program stream's demuxer seeks to the pack whose clock reference is the target, past the key frame
// that the target's picture needs, and its decoder then drops every picture up to the next key frame: a
// "Back" went forward by a group of pictures, up to a second. Its seeks start this much earlier (more than
// the longest group of pictures and the lead of the stream's data over its presentation times), and the
// segment it sends is moved up to the target, so that the decoders and sinks drop what lies before it: the
// accurate seek the demuxer does not do.
constexpr qint64 kProgramStreamSeekLeadNs = 2 * qint64(GST_SECOND);

}  // namespace

void MMControl::openSession(bool cd) {
  QByteArray uri;
  if (cd) {
    uri = "cdda://1";
  } else {
    if (fileName_.isEmpty()) return;
    // Only regular files: reading a named pipe or a device could block the pipeline for ever.
    // By the file's exact bytes: a name that is not valid UTF-8 is still the file it names.
    if (!filenames::isFile(fileName_)) {
      refused_ = true;
      return;
    }
    uri = filenames::fileUrl(fileName_).toEncoded();
  }
  GstRef<GstElement> playbin = GstRef<GstElement>::sink(gst_element_factory_make("playbin", nullptr));
  if (!playbin) return;

  auto s = std::make_shared<Session>();
  s->owner = this;
  s->gen = ++generation_;
  s->cd = cd;
  s->cdDevice = QFile::encodeName(cdDevice_);
  s->pipeline = playbin;
  g_object_set(playbin.get(), "uri", uri.constData(), "mute", gboolean(silent_), nullptr);

  if (!cd) {
    // Our own scaler sees the decoder's frames: the playbin's converters would scale them first at full
    // size, and hand ours frames already shrunk. Colour balance is never set here.
    constexpr guint kNativeVideo = 0x40, kSoftColourBalance = 0x400;
    guint flags = 0;
    g_object_get(playbin.get(), "flags", &flags, nullptr);
    g_object_set(playbin.get(), "flags", (flags | kNativeVideo) & ~kSoftColourBalance, nullptr);
    if (GstRef<GstElement> videoOut = s->makeVideoOutput())
      g_object_set(playbin.get(), "video-sink", videoOut.get(), nullptr);
    s->setShownArea(shownArea());
  }
  s->path = cd ? QString() : QFileInfo(fileName_).absoluteFilePath();
  g_signal_connect(playbin.get(), "source-setup", G_CALLBACK(&Session::onSourceSetup), s.get());
  g_signal_connect(playbin.get(), "element-setup", G_CALLBACK(&Session::onElementSetup), s.get());
  GstRef<GstBus> bus = GstRef<GstBus>::adopt(gst_element_get_bus(playbin.get()));
  gst_bus_set_sync_handler(bus.get(), &Session::onBusSync, s.get(), nullptr);

  session_ = s;
  atEnd_ = false;
  worker_->post([s, output = audioOutputOverride_] {
    // Choosing the audio output may have to try the machine's outputs first, so it happens here.
    bool audible = true;
    if (GstRef<GstElement> audio = mmcontrol::makeAudioSink(output, &audible)) {
      g_object_set(s->pipeline.get(), "audio-sink", audio.get(), nullptr);
      s->setAudioSink(audio);
    }
    if (!audible) s->toUi([o = s->owner] { o->handleNoSoundOutput(); });
    if (!s->path.isEmpty() && !s->prepareOwnSource()) return s->postFailure();
    if (gst_element_set_state(s->pipeline.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
      s->postFailure();
  });
  prerollCheck_.start();
  QTimer::singleShot(cd ? kCdPrerollLimitMs : kPrerollLimitMs, this, [this, gen = s->gen] {
    if (session_ && session_->gen == gen && !session_->prerolled) handleFailure(gen);
  });
}

void MMControl::closeSession() {
  refused_ = false;
  prerollCheck_.stop();
  if (surface_) {
    surface_->hide();
    surface_->clear();
  }
  atEnd_ = false;
  pendingSeekMs_.reset();
  lastPositionMs_ = 0;
  if (!session_) return;
  std::shared_ptr<Session> s = std::move(session_);
  s->closed = true;
  worker_->post([s] { gst_element_set_state(s->pipeline.get(), GST_STATE_NULL); });
}

void MMControl::setState(int state) {
  worker_->post([s = session_, state] {
    if (s->closed) return;
    if (gst_element_set_state(s->pipeline.get(), GstState(state)) == GST_STATE_CHANGE_FAILURE)
      s->postFailure();
  });
}

void MMControl::seekTo(qint64 ms) {
  const qint64 length = lengthMs();
  ms = std::clamp<qint64>(ms, 0, length > 0 ? length : std::numeric_limits<qint32>::max());
  const quint64 serial = ++session_->seekSerial;
  pendingSeekMs_ = ms;
  pendingSeekSerial_ = serial;
  pendingSeekFinished_ = false;
  atEnd_ = false;

  // On the CD a seek into another track first selects that track; times are then within the track.
  bool trackSeek = false;
  int track = 0;
  qint64 within = ms;
  if (session_->cd && !session_->tracks.empty()) {
    track = trackAt(ms);
    within = ms - trackOffsetMs(track);
    trackSeek = track != session_->track;
    session_->track = track;
  }
  // Positions count from the medium's start, the pipeline's from its first clock reference: a seek to 0
  // that went to the pipeline's 0 would wait out the gap before the first frame and end that much late.
  within += session_->startMs;
  worker_->post([s = session_, serial, trackSeek, track, within] {
    if (s->closed) return;
    if (s->settle()) {
      constexpr auto flags = GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
      GstElement* p = s->pipeline.get();
      if (trackSeek)
        gst_element_seek(p, 1.0, gst_format_get_by_nick("track"), GST_SEEK_FLAG_FLUSH, GST_SEEK_TYPE_SET,
                         track - 1, GST_SEEK_TYPE_NONE, -1);
      qint64 startNs = within * qint64(GST_MSECOND);
      if (s->programStream) {
        s->clipNs = startNs;
        startNs = std::max<qint64>(startNs - kProgramStreamSeekLeadNs, 0);
      }
      if (!trackSeek || within > 0)
        gst_element_seek(p, 1.0, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET, startNs, GST_SEEK_TYPE_NONE, -1);
    }
    s->toUi([o = s->owner, g = s->gen, serial] { o->handleSeekDone(g, serial); });
  });
}

void MMControl::finishPlay(NotifyCode code) {
  if (!playPending_) return;
  playPending_ = false;
  progressCheck_.stop();
  QMetaObject::invokeMethod(
      this, [this, code] { emit Done(code); }, Qt::QueuedConnection);
}

qint64 MMControl::lengthMs() const {
  if (!session_) return 0;
  // The disc's length is its table of contents; until that is read the drive may not be answering, and a
  // query of the pipeline would wait on it here, on the UI thread.
  if (session_->cd)
    return session_->tracks.empty() ? 0 : session_->tracks.back().second - session_->tracks.front().first;
  if (session_->durationMs < 0) {
    gint64 duration = -1;
    if (gst_element_query_duration(session_->pipeline.get(), GST_FORMAT_TIME, &duration) && duration >= 0)
      session_->durationMs = duration / GST_MSECOND;
  }
  return std::max<qint64>(session_->durationMs, 0);
}

qint64 MMControl::positionMs() const {
  if (!session_) return 0;
  // Nor is a disc's position asked of the pipeline before its table of contents is read: a sink that cannot
  // answer passes the query up to the drive.
  if (session_->cd && session_->tracks.empty()) return pendingSeekMs_.value_or(0);
  gint64 position = -1;
  const bool known = session_->queryPosition(position) && position >= 0;
  // Until the worker has carried out the last seek and the sinks report from there, the target is the
  // position; reporting the old one would make the player's slider jump back and forth.
  if (pendingSeekMs_) {
    if (!known || !pendingSeekFinished_) return *pendingSeekMs_;
    pendingSeekMs_.reset();
  }
  // A medium that played to its end is at its end, whatever its sinks last rendered: on a busy machine a
  // movie's late frames are dropped, and its video sink then reports the last one it drew.
  if (const qint64 length = lengthMs(); atEnd_ && length > 0) return lastPositionMs_ = length;
  // Until the first preroll is handled here the medium's start is not known, so neither is where it is: it
  // has not moved since it was opened.
  if (!known || !session_->prerolled) return lastPositionMs_;
  // A paused movie is where its picture is. Pausing prerolls the next frame, while the sinks still report
  // the clock's place a frame before it: a Back from there would seem to go nowhere.
  if (!playPending_ && session_->hasVideo && session_->shownFrameNs >= 0 &&
      session_->shownFrameSeekSerial == session_->seekSerial)
    position = session_->shownFrameNs;
  qint64 ms = std::max<qint64>(position / GST_MSECOND - session_->startMs, 0);
  if (session_->cd) ms += trackOffsetMs(session_->track);
  const qint64 length = lengthMs();
  if (length > 0) ms = std::min(ms, length);
  lastPositionMs_ = ms;
  return ms;
}

// ---- news from GStreamer, on the UI thread ----

void MMControl::handleMessage(quint64 gen, quint64 seekSerial, GstMessage* message) {
  if (!session_ || session_->gen != gen) return;
  switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
      handleEos(seekSerial);
      break;
    case GST_MESSAGE_ERROR:
      handleFailure(gen);
      break;
    case GST_MESSAGE_ASYNC_DONE: {
      // A medium that holds no data at all (a WAV whose data chunk is empty) fails at once rather than
      // being played for ever by a demuxer that never reaches its end.
      gint64 duration = -1;
      if (!session_->prerolled &&
          gst_element_query_duration(session_->pipeline.get(), GST_FORMAT_TIME, &duration) && duration == 0) {
        handleFailure(gen);
        break;
      }
      // A still picture that reached us (the picture loader did not take it) is no medium that plays: it
      // fails as an unplayable file does, before it was ever shown.
      if (!session_->prerolled && session_->isStillPicture()) {
        handleFailure(gen);
        break;
      }
      // Some demuxers report positions ahead of the medium's start (MPEG program streams by their first
      // presentation time over the first clock reference, some 330 ms): the place of the first preroll,
      // before any seek, is taken as the start, or the slider would reach its end early.
      gint64 start = -1;
      if (!session_->prerolled && !session_->cd && session_->seekSerial == 0 &&
          session_->queryPosition(start) && start > 0)
        session_->startMs = start / GST_MSECOND;
      const bool firstPreroll = !session_->prerolled;
      session_->prerolled = true;
      prerollCheck_.stop();
      if (firstPreroll) showSurface();
      session_->durationMs = -1;
      gint videoStreams = 0;
      g_object_get(session_->pipeline.get(), "n-video", &videoStreams, nullptr);
      if (videoStreams > 0) session_->hasVideo = true;
      break;
    }
    case GST_MESSAGE_DURATION_CHANGED:
      session_->durationMs = -1;
      break;
    case GST_MESSAGE_BUFFERING: {
      gint percent = 100;
      gst_message_parse_buffering(message, &percent);
      session_->buffering = percent < 100;
      break;
    }
    case GST_MESSAGE_TOC: {
      GstToc* toc = nullptr;
      gst_message_parse_toc(message, &toc, nullptr);
      GstMiniPtr<GstToc> owned(toc);
      std::vector<std::pair<qint64, qint64>> tracks = mmcontrol::cdTracks(toc);
      if (!tracks.empty()) session_->tracks = std::move(tracks);
      break;
    }
    case GST_MESSAGE_TAG: {
      if (seekSerial != session_->seekSerial) break;  // from before the last seek
      GstTagList* tags = nullptr;
      gst_message_parse_tag(message, &tags);
      const GstMiniPtr<GstTagList> owned(tags);
      guint number = 0;
      if (tags && gst_tag_list_get_uint(tags, GST_TAG_TRACK_NUMBER, &number) && number >= 1 &&
          (session_->tracks.empty() || number <= session_->tracks.size()))
        session_->track = int(number);
      break;
    }
    default:
      break;
  }
}

void MMControl::handleEos(quint64 seekSerial) {
  if (seekSerial != session_->seekSerial) return;  // the end of a stretch that a later seek replaced
  if (session_->cd && session_->track < int(session_->tracks.size())) {
    seekTo(trackOffsetMs(session_->track + 1));  // the disc goes on with the next track
    return;
  }
  atEnd_ = true;
  setState(GST_STATE_PAUSED);
  finishPlay(Successful);
}

void MMControl::handleFailure(quint64 gen) {
  if (!session_ || session_->gen != gen) return;
  finishPlay(Failure);
  closeSession();
}

void MMControl::handleNoSoundOutput() {
  // Told once, even if that medium is closed by now: the lack is the machine's, not the medium's.
  if (!soundAudible_) return;
  soundAudible_ = false;
  emit noSoundOutput();
}

void MMControl::handleSeekDone(quint64 gen, quint64 serial) {
  if (session_ && session_->gen == gen && serial == pendingSeekSerial_) pendingSeekFinished_ = true;
}
