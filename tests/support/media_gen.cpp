#include "media_gen.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QtEndian>

#include <gst/gst.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

void appendLe16(QByteArray& out, quint16 v) {
  char b[2];
  qToLittleEndian(v, b);
  out.append(b, 2);
}

void appendLe32(QByteArray& out, quint32 v) {
  char b[4];
  qToLittleEndian(v, b);
  out.append(b, 4);
}

void appendBe16(QByteArray& out, quint16 v) {
  char b[2];
  qToBigEndian(v, b);
  out.append(b, 2);
}

void appendBe32(QByteArray& out, quint32 v) {
  char b[4];
  qToBigEndian(v, b);
  out.append(b, 4);
}

// MIDI variable-length quantity.
void appendVarLen(QByteArray& out, quint32 v) {
  QByteArray bytes(1, char(v & 0x7f));
  while (v >>= 7) bytes.prepend(char((v & 0x7f) | 0x80));
  out.append(bytes);
}

qint16 sine(int i, double hz, int rate, double amplitude = 8000) {
  return qint16(std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * i / rate)));
}

// Raw video frames of ms milliseconds at 25 per second; an invalid colour gives colour bars moving sideways
// instead, so that every frame differs from the last.
QString testVideo(int ms, QSize size, QColor colour) {
  constexpr int kFps = 25;
  const QString pattern =
      colour.isValid()
          ? QStringLiteral("pattern=solid-color foreground-color=%1").arg(colour.rgb() | 0xff000000u)
          : QStringLiteral("pattern=smpte horizontal-speed=3");
  return QStringLiteral(
             "videotestsrc num-buffers=%1 %2 ! "
             "video/x-raw,format=I420,width=%3,height=%4,framerate=%5/1,pixel-aspect-ratio=1/1")
      .arg(qMax(1, int((qint64(ms) * kFps + 999) / 1000)))
      .arg(pattern)
      .arg(size.width())
      .arg(size.height())
      .arg(kFps);
}

