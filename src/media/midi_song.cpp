#include "media/midi_song.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

quint32 be32(const uchar* p) { return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3]; }
quint32 le32(const uchar* p) { return quint32(p[3]) << 24 | quint32(p[2]) << 16 | quint32(p[1]) << 8 | p[0]; }

// An event as read from its track, before the tracks are merged and ticks become time.
struct TickEvent {
  quint64 tick = 0;
  quint32 offset = 0;   // into the song's bytes; for a tempo change unused
  quint32 size = 0;     // 0 = a tempo change
  quint32 tempoUs = 0;  // microseconds per quarter note
};

class TrackReader {
 public:
  TrackReader(const uchar* data, qsizetype end, std::vector<TickEvent>& out, QByteArray& bytes)
      : data_(data), end_(end), out_(out), bytes_(bytes) {}

  // Reads the track from at; returns the tick of its end.
  quint64 read(qsizetype at) {
    at_ = at;
    uchar running = 0;
    while (at_ < end_ && out_.size() < MidiSong::kMaxEvents) {
      quint32 delta = 0;
      if (!varLen(&delta)) break;
      tick_ += delta;
      if (at_ >= end_) break;
      uchar status = data_[at_];
      if (status & 0x80) {
        ++at_;
      } else if (running) {
        status = running;  // running status: the status of the last channel message
      } else {
        break;
      }
      if (status == 0xff) {
        if (at_ >= end_) break;
        const uchar type = data_[at_++];
        quint32 length = 0;
        if (!varLen(&length) || length > end_ - at_) break;
        if (type == 0x51 && length >= 3) {
          const quint32 us = quint32(data_[at_]) << 16 | quint32(data_[at_ + 1]) << 8 | data_[at_ + 2];
          if (us > 0) out_.push_back({tick_, 0, 0, us});
        }
        at_ += length;
        if (type == 0x2f) break;  // end of track
        continue;
      }
      if (status == 0xf0 || status == 0xf7) {
        quint32 length = 0;
        if (!varLen(&length) || length > end_ - at_) break;
        // Only whole messages are sent on; an escape (0xF7) or a message in packets is passed over.
        if (status == 0xf0 && length >= 1 && data_[at_ + length - 1] == 0xf7 &&
            length <= MidiSong::kMaxSysExBytes)
          add(0xf0, data_ + at_, length - 1);
        at_ += length;
        continue;
      }
      if (status >= 0xf0) break;  // system messages other than these have no place in a file
      running = status;
      const qsizetype count = (status & 0xe0) == 0xc0 ? 1 : 2;  // program change and channel pressure: one
      if (end_ - at_ < count || (data_[at_] & 0x80) || (count == 2 && (data_[at_ + 1] & 0x80))) break;
      add(status, data_ + at_, count);
      at_ += count;
    }
    return tick_;
  }

 private:
  bool varLen(quint32* value) {
    quint32 v = 0;
    for (int i = 0; i < 4; ++i) {
      if (at_ >= end_) return false;
      const uchar b = data_[at_++];
      v = v << 7 | (b & 0x7f);
      if (!(b & 0x80)) {
        *value = v;
        return true;
      }
    }
    return false;
  }

  void add(uchar status, const uchar* data, qsizetype count) {
    out_.push_back({tick_, quint32(bytes_.size()), quint32(count + 1), 0});
    bytes_.append(char(status));
    bytes_.append(reinterpret_cast<const char*>(data), count);
  }

  const uchar* data_;
  qsizetype end_;
  std::vector<TickEvent>& out_;
  QByteArray& bytes_;
  qsizetype at_ = 0;
  quint64 tick_ = 0;
};

// The bare MIDI file inside a RIFF RMID file, else the bytes themselves.
QByteArrayView unwrapRiff(QByteArrayView file) {
  if (file.size() < 12 || !file.startsWith("RIFF") || file.sliced(8, 4) != QByteArrayView("RMID"))
    return file;
  const auto* data = reinterpret_cast<const uchar*>(file.data());
  qint64 at = 12;
  while (at + 8 <= file.size()) {
    const qint64 length = le32(data + at + 4);
    if (file.sliced(at, 4) == QByteArrayView("data"))
      return file.sliced(at + 8, std::min<qint64>(length, file.size() - at - 8));
    at += 8 + length + (length & 1);
  }
  return {};
}

}  // namespace

bool looksLikeMidi(QByteArrayView head) {
  return head.startsWith("MThd") ||
         (head.size() >= 12 && head.startsWith("RIFF") && head.sliced(8, 4) == QByteArrayView("RMID"));
}

