#pragma once

// MMControl's open medium, internal to the media room: the pipeline and what GStreamer's threads share
// with the UI thread. Its callbacks are in mmcontrol_session.cpp, its movie output in video_output.cpp.

#include "media/app_source.h"
#include "media/gst_ptr.h"
#include "media/mmcontrol.h"

#include <QByteArray>
#include <QImage>
#include <QMetaObject>
#include <QSize>
#include <QString>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace mmcontrol {

constexpr qint64 kDefaultFrameMs = 40;  // "Back"/"Step" in a movie whose frame rate is unknown

}  // namespace mmcontrol

// One opened medium: its pipeline and what the GStreamer callbacks share with the UI thread. The UI
// holds it while the medium is open; the worker's teardown task holds the last reference, so the
// callbacks (which get a plain pointer) never outlive it: they only run while the pipeline is not NULL.
struct MMControl::Session {
  MMControl* owner = nullptr;
  quint64 gen = 0;
  bool cd = false;
  QByteArray cdDevice;  // as set by the user; empty = libcdio's default drive
  GstRef<GstElement> pipeline;
  std::atomic<bool> closed{false};     // the UI let go; the worker skips what is still queued
  std::atomic<quint64> seekSerial{0};  // bumped by the UI for every seek it asks for

  // The newest decoded frame, written on a streaming thread and taken on the UI thread. At most one
  // handover is queued at a time; frames that arrive meanwhile replace the waiting one.
  std::mutex frameMutex;
  QImage frame;
  QSize frameDisplaySize;
  qint64 frameStreamNs = -1;    // the waiting frame's place in the medium; -1 = unknown
  quint64 frameSeekSerial = 0;  // the last seek asked for when it came
  bool framePosted = false;
  // The frames are scaled in the pipeline to the size they are shown at (device pixels of the surface),
  // never above the movie's own: copying full frames and scaling them on the UI thread cost more than
  // decoding them. sourceDisplay is the movie's size in square pixels, from the caps reaching the scaler.
  QSize sourceDisplay;             // under frameMutex, as the two below
  QSize shownArea;                 // where frames are shown; empty = nowhere
  QSize targetSize;                // what the scaler's caps ask for now
  GstRef<GstElement> scaleCaps;    // the capsfilter after the scaler
  std::atomic<int> frameMs{0};     // one frame's duration from the negotiated caps; 0 = unknown
  std::atomic<qint64> frameNs{0};  // the same, exact
  // What the first frame to reach the sink told, for telling a still picture from a movie (under frameMutex).
  struct FirstFrame {
    qint64 durationNs = -1;  // the buffer's, else one frame at the caps' rate; -1 = unknown
    bool rated = false;      // the caps give a frame rate (raw frames without one may be a still picture)
  };
  std::optional<FirstFrame> firstFrame;
  // An MPEG program stream is demuxed: its seeks start early and are clipped to their target (the stream
  // time clipNs; -1 = none yet) on the demuxer's pads. See kProgramStreamSeekLeadNs.
  std::atomic<bool> programStream{false};
  std::atomic<qint64> clipNs{-1};
  // A MIDI file, an ADPCM WAV file or a PCM WAV file GStreamer cannot read, read by us and fed through
  // "appsrc://"; set by the worker before the pipeline starts.
  std::unique_ptr<AppSource> own;
  QString path;  // the file, for the worker to read

  bool prepareOwnSource();

  // The sinks the playbin was given (the audio sink, the movie's appsink), asked for the position
  // themselves: a query of the pipeline goes down through every bin to them, which at each tick cost
  // several times what the sinks' own answer does. The audio sink is set by the worker.
  std::mutex sinksMutex;
  GstRef<GstElement> audioSink;
  GstRef<GstElement> videoSink;

  void setAudioSink(GstRef<GstElement> sink) {
    std::lock_guard lock(sinksMutex);
    audioSink = std::move(sink);
  }
  bool queryPosition(gint64& position);

  // UI thread only.
  qint64 durationMs = -1;  // -1 = not known yet
  bool hasVideo = false;
  qint64 shownFrameNs = -1;  // the place of the frame on screen; -1 = unknown
  quint64 shownFrameSeekSerial = 0;
  qint64 startMs = 0;      // the position the medium reported at its first preroll, taken as its start
  bool prerolled = false;  // UI thread only
  bool buffering = false;  // a network-like source is filling its buffer
  std::vector<std::pair<qint64, qint64>> tracks;  // CD: start and stop of each audio track, ms
  int track = 1;                                  // CD: the current track, from 1

  bool isStillPicture();

  template <typename F>
  void toUi(F&& f) {
    QMetaObject::invokeMethod(owner, std::forward<F>(f), Qt::QueuedConnection);
  }
  void postFailure() {
    toUi([o = owner, g = gen] { o->handleFailure(g); });
  }
  bool settle() const;

  static GstBusSyncReply onBusSync(GstBus*, GstMessage* message, gpointer data);
  static void onElementSetup(GstElement*, GstElement* element, gpointer data);
  static void onProgramStreamPad(GstElement*, GstPad* pad, gpointer data);
  static GstPadProbeReturn clipSegment(GstPad*, GstPadProbeInfo* info, gpointer data);
  static void onSourceSetup(GstElement*, GstElement* source, gpointer data);

  // The movie's way to the pane, in video_output.cpp.
  GstRef<GstElement> makeVideoOutput();
  void setShownArea(QSize area);
  void updateScaleLocked();
  static GstPadProbeReturn onScalerCaps(GstPad*, GstPadProbeInfo* info, gpointer data);
  static QSize displaySizeOf(const GstVideoInfo& info);
  static GstFlowReturn onNewSample(GstAppSink* sink, gpointer data);
  static GstFlowReturn onNewPreroll(GstAppSink* sink, gpointer data);
  void deliverFrame(GstSample* sample);
};