constexpr int kImaSteps[89] = {
    7,    8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,   28,
    31,   34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,  118,
    130,  143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,  494,
    544,  598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878, 2066,
    2272, 2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845, 8630,
    9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr int kImaIndexMoves[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
constexpr int kMsAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                   768, 614, 512, 409, 307, 230, 230, 230};
constexpr int kMsCoefficients[7][2] = {{256, 0}, {512, -256}, {0, 0},     {192, 64},
                                       {240, 0}, {460, -208}, {392, -232}};

int clamp16(int v) { return std::clamp(v, -32768, 32767); }

// One IMA ADPCM channel: picks the nibble nearest the sample and decodes it as a decoder would.
struct ImaEncoder {
  int predictor = 0;
  int index = 0;
  int encode(int sample) {
    const int step = kImaSteps[index];
    int nibble = 0;
    int diff = sample - predictor;
    if (diff < 0) {
      nibble = 8;
      diff = -diff;
    }
    nibble |= std::min(7, diff * 4 / step);
    const int quantum = ((2 * (nibble & 7) + 1) * step) >> 3;
    predictor = clamp16(nibble & 8 ? predictor - quantum : predictor + quantum);
    index = std::clamp(index + kImaIndexMoves[nibble & 7], 0, 88);
    return nibble;
  }
};

QByteArray imaBlock(const std::vector<std::vector<int>>& pcm, int first, int frames, ImaEncoder* state) {
  const int channels = int(pcm.size());
  const auto at = [&](int c, int i) { return first + i < int(pcm[c].size()) ? pcm[c][first + i] : 0; };
  QByteArray block;
  for (int c = 0; c < channels; ++c) {
    state[c].predictor = at(c, 0);
    appendLe16(block, quint16(qint16(state[c].predictor)));
    block.append(char(state[c].index)).append('\0');
  }
  for (int i = 1; i < frames; i += 8)
    for (int c = 0; c < channels; ++c)
      for (int k = 0; k < 8; k += 2) {
        const int low = state[c].encode(at(c, i + k));
        const int high = state[c].encode(at(c, i + k + 1));
        block.append(char(low | high << 4));
      }
  return block;
}

QByteArray msBlock(const std::vector<std::vector<int>>& pcm, int first, int frames, int pair) {
  const int channels = int(pcm.size());
  const auto at = [&](int c, int i) { return first + i < int(pcm[c].size()) ? pcm[c][first + i] : 0; };
  int delta[2] = {16, 16}, s1[2], s2[2];
  QByteArray block;
  for (int c = 0; c < channels; ++c) block.append(char(pair));
  for (int c = 0; c < channels; ++c) appendLe16(block, quint16(delta[c]));
  for (int c = 0; c < channels; ++c) appendLe16(block, quint16(qint16(s1[c] = at(c, 1))));
  for (int c = 0; c < channels; ++c) appendLe16(block, quint16(qint16(s2[c] = at(c, 0))));
  int pending = -1;
  for (int i = 2; i < frames; ++i)
    for (int c = 0; c < channels; ++c) {
      const int predicted = (s1[c] * kMsCoefficients[pair][0] + s2[c] * kMsCoefficients[pair][1]) >> 8;
      const int error = at(c, i) - predicted;
      const int code = std::clamp(int(std::lround(double(error) / delta[c])), -8, 7);
      s2[c] = s1[c];
      s1[c] = clamp16(predicted + code * delta[c]);
      delta[c] = std::max(16, (kMsAdaptation[code & 15] * delta[c]) >> 8);
      if (pending < 0) {
        pending = code & 15;
      } else {
        block.append(char(pending << 4 | (code & 15)));
        pending = -1;
      }
    }
  if (pending >= 0) block.append(char(pending << 4));
  return block;
}

QString msf(int sector) {
  return QString::asprintf("%02d:%02d:%02d", sector / (75 * 60), (sector / 75) % 60, sector % 75);
}

}  // namespace

QString encodeToFile(const QString& description, const QString& path, int timeoutSeconds) {
  gst_init(nullptr, nullptr);
  GError* error = nullptr;
  GstElement* pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
  if (error) g_error_free(error);
  if (!pipeline) return {};
  if (GstElement* out = gst_bin_get_by_name(GST_BIN(pipeline), "out")) {
    g_object_set(out, "location", QFile::encodeName(path).constData(), nullptr);
    gst_object_unref(out);
  }
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* end = gst_bus_timed_pop_filtered(bus, guint64(timeoutSeconds) * GST_SECOND,
                                               GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  const bool ok = end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS;
  if (end) gst_message_unref(end);
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
  return ok && QFile(path).size() > 0 ? path : QString();
}

QString writeBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) return {};
  return path;
}

QString writeWav(const QString& path, int ms, int sampleRate) {
  const int samples = int(qint64(ms) * sampleRate / 1000);
  QByteArray data;
  data.reserve(samples * 2);
  for (int i = 0; i < samples; ++i) appendLe16(data, quint16(sine(i, 440, sampleRate)));

  QByteArray wav("RIFF");
  appendLe32(wav, quint32(36 + data.size()));
  wav.append("WAVEfmt ");
  appendLe32(wav, 16);
  appendLe16(wav, 1);  // PCM
  appendLe16(wav, 1);  // mono
  appendLe32(wav, quint32(sampleRate));
  appendLe32(wav, quint32(sampleRate * 2));
  appendLe16(wav, 2);
  appendLe16(wav, 16);
  wav.append("data");
  appendLe32(wav, quint32(data.size()));
  wav.append(data);
  return writeBytes(path, wav);
}

