#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstddef>
#include <optional>
#include <vector>

// A Standard MIDI File (format 0, 1 or 2, bare or inside a RIFF RMID file) read into one list of events in
// the order they sound, each tick turned into time through the file's own tempo map. GStreamer's midiparse
// times every event by the last tempo it has met, so a song whose tempo changes is stretched and torn
// apart; MMControl plays this instead. Every file may be hostile: the work is linear in the file, and a
// file, a song or a count of events beyond the limits below is cut there. A value type, owned by its user.
struct MidiSong {
  struct Event {
    qint64 ns = 0;       // from the start of the song
    quint32 offset = 0;  // into bytes: the status byte, then its data (a system exclusive message
    quint32 size = 0;    // without its closing 0xF7)
  };
  std::vector<Event> events;
  QByteArray bytes;
  qint64 durationNs = 0;  // up to the end of the longest track

  static constexpr qsizetype kMaxFileBytes = 16 << 20;
  static constexpr size_t kMaxEvents = 1'000'000;
  static constexpr qint64 kMaxNs = 24LL * 3600 * 1'000'000'000;
  static constexpr quint32 kMaxSysExBytes = 4096;

  // The first event at or after ns.
  size_t firstAt(qint64 ns) const;
  // The events that bring a synthesizer to the state the song has reached at ns, in the song's order: the
  // system exclusive messages before ns, and each channel's last controller values, program, pitch bend
  // and pressure. Notes are not among them: a note held across ns is not sounded again.
  std::vector<size_t> stateBefore(qint64 ns) const;
};

// Whether the bytes start like a MIDI file (the first 12 are enough).
bool looksLikeMidi(QByteArrayView head);

// The song, or nothing when the bytes hold no MIDI header, an unusable time division or no track. A
// damaged track ends where it stops making sense; what came before it stays.
std::optional<MidiSong> readMidiSong(QByteArrayView file);
