#include "media/adpcm_source.h"

#include "media/audio_feed.h"
#include "media/gst_ptr.h"
#include "platform/file_names.h"

#include <gst/audio/audio.h>

#include <algorithm>

namespace {}  // namespace

std::unique_ptr<AdpcmSource> AdpcmSource::open(const QString& path) {
  std::unique_ptr<AdpcmSource> source(new AdpcmSource);
  if (!filenames::openForReading(source->file_, path)) return nullptr;
  std::optional<AdpcmWave> wave = readAdpcmWave(source->file_);
  if (!wave) return nullptr;
  source->wave_ = std::move(*wave);
  return source;
}

void AdpcmSource::attach(GstElement* appsrc) {
  GstAppSrcCallbacks callbacks{};
  callbacks.need_data = &AdpcmSource::onNeedData;
  callbacks.seek_data = &AdpcmSource::onSeekData;
  audiofeed::setUp(appsrc, GST_AUDIO_FORMAT_S16, wave_.rate, wave_.channels, wave_.durationNs(), callbacks,
                   this);
}

void AdpcmSource::onNeedData(GstAppSrc* src, guint, gpointer self) {
  static_cast<AdpcmSource*>(self)->feed(src);
}

gboolean AdpcmSource::onSeekData(GstAppSrc*, guint64 ns, gpointer self) {
  auto* s = static_cast<AdpcmSource*>(self);
  std::lock_guard lock(s->mutex_);
  const qint64 frame = qint64(gst_util_uint64_scale_int(ns, s->wave_.rate, GST_SECOND));
  s->nextBlock_ = std::min(frame, s->wave_.frames) / s->wave_.framesPerBlock;
  s->ended_ = false;
  return TRUE;
}

void AdpcmSource::feed(GstAppSrc* src) {
  std::lock_guard lock(mutex_);
  if (ended_) return;
  const AdpcmWave& w = wave_;
  const qint64 firstFrame = nextBlock_ * w.framesPerBlock;
  const qint64 perBuffer = std::max<qint64>(
      1, qint64(gst_util_uint64_scale_int(audiofeed::kBufferNs, w.rate, GST_SECOND)) / w.framesPerBlock);
  const qint64 blocks =
      std::min(perBuffer, (w.frames - firstFrame + w.framesPerBlock - 1) / w.framesPerBlock);
  qint64 got = 0;
  if (blocks > 0 && file_.seek(w.dataOffset + nextBlock_ * w.blockAlign)) {
    const qint64 want = std::min(blocks * w.blockAlign, w.dataBytes - nextBlock_ * w.blockAlign);
    raw_.resize(size_t(std::max<qint64>(want, 0)));
    got = want > 0 ? file_.read(raw_.data(), want) : 0;
  }
  qint64 frames = 0;
  if (got > 0) {
    const qint64 capacity = std::min(blocks * w.framesPerBlock, w.frames - firstFrame);
    GstMiniPtr<GstBuffer> owned(
        gst_buffer_new_allocate(nullptr, gsize(blocks * w.framesPerBlock * w.channels * 2), nullptr));
    GstBuffer* buffer = owned.get();
    GstMapInfo map;
    if (buffer && gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
      auto* out = reinterpret_cast<qint16*>(map.data);
      for (qint64 at = 0; at < got && frames < capacity; at += w.blockAlign) {
        const int size = int(std::min<qint64>(w.blockAlign, got - at));
        const int decoded = decodeAdpcmBlock(w, reinterpret_cast<const uchar*>(raw_.data()) + at, size,
                                             out + frames * w.channels);
        if (decoded <= 0) break;
        frames += decoded;
      }
      frames = std::min(frames, capacity);
      gst_buffer_unmap(buffer, &map);
    }
    if (buffer && frames > 0) {
      gst_buffer_set_size(buffer, gssize(frames * w.channels * 2));
      audiofeed::stamp(buffer, firstFrame, frames, w.rate);
      gst_app_src_push_buffer(src, owned.release());  // takes the buffer
    }
  }
  nextBlock_ += blocks;
  // A file cut short while it plays ends where its bytes do.
  if (frames <= 0 || firstFrame + frames >= w.frames) {
    ended_ = true;
    gst_app_src_end_of_stream(src);
  }
}
