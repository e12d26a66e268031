// The movie's way to the pane: the scaler and appsink in the pipeline, the frames handed to the UI thread,
// and the surface inside the pane that shows them.

#include "media/gst_ptr.h"
#include "media/mmcontrol.h"
#include "media/mmcontrol_session.h"
#include "media/video_surface.h"

#include <QEvent>
#include <QImage>
#include <QSize>
#include <QWidget>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <algorithm>
#include <mutex>
#include <utility>

namespace {

// Frames beyond these are not shown: a hostile file must not make us allocate gigabytes per frame.
constexpr int kMaxFrameSide = 16384;
constexpr qint64 kMaxFramePixels = 40'000'000;

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr const char* kVideoCaps = "video/x-raw, format=(string){ BGRx, RGBx }";
#else
constexpr const char* kVideoCaps = "video/x-raw, format=(string)RGBx";
#endif

}  // namespace

// The movie's way to the pane: a scaler to the size shown, then an appsink that hands the frames over.
GstRef<GstElement> MMControl::Session::makeVideoOutput() {
  Session& s = *this;
  GstRef<GstElement> sink = GstRef<GstElement>::sink(gst_element_factory_make("appsink", nullptr));
  GstRef<GstElement> scaler =
      GstRef<GstElement>::sink(gst_element_factory_make("videoconvertscale", nullptr));
  GstRef<GstElement> filter = GstRef<GstElement>::sink(gst_element_factory_make("capsfilter", nullptr));
  GstRef<GstElement> bin = GstRef<GstElement>::sink(gst_bin_new(nullptr));
  if (!sink || !scaler || !filter || !bin) return {};
  {
    std::lock_guard lock(s.sinksMutex);
    s.videoSink = sink;
  }
  const GstMiniPtr<GstCaps> caps(gst_caps_from_string(kVideoCaps));
  g_object_set(sink.get(), "caps", caps.get(), "max-buffers", 1u, "drop", TRUE, "sync", TRUE,
               "enable-last-sample", FALSE, nullptr);
  g_object_set(filter.get(), "caps", caps.get(), nullptr);
  GstAppSinkCallbacks callbacks{};
  callbacks.new_preroll = &Session::onNewPreroll;
  callbacks.new_sample = &Session::onNewSample;
  gst_app_sink_set_callbacks(GST_APP_SINK(sink.get()), &callbacks, &s, nullptr);
  // The bin takes references of its own on elements that are no longer floating.
  gst_bin_add_many(GST_BIN(bin.get()), scaler.get(), filter.get(), sink.get(), nullptr);
  if (!gst_element_link_many(scaler.get(), filter.get(), sink.get(), nullptr)) return {};
  const GstRef<GstPad> input = GstRef<GstPad>::adopt(gst_element_get_static_pad(scaler.get(), "sink"));
  gst_pad_add_probe(input.get(), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &Session::onScalerCaps, &s, nullptr);
  gst_element_add_pad(bin.get(), gst_ghost_pad_new("sink", input.get()));
  s.scaleCaps = filter;
  return bin;
}