QString writePcmWav(const QString& path, int frames, int bits, int sampleRate) {
  const int bytes = bits / 8;
  QByteArray data;
  data.reserve(frames * bytes + 1);
  for (int i = 0; i < frames; ++i) {
    const qint16 v = sine(i, 500, sampleRate);
    if (bits == 8) {
      data.append(char(128 + v / 256));
    } else {
      if (bits == 24) data.append('\0');
      appendLe16(data, quint16(v));
    }
  }
  const qsizetype dataBytes = data.size();
  if (dataBytes & 1) data.append('\0');  // the pad byte after a chunk of odd length

  QByteArray wav("RIFF");
  appendLe32(wav, quint32(36 + data.size()));
  wav.append("WAVEfmt ");
  appendLe32(wav, 16);
  appendLe16(wav, 1);  // PCM
  appendLe16(wav, 1);  // mono
  appendLe32(wav, quint32(sampleRate));
  appendLe32(wav, quint32(sampleRate * bytes));
  appendLe16(wav, quint16(bytes));
  appendLe16(wav, quint16(bits));
  wav.append("data");
  appendLe32(wav, quint32(dataBytes));
  wav.append(data);
  return writeBytes(path, wav);
}

qint16 adpcmWavSample(int i, int channel, int sampleRate) {
  return sine(i, channel == 0 ? 440 : 660, sampleRate);
}

QString writeAdpcmWav(const QString& path, Adpcm codec, int ms, int sampleRate, int channels) {
  const int frames = int(qint64(ms) * sampleRate / 1000);
  std::vector<std::vector<int>> pcm(size_t(channels), std::vector<int>(size_t(frames), 0));
  for (int c = 0; c < channels; ++c)
    for (int i = 0; i < frames; ++i) pcm[size_t(c)][size_t(i)] = adpcmWavSample(i, c, sampleRate);
  const bool ima = codec == Adpcm::Ima;
  const int blockAlign = (ima ? 512 : 256) * channels;
  const int perBlock = ima ? (blockAlign - 4 * channels) * 8 / (4 * channels) + 1
                           : (blockAlign - 7 * channels) * 2 / channels + 2;
  QByteArray data;
  ImaEncoder state[2];
  for (int first = 0, block = 0; first < frames; first += perBlock, ++block) {
    QByteArray bytes = ima ? imaBlock(pcm, first, perBlock, state) : msBlock(pcm, first, perBlock, block % 7);
    bytes.append(QByteArray(blockAlign - bytes.size(), '\0'));
    data.append(bytes);
  }

  QByteArray fmt;
  appendLe16(fmt, ima ? 0x11 : 0x02);
  appendLe16(fmt, quint16(channels));
  appendLe32(fmt, quint32(sampleRate));
  appendLe32(fmt, quint32(qint64(sampleRate) * blockAlign / perBlock));
  appendLe16(fmt, quint16(blockAlign));
  appendLe16(fmt, 4);
  if (ima) {
    appendLe16(fmt, 2);
    appendLe16(fmt, quint16(perBlock));
  } else {
    appendLe16(fmt, 32);
    appendLe16(fmt, quint16(perBlock));
    appendLe16(fmt, 7);
    for (const auto& pair : kMsCoefficients) {
      appendLe16(fmt, quint16(qint16(pair[0])));
      appendLe16(fmt, quint16(qint16(pair[1])));
    }
  }
  QByteArray body("WAVEfmt ");
  appendLe32(body, quint32(fmt.size()));
  body.append(fmt);
  body.append("fact");
  appendLe32(body, 4);
  appendLe32(body, quint32(frames));
  body.append("data");
  appendLe32(body, quint32(data.size()));
  body.append(data);
  QByteArray wav("RIFF");
  appendLe32(wav, quint32(body.size()));
  wav.append(body);
  return writeBytes(path, wav);
}