std::optional<MidiSong> readMidiSong(QByteArrayView file) {
  file = unwrapRiff(file.first(std::min(file.size(), MidiSong::kMaxFileBytes)));
  if (file.size() < 14 || !file.startsWith("MThd")) return std::nullopt;
  const auto* data = reinterpret_cast<const uchar*>(file.data());
  const qint64 headerLength = be32(data + 4);
  if (headerLength < 6) return std::nullopt;
  const int division = data[12] << 8 | data[13];

  // Ticks per quarter note, whose length the tempo map gives; or SMPTE frames per second and ticks per
  // frame, which fix the time of a tick whatever the tempo.
  double nsPerTick = 0;
  int ticksPerQuarter = 0;
  if (division & 0x8000) {
    const int fps = -int(qint8(division >> 8));
    const int perFrame = division & 0xff;
    if (perFrame == 0 || (fps != 24 && fps != 25 && fps != 29 && fps != 30)) return std::nullopt;
    nsPerTick = 1e9 / ((fps == 29 ? 29.97 : fps) * perFrame);
  } else {
    ticksPerQuarter = division;
    if (ticksPerQuarter == 0) return std::nullopt;
    nsPerTick = 500000 * 1000.0 / ticksPerQuarter;  // 120 beats a minute until a tempo says otherwise
  }

  MidiSong song;
  std::vector<TickEvent> events;
  quint64 endTick = 0;
  int tracks = 0;
  for (qint64 at = 8 + headerLength; at + 8 <= file.size() && events.size() < MidiSong::kMaxEvents;) {
    const qint64 length = be32(data + at + 4);
    const qint64 end = std::min<qint64>(at + 8 + length, file.size());
    if (file.sliced(at, 4) == QByteArrayView("MTrk")) {
      endTick = std::max(endTick, TrackReader(data, end, events, song.bytes).read(at + 8));
      ++tracks;
    }
    at += 8 + length;
  }
  if (tracks == 0) return std::nullopt;

  // The tracks sound together; at the same tick each keeps its own order and the earlier track goes first.
  std::stable_sort(events.begin(), events.end(),
                   [](const TickEvent& a, const TickEvent& b) { return a.tick < b.tick; });
  double baseNs = 0;
  quint64 baseTick = 0;
  const auto timeOf = [&](quint64 tick) { return baseNs + double(tick - baseTick) * nsPerTick; };
  song.events.reserve(events.size());
  for (const TickEvent& e : events) {
    const double ns = timeOf(e.tick);
    if (ns > double(MidiSong::kMaxNs)) break;
    if (e.size == 0) {
      if (ticksPerQuarter > 0) {
        baseNs = ns;
        baseTick = e.tick;
        nsPerTick = e.tempoUs * 1000.0 / ticksPerQuarter;
      }
      continue;
    }
    song.events.push_back({qint64(ns), e.offset, e.size});
  }
  const double end = std::min(timeOf(std::max(endTick, baseTick)), double(MidiSong::kMaxNs));
  song.durationNs = std::max<qint64>(qint64(end), song.events.empty() ? 0 : song.events.back().ns);
  return song;
}

size_t MidiSong::firstAt(qint64 ns) const {
  return size_t(
      std::lower_bound(events.begin(), events.end(), ns, [](const Event& e, qint64 t) { return e.ns < t; }) -
      events.begin());
}

std::vector<size_t> MidiSong::stateBefore(qint64 ns) const {
  constexpr size_t kNone = size_t(-1);
  std::array<size_t, 16 * 128> controllers;
  std::array<size_t, 16> programs, bends, pressures;
  controllers.fill(kNone);
  programs.fill(kNone);
  bends.fill(kNone);
  pressures.fill(kNone);
  std::vector<size_t> picked;
  const size_t end = firstAt(ns);
  for (size_t i = 0; i < end; ++i) {
    const auto* b = reinterpret_cast<const uchar*>(bytes.constData()) + events[i].offset;
    const int channel = b[0] & 0x0f;
    switch (b[0] & 0xf0) {
      case 0xb0:
        if (b[1] < 120) controllers[channel * 128 + b[1]] = i;  // 120 and above are modes and "all off"
        break;
      case 0xc0:
        programs[channel] = i;
        break;
      case 0xd0:
        pressures[channel] = i;
        break;
      case 0xe0:
        bends[channel] = i;
        break;
      case 0xf0:
        picked.push_back(i);
        break;
      default:
        break;
    }
  }
  const auto pick = [&picked](const auto& table) {
    for (size_t i : table)
      if (i != kNone) picked.push_back(i);
  };
  pick(controllers);
  pick(programs);
  pick(bends);
  pick(pressures);
  // In the song's order: a bank select sounds before the program change that uses it.
  std::sort(picked.begin(), picked.end());
  return picked;
}
