#include "media/midi_source.h"

#include "media/gst_ptr.h"

#include <algorithm>

namespace {

constexpr qint64 kTickNs = 10'000'000;
// How far ahead of the last buffer one call feeds; the queue of the source holds no more than that.
constexpr qint64 kFeedAheadNs = 200'000'000;
const char kTick = char(0xf9);

}  // namespace

void MidiSource::attach(GstElement* appsrc) {
  const GstMiniPtr<GstCaps> caps(gst_caps_new_empty_simple("audio/x-midi-event"));
  g_object_set(appsrc, "caps", caps.get(), "format", GST_FORMAT_TIME, "stream-type",
               GST_APP_STREAM_TYPE_SEEKABLE, "duration", guint64(song_.durationNs), nullptr);
  GstAppSrcCallbacks callbacks{};
  callbacks.need_data = &MidiSource::onNeedData;
  callbacks.seek_data = &MidiSource::onSeekData;
  gst_app_src_set_callbacks(GST_APP_SRC(appsrc), &callbacks, this, nullptr);
}

void MidiSource::onNeedData(GstAppSrc* src, guint, gpointer self) {
  static_cast<MidiSource*>(self)->feed(src);
}

gboolean MidiSource::onSeekData(GstAppSrc*, guint64 ns, gpointer self) {
  auto* s = static_cast<MidiSource*>(self);
  std::lock_guard lock(s->mutex_);
  const qint64 at = qint64(std::min<quint64>(ns, quint64(s->song_.durationNs)));
  s->startNs_ = at;
  s->next_ = s->song_.firstAt(at);
  s->state_ = s->song_.stateBefore(at);
  s->nextTickNs_ = (at + kTickNs - 1) / kTickNs * kTickNs;
  s->ended_ = false;
  return TRUE;
}

void MidiSource::push(GstAppSrc* src, const char* bytes, int size, qint64 ns) {
  GstBuffer* buffer = gst_buffer_new_memdup(bytes, size);
  GST_BUFFER_PTS(buffer) = GST_BUFFER_DTS(buffer) = GstClockTime(ns);
  gst_app_src_push_buffer(src, buffer);  // takes the buffer
}

void MidiSource::feed(GstAppSrc* src) {
  std::lock_guard lock(mutex_);
  if (ended_) return;
  for (size_t i : state_) {
    const MidiSong::Event& e = song_.events[i];
    push(src, song_.bytes.constData() + e.offset, int(e.size), startNs_);
  }
  state_.clear();
  const qint64 until =
      std::min(nextTickNs_, next_ < song_.events.size() ? song_.events[next_].ns : nextTickNs_) +
      kFeedAheadNs;
  for (;;) {
    const qint64 eventNs = next_ < song_.events.size() ? song_.events[next_].ns : song_.durationNs;
    if (nextTickNs_ < eventNs && nextTickNs_ <= until) {
      push(src, &kTick, 1, nextTickNs_);
      nextTickNs_ += kTickNs;
    } else if (next_ < song_.events.size() && eventNs <= until) {
      const MidiSong::Event& e = song_.events[next_++];
      push(src, song_.bytes.constData() + e.offset, int(e.size), e.ns);
    } else {
      break;
    }
  }
  if (next_ >= song_.events.size() && nextTickNs_ >= song_.durationNs) {
    // A last tick at the very end, so that the synthesizer renders the song's silent close too.
    push(src, &kTick, 1, song_.durationNs);
    ended_ = true;
    gst_app_src_end_of_stream(src);
  }
}