QString writeMidi(const QString& path, int ms) {
  // 1000 ticks per quarter note at 1,000,000 us per quarter: one tick is one millisecond.
  QByteArray track;
  appendVarLen(track, 0);
  track.append("\xff\x51\x03\x0f\x42\x40", 6);  // tempo
  appendVarLen(track, 0);
  track.append("\xc0\x00", 2);  // program: acoustic grand piano
  appendVarLen(track, 0);
  track.append("\x90\x3c\x64", 3);  // note on, middle C
  appendVarLen(track, quint32(qMax(ms, 1)));
  track.append("\x80\x3c\x00", 3);  // note off
  appendVarLen(track, 0);
  track.append("\xff\x2f\x00", 3);  // end of track

  QByteArray midi("MThd");
  appendBe32(midi, 6);
  appendBe16(midi, 0);     // format 0
  appendBe16(midi, 1);     // one track
  appendBe16(midi, 1000);  // ticks per quarter note
  midi.append("MTrk");
  appendBe32(midi, quint32(track.size()));
  midi.append(track);
  return writeBytes(path, midi);
}

QString writeMidiTempoSong(const QString& path, int format) {
  constexpr int kDivision = 480;
  QByteArray conductor;
  appendVarLen(conductor, 0);
  conductor.append("\xff\x03\x04Song", 7);  // track name
  appendVarLen(conductor, 0);
  conductor.append("\xff\x51\x03\x03\xd0\x90", 6);  // 250,000 us a quarter: 240 a minute
  appendVarLen(conductor, 8 * kDivision);
  conductor.append("\xff\x51\x03\x07\xa1\x20", 6);  // 500,000 us: 120 a minute
  appendVarLen(conductor, 0);
  conductor.append("\xff\x01\x04slow", 7);  // text

  QByteArray notes;
  appendVarLen(notes, 0);
  notes.append("\xf0\x05\x7e\x7f\x09\x01\xf7", 7);  // General MIDI on
  appendVarLen(notes, 0);
  notes.append("\xc0\x00", 2);
  appendVarLen(notes, 0);
  notes.append("\x90\x3c\x64", 3);
  for (int i = 1; i <= 14; ++i) {
    appendVarLen(notes, kDivision);
    notes.append(char(0x3c + (i - 1) % 12)).append('\0');  // running status: the last note off...
    if (i < 14) {
      appendVarLen(notes, 0);
      notes.append(char(0x3c + i % 12)).append('\x64');  // ...and the next one on
    }
  }

  QByteArray tracks;
  const auto addTrack = [&tracks](QByteArray events) {
    appendVarLen(events, 0);
    events.append("\xff\x2f\x00", 3);
    tracks.append("MTrk");
    appendBe32(tracks, quint32(events.size()));
    tracks.append(events);
  };
  if (format == 0) {
    // One track: the second tempo lands between the eighth note's end and the ninth's start.
    QByteArray rebuilt;
    appendVarLen(rebuilt, 0);
    rebuilt.append("\xff\x03\x04Song", 7);
    appendVarLen(rebuilt, 0);
    rebuilt.append("\xff\x51\x03\x03\xd0\x90", 6);
    appendVarLen(rebuilt, 0);
    rebuilt.append("\xf0\x05\x7e\x7f\x09\x01\xf7", 7);
    appendVarLen(rebuilt, 0);
    rebuilt.append("\xc0\x00\x00\x90\x3c\x64", 6);  // program, then (delta 0) the first note on
    for (int i = 1; i <= 14; ++i) {
      appendVarLen(rebuilt, kDivision);
      rebuilt.append("\x90", 1).append(char(0x3c + (i - 1) % 12)).append('\0');
      if (i == 8) {
        appendVarLen(rebuilt, 0);
        rebuilt.append("\xff\x51\x03\x07\xa1\x20", 6);
      }
      if (i < 14) {
        appendVarLen(rebuilt, 0);
        rebuilt.append(char(0x3c + i % 12)).append('\x64');  // running status after a meta event
      }
    }
    addTrack(rebuilt);
  } else {
    addTrack(conductor);
    addTrack(notes);
  }

  QByteArray midi("MThd");
  appendBe32(midi, 6);
  appendBe16(midi, quint16(format));
  appendBe16(midi, format == 0 ? 1 : 2);
  appendBe16(midi, kDivision);
  midi.append(tracks);
  return writeBytes(path, midi);
}

