#pragma once

#include "media/app_source.h"
#include "media/pcm_wave.h"

#include <QFile>

#include <gst/app/gstappsrc.h>

#include <memory>
#include <mutex>

// Feeds a PCM WAV file that GStreamer's WAV reader cannot play (a data chunk of odd length, then its pad
// byte: it ends at once) to a playbin through its "appsrc://" source, about 100 ms of the file's own samples
// a buffer, each stamped from its first frame. Seeks arrive here and go on from the sought frame. The
// session of MMControl owns it; the callbacks run on GStreamer's threads while the pipeline is not NULL, and
// read the file there.
class PcmSource : public AppSource {
 public:
  // The source for the file, or null when it is no such WAV file. On the worker: reads the file.
  static std::unique_ptr<PcmSource> open(const QString& path);

  void attach(GstElement* appsrc) override;

 private:
  PcmSource() = default;
  static void onNeedData(GstAppSrc* src, guint length, gpointer self);
  static gboolean onSeekData(GstAppSrc* src, guint64 ns, gpointer self);
  void feed(GstAppSrc* src);

  QFile file_;
  PcmWave wave_;
  std::mutex mutex_;      // the streaming thread feeds, the seeking thread moves the cursor
  qint64 nextFrame_ = 0;  // the next frame to send
  bool ended_ = false;
};
