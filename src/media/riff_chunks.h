#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QtEndian>

#include <optional>

// The chunks of a RIFF WAVE file, in order, for the WAV readers of our own.
namespace riff {

struct Chunk {
  QByteArray id;     // its four bytes
  quint32 size = 0;  // as its header says: the file may end before that
  qint64 body = 0;   // where its body starts
};

// Reads the chunk headers one after another (each chunk padded to an even length); the file is left at the
// body of the chunk last returned.
class WaveChunks {
 public:
  explicit WaveChunks(QIODevice& file) : file_(file), fileSize_(file.size()) {
    const QByteArray head = file.read(12);
    wave_ = head.size() == 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WAVE";
  }

  // The next chunk; nothing for a file that is no RIFF WAVE, at its end, on a header cut short, or after more
  // chunks than a file before its sound is worth searching.
  std::optional<Chunk> next() {
    if (!wave_ || count_ >= kMaxChunks || at_ + 8 > fileSize_ || !file_.seek(at_)) return std::nullopt;
    const QByteArray header = file_.read(8);
    if (header.size() < 8) return std::nullopt;
    ++count_;
    Chunk chunk{header.left(4), qFromLittleEndian<quint32>(header.constData() + 4), at_ + 8};
    at_ = chunk.body + qint64(chunk.size) + (chunk.size & 1);
    return chunk;
  }

 private:
  static constexpr int kMaxChunks = 4096;
  QIODevice& file_;
  qint64 fileSize_ = 0;
  bool wave_ = false;
  qint64 at_ = 12;
  int count_ = 0;
};

}  // namespace riff
