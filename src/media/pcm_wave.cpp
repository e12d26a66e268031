#include "media/pcm_wave.h"

#include "media/riff_chunks.h"

#include <QByteArray>
#include <QIODevice>
#include <QtEndian>

#include <algorithm>

namespace {

constexpr quint16 kFormatPcm = 0x0001;
constexpr quint16 kFormatExtensible = 0xfffe;
// The rest of the extensible format's subformat after its leading format tag: PCM's.
constexpr char kPcmGuidTail[] = "\x00\x00\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71";
constexpr qint64 kMaxFormatBytes = 4096;

quint16 le16(const char* p) { return qFromLittleEndian<quint16>(p); }
quint32 le32(const char* p) { return qFromLittleEndian<quint32>(p); }

std::optional<PcmWave> parseFormat(const QByteArray& fmt) {
  if (fmt.size() < 16) return std::nullopt;
  const char* p = fmt.constData();
  quint16 tag = le16(p);
  if (tag == kFormatExtensible && fmt.size() >= 40 &&
      QByteArray::fromRawData(p + 26, 14) == QByteArray::fromRawData(kPcmGuidTail, 14))
    tag = le16(p + 24);
  if (tag != kFormatPcm) return std::nullopt;
  PcmWave w;
  w.channels = le16(p + 2);
  const quint32 rate = le32(p + 4);
  const int blockAlign = le16(p + 12);
  w.bits = le16(p + 14);
  if (w.channels < 1 || w.channels > PcmWave::kMaxChannels || rate < 1 || rate > quint32(PcmWave::kMaxRate) ||
      (w.bits != 8 && w.bits != 16 && w.bits != 24 && w.bits != 32) || blockAlign != w.frameBytes())
    return std::nullopt;
  w.rate = int(rate);
  return w;
}

}  // namespace

qint64 PcmWave::durationNs() const {
  return rate > 0 ? qint64((__int128(frames) * 1'000'000'000) / rate) : 0;
}

std::optional<PcmWave> readPcmWave(QIODevice& file) {
  const qint64 fileSize = file.size();
  std::optional<PcmWave> wave;
  riff::WaveChunks chunks(file);
  while (const std::optional<riff::Chunk> chunk = chunks.next()) {
    if (chunk->id == "fmt ") {
      wave = parseFormat(file.read(std::min<qint64>(chunk->size, kMaxFormatBytes)));
      if (!wave) return std::nullopt;
    } else if (chunk->id == "data") {
      if (!wave) return std::nullopt;
      wave->dataOffset = chunk->body;
      wave->dataBytes = chunk->size;
      wave->frames = std::min<qint64>(chunk->size, fileSize - chunk->body) / wave->frameBytes();
      if (wave->frames <= 0) return std::nullopt;
      return wave;
    }
  }
  return std::nullopt;
}