QString writeGarbage(const QString& path, int size, quint32 seed) {
  QRandomGenerator random(seed);
  QByteArray bytes(qMax(size, 0), Qt::Uninitialized);
  for (char& b : bytes) b = char(random.generate() & 0xff);
  return writeBytes(path, bytes);
}

QString writeCdImage(const QString& dir, const QList<int>& trackMs) {
  constexpr int kRate = 44100;
  constexpr int kSectorBytes = 2352;
  constexpr int kFramesPerSector = kSectorBytes / 4;
  QByteArray bin;
  QString cue = QStringLiteral("FILE \"disc.bin\" BINARY\r\n");
  for (int t = 0; t < trackMs.size(); ++t) {
    const int startSector = int(bin.size() / kSectorBytes);
    const int sectors = qMax(1, int((qint64(trackMs[t]) * 75 + 999) / 1000));
    const double hz = 330.0 * (t + 1);
    for (int i = 0; i < sectors * kFramesPerSector; ++i) {
      const quint16 v = quint16(sine(i, hz, kRate));
      appendLe16(bin, v);  // left
      appendLe16(bin, v);  // right
    }
    cue += QString::asprintf("  TRACK %02d AUDIO\r\n", t + 1);
    cue += QStringLiteral("    INDEX 01 ") + msf(startSector) + QStringLiteral("\r\n");
  }
  const QDir folder(dir);
  if (writeBytes(folder.filePath(QStringLiteral("disc.bin")), bin).isEmpty()) return {};
  return writeBytes(folder.filePath(QStringLiteral("disc.cue")), cue.toLatin1());
}

QString writeAvi(const QString& path, int ms, QSize size, QColor colour) {
  return encodeToFile(testVideo(ms, size, colour) + QStringLiteral(" ! avimux ! filesink name=out"), path);
}

