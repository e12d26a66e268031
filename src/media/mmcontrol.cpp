#include "media/mmcontrol.h"

#include "media/adpcm_source.h"
#include "media/gst_ptr.h"
#include "media/midi_source.h"
#include "media/pcm_source.h"
#include "media/video_surface.h"
#include "platform/file_names.h"

#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <cdio/cdio.h>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

// A medium that has neither started nor failed by then is taken as failed (a demuxer can lose its error).
constexpr int kPrerollLimitMs = 10000;
constexpr int kCdPrerollLimitMs = 30000;  // a disc may have to spin up first
// A medium whose position stands still that long while it plays is taken as failed: a demuxer can spin
// on a stream that holds no data without ever reaching its end. A disc may have to spin up again after a
// pause, which happens while the pipeline already plays.
constexpr int kStallLimitMs = 3000;
constexpr int kCdStallLimitMs = 30000;
constexpr int kProgressCheckMs = 250;
// How often a medium that has not prerolled yet is looked at for a demuxer that gave up unheard.
constexpr int kPrerollCheckMs = 100;
constexpr qint64 kStepMs = 1000;        // "Back"/"Step" in a sound or on the CD
constexpr qint64 kDefaultFrameMs = 40;  // "Back"/"Step" in a movie whose frame rate is unknown
// A medium of one still picture whose length is at least this is no still picture: it shows its picture for
// that time, as a movie does.
constexpr qint64 kLongestStillNs = 100 * qint64(GST_MSECOND);
// An MPEG program stream's demuxer seeks to the pack whose clock reference is the target, past the key frame
// that the target's picture needs, and its decoder then drops every picture up to the next key frame: a
// "Back" went forward by a group of pictures, up to a second. Its seeks start this much earlier (more than
// the longest group of pictures and the lead of the stream's data over its presentation times), and the
// segment it sends is moved up to the target, so that the decoders and sinks drop what lies before it: the
// accurate seek the demuxer does not do.
constexpr qint64 kProgramStreamSeekLeadNs = 2 * qint64(GST_SECOND);
// Frames beyond these are not shown: a hostile file must not make us allocate gigabytes per frame.
constexpr int kMaxFrameSide = 16384;
constexpr qint64 kMaxFramePixels = 40'000'000;
// How long the worker waits for a pipeline to settle before seeking it, in slices so that a close
// in the meantime ends the wait early.
constexpr GstClockTime kSettleSlice = 50 * GST_MSECOND;
constexpr int kSettleSlices = 100;

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr const char* kVideoCaps = "video/x-raw, format=(string){ BGRx, RGBx }";
#else
constexpr const char* kVideoCaps = "video/x-raw, format=(string)RGBx";
#endif

bool supportsCdda(GstElementFactory* factory) {
  const gchar* const* protocols = gst_element_factory_get_uri_protocols(factory);
  for (; protocols && *protocols; ++protocols)
    if (g_ascii_strcasecmp(*protocols, "cdda") == 0) return true;
  return false;
}

void initGStreamer() {
  static std::once_flag once;
  std::call_once(once, [] {
    gst_init(nullptr, nullptr);
    // Read discs through libcdio: it is what finds and ejects the drive here too, and it opens disc
    // images (.cue/.bin) as drives, which the other CD sources do not.
    GstRegistry* registry = gst_registry_get();
    GstRef<GstPluginFeature> cdio =
        GstRef<GstPluginFeature>::adopt(gst_registry_lookup_feature(registry, "cdiocddasrc"));
    if (!cdio) return;
    guint best = 0;
    const OwnedBy<GList, gst_plugin_feature_list_free> sources(
        gst_element_factory_list_get_elements(GST_ELEMENT_FACTORY_TYPE_SRC, GST_RANK_NONE));
    for (GList* l = sources.get(); l; l = l->next) {
      auto* factory = GST_ELEMENT_FACTORY(l->data);
      if (GST_PLUGIN_FEATURE(factory) != cdio.get() && supportsCdda(factory))
        best = std::max(best, gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(factory)));
    }
    if (gst_plugin_feature_get_rank(cdio.get()) <= best) gst_plugin_feature_set_rank(cdio.get(), best + 1);
  });
}

