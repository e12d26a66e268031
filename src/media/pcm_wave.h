#pragma once

#include <QtGlobal>

#include <optional>

class QIODevice;

// A WAV file of integer PCM samples (format 1, or the extensible format of PCM), as far as MMControl plays
// it through its own source: GStreamer's WAV reader ends at once on a data chunk of odd length followed by
// its pad byte, which is every 8-bit mono sound of an odd number of samples. Every header may be hostile:
// the sound is bounded by the file. A value type, owned by its user.
struct PcmWave {
  int channels = 0;       // 1 or 2
  int rate = 0;           // frames a second
  int bits = 0;           // a sample: 8 (unsigned), 16, 24 or 32 (signed), little-endian
  qint64 dataOffset = 0;  // in the file
  qint64 dataBytes = 0;   // as the data chunk declares them
  qint64 frames = 0;      // whole frames as far as the file really goes

  static constexpr int kMaxChannels = 2;
  static constexpr int kMaxRate = 384000;

  int frameBytes() const { return channels * bits / 8; }
  qint64 durationNs() const;
};

// The format of a PCM WAV file read from its current position (its start), or nothing when it is no RIFF
// WAVE, holds another format, one of more channels or of another sample size, or no sound at all. The device
// is left anywhere.
std::optional<PcmWave> readPcmWave(QIODevice& file);
