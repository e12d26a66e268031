#include "media/adpcm_wave.h"

#include "media/riff_chunks.h"

#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

constexpr quint16 kFormatMs = 0x0002;
constexpr quint16 kFormatIma = 0x0011;
constexpr qint64 kMaxFormatBytes = 4096;

constexpr std::array<int, 89> kImaSteps = {
    7,    8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,   28,
    31,   34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,  118,
    130,  143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,  494,
    544,  598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878, 2066,
    2272, 2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845, 8630,
    9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr std::array<int, 8> kImaIndexMoves = {-1, -1, -1, -1, 2, 4, 6, 8};
constexpr std::array<int, 16> kMsAdaptation = {230, 230, 230, 230, 307, 409, 512, 614,
                                               768, 614, 512, 409, 307, 230, 230, 230};
// The predictor pairs every Microsoft ADPCM file starts its table with.
const std::vector<std::array<int, 2>> kMsStandardCoefficients = {{256, 0}, {512, -256}, {0, 0},     {192, 64},
                                                                 {240, 0}, {460, -208}, {392, -232}};
// Keeps the step from overflowing however a hostile block drives it up.
constexpr qint64 kMsMaxDelta = 0x7fffffff / 768;

quint16 le16(const char* p) { return qFromLittleEndian<quint16>(p); }
quint32 le32(const char* p) { return qFromLittleEndian<quint32>(p); }
qint16 sle16(const uchar* p) { return qFromLittleEndian<qint16>(p); }

qint16 clamp16(qint64 v) { return qint16(std::clamp<qint64>(v, -32768, 32767)); }

struct ImaChannel {
  int predictor = 0;
  int index = 0;

  qint16 next(int nibble) {
    // The exact product, as the common decoders compute it, not the reference's sum of shifted steps.
    const int diff = ((2 * (nibble & 7) + 1) * kImaSteps[size_t(index)]) >> 3;
    predictor = clamp16(nibble & 8 ? predictor - diff : predictor + diff);
    index = std::clamp(index + kImaIndexMoves[size_t(nibble & 7)], 0, 88);
    return qint16(predictor);
  }
};

int decodeIma(const AdpcmWave& w, const uchar* in, int size, qint16* out) {
  const int ch = w.channels;
  const int frames = w.framesIn(size);
  if (frames <= 0) return 0;
  std::array<ImaChannel, AdpcmWave::kMaxChannels> state;
  for (int c = 0; c < ch; ++c) {
    state[size_t(c)].predictor = sle16(in + 4 * c);
    state[size_t(c)].index = std::clamp(int(in[4 * c + 2]), 0, 88);
    out[c] = qint16(state[size_t(c)].predictor);
  }
  const uchar* data = in + 4 * ch;
  // Each channel in turn gives four bytes, eight samples, low nibble first.
  for (int frame = 1; frame < frames; frame += 8) {
    for (int c = 0; c < ch; ++c) {
      for (int i = 0; i < 8 && frame + i < frames; ++i) {
        const int nibble = (data[i / 2] >> ((i & 1) * 4)) & 0x0f;
        out[(frame + i) * ch + c] = state[size_t(c)].next(nibble);
      }
      data += 4;
    }
  }
  return frames;
}

int decodeMs(const AdpcmWave& w, const uchar* in, int size, qint16* out) {
  const int ch = w.channels;
  const int frames = w.framesIn(size);
  if (frames <= 0) return 0;
  std::array<std::array<int, 2>, AdpcmWave::kMaxChannels> coef{};
  std::array<qint64, AdpcmWave::kMaxChannels> delta{};
  std::array<int, AdpcmWave::kMaxChannels> s1{}, s2{};
  for (int c = 0; c < ch; ++c) {
    // A predictor the table does not hold takes the first pair rather than reading past the table.
    const size_t pair = in[c] < w.coefficients.size() ? in[c] : 0;
    coef[size_t(c)] = w.coefficients.empty() ? std::array<int, 2>{256, 0} : w.coefficients[pair];
    delta[size_t(c)] = sle16(in + ch + 2 * c);
    s1[size_t(c)] = sle16(in + 3 * ch + 2 * c);
    s2[size_t(c)] = sle16(in + 5 * ch + 2 * c);
    out[c] = qint16(s2[size_t(c)]);
    out[ch + c] = qint16(s1[size_t(c)]);
  }
  const uchar* data = in + 7 * ch;
  // High nibble first; in stereo the high nibble is the left channel's, the low one the right's.
  for (int n = 0; n < (frames - 2) * ch; ++n) {
    const int c = n % ch;
    const int nibble = (data[n / 2] >> ((n & 1) ? 0 : 4)) & 0x0f;
    const int sample = s1[size_t(c)];
    const qint64 predicted =
        (qint64(sample) * coef[size_t(c)][0] + qint64(s2[size_t(c)]) * coef[size_t(c)][1]) >> 8;
    const qint16 value = clamp16(predicted + qint64(nibble >= 8 ? nibble - 16 : nibble) * delta[size_t(c)]);
    s2[size_t(c)] = sample;
    s1[size_t(c)] = value;
    delta[size_t(c)] =
        std::clamp<qint64>((kMsAdaptation[size_t(nibble)] * delta[size_t(c)]) >> 8, 16, kMsMaxDelta);
    out[2 * ch + n] = value;
  }
  return frames;
}

// The format chunk's fields as far as they describe a sound we decode.
std::optional<AdpcmWave> parseFormat(const QByteArray& fmt) {
  if (fmt.size() < 16) return std::nullopt;
  const char* p = fmt.constData();
  const quint16 tag = le16(p);
  AdpcmWave w;
  if (tag == kFormatIma)
    w.codec = AdpcmWave::Codec::Ima;
  else if (tag == kFormatMs)
    w.codec = AdpcmWave::Codec::Ms;
  else
    return std::nullopt;
  w.channels = le16(p + 2);
  const quint32 rate = le32(p + 4);
  w.blockAlign = le16(p + 12);
  const int bits = le16(p + 14);
  if (bits != 4 || w.channels < 1 || w.channels > AdpcmWave::kMaxChannels || rate < 1 ||
      rate > quint32(AdpcmWave::kMaxRate))
    return std::nullopt;
  w.rate = int(rate);
  const int ch = w.channels;
  const int extra = fmt.size() >= 18 ? std::min<int>(le16(p + 16), int(fmt.size()) - 18) : 0;
  const int declared = extra >= 2 ? le16(p + 18) : 0;
  if (w.codec == AdpcmWave::Codec::Ima) {
    if (w.blockAlign <= 4 * ch) return std::nullopt;
    w.framesPerBlock = 1 + (w.blockAlign - 4 * ch) / (4 * ch) * 8;
    if (w.framesPerBlock <= 1) return std::nullopt;
  } else {
    if (w.blockAlign <= 7 * ch) return std::nullopt;
    w.framesPerBlock = 2 + (w.blockAlign - 7 * ch) * 2 / ch;
    const int count = extra >= 4 ? le16(p + 20) : 0;
    if (count > 0 && extra >= 4 + 4 * count) {
      for (int i = 0; i < count; ++i)
        w.coefficients.push_back(
            {qFromLittleEndian<qint16>(p + 22 + 4 * i), qFromLittleEndian<qint16>(p + 24 + 4 * i)});
    } else {
      w.coefficients = kMsStandardCoefficients;
    }
  }
  // A block holds what its size says; a smaller count in the header stops it early (never a larger one).
  if (declared > 0 && declared < w.framesPerBlock) w.framesPerBlock = std::max(declared, 2);
  return w;
}

}  // namespace