// Asks the scaler for the frame size that fills shownArea with the movie's aspect kept. Any thread;
// the scaler renegotiates with its next frame.
void MMControl::Session::updateScaleLocked() {
  if (!scaleCaps || sourceDisplay.isEmpty()) return;
  QSize target = sourceDisplay;
  if (!shownArea.isEmpty() && (target.width() > shownArea.width() || target.height() > shownArea.height()))
    target = target.scaled(shownArea, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
  if (target == targetSize) return;
  targetSize = target;
  const GstMiniPtr<GstCaps> caps(gst_caps_from_string(kVideoCaps));
  gst_caps_set_simple(caps.get(), "width", G_TYPE_INT, target.width(), "height", G_TYPE_INT, target.height(),
                      "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
  g_object_set(scaleCaps.get(), "caps", caps.get(), nullptr);
}

void MMControl::Session::setShownArea(QSize area) {
  std::lock_guard lock(frameMutex);
  shownArea = area;
  updateScaleLocked();
}

// The caps of the decoded movie, on their way into the scaler: its size is known before the first frame
// is scaled, so even that one comes at the size shown.
GstPadProbeReturn MMControl::Session::onScalerCaps(GstPad*, GstPadProbeInfo* info, gpointer data) {
  GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
  if (!event || GST_EVENT_TYPE(event) != GST_EVENT_CAPS) return GST_PAD_PROBE_OK;
  GstCaps* caps = nullptr;
  gst_event_parse_caps(event, &caps);
  GstVideoInfo video;
  if (!caps || !gst_video_info_from_caps(&video, caps)) return GST_PAD_PROBE_OK;
  const QSize display = displaySizeOf(video);
  if (display.isEmpty()) return GST_PAD_PROBE_OK;
  auto* s = static_cast<Session*>(data);
  std::lock_guard lock(s->frameMutex);
  s->sourceDisplay = display;
  s->updateScaleLocked();
  return GST_PAD_PROBE_OK;
}

// A frame's size in square pixels; empty when the caps say nothing usable.
QSize MMControl::Session::displaySizeOf(const GstVideoInfo& info) {
  const int width = GST_VIDEO_INFO_WIDTH(&info);
  const int height = GST_VIDEO_INFO_HEIGHT(&info);
  if (width <= 0 || height <= 0 || width > kMaxFrameSide || height > kMaxFrameSide) return {};
  QSize display(width, height);
  if (GST_VIDEO_INFO_PAR_N(&info) > 0 && GST_VIDEO_INFO_PAR_D(&info) > 0) {
    const qint64 w = qint64(width) * GST_VIDEO_INFO_PAR_N(&info) / GST_VIDEO_INFO_PAR_D(&info);
    display.setWidth(int(std::clamp<qint64>(w, 1, kMaxFrameSide)));
  }
  return display;
}

GstFlowReturn MMControl::Session::onNewSample(GstAppSink* sink, gpointer data) {
  GstMiniPtr<GstSample> sample(gst_app_sink_pull_sample(sink));
  if (sample) static_cast<Session*>(data)->deliverFrame(sample.get());
  return GST_FLOW_OK;
}

GstFlowReturn MMControl::Session::onNewPreroll(GstAppSink* sink, gpointer data) {
  GstMiniPtr<GstSample> sample(gst_app_sink_pull_preroll(sink));
  if (sample) static_cast<Session*>(data)->deliverFrame(sample.get());
  return GST_FLOW_OK;
}

// Streaming thread: copies the frame into a QImage and hands it to the UI thread.
void MMControl::Session::deliverFrame(GstSample* sample) {
  GstCaps* caps = gst_sample_get_caps(sample);
  GstBuffer* buffer = gst_sample_get_buffer(sample);
  GstVideoInfo info;
  if (!caps || !buffer || !gst_video_info_from_caps(&info, caps)) return;
  const int width = GST_VIDEO_INFO_WIDTH(&info);
  const int height = GST_VIDEO_INFO_HEIGHT(&info);
  if (width <= 0 || height <= 0 || width > kMaxFrameSide || height > kMaxFrameSide ||
      qint64(width) * height > kMaxFramePixels)
    return;
  QImage::Format format;
  switch (GST_VIDEO_INFO_FORMAT(&info)) {
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    case GST_VIDEO_FORMAT_BGRx:
      format = QImage::Format_RGB32;
      break;
#endif
    case GST_VIDEO_FORMAT_RGBx:
      format = QImage::Format_RGBX8888;
      break;
    default:
      return;
  }
  if (GST_VIDEO_INFO_FPS_N(&info) > 0 && GST_VIDEO_INFO_FPS_D(&info) > 0)
    frameMs = int(std::clamp<qint64>(qint64(1000) * GST_VIDEO_INFO_FPS_D(&info) / GST_VIDEO_INFO_FPS_N(&info),
                                     1, 10000));

  QSize display = displaySizeOf(info);

  GstVideoFrame mapped;
  if (!gst_video_frame_map(&mapped, &info, buffer, GST_MAP_READ)) return;
  QImage image = QImage(static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&mapped, 0)), width, height,
                        GST_VIDEO_FRAME_PLANE_STRIDE(&mapped, 0), format)
                     .copy();
  gst_video_frame_unmap(&mapped);
  if (image.isNull()) return;

  // Where the frame sits in the medium: Step and Back move from the frame on screen, which after a pause
  // is the one after the last played (the sink prerolls on it), not from the clock's position.
  qint64 streamNs = -1;
  const GstSegment* segment = gst_sample_get_segment(sample);
  if (segment && GST_BUFFER_PTS_IS_VALID(buffer)) {
    const guint64 t = gst_segment_to_stream_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
    if (t != GST_CLOCK_TIME_NONE) streamNs = qint64(t);
  }
  if (GST_VIDEO_INFO_FPS_N(&info) > 0 && GST_VIDEO_INFO_FPS_D(&info) > 0)
    frameNs =
        qint64(gst_util_uint64_scale(GST_SECOND, GST_VIDEO_INFO_FPS_D(&info), GST_VIDEO_INFO_FPS_N(&info)));

  {
    std::lock_guard lock(frameMutex);
    if (!firstFrame) {
      FirstFrame first;
      first.rated = GST_VIDEO_INFO_FPS_N(&info) > 0 && GST_VIDEO_INFO_FPS_D(&info) > 0;
      if (GST_BUFFER_DURATION_IS_VALID(buffer))
        first.durationNs = qint64(GST_BUFFER_DURATION(buffer));
      else if (first.rated)
        first.durationNs = frameNs;
      firstFrame = first;
    }
    frame = std::move(image);
    // The movie's own aspect, not the scaled frame's rounded one.
    frameDisplaySize = sourceDisplay.isEmpty() ? display : sourceDisplay;
    frameStreamNs = streamNs;
    frameSeekSerial = seekSerial;
    if (framePosted) return;
    framePosted = true;
  }
  toUi([o = owner, g = gen] { o->handleFrame(g); });
}