// The thread prepareGStreamer() starts, joined at exit should the program end before GStreamer is up.
struct Preparation {
  std::thread thread;
  ~Preparation() {
    if (thread.joinable()) thread.join();
  }
};

Preparation& preparation() {
  static Preparation instance;
  return instance;
}

// The drive to use: the one the user named, else the one libcdio finds (which may probe the hardware,
// so this runs on GStreamer's threads, never on the UI thread). Empty when there is none.
QByteArray resolveCdDevice(const QByteArray& device) {
  if (!device.isEmpty()) return device;
  QByteArray found;
  if (const OwnedBy<char, cdio_free> name(cdio_get_default_device(nullptr)); name) found = name.get();
  return found;
}

// The first audio output of the machine, best first, that opens; empty when none does. Probed once per
// process, on the worker: autoaudiosink would probe every output again for each medium, and each failing
// one writes its complaints to stderr each time.
const std::string& workingAudioOutput() {
  static std::once_flag once;
  static std::string found;
  std::call_once(once, [] {
    const OwnedBy<GList, gst_plugin_feature_list_free> factories(g_list_sort(
        gst_element_factory_list_get_elements(
            GST_ELEMENT_FACTORY_TYPE_SINK | GST_ELEMENT_FACTORY_TYPE_MEDIA_AUDIO, GST_RANK_MARGINAL),
        gst_plugin_feature_rank_compare_func));
    const GstMiniPtr<GstCaps> raw(gst_caps_new_empty_simple("audio/x-raw"));
    for (GList* l = factories.get(); l && found.empty(); l = l->next) {
      auto* factory = GST_ELEMENT_FACTORY(l->data);
      if (!gst_element_factory_can_sink_any_caps(factory, raw.get())) continue;
      const GstRef<GstElement> sink = GstRef<GstElement>::sink(gst_element_factory_create(factory, nullptr));
      if (!sink) continue;
      if (gst_element_set_state(sink.get(), GST_STATE_READY) == GST_STATE_CHANGE_SUCCESS)
        found = GST_OBJECT_NAME(factory);
      gst_element_set_state(sink.get(), GST_STATE_NULL);
    }
  });
  return found;
}

// The audio sink of a new pipeline: the given output, else the machine's. Without an output that opens, a
// fake one that still keeps time, so that sounds last as long as they should and end as on a machine with
// sound; *audible tells which it is.
GstRef<GstElement> makeAudioSink(const std::optional<std::string>& chosen, bool* audible) {
  const std::string& output = chosen ? *chosen : workingAudioOutput();
  *audible = true;
  if (!output.empty())
    if (auto sink = GstRef<GstElement>::sink(gst_element_factory_make(output.c_str(), nullptr))) return sink;
  *audible = false;
  auto sink = GstRef<GstElement>::sink(gst_element_factory_make("fakesink", nullptr));
  if (sink) g_object_set(sink.get(), "sync", TRUE, nullptr);
  return sink;
}

// A top-down bitmap in AVI has a negative height, which the demuxer carries into the pixel aspect ratio it
// derives from the OpenDML video properties; no converter takes a negative ratio, so such a movie would
// not play. The ratio's size is right, only its sign is not.
GstPadProbeReturn fixAspectSign(GstPad*, GstPadProbeInfo* info, gpointer) {
  GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
  if (!event || GST_EVENT_TYPE(event) != GST_EVENT_CAPS) return GST_PAD_PROBE_OK;
  GstCaps* caps = nullptr;
  gst_event_parse_caps(event, &caps);
  const GstStructure* structure =
      caps && gst_caps_get_size(caps) > 0 ? gst_caps_get_structure(caps, 0) : nullptr;
  gint n = 1, d = 1;
  if (!structure || !gst_structure_get_fraction(structure, "pixel-aspect-ratio", &n, &d) || (n > 0 && d > 0))
    return GST_PAD_PROBE_OK;
  const GstMiniPtr<GstCaps> fixed(gst_caps_copy(caps));
  if (n == 0 || d == 0 || n == G_MININT || d == G_MININT) n = d = 1;
  gst_caps_set_simple(fixed.get(), "pixel-aspect-ratio", GST_TYPE_FRACTION, std::abs(n), std::abs(d),
                      nullptr);
  const GstMiniPtr<GstEvent> replaced(event);  // the probe owns the event it replaces
  GST_PAD_PROBE_INFO_DATA(info) = gst_event_new_caps(fixed.get());
  return GST_PAD_PROBE_OK;
}

