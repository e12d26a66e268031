// Our ADPCM WAV reader and decoder: the samples equal those of GStreamer's own decoder for the same file
// (which decodes right and only times it wrong), and hostile headers and blocks are refused or bounded.
#include "media/adpcm_wave.h"
#include "support/media_gen.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <cmath>
#include <vector>

namespace {

std::vector<qint16> decodeAll(const AdpcmWave& w, const QByteArray& file) {
  std::vector<qint16> pcm;
  std::vector<qint16> block(size_t(w.framesPerBlock * w.channels));
  const auto* data = reinterpret_cast<const uchar*>(file.constData());
  for (qint64 at = w.dataOffset; at < w.dataOffset + w.dataBytes; at += w.blockAlign) {
    const int size = int(std::min<qint64>(w.blockAlign, w.dataOffset + w.dataBytes - at));
    const int frames = decodeAdpcmBlock(w, data + at, size, block.data());
    if (frames <= 0) break;
    pcm.insert(pcm.end(), block.begin(), block.begin() + frames * w.channels);
  }
  pcm.resize(std::min(pcm.size(), size_t(w.frames * w.channels)));
  return pcm;
}

// What GStreamer's WAV reader and ADPCM decoder make of the file, as 16-bit interleaved samples.
std::vector<qint16> decodeWithGStreamer(const QString& path) {
  gst_init(nullptr, nullptr);
  GstElement* pipeline = gst_parse_launch(
      "filesrc name=in ! wavparse ! adpcmdec ! audioconvert ! audio/x-raw,format=S16LE ! appsink name=out "
      "sync=false",
      nullptr);
  if (!pipeline) return {};
  GstElement* in = gst_bin_get_by_name(GST_BIN(pipeline), "in");
  g_object_set(in, "location", QFile::encodeName(path).constData(), nullptr);
  gst_object_unref(in);
  GstElement* out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  std::vector<qint16> pcm;
  while (GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(out), 5 * GST_SECOND)) {
    GstMapInfo map;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
      const auto* samples = reinterpret_cast<const qint16*>(map.data);
      pcm.insert(pcm.end(), samples, samples + map.size / 2);
      gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
  }
  gst_object_unref(out);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
  return pcm;
}

void putLe16(QByteArray& bytes, int at, quint16 v) {
  if (at + 2 <= bytes.size()) qToLittleEndian(v, bytes.data() + at);
}
void putLe32(QByteArray& bytes, int at, quint32 v) {
  if (at + 4 <= bytes.size()) qToLittleEndian(v, bytes.data() + at);
}

}  // namespace

class TestAdpcmWave : public QObject {
  Q_OBJECT

 private slots:
  void decodesAsGStreamerDoes_data() {
    QTest::addColumn<int>("codec");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::newRow("IMA mono") << int(Adpcm::Ima) << 22050 << 1;
    QTest::newRow("IMA stereo") << int(Adpcm::Ima) << 44100 << 2;
    QTest::newRow("MS mono") << int(Adpcm::Ms) << 22050 << 1;
    QTest::newRow("MS stereo") << int(Adpcm::Ms) << 44100 << 2;
  }
  void decodesAsGStreamerDoes() {
    QFETCH(int, codec);
    QFETCH(int, rate);
    QFETCH(int, channels);
    QTemporaryDir dir;
    const QString path = writeAdpcmWav(dir.filePath("a.wav"), Adpcm(codec), 700, rate, channels);
    QVERIFY(!path.isEmpty());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const std::optional<AdpcmWave> wave = readAdpcmWave(file);
    QVERIFY(wave);
    QCOMPARE(wave->channels, channels);
    QCOMPARE(wave->rate, rate);
    QCOMPARE(wave->frames, qint64(700) * rate / 1000);  // the fact chunk's count, not the padded blocks'
    QCOMPARE(wave->durationNs() / 1'000'000, 700);

    file.seek(0);
    const std::vector<qint16> ours = decodeAll(*wave, file.readAll());
    QCOMPARE(qint64(ours.size()), wave->frames * channels);
    // GStreamer's decoder gives every sample of the padded blocks; ours stops at the sound's end.
    const std::vector<qint16> theirs = decodeWithGStreamer(path);
    QVERIFY2(theirs.size() >= ours.size(), qPrintable(QString::number(theirs.size())));
    for (size_t i = 0; i < ours.size(); ++i)
      if (ours[i] != theirs[i])
        QFAIL(qPrintable(QString("sample %1: %2, not %3").arg(i).arg(ours[i]).arg(theirs[i])));
    // And it is the sine that was written, give or take what four bits a sample lose.
    double error = 0, signal = 0;
    for (size_t i = 0; i < ours.size(); ++i) {
      const double written = adpcmWavSample(int(i) / channels, int(i) % channels, rate);
      error += (ours[i] - written) * (ours[i] - written);
      signal += written * written;
    }
    QVERIFY2(error < signal / 100, qPrintable(QString("%1 dB").arg(10 * std::log10(signal / error))));
  }

