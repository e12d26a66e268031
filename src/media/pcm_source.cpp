#include "media/pcm_source.h"

#include "media/audio_feed.h"
#include "media/gst_ptr.h"
#include "platform/file_names.h"

#include <gst/audio/audio.h>

#include <algorithm>

namespace {

GstAudioFormat formatOf(int bits) {
  switch (bits) {
    case 8:
      return GST_AUDIO_FORMAT_U8;
    case 16:
      return GST_AUDIO_FORMAT_S16LE;
    case 24:
      return GST_AUDIO_FORMAT_S24LE;
    default:
      return GST_AUDIO_FORMAT_S32LE;
  }
}

}  // namespace

std::unique_ptr<PcmSource> PcmSource::open(const QString& path) {
  std::unique_ptr<PcmSource> source(new PcmSource);
  if (!filenames::openForReading(source->file_, path)) return nullptr;
  std::optional<PcmWave> wave = readPcmWave(source->file_);
  // Any other PCM WAV file GStreamer plays well, and with less of our time.
  if (!wave || wave->dataBytes % 2 == 0) return nullptr;
  source->wave_ = *wave;
  return source;
}

void PcmSource::attach(GstElement* appsrc) {
  GstAppSrcCallbacks callbacks{};
  callbacks.need_data = &PcmSource::onNeedData;
  callbacks.seek_data = &PcmSource::onSeekData;
  audiofeed::setUp(appsrc, formatOf(wave_.bits), wave_.rate, wave_.channels, wave_.durationNs(), callbacks,
                   this);
}

void PcmSource::onNeedData(GstAppSrc* src, guint, gpointer self) { static_cast<PcmSource*>(self)->feed(src); }

gboolean PcmSource::onSeekData(GstAppSrc*, guint64 ns, gpointer self) {
  auto* s = static_cast<PcmSource*>(self);
  std::lock_guard lock(s->mutex_);
  s->nextFrame_ = std::min(qint64(gst_util_uint64_scale_int(ns, s->wave_.rate, GST_SECOND)), s->wave_.frames);
  s->ended_ = false;
  return TRUE;
}

void PcmSource::feed(GstAppSrc* src) {
  std::lock_guard lock(mutex_);
  if (ended_) return;
  const PcmWave& w = wave_;
  const qint64 first = nextFrame_;
  const qint64 wanted =
      std::min(std::max<qint64>(1, gst_util_uint64_scale_int(audiofeed::kBufferNs, w.rate, GST_SECOND)),
               w.frames - first);
  qint64 frames = 0;
  if (wanted > 0 && file_.seek(w.dataOffset + first * w.frameBytes())) {
    GstMiniPtr<GstBuffer> owned(gst_buffer_new_allocate(nullptr, gsize(wanted * w.frameBytes()), nullptr));
    GstMapInfo map;
    if (owned && gst_buffer_map(owned.get(), &map, GST_MAP_WRITE)) {
      const qint64 got = file_.read(reinterpret_cast<char*>(map.data), wanted * w.frameBytes());
      gst_buffer_unmap(owned.get(), &map);
      frames = std::max<qint64>(got, 0) / w.frameBytes();
    }
    if (frames > 0) {
      GstBuffer* buffer = owned.get();
      gst_buffer_set_size(buffer, gssize(frames * w.frameBytes()));
      audiofeed::stamp(buffer, first, frames, w.rate);
      gst_app_src_push_buffer(src, owned.release());  // takes the buffer
    }
  }
  nextFrame_ = first + frames;
  // A file cut short while it plays ends where its bytes do.
  if (frames <= 0 || nextFrame_ >= w.frames) {
    ended_ = true;
    gst_app_src_end_of_stream(src);
  }
}