void onDemuxerPad(GstElement*, GstPad* pad, gpointer) {
  if (GST_PAD_IS_SRC(pad))
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &fixAspectSign, nullptr, nullptr);
}

// Calls f for every element inside the pipeline, at any depth, until it returns true; whether one did.
template <typename F>
bool anyElement(GstElement* pipeline, F f) {
  bool found = false;
  const OwnedBy<GstIterator, gst_iterator_free> elements(gst_bin_iterate_recurse(GST_BIN(pipeline)));
  GValue item = G_VALUE_INIT;
  for (bool more = true; more && !found;) {
    switch (gst_iterator_next(elements.get(), &item)) {
      case GST_ITERATOR_OK:
        found = f(GST_ELEMENT(g_value_get_object(&item)));
        g_value_reset(&item);
        break;
      case GST_ITERATOR_RESYNC:
        gst_iterator_resync(elements.get());
        break;
      default:
        more = false;
    }
  }
  g_value_unset(&item);
  return found;
}

// Whether a demuxer of the pipeline gave up before it exposed any stream: its pulling task has stopped and
// it has no source pad. decodebin holds back the errors an element it plugs posts while it is still setting
// that element's state (to try another one should the change fail) and drops them when the change
// succeeds; a demuxer that fails at once in pull mode (a .mov cut before its movie header) can post its
// error in that moment, and then nobody hears of it and the pipeline waits for a preroll that never comes.
bool demuxerGaveUp(GstElement* pipeline) {
  return anyElement(pipeline, [](GstElement* element) {
    // Counted by GStreamer under the element's lock (its own code, not a field read here).
    bool exposed = false;
    gst_element_foreach_src_pad(
        element,
        [](GstElement*, GstPad*, gpointer any) -> gboolean {
          *static_cast<bool*>(any) = true;
          return FALSE;
        },
        &exposed);
    bool gaveUp = false;
    if (!exposed)
      gst_element_foreach_sink_pad(
          element,
          [](GstElement*, GstPad* pad, gpointer found) -> gboolean {
            if (gst_pad_get_task_state(pad) == GST_TASK_PAUSED) *static_cast<bool*>(found) = true;
            return TRUE;
          },
          &gaveUp);
    return gaveUp;
  });
}

// How the movie's pictures reach the pipeline: through a decoder of pictures (its input is image/*, as a
// PNG's or a motion JPEG's), through a decoder of video, or raw, with no decoder at all.
enum class Coding { Image, Video, Raw };
Coding videoCoding(GstElement* pipeline) {
  bool decoded = false;
  const bool image = anyElement(pipeline, [&decoded](GstElement* element) {
    GstElementFactory* factory = gst_element_get_factory(element);
    const char* klass =
        factory ? gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS) : nullptr;
    // decodebin and its kin call themselves decoders too; what they plug is what counts.
    if (!klass || !strstr(klass, "Decoder") || strstr(klass, "Bin")) return false;
    decoded = true;
    bool picture = false;
    gst_element_foreach_sink_pad(
        element,
        [](GstElement*, GstPad* pad, gpointer found) -> gboolean {
          const GstMiniPtr<GstCaps> caps(gst_pad_get_current_caps(pad));
          const GstStructure* s =
              caps && gst_caps_get_size(caps.get()) > 0 ? gst_caps_get_structure(caps.get(), 0) : nullptr;
          if (s && g_str_has_prefix(gst_structure_get_name(s), "image/")) *static_cast<bool*>(found) = true;
          return TRUE;
        },
        &picture);
    return picture;
  });
  return image ? Coding::Image : decoded ? Coding::Video : Coding::Raw;
}

}  // namespace