QString writeRawAvi(const QString& path, RawAvi kind, int ms, QSize size) {
  const int w = size.width();
  const int h = size.height();
  const int frames = qMax(1, int((qint64(ms) * 25 + 999) / 1000));
  const bool rgb = kind == RawAvi::RgbTopDown || kind == RawAvi::RgbBottomUp;
  // One frame, its top half red and its bottom half blue.
  QByteArray frame;
  const auto isTop = [h](int y) { return y < h / 2; };
  if (rgb) {
    const int stride = (w * 3 + 3) & ~3;
    for (int row = 0; row < h; ++row) {
      const int y = kind == RawAvi::RgbTopDown ? row : h - 1 - row;
      QByteArray line;
      for (int x = 0; x < w; ++x)
        line.append(isTop(y) ? QByteArray("\x00\x00\xff", 3) : QByteArray("\xff\x00\x00", 3));
      line.append(QByteArray(stride - line.size(), '\0'));
      frame.append(line);
    }
  } else {
    // Red: Y 81, U 90, V 240; blue: Y 41, U 240, V 110.
    const auto luma = [&](int y) { return char(isTop(y) ? 81 : 41); };
    const auto cb = [&](int y) { return char(isTop(y) ? 90 : 240); };
    const auto cr = [&](int y) { return char(isTop(y) ? 240 : 110); };
    if (kind == RawAvi::I420) {
      for (int y = 0; y < h; ++y) frame.append(QByteArray(w, luma(y)));
      for (int y = 0; y < h / 2; ++y) frame.append(QByteArray(w / 2, cb(2 * y)));
      for (int y = 0; y < h / 2; ++y) frame.append(QByteArray(w / 2, cr(2 * y)));
    } else {
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w / 2; ++x) frame.append(luma(y)).append(cb(y)).append(luma(y)).append(cr(y));
    }
  }
  const QByteArray fourcc = kind == RawAvi::I420   ? "I420"
                            : kind == RawAvi::Yuy2 ? "YUY2"
                                                   : QByteArray(4, '\0');
  const int bits = rgb ? 24 : kind == RawAvi::I420 ? 12 : 16;

  const auto chunk = [](const char* id, const QByteArray& body) {
    QByteArray out(id, 4);
    appendLe32(out, quint32(body.size()));
    out.append(body);
    if (body.size() & 1) out.append('\0');
    return out;
  };
  const auto list = [&chunk](const char* type, const QByteArray& body) {
    return chunk("LIST", QByteArray(type, 4) + body);
  };
  QByteArray avih;
  for (quint32 v : {40000u, quint32(frame.size() * 25), 0u, 0x910u, quint32(frames), 0u, 1u,
                    quint32(frame.size()), quint32(w), quint32(h), 0u, 0u, 0u, 0u})
    appendLe32(avih, v);
  QByteArray strh("vids");
  strh.append(fourcc);
  for (quint32 v : {0u, 0u, 0u, 1u, 25u, 0u, quint32(frames), quint32(frame.size()), 0xffffffffu, 0u})
    appendLe32(strh, v);
  for (quint16 v : {quint16(0), quint16(0), quint16(w), quint16(h)}) appendLe16(strh, v);
  QByteArray strf;
  appendLe32(strf, 40);
  appendLe32(strf, quint32(w));
  appendLe32(strf, quint32(kind == RawAvi::RgbTopDown ? -h : h));
  appendLe16(strf, 1);
  appendLe16(strf, quint16(bits));
  strf.append(fourcc);
  for (quint32 v : {quint32(frame.size()), 0u, 0u, 0u, 0u}) appendLe32(strf, v);
  // The space kept for an OpenDML super index, left as JUNK in a small file.
  QByteArray superIndex;
  appendLe16(superIndex, 4);
  superIndex.append(6, '\0');
  superIndex.append("00dc");
  superIndex.append(QByteArray(4120 - superIndex.size(), '\0'));
  QByteArray vprp;
  for (quint32 v : {0u, 0u, 25u, quint32(w), quint32(h), (4u << 16) | 3u, quint32(w), quint32(h), 1u,
                    quint32(h), quint32(w), quint32(h), quint32(w), 0u, 0u, 0u, 0u})
    appendLe32(vprp, v);
  QByteArray dmlh;
  appendLe32(dmlh, quint32(frames));
  dmlh.append(QByteArray(244, '\0'));
  const QByteArray hdrl = list("hdrl", chunk("avih", avih) +
                                           list("strl", chunk("strh", strh) + chunk("strf", strf) +
                                                            chunk("JUNK", superIndex) + chunk("vprp", vprp)) +
                                           list("odml", chunk("dmlh", dmlh)));
  const QByteArray info = list("INFO", chunk("ISFT", QByteArray("Lavf59.27.100", 14)));
  QByteArray movi;
  QByteArray idx1;
  for (int i = 0; i < frames; ++i) {
    idx1.append("00dc");
    appendLe32(idx1, 0x10);  // a key frame
    appendLe32(idx1, quint32(4 + movi.size()));
    appendLe32(idx1, quint32(frame.size()));
    movi.append(chunk("00dc", frame));
  }
  const QByteArray body = QByteArray("AVI ") + hdrl + info + chunk("JUNK", QByteArray(1016, '\0')) +
                          list("movi", movi) + chunk("idx1", idx1);
  QByteArray avi("RIFF");
  appendLe32(avi, quint32(body.size()));
  avi.append(body);
  return writeBytes(path, avi);
}

QString writeMov(const QString& path, int ms, QSize size, QColor colour) {
  return encodeToFile(testVideo(ms, size, colour) + QStringLiteral(" ! jpegenc ! qtmux ! filesink name=out"),
                      path);
}

