#pragma once

#include <QtGlobal>

#include <gst/app/gstappsrc.h>
#include <gst/audio/audio.h>

#include "media/gst_ptr.h"

// What the sound sources of our own (ADPCM and PCM WAV) share: how their appsrc is set up, how much a buffer
// holds, and how a buffer of frames is stamped.
namespace audiofeed {

// About 100 ms of sound a buffer.
constexpr qint64 kBufferNs = 100'000'000;

inline qint64 frameNs(qint64 frame, int rate) {
  return qint64(gst_util_uint64_scale_int(quint64(frame), GST_SECOND, rate));
}

// A seekable source of raw sound in time format, of the given length, fed by `self`'s callbacks.
inline void setUp(GstElement* appsrc, GstAudioFormat format, int rate, int channels, qint64 durationNs,
                  GstAppSrcCallbacks callbacks, gpointer self) {
  GstAudioInfo info;
  gst_audio_info_set_format(&info, format, rate, channels, nullptr);
  const GstMiniPtr<GstCaps> caps(gst_audio_info_to_caps(&info));
  g_object_set(appsrc, "caps", caps.get(), "format", GST_FORMAT_TIME, "stream-type",
               GST_APP_STREAM_TYPE_SEEKABLE, "duration", guint64(durationNs), nullptr);
  gst_app_src_set_callbacks(GST_APP_SRC(appsrc), &callbacks, self, nullptr);
}

// Times a buffer holding `frames` frames from frame `first` on.
inline void stamp(GstBuffer* buffer, qint64 first, qint64 frames, int rate) {
  GST_BUFFER_PTS(buffer) = GstClockTime(frameNs(first, rate));
  GST_BUFFER_DURATION(buffer) = GstClockTime(frameNs(first + frames, rate) - frameNs(first, rate));
  GST_BUFFER_OFFSET(buffer) = guint64(first);
  GST_BUFFER_OFFSET_END(buffer) = guint64(first + frames);
}

}  // namespace audiofeed
