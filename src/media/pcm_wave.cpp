#include "media/pcm_wave.h"

#include <QByteArray>
#include <QIODevice>
#include <QtEndian>

#include <algorithm>

namespace {

constexpr quint16 kFormatPcm = 0x0001;
constexpr quint16 kFormatExtensible = 0xfffe;
// The rest of the extensible format's subformat after its leading format tag: PCM's.
constexpr char kPcmGuidTail[] = "\x00\x00\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71";
// A file with more chunks before its sound than this is not worth the search.
constexpr int kMaxChunks = 4096;
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
  const QByteArray head = file.read(12);
  if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE") return std::nullopt;
  const qint64 fileSize = file.size();
  qint64 at = 12;
  std::optional<PcmWave> wave;
  for (int chunk = 0; chunk < kMaxChunks && at + 8 <= fileSize; ++chunk) {
    if (!file.seek(at)) return std::nullopt;
    const QByteArray header = file.read(8);
    if (header.size() < 8) return std::nullopt;
    const quint32 size = le32(header.constData() + 4);
    const qint64 body = at + 8;
    const QByteArray id = header.left(4);
    if (id == "fmt ") {
      wave = parseFormat(file.read(std::min<qint64>(size, kMaxFormatBytes)));
      if (!wave) return std::nullopt;
    } else if (id == "data") {
      if (!wave) return std::nullopt;
      wave->dataOffset = body;
      wave->dataBytes = size;
      wave->frames = std::min<qint64>(size, fileSize - body) / wave->frameBytes();
      if (wave->frames <= 0) return std::nullopt;
      return wave;
    }
    at = body + qint64(size) + (size & 1);
  }
  return std::nullopt;
}