QString writeMovingMovie(const QString& path, Movie kind, int ms) {
  const char* encoding = kind == Movie::RawAvi     ? " ! avimux"
                         : kind == Movie::MjpegAvi ? " ! jpegenc ! avimux"
                         : kind == Movie::JpegMov  ? " ! jpegenc ! qtmux"
                                                   : " ! x264enc ! h264parse ! qtmux";
  return encodeToFile(
      testVideo(ms, {64, 48}, QColor()) + QLatin1String(encoding) + QStringLiteral(" ! filesink name=out"),
      path);
}

QString writeMkv(const QString& path, Mkv kind, int ms) {
  const char* encoding = kind == Mkv::Jpeg         ? " ! jpegenc"
                         : kind == Mkv::JpegNoRate ? " ! jpegenc ! capssetter caps=image/jpeg,framerate=0/1"
                                                   : "";
  return encodeToFile(testVideo(ms, {64, 48}, QColor()) + QLatin1String(encoding) +
                          QStringLiteral(" ! matroskamux ! filesink name=out"),
                      path);
}

QString writeMpeg(const QString& path, int ms, QSize size) {
  return encodeToFile(
      testVideo(ms, size, QColor()) + QStringLiteral(" ! mpeg2enc format=0 ! avmux_mpeg ! filesink name=out"),
      path);
}

namespace {

QByteArray readAndRemove(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  file.remove();
  return bytes;
}

QString writeVcdSectors(const QString& path, const QByteArray& mpeg) {
  constexpr int kPayload = 2324;
  QByteArray sectors;
  for (qsizetype at = 0; at < mpeg.size(); at += kPayload) {
    sectors.append("\x00\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\x00", 12);      // sync
    sectors.append("\x00\x02\x00\x02", 4);                                       // address, mode 2
    for (int copy = 0; copy < 2; ++copy) sectors.append("\x01\x01\x64\x0f", 4);  // subheader: form 2 video
    QByteArray payload = mpeg.mid(at, kPayload);
    payload.append(QByteArray(kPayload - payload.size(), '\0'));
    sectors.append(payload);
    sectors.append(4, '\0');  // error detection, unused
  }
  QByteArray riff("CDXAfmt ");
  appendLe32(riff, 16);
  riff.append(16, '\0');
  riff.append("data");
  appendLe32(riff, quint32(sectors.size()));
  riff.append(sectors);
  QByteArray dat("RIFF");
  appendLe32(dat, quint32(riff.size()));
  dat.append(riff);
  return writeBytes(path, dat);
}

// A 33-bit time of 90 kHz ticks in the five bytes of a PTS, a DTS or an MPEG-1 clock reference.
qint64 readTimestamp(const uchar* p) {
  return (qint64((p[0] >> 1) & 7) << 30) | (qint64(p[1]) << 22) | (qint64(p[2] >> 1) << 15) |
         (qint64(p[3]) << 7) | (p[4] >> 1);
}

void writeTimestamp(uchar* p, qint64 ticks) {
  ticks &= (qint64(1) << 33) - 1;
  p[0] = uchar((p[0] & 0xf0) | ((ticks >> 29) & 0x0e) | 1);
  p[1] = uchar(ticks >> 22);
  p[2] = uchar(((ticks >> 14) & 0xfe) | 1);
  p[3] = uchar(ticks >> 7);
  p[4] = uchar(((ticks << 1) & 0xfe) | 1);
}

// Moves every clock reference by scrShift and every presentation and decoding time by ptsShift (in 90 kHz
// ticks) in an MPEG-1 program stream.
bool shiftProgramStream(QByteArray& ps, qint64 scrShift, qint64 ptsShift) {
  auto* d = reinterpret_cast<uchar*>(ps.data());
  const qsizetype n = ps.size();
  qsizetype i = 0;
  while (i + 6 <= n) {
    if (d[i] != 0 || d[i + 1] != 0 || d[i + 2] != 1) {
      ++i;
      continue;
    }
    const uchar code = d[i + 3];
    if (code == 0xb9) break;  // end of the stream
    if (code == 0xba) {
      if ((d[i + 4] >> 4) != 2 || i + 12 > n) return false;  // only MPEG-1 packs
      writeTimestamp(d + i + 4, readTimestamp(d + i + 4) + scrShift);
      i += 12;
      continue;
    }
    const qsizetype length = (d[i + 4] << 8) | d[i + 5];
    const qsizetype end = i + 6 + length;
    if (end > n) return false;
    if ((code >= 0xc0 && code <= 0xef) || code == 0xbd) {
      qsizetype j = i + 6;
      while (j < end && d[j] == 0xff) ++j;
      if (j < end && (d[j] >> 6) == 1) j += 2;  // buffer size
      if (j + 5 <= end && (d[j] >> 4) == 2) {
        writeTimestamp(d + j, readTimestamp(d + j) + ptsShift);
      } else if (j + 10 <= end && (d[j] >> 4) == 3) {
        writeTimestamp(d + j, readTimestamp(d + j) + ptsShift);
        writeTimestamp(d + j + 5, readTimestamp(d + j + 5) + ptsShift);
      }
    }
    i = end;
  }
  return true;
}

// The first clock reference of an MPEG-1 program stream, in 90 kHz ticks; -1 if none.
qint64 firstClockReference(const QByteArray& ps) {
  const qsizetype at = ps.indexOf(QByteArray("\x00\x00\x01\xba", 4));
  if (at < 0 || at + 9 > ps.size()) return -1;
  return readTimestamp(reinterpret_cast<const uchar*>(ps.constData()) + at + 4);
}

}  // namespace