qint64 AdpcmWave::durationNs() const {
  return rate > 0 ? qint64((__int128(frames) * 1'000'000'000) / rate) : 0;
}

int AdpcmWave::framesIn(int blockBytes) const {
  blockBytes = std::min(blockBytes, blockAlign);
  int available = 0;
  if (codec == Codec::Ima) {
    if (blockBytes < 4 * channels) return 0;
    available = 1 + (blockBytes - 4 * channels) / (4 * channels) * 8;
  } else {
    if (blockBytes < 7 * channels) return 0;
    available = 2 + (blockBytes - 7 * channels) * 2 / channels;
  }
  return std::min(available, framesPerBlock);
}

std::optional<AdpcmWave> readAdpcmWave(QIODevice& file) {
  const qint64 fileSize = file.size();
  std::optional<AdpcmWave> wave;
  qint64 factFrames = -1;
  riff::WaveChunks chunks(file);
  while (const std::optional<riff::Chunk> chunk = chunks.next()) {
    if (chunk->id == "fmt ") {
      wave = parseFormat(file.read(std::min<qint64>(chunk->size, kMaxFormatBytes)));
      if (!wave) return std::nullopt;
    } else if (chunk->id == "fact" && chunk->size >= 4) {
      const QByteArray count = file.read(4);
      if (count.size() == 4) factFrames = le32(count.constData());
    } else if (chunk->id == "data") {
      if (!wave) return std::nullopt;
      wave->dataOffset = chunk->body;
      wave->dataBytes = std::min<qint64>(chunk->size, fileSize - chunk->body);
      const qint64 whole = wave->dataBytes / wave->blockAlign;
      const int rest = int(wave->dataBytes % wave->blockAlign);
      wave->frames = whole * wave->framesPerBlock + wave->framesIn(rest);
      // The count of the fact chunk drops the padding of the last block.
      if (factFrames > 0 && factFrames < wave->frames) wave->frames = factFrames;
      if (wave->frames <= 0) return std::nullopt;
      return wave;
    }
  }
  return std::nullopt;
}

int decodeAdpcmBlock(const AdpcmWave& wave, const uchar* block, int size, qint16* out) {
  if (wave.channels < 1 || wave.channels > AdpcmWave::kMaxChannels) return 0;
  return wave.codec == AdpcmWave::Codec::Ima ? decodeIma(wave, block, size, out)
                                             : decodeMs(wave, block, size, out);
}
