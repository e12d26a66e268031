#pragma once

#include <QtGlobal>

#include <array>
#include <optional>
#include <vector>

class QIODevice;

// A WAV file of IMA ADPCM (format 0x11) or Microsoft ADPCM (0x02) samples, as sound editors and converters
// write them, and the decoding of its blocks into 16-bit PCM. GStreamer's WAV reader counts half the
// samples a block holds, so such a file lasted half its length and ended early; MMControl plays these
// through our own decoder instead. Every header may be hostile: sizes are bounded by the file, a block by
// its 16-bit size, and a decoder reads only the bytes it is given. The samples are those GStreamer's own
// decoder gives (a test compares them); the count of frames is the fact chunk's, else the blocks'. A value
// type, owned by its user.
struct AdpcmWave {
  enum class Codec { Ima, Ms };
  Codec codec = Codec::Ima;
  int channels = 0;                              // 1 or 2
  int rate = 0;                                  // frames a second
  int blockAlign = 0;                            // bytes a block
  int framesPerBlock = 0;                        // frames a whole block decodes to
  std::vector<std::array<int, 2>> coefficients;  // Microsoft ADPCM's predictor pairs
  qint64 dataOffset = 0;                         // in the file
  qint64 dataBytes = 0;                          // as far as the file really goes
  qint64 frames = 0;                             // of the whole sound

  static constexpr int kMaxChannels = 2;
  static constexpr int kMaxRate = 384000;

  qint64 durationNs() const;
  // The frames the block of that many bytes holds (a file's last block may be cut short).
  int framesIn(int blockBytes) const;
};

// The format of an ADPCM WAV file read from its current position (its start), or nothing when it is no
// RIFF WAVE, holds another format, or one we do not decode (other sample sizes, more channels): then it is
// left to GStreamer. The device is left anywhere.
std::optional<AdpcmWave> readAdpcmWave(QIODevice& file);

// Decodes one block of size bytes (at most blockAlign) into out, interleaved, which must hold
// framesPerBlock * channels samples. Returns the frames written.
int decodeAdpcmBlock(const AdpcmWave& wave, const uchar* block, int size, qint16* out);