QString writeVcdDat(const QString& path, int ms, QSize size) {
  const QString stream = path + QStringLiteral(".mpg");
  if (writeMpeg(stream, ms, size).isEmpty()) return {};
  return writeVcdSectors(path, readAndRemove(stream));
}

QString writeMpegAt(const QString& path, int ms, int scrStartMs, int ptsLeadMs, bool vcd) {
  const QString stream = path + QStringLiteral(".tmp.mpg");
  const int audioBuffers = qMax(1, int((qint64(ms) * 44100 / 1000 + 1151) / 1152));
  const QString description =
      testVideo(ms, {64, 48}, QColor()) +
      QStringLiteral(
          " ! mpeg2enc format=0 ! mux. "
          "audiotestsrc num-buffers=%1 samplesperbuffer=1152 ! audio/x-raw,rate=44100,channels=2 ! "
          "avenc_mp2 ! mux. avmux_mpeg name=mux ! filesink name=out")
          .arg(audioBuffers);
  if (encodeToFile(description, stream).isEmpty()) return {};
  QByteArray ps = readAndRemove(stream);
  // The muxer starts its clock where its first presentation time is: move both to where real files have them.
  const qint64 first = firstClockReference(ps);
  if (first < 0) return {};
  const qint64 scrShift = qint64(scrStartMs) * 90 - first;
  if (!shiftProgramStream(ps, scrShift, scrShift + qint64(ptsLeadMs) * 90)) return {};
  return vcd ? writeVcdSectors(path, ps) : writeBytes(path, ps);
}

QString writeTruncatedMov(const QString& path, int ms) {
  const QString whole = path + QStringLiteral(".whole.mov");
  if (encodeToFile(testVideo(ms, {320, 240}, QColor()) +
                       QStringLiteral(" ! x264enc ! h264parse ! qtmux ! filesink name=out"),
                   whole)
          .isEmpty())
    return {};
  const QByteArray bytes = readAndRemove(whole);
  if (bytes.indexOf("moov") < bytes.size() / 3) return {};  // the header must be in the part cut off
  return writeBytes(path, bytes.left(bytes.size() / 3));
}