QSize MMControl::shownArea() const {
  if (!surface_) return {};
  return surface_->size() * surface_->devicePixelRatio();
}

bool MMControl::eventFilter(QObject* watched, QEvent* event) {
  // The type first: while the surface is destroyed, it is a QWidget no longer a VideoSurface.
  if (event->type() == QEvent::Resize && watched == surface_ && session_) session_->setShownArea(shownArea());
  return QObject::eventFilter(watched, event);
}

void MMControl::setHWndDisplay(QWidget* pane) {
  if (pane == pane_) return;
  delete surface_.data();
  pane_ = pane;
  if (pane) {
    surface_ = new VideoSurface(pane);
    surface_->installEventFilter(this);
  }
}

void MMControl::handleFrame(quint64 gen) {
  if (!session_ || session_->gen != gen) return;
  QImage frame;
  QSize displaySize;
  {
    std::lock_guard lock(session_->frameMutex);
    frame = std::move(session_->frame);
    displaySize = session_->frameDisplaySize;
    session_->shownFrameNs = session_->frameStreamNs;
    session_->shownFrameSeekSerial = session_->frameSeekSerial;
    session_->framePosted = false;
  }
  session_->hasVideo = true;
  if (!surface_ || frame.isNull()) return;
  surface_->setFrame(frame, displaySize);
  // Until the first preroll it is not known whether the medium is a still picture, which is never shown.
  if (session_->prerolled) showSurface();
}

void MMControl::showSurface() {
  if (!surface_ || surface_->frame().isNull() || surface_->isVisible()) return;
  if (pane_) surface_->setGeometry(pane_->rect());
  surface_->raise();
  surface_->show();
}
