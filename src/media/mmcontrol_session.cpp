// The open medium's side of MMControl: our own sources, the position from the sinks, the still picture told
// from a movie, and the callbacks GStreamer's threads call (the bus, the elements the playbin makes).

#include "media/mmcontrol_session.h"

#include "media/adpcm_source.h"
#include "media/cd_tracks.h"
#include "media/gst_ptr.h"
#include "media/midi_song.h"
#include "media/midi_source.h"
#include "media/mmcontrol.h"
#include "media/pcm_source.h"
#include "media/pipeline_elements.h"
#include "platform/file_names.h"

#include <QByteArray>
#include <QFile>

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace {

// A medium of one still picture whose length is at least this is no still picture: it shows its picture for
// that time, as a movie does.
constexpr qint64 kLongestStillNs = 100 * qint64(GST_MSECOND);
// How long the worker waits for a pipeline to settle before seeking it, in slices so that a close
// in the meantime ends the wait early.
constexpr GstClockTime kSettleSlice = 50 * GST_MSECOND;
constexpr int kSettleSlices = 100;

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

// How the movie's pictures reach the pipeline: through a decoder of pictures (its input is image/*, as a
// PNG's or a motion JPEG's), through a decoder of video, or raw, with no decoder at all.
enum class Coding { Image, Video, Raw };
Coding videoCoding(GstElement* pipeline) {
  bool decoded = false;
  const bool image = mmcontrol::anyElement(pipeline, [&decoded](GstElement* element) {
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

// A MIDI file is read here and fed to the synthesizer by us (midiparse times every event by the last
// tempo it saw, cannot seek, and spins for ever on an event it does not know); an ADPCM WAV file is
// decoded by us (GStreamer's WAV reader times it at twice its speed), and a PCM WAV file whose data chunk
// has an odd length is read by us (GStreamer's WAV reader ends at once on its pad byte). False for a MIDI
// file that holds no song. On the worker: the file may be slow to read.
bool MMControl::Session::prepareOwnSource() {
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

// Where the medium is, as the pipeline would tell it: the furthest of the sinks that answer. The
// pipeline is asked only when no sink answers (a sink not linked, a pipeline not prerolled).
bool MMControl::Session::queryPosition(gint64& position) {
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

// Whether the medium, just prerolled, is one still picture rather than something to play: no sound, one
// picture stream, coded as a picture (a PNG, a JPEG, one JPEG frame in a movie file) or raw frames without
// a rate, and no length beyond its first frame. GStreamer plays such a file as a stream that ends at once;
// a movie with a variable frame rate has no rate either, but a length.
bool MMControl::Session::isStillPicture() {
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
  const qint64 frame =
      first.durationNs > 0 ? first.durationNs : mmcontrol::kDefaultFrameMs * qint64(GST_MSECOND);
  return duration < std::min(frame + frame / 2, kLongestStillNs);
}

// Waits (on the worker) until the last state change has completed; false if it failed or the
// session was closed meanwhile.
bool MMControl::Session::settle() const {
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
GstBusSyncReply MMControl::Session::onBusSync(GstBus*, GstMessage* message, gpointer data) {
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
void MMControl::Session::onElementSetup(GstElement*, GstElement* element, gpointer data) {
  GstElementFactory* factory = gst_element_get_factory(element);
  const char* name = factory ? GST_OBJECT_NAME(factory) : nullptr;
  if (g_strcmp0(name, "avidemux") == 0) {
    g_signal_connect(element, "pad-added", G_CALLBACK(&onDemuxerPad), nullptr);
  } else if (g_strcmp0(name, "mpegpsdemux") == 0) {
    static_cast<Session*>(data)->programStream = true;
    g_signal_connect(element, "pad-added", G_CALLBACK(&onProgramStreamPad), data);
  }
}

void MMControl::Session::onProgramStreamPad(GstElement*, GstPad* pad, gpointer data) {
  if (GST_PAD_IS_SRC(pad))
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &Session::clipSegment, data, nullptr);
}

// Moves the start of a segment that begins before the last seek's target up to the target.
GstPadProbeReturn MMControl::Session::clipSegment(GstPad*, GstPadProbeInfo* info, gpointer data) {
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

void MMControl::Session::onSourceSetup(GstElement*, GstElement* source, gpointer data) {
  auto* s = static_cast<Session*>(data);
  if (s->own && GST_IS_APP_SRC(source)) s->own->attach(source);
  if (!s->cd || !g_object_class_find_property(G_OBJECT_GET_CLASS(source), "device")) return;
  const QByteArray device = mmcontrol::resolveCdDevice(s->cdDevice);
  if (!device.isEmpty()) g_object_set(source, "device", device.constData(), nullptr);
}
