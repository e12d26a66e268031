#pragma once

#include "media/adpcm_wave.h"
#include "media/app_source.h"

#include <QFile>

#include <gst/app/gstappsrc.h>

#include <memory>
#include <mutex>
#include <vector>

// Feeds an ADPCM WAV file to a playbin through its "appsrc://" source as 16-bit PCM that we decode
// ourselves, a few blocks (about 100 ms) a buffer, each stamped from its first frame, so that the length
// and the end are the sound's own. Seeks arrive here and go on from the block that holds the sought
// frame; the sink drops what lies before it. The session of MMControl owns it; the callbacks run on
// GStreamer's threads while the pipeline is not NULL, and read the file there.
class AdpcmSource : public AppSource {
 public:
  // The source for the file, or null when it is no ADPCM WAV file we decode. On the worker: reads the file.
  static std::unique_ptr<AdpcmSource> open(const QString& path);

  void attach(GstElement* appsrc) override;
  const AdpcmWave& wave() const { return wave_; }

 private:
  AdpcmSource() = default;
  static void onNeedData(GstAppSrc* src, guint length, gpointer self);
  static gboolean onSeekData(GstAppSrc* src, guint64 ns, gpointer self);
  void feed(GstAppSrc* src);

  QFile file_;
  AdpcmWave wave_;
  std::mutex mutex_;      // the streaming thread feeds, the seeking thread moves the cursor
  qint64 nextBlock_ = 0;  // the next block to send
  bool ended_ = false;
  std::vector<char> raw_;  // the blocks of one buffer, reused
};