  // Every header field a file can lie in: the reader refuses it or bounds it by the file, and decoding every
  // block it then describes reads nothing beyond them (the sanitizer build checks the reads).
  void hostileFilesAreRefusedOrBounded_data() {
    QTest::addColumn<int>("codec");
    QTest::addColumn<int>("at");  // byte to overwrite; -1 = cut the file at `value` bytes
    QTest::addColumn<int>("size");
    QTest::addColumn<quint32>("value");
    QTest::addColumn<bool>("readable");
    // Offsets in the files the writer makes: the format chunk's fields from 20 (the MS coefficient count at
    // 40), the fact chunk's count just before the data chunk, which starts at 52 (IMA) or 82 (MS).
    for (int codec : {int(Adpcm::Ima), int(Adpcm::Ms)}) {
      const char* name = codec == int(Adpcm::Ima) ? "IMA " : "MS ";
      const int data = codec == int(Adpcm::Ima) ? 52 : 82;
      const auto row = [&](const char* what) -> QTestData& {
        return QTest::newRow(qPrintable(QString(name) + what));
      };
      row("no channels") << codec << 22 << 2 << 0u << false;
      row("three channels") << codec << 22 << 2 << 3u << false;
      row("no rate") << codec << 24 << 4 << 0u << false;
      row("huge rate") << codec << 24 << 4 << 0xffffffffu << false;
      row("block of zero") << codec << 32 << 2 << 0u << false;
      row("block of one byte") << codec << 32 << 2 << 1u << false;
      row("block of 65535") << codec << 32 << 2 << 65535u << true;
      row("8 bits a sample") << codec << 34 << 2 << 8u << false;
      row("huge format chunk") << codec << 16 << 4 << 0xfffffff0u << false;
      row("huge extra size") << codec << 36 << 2 << 0xffffu << true;
      row("huge samples a block") << codec << 38 << 2 << 0xffffu << true;
      row("huge data size") << codec << data + 4 << 4 << 0xffffffffu << true;
      row("fact beyond the data") << codec << data - 4 << 4 << 0xffffffffu << true;
      row("cut in the header") << codec << -1 << 0 << 30u << false;
      row("cut in a block") << codec << -1 << 0 << quint32(data + 8 + 700) << true;
      row("cut in the first block header") << codec << -1 << 0 << quint32(data + 8 + 3) << false;
    }
    QTest::newRow("MS coefficients beyond the chunk") << int(Adpcm::Ms) << 40 << 2 << 0xffffu << true;
    QTest::newRow("MS predictor 255") << int(Adpcm::Ms) << 90 << 1 << 255u << true;
    QTest::newRow("MS step -32768") << int(Adpcm::Ms) << 91 << 2 << 0x8000u << true;
    QTest::newRow("IMA step index 255") << int(Adpcm::Ima) << 62 << 1 << 255u << true;
  }
  void hostileFilesAreRefusedOrBounded() {
    QFETCH(int, codec);
    QFETCH(int, at);
    QFETCH(int, size);
    QFETCH(quint32, value);
    QFETCH(bool, readable);
    QTemporaryDir dir;
    QFile written(writeAdpcmWav(dir.filePath("a.wav"), Adpcm(codec), 300));
    QVERIFY(written.open(QIODevice::ReadOnly));
    QByteArray bytes = written.readAll();
    if (at < 0)
      bytes.truncate(int(value));
    else if (size == 1)
      bytes[at] = char(value);
    else if (size == 2)
      putLe16(bytes, at, quint16(value));
    else
      putLe32(bytes, at, value);
    QBuffer device(&bytes);
    QVERIFY(device.open(QIODevice::ReadOnly));
    const std::optional<AdpcmWave> wave = readAdpcmWave(device);
    QCOMPARE(bool(wave), readable);
    if (!wave) return;
    QVERIFY(wave->dataOffset + wave->dataBytes <= bytes.size());
    QVERIFY(wave->frames > 0 &&
            wave->frames <= (wave->dataBytes / wave->blockAlign + 1) * wave->framesPerBlock);
    const std::vector<qint16> pcm = decodeAll(*wave, bytes);
    QVERIFY(qint64(pcm.size()) <= wave->frames * wave->channels);
  }
};

QTEST_GUILESS_MAIN(TestAdpcmWave)
#include "test_adpcm_wave.moc"