// Runs the pipeline calls that may block (state changes, seeks, the drive) one after another on its own
// thread. Its destructor runs everything still queued, so a pipeline handed over for teardown is always
// brought down.
class MMControl::Worker {
 public:
  Worker() : thread_([this] { run(); }) {}
  ~Worker() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  void post(std::function<void()> task) {
    {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
  }

 private:
  void run() {
    for (;;) {
      std::function<void()> task;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
        if (tasks_.empty()) return;
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool stopping_ = false;
  std::thread thread_;  // last: starts once the members above exist
};

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

  // A MIDI file is read here and fed to the synthesizer by us (midiparse times every event by the last
  // tempo it saw, cannot seek, and spins for ever on an event it does not know); an ADPCM WAV file is
  // decoded by us (GStreamer's WAV reader times it at twice its speed), and a PCM WAV file whose data chunk
  // has an odd length is read by us (GStreamer's WAV reader ends at once on its pad byte). False for a MIDI
  // file that holds no song. On the worker: the file may be slow to read.
  bool prepareOwnSource() {
    QFile file;
    if (!filenames::openForReading(file, path)) return true;
    const QByteArray head = file.peek(12);
    if (looksLikeMidi(head)) {
      const QByteArray bytes = file.read(MidiSong::kMaxFileBytes);
      std::optional<MidiSong> song = readMidiSong(bytes);
      if (!song || song->durationNs <= 0) return false;
      own = std::make_unique<MidiSource>(std::move(*song));
    } else if (head.startsWith("RIFF")) {
      own = AdpcmSource::open(path);
      if (!own) own = PcmSource::open(path);
    }
    if (own) g_object_set(pipeline.get(), "uri", "appsrc://", nullptr);
    return true;
  }

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

  // Where the medium is, as the pipeline would tell it: the furthest of the sinks that answer. The
  // pipeline is asked only when no sink answers (a sink not linked, a pipeline not prerolled).
  bool queryPosition(gint64& position) {
    GstRef<GstElement> sinks[2];
    {
      std::lock_guard lock(sinksMutex);
      sinks[0] = audioSink;
      sinks[1] = videoSink;
    }
    bool known = false;
    for (const GstRef<GstElement>& sink : sinks) {
      gint64 at = -1;
      if (sink && gst_element_query_position(sink.get(), GST_FORMAT_TIME, &at) && at >= 0) {
        position = known ? std::max(position, at) : at;
        known = true;
      }
    }
    return known || gst_element_query_position(pipeline.get(), GST_FORMAT_TIME, &position);
  }

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

  // Whether the medium, just prerolled, is one still picture rather than something to play: no sound, one
  // picture stream, coded as a picture (a PNG, a JPEG, one JPEG frame in a movie file) or raw frames without
  // a rate, and no length beyond its first frame. GStreamer plays such a file as a stream that ends at once;
  // a movie with a variable frame rate has no rate either, but a length.
  bool isStillPicture() {
    if (cd) return false;
    gint audio = 0, video = 0;
    g_object_get(pipeline.get(), "n-audio", &audio, "n-video", &video, nullptr);
    if (audio > 0 || video != 1) return false;
    FirstFrame first;
    {
      std::lock_guard lock(frameMutex);
      if (!firstFrame) return false;
      first = *firstFrame;
    }
    const Coding coding = videoCoding(pipeline.get());
    if (coding == Coding::Video || (coding == Coding::Raw && first.rated)) return false;
    gint64 duration = -1;
    if (!gst_element_query_duration(pipeline.get(), GST_FORMAT_TIME, &duration) || duration <= 0) return true;
    // Half a frame more for containers that round their times (to the millisecond, say). A picture held for
    // longer is shown for that time, as a movie.
    const qint64 frame = first.durationNs > 0 ? first.durationNs : kDefaultFrameMs * qint64(GST_MSECOND);
    return duration < std::min(frame + frame / 2, kLongestStillNs);
  }

  template <typename F>
  void toUi(F&& f) {
    QMetaObject::invokeMethod(owner, std::forward<F>(f), Qt::QueuedConnection);
  }
  void postFailure() {
    toUi([o = owner, g = gen] { o->handleFailure(g); });
  }

  // Waits (on the worker) until the last state change has completed; false if it failed or the
  // session was closed meanwhile.
  bool settle() const {
    for (int i = 0; i < kSettleSlices && !closed; ++i) {
      switch (gst_element_get_state(pipeline.get(), nullptr, nullptr, kSettleSlice)) {
        case GST_STATE_CHANGE_FAILURE:
          return false;
        case GST_STATE_CHANGE_ASYNC:
          continue;
        default:
          return true;
      }
    }
    return false;
  }

  // Every message ends here: returning GST_BUS_DROP hands its reference to us, so it is released on every
  // path; the ones the UI needs travel there with a reference of their own.
  static GstBusSyncReply onBusSync(GstBus*, GstMessage* message, gpointer data) {
    const GstMiniPtr<GstMessage> owned(message);
    auto* s = static_cast<Session*>(data);
    switch (GST_MESSAGE_TYPE(message)) {
      case GST_MESSAGE_EOS:
      case GST_MESSAGE_ERROR:
      case GST_MESSAGE_ASYNC_DONE:
      case GST_MESSAGE_DURATION_CHANGED:
      case GST_MESSAGE_BUFFERING:
        break;
      case GST_MESSAGE_TOC:
        if (!s->cd) return GST_BUS_DROP;
        break;
      case GST_MESSAGE_TAG: {
        if (!s->cd) return GST_BUS_DROP;
        GstTagList* tags = nullptr;
        gst_message_parse_tag(message, &tags);
        const GstMiniPtr<GstTagList> owned(tags);
        guint number = 0;
        const bool hasTrack = tags && gst_tag_list_get_uint(tags, GST_TAG_TRACK_NUMBER, &number);
        if (!hasTrack) return GST_BUS_DROP;
        break;
      }
      default:
        return GST_BUS_DROP;
    }
    // Read here, where the message arises: a seek asked for after this point makes the message stale.
    const quint64 serial = s->seekSerial.load();
    s->toUi([o = s->owner, g = s->gen, serial, m = shareMessage(message)] {
      o->handleMessage(g, serial, m.get());
    });
    return GST_BUS_DROP;
  }

  // Every element the playbin makes, on the thread that makes it.
  static void onElementSetup(GstElement*, GstElement* element, gpointer data) {
    GstElementFactory* factory = gst_element_get_factory(element);
    const char* name = factory ? GST_OBJECT_NAME(factory) : nullptr;
    if (g_strcmp0(name, "avidemux") == 0) {
      g_signal_connect(element, "pad-added", G_CALLBACK(&onDemuxerPad), nullptr);
    } else if (g_strcmp0(name, "mpegpsdemux") == 0) {
      static_cast<Session*>(data)->programStream = true;
      g_signal_connect(element, "pad-added", G_CALLBACK(&onProgramStreamPad), data);
    }
  }

  static void onProgramStreamPad(GstElement*, GstPad* pad, gpointer data) {
    if (GST_PAD_IS_SRC(pad))
      gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &Session::clipSegment, data, nullptr);
  }

  // Moves the start of a segment that begins before the last seek's target up to the target.
  static GstPadProbeReturn clipSegment(GstPad*, GstPadProbeInfo* info, gpointer data) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (!event || GST_EVENT_TYPE(event) != GST_EVENT_SEGMENT) return GST_PAD_PROBE_OK;
    const qint64 clip = static_cast<Session*>(data)->clipNs;
    const GstSegment* segment = nullptr;
    gst_event_parse_segment(event, &segment);
    if (clip < 0 || !segment || segment->format != GST_FORMAT_TIME || segment->rate <= 0 ||
        !GST_CLOCK_TIME_IS_VALID(segment->start) || !GST_CLOCK_TIME_IS_VALID(segment->time) ||
        segment->time >= guint64(clip))
      return GST_PAD_PROBE_OK;
    GstSegment moved;
    gst_segment_copy_into(segment, &moved);
    const guint64 lead = guint64(clip) - segment->time;
    moved.start += lead;
    moved.time += lead;
    moved.position = moved.start;
    if (GST_CLOCK_TIME_IS_VALID(moved.stop) && moved.stop < moved.start) return GST_PAD_PROBE_OK;
    GstEvent* replacement = gst_event_new_segment(&moved);
    gst_event_set_seqnum(replacement, gst_event_get_seqnum(event));
    const GstMiniPtr<GstEvent> replaced(event);  // the probe owns the event it replaces
    GST_PAD_PROBE_INFO_DATA(info) = replacement;
    return GST_PAD_PROBE_OK;
  }

