#pragma once

#include "media/app_source.h"
#include "media/midi_song.h"

#include <gst/app/gstappsrc.h>

#include <mutex>
#include <vector>

// Feeds a MidiSong to the synthesizer of a playbin through its "appsrc://" source: one buffer per MIDI
// event at its time, and between events a tick every 10 ms (as midiparse sends them) so that the
// synthesizer renders steadily. Seeks arrive here: the song goes on from the sought time, after the
// events that bring the synthesizer's channels to their state there. The session of MMControl owns it;
// the callbacks run on GStreamer's threads while the pipeline is not NULL.
class MidiSource : public AppSource {
 public:
  explicit MidiSource(MidiSong song) : song_(std::move(song)) {}

  // Takes over the source playbin made for "appsrc://".
  void attach(GstElement* appsrc) override;
  qint64 durationNs() const { return song_.durationNs; }

 private:
  static void onNeedData(GstAppSrc* src, guint length, gpointer self);
  static gboolean onSeekData(GstAppSrc* src, guint64 ns, gpointer self);
  void feed(GstAppSrc* src);
  void push(GstAppSrc* src, const char* bytes, int size, qint64 ns);

  const MidiSong song_;
  std::mutex mutex_;           // the streaming thread feeds, the seeking thread moves the cursor
  size_t next_ = 0;            // the next event to send
  qint64 nextTickNs_ = 0;      // the next 10 ms tick to send
  qint64 startNs_ = 0;         // where the song was last sought to
  std::vector<size_t> state_;  // sent first after a seek, at startNs_
  bool ended_ = false;
};
