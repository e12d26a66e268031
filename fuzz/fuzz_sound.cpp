// libFuzzer entry point: the sound files the program reads itself instead of GStreamer, a MIDI song (its
// tempo map and events), an ADPCM WAV (its headers, then every block decoded) and a PCM WAV (its headers).
// Nothing may crash, hang, allocate without bound or trip a sanitizer, and what is read stays within the
// readers' stated bounds.

#include "media/adpcm_wave.h"
#include "media/midi_song.h"
#include "media/pcm_wave.h"

#include <QBuffer>
#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void readAdpcm(const QByteArray& bytes) {
  QBuffer buffer;
  buffer.setData(bytes);
  if (!buffer.open(QIODevice::ReadOnly)) return;
  const std::optional<AdpcmWave> wave = readAdpcmWave(buffer);
  if (!wave) return;
  if (wave->channels < 1 || wave->channels > AdpcmWave::kMaxChannels || wave->rate < 1 ||
      wave->rate > AdpcmWave::kMaxRate || wave->blockAlign < 1 || wave->framesPerBlock < 1 ||
      wave->dataOffset < 0 || wave->dataOffset + wave->dataBytes > bytes.size())
    std::abort();
  std::vector<qint16> out(size_t(wave->framesPerBlock) * size_t(wave->channels));
  const auto* data = reinterpret_cast<const uchar*>(bytes.constData()) + wave->dataOffset;
  for (qint64 at = 0; at < wave->dataBytes; at += wave->blockAlign) {
    const int size = int(std::min<qint64>(wave->blockAlign, wave->dataBytes - at));
    const int frames = decodeAdpcmBlock(*wave, data + at, size, out.data());
    if (frames < 0 || frames > wave->framesPerBlock) std::abort();
  }
}

void readPcm(const QByteArray& bytes) {
  QBuffer buffer;
  buffer.setData(bytes);
  if (!buffer.open(QIODevice::ReadOnly)) return;
  const std::optional<PcmWave> wave = readPcmWave(buffer);
  if (!wave) return;
  if (wave->channels < 1 || wave->channels > PcmWave::kMaxChannels || wave->rate < 1 ||
      wave->rate > PcmWave::kMaxRate || wave->frameBytes() < 1 || wave->frames < 1 || wave->dataOffset < 0 ||
      wave->dataOffset + wave->frames * wave->frameBytes() > bytes.size() || wave->durationNs() < 0)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
  if (const std::optional<MidiSong> song = readMidiSong(bytes)) {
    if (song->events.size() > MidiSong::kMaxEvents) std::abort();
  }
  readAdpcm(bytes);
  readPcm(bytes);
  return 0;
}