  static void onSourceSetup(GstElement*, GstElement* source, gpointer data) {
    auto* s = static_cast<Session*>(data);
    if (s->own && GST_IS_APP_SRC(source)) s->own->attach(source);
    if (!s->cd || !g_object_class_find_property(G_OBJECT_GET_CLASS(source), "device")) return;
    const QByteArray device = resolveCdDevice(s->cdDevice);
    if (!device.isEmpty()) g_object_set(source, "device", device.constData(), nullptr);
  }

  static GstFlowReturn onNewSample(GstAppSink* sink, gpointer data) {
    GstMiniPtr<GstSample> sample(gst_app_sink_pull_sample(sink));
    if (sample) static_cast<Session*>(data)->deliverFrame(sample.get());
    return GST_FLOW_OK;
  }

  static GstFlowReturn onNewPreroll(GstAppSink* sink, gpointer data) {
    GstMiniPtr<GstSample> sample(gst_app_sink_pull_preroll(sink));
    if (sample) static_cast<Session*>(data)->deliverFrame(sample.get());
    return GST_FLOW_OK;
  }

  // Asks the scaler for the frame size that fills shownArea with the movie's aspect kept. Any thread;
  // the scaler renegotiates with its next frame.
  void updateScaleLocked() {
    if (!scaleCaps || sourceDisplay.isEmpty()) return;
    QSize target = sourceDisplay;
    if (!shownArea.isEmpty() && (target.width() > shownArea.width() || target.height() > shownArea.height()))
      target = target.scaled(shownArea, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    if (target == targetSize) return;
    targetSize = target;
    const GstMiniPtr<GstCaps> caps(gst_caps_from_string(kVideoCaps));
    gst_caps_set_simple(caps.get(), "width", G_TYPE_INT, target.width(), "height", G_TYPE_INT,
                        target.height(), "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
    g_object_set(scaleCaps.get(), "caps", caps.get(), nullptr);
  }

  GstRef<GstElement> makeVideoOutput();

  void setShownArea(QSize area) {
    std::lock_guard lock(frameMutex);
    shownArea = area;
    updateScaleLocked();
  }

  // The caps of the decoded movie, on their way into the scaler: its size is known before the first frame
  // is scaled, so even that one comes at the size shown.
  static GstPadProbeReturn onScalerCaps(GstPad*, GstPadProbeInfo* info, gpointer data) {
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
  static QSize displaySizeOf(const GstVideoInfo& info) {
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

  // Streaming thread: copies the frame into a QImage and hands it to the UI thread.
  void deliverFrame(GstSample* sample) {
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
      frameMs = int(std::clamp<qint64>(
          qint64(1000) * GST_VIDEO_INFO_FPS_D(&info) / GST_VIDEO_INFO_FPS_N(&info), 1, 10000));

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
};

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

QSize MMControl::shownArea() const {
  if (!surface_) return {};
  return surface_->size() * surface_->devicePixelRatio();
}

bool MMControl::eventFilter(QObject* watched, QEvent* event) {
  // The type first: while the surface is destroyed, it is a QWidget no longer a VideoSurface.
  if (event->type() == QEvent::Resize && watched == surface_ && session_) session_->setShownArea(shownArea());
  return QObject::eventFilter(watched, event);
}

MMControl::MMControl(QObject* parent) : QObject(parent) {
  initGStreamer();
  progressCheck_.setInterval(kProgressCheckMs);
  connect(&progressCheck_, &QTimer::timeout, this, &MMControl::checkProgress);
  prerollCheck_.setInterval(kPrerollCheckMs);
  connect(&prerollCheck_, &QTimer::timeout, this, &MMControl::checkPreroll);
  worker_ = std::make_unique<Worker>();
}

void MMControl::prepareGStreamer() {
  Preparation& p = preparation();
  if (!p.thread.joinable()) p.thread = std::thread([] { initGStreamer(); });
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

void MMControl::setHWndDisplay(QWidget* pane) {
  if (pane == pane_) return;
  delete surface_.data();
  pane_ = pane;
  if (pane) {
    surface_ = new VideoSurface(pane);
    surface_->installEventFilter(this);
  }
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
  if (session_->hasVideo) delta = session_->frameMs > 0 ? session_->frameMs.load() : kDefaultFrameMs;
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
    const QByteArray drive = resolveCdDevice(device);
    if (!drive.isEmpty()) cdio_eject_media_drive(drive.constData());
  });
}

void MMControl::close() {
  finishPlay(Aborted);
  closeSession();
}

// ---- the pipeline ----

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
    if (GstRef<GstElement> audio = makeAudioSink(output, &audible)) {
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
  if (session_->cd && !session_->tracks.empty())
    return session_->tracks.back().second - session_->tracks.front().first;
  if (session_->durationMs < 0) {
    gint64 duration = -1;
    if (gst_element_query_duration(session_->pipeline.get(), GST_FORMAT_TIME, &duration) && duration >= 0)
      session_->durationMs = duration / GST_MSECOND;
  }
  return std::max<qint64>(session_->durationMs, 0);
}

qint64 MMControl::positionMs() const {
  if (!session_) return 0;
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
  qint64 ms = std::max<qint64>(position / GST_MSECOND - session_->startMs, 0);
  if (session_->cd) ms += trackOffsetMs(session_->track);
  const qint64 length = lengthMs();
  if (length > 0) ms = std::min(ms, length);
  lastPositionMs_ = ms;
  return ms;
}

qint64 MMControl::trackOffsetMs(int track) const {
  const auto& tracks = session_->tracks;
  if (tracks.empty()) return 0;
  track = std::clamp(track, 1, int(tracks.size()));
  return tracks[track - 1].first - tracks.front().first;
}

int MMControl::trackAt(qint64 ms) const {
  const auto& tracks = session_->tracks;
  int track = 1;
  for (int t = 2; t <= int(tracks.size()); ++t)
    if (trackOffsetMs(t) <= ms) track = t;
  return track;
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
      std::vector<std::pair<qint64, qint64>> tracks;
      for (GList* l = toc ? gst_toc_get_entries(toc) : nullptr; l; l = l->next) {
        auto* entry = static_cast<GstTocEntry*>(l->data);
        if (gst_toc_entry_get_entry_type(entry) != GST_TOC_ENTRY_TYPE_TRACK) continue;
        gint64 start = -1, stop = -1;
        // Tracks must be known, in order and without overlap, or the disc-wide times would be nonsense.
        if (!gst_toc_entry_get_start_stop_times(entry, &start, &stop) || start < 0 || stop < start ||
            (!tracks.empty() && start / GST_MSECOND < tracks.back().second)) {
          tracks.clear();
          break;
        }
        tracks.emplace_back(start / GST_MSECOND, stop / GST_MSECOND);
      }
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

void MMControl::checkProgress() {
  // What legitimately stands still is not counted: a pipeline still prerolling or changing state, a seek
  // not carried out yet, a source filling its buffer. Paused and stopped media have no play pending.
  const auto notCounted = [this] { stillSince_.invalidate(); };
  if (!session_ || !playPending_ || !session_->prerolled || session_->buffering ||
      (pendingSeekMs_ && !pendingSeekFinished_))
    return notCounted();
  GstState current = GST_STATE_VOID_PENDING;
  GstState pending = GST_STATE_VOID_PENDING;
  if (gst_element_get_state(session_->pipeline.get(), &current, &pending, 0) != GST_STATE_CHANGE_SUCCESS ||
      current != GST_STATE_PLAYING || pending != GST_STATE_VOID_PENDING)
    return notCounted();
  gint64 position = -1;
  session_->queryPosition(position);
  if (!stillSince_.isValid() || position != stillPosition_) {
    stillPosition_ = position;
    stillSince_.start();
  } else if (stillSince_.elapsed() >= (session_->cd ? kCdStallLimitMs : kStallLimitMs)) {
    handleFailure(session_->gen);
  }
}

void MMControl::checkPreroll() {
  if (!session_ || session_->prerolled) return prerollCheck_.stop();
  if (demuxerGaveUp(session_->pipeline.get())) handleFailure(session_->gen);
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
