#include "media/gst_ptr.h"
#include "media/mmcontrol.h"
#include "media/video_surface.h"
#include "support/media_gen.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <cdio/cdio.h>
#include <gst/audio/audio.h>
#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace {

QList<int> codes(const QSignalSpy& spy) {
  QList<int> result;
  for (const QList<QVariant>& args : spy) result << args.at(0).toInt();
  return result;
}

bool near(qint64 actual, qint64 expected, qint64 tolerance) { return qAbs(actual - expected) <= tolerance; }

#ifdef Q_OS_UNIX
// A drive that does not answer: a named pipe given as the CD device, whose open (by the disc's source, when
// the control's worker starts the pipeline) blocks until the pipe's other end is opened. Should nobody let
// it go within a generous while, a watchdog does, so that a command waiting for it fails the test rather
// than hanging it; heldThroughout tells whether the watchdog stayed out of it.
class DeadDrive {
 public:
  explicit DeadDrive(const QString& path) : path_(QFile::encodeName(path)) {
    made_ = ::mkfifo(path_.constData(), 0600) == 0;
    watchdog_ = std::thread([this] {
      std::unique_lock lock(mutex_);
      if (!stop_.wait_for(lock, std::chrono::seconds(60), [this] { return stopping_; })) {
        watchdogLetGo_ = true;
        while (!stopping_ && !letGo()) stop_.wait_for(lock, std::chrono::milliseconds(50));
      }
    });
  }
  ~DeadDrive() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    stop_.notify_one();
    watchdog_.join();
  }
  DeadDrive(const DeadDrive&) = delete;
  DeadDrive& operator=(const DeadDrive&) = delete;

  bool made() const { return made_; }
  bool heldThroughout() const { return !watchdogLetGo_; }
  QString path() const { return QFile::decodeName(path_); }
  // Whether a thread of this process waits in the open of a pipe (Linux says where a thread sleeps).
  static bool waitedOn() {
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
      QFile wchan(tasks.filePath(task + QStringLiteral("/wchan")));
      if (wchan.open(QIODevice::ReadOnly) && wchan.readAll().trimmed() == "wait_for_partner") return true;
    }
    return false;
  }
  // Opens the other end, which succeeds only while someone waits in the open of this one.
  bool letGo() {
    const int fd = ::open(path_.constData(), O_WRONLY | O_NONBLOCK);
    if (fd < 0) return false;
    ::close(fd);
    return true;
  }

 private:
  QByteArray path_;
  bool made_ = false;
  std::mutex mutex_;
  std::condition_variable stop_;
  bool stopping_ = false;
  std::atomic<bool> watchdogLetGo_{false};
  std::thread watchdog_;  // last: starts once the members above exist
};
#endif

void openFile(MMControl& mci, const QString& path) {
  mci.setFileName(path);
  mci.setDeviceType(QString());
  mci.setCommand(QStringLiteral("Open"));
}

bool pipelineMuted(const MMControl& mci) {
  gboolean muted = FALSE;
  g_object_get(mci.pipeline(), "mute", &muted, nullptr);
  return muted;
}

// A movie whose every frame differs from the last (colour bars moving sideways), in raw video.
QString encodeMovingMovie(const QString& path, int frames) {
  return encodeToFile(
      QString("videotestsrc num-buffers=%1 pattern=smpte horizontal-speed=3 ! "
              "video/x-raw,format=I420,width=64,height=48,framerate=25/1 ! avimux ! filesink name=out")
          .arg(frames),
      path);
}

// A movie of solid frames in raw video (I420 in AVI), made by GStreamer itself so that no codec is needed.
QString encodeMovie(const QString& path, QSize size, int frames, int fps, QRgb colour) {
  return encodeToFile(
      QString("videotestsrc num-buffers=%1 pattern=solid-color foreground-color=%2 ! "
              "video/x-raw,format=I420,width=%3,height=%4,framerate=%5/1 ! avimux ! filesink name=out")
          .arg(frames)
          .arg(colour | 0xff000000u)
          .arg(size.width())
          .arg(size.height())
          .arg(fps),
      path);
}

GstState stateOf(GstElement* element) {
  GstState state = GST_STATE_VOID_PENDING;
  gst_element_get_state(element, &state, nullptr, 0);
  return state;
}

// Holds back every buffer that reaches the pad until the pipeline is flushed: the medium stops moving
// while the pipeline goes on playing, as it does when a demuxer spins without producing data.
GstPadProbeReturn holdBuffer(GstPad*, GstPadProbeInfo*, gpointer) { return GST_PAD_PROBE_OK; }

void stallAudio(GstElement* pipeline) {
  GstElement* sink = nullptr;
  g_object_get(pipeline, "audio-sink", &sink, nullptr);
  const GstRef<GstElement> owned = GstRef<GstElement>::adopt(sink);
  const GstRef<GstPad> pad = GstRef<GstPad>::adopt(sink ? gst_element_get_static_pad(sink, "sink") : nullptr);
  if (pad)
    gst_pad_add_probe(pad.get(), GstPadProbeType(GST_PAD_PROBE_TYPE_BLOCK | GST_PAD_PROBE_TYPE_BUFFER),
                      &holdBuffer, nullptr, nullptr);
}

// Notes an end of stream that reaches the pipeline's audio sink.
GstPadProbeReturn noteEos(GstPad*, GstPadProbeInfo* info, gpointer ended) {
  if (GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info); event && GST_EVENT_TYPE(event) == GST_EVENT_EOS)
    *static_cast<std::atomic<bool>*>(ended) = true;
  return GST_PAD_PROBE_OK;
}

void watchForEos(GstElement* pipeline, std::atomic<bool>* ended) {
  GstElement* sink = nullptr;
  g_object_get(pipeline, "audio-sink", &sink, nullptr);
  const GstRef<GstElement> owned = GstRef<GstElement>::adopt(sink);
  const GstRef<GstPad> pad = GstRef<GstPad>::adopt(sink ? gst_element_get_static_pad(sink, "sink") : nullptr);
  QVERIFY(pad);
  gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &noteEos, ended, nullptr);
}

// The child process of quietWithoutSoundCard: plays the sound a few times with the control's own choice of
// audio output; what GStreamer and the outputs it tries write to stderr is counted by the parent.
constexpr const char* kPlayChildArg = "--play-and-exit";
constexpr int kChildPlays = 4;
int playAndExit(int argc, char** argv) {
  QApplication app(argc, argv);
  MMControl mci;
  QSignalSpy done(&mci, &MMControl::Done);
  for (int i = 0; i < kChildPlays; ++i) {
    openFile(mci, QString::fromLocal8Bit(argv[2]));
    mci.setCommand(QStringLiteral("Play"));
    if (!done.wait(5000) || done.last().at(0).toInt() != 1) return 1;
  }
  return 0;
}

// The loudest sample of each 250 ms of stream time that reached the audio sink (32-bit float, as the
// synthesizer makes it), filled on the streaming thread.
struct Loudness {
  std::mutex mutex;
  std::map<qint64, float> peakByQuarterSecond;
  static GstPadProbeReturn onBuffer(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
    auto* self = static_cast<Loudness*>(data);
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    GstMiniPtr<GstCaps> caps(gst_pad_get_current_caps(pad));
    GstAudioInfo audio;
    if (!caps || !gst_audio_info_from_caps(&audio, caps.get()) ||
        GST_AUDIO_INFO_FORMAT(&audio) != GST_AUDIO_FORMAT_F32 || !GST_BUFFER_PTS_IS_VALID(buffer))
      return GST_PAD_PROBE_OK;
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) return GST_PAD_PROBE_OK;
    const auto* samples = reinterpret_cast<const float*>(map.data);
    const qsizetype count = qsizetype(map.size / sizeof(float));
    const int channels = GST_AUDIO_INFO_CHANNELS(&audio);
    std::lock_guard lock(self->mutex);
    for (qsizetype i = 0; i < count; ++i) {
      const qint64 ns =
          qint64(GST_BUFFER_PTS(buffer)) + qint64(i / channels) * GST_SECOND / GST_AUDIO_INFO_RATE(&audio);
      float& peak = self->peakByQuarterSecond[ns / (250 * GST_MSECOND)];
      peak = std::max(peak, std::abs(samples[i]));
    }
    gst_buffer_unmap(buffer, &map);
    return GST_PAD_PROBE_OK;
  }
  void watch(GstElement* pipeline) {
    GstElement* sink = nullptr;
    g_object_get(pipeline, "audio-sink", &sink, nullptr);
    const GstRef<GstElement> owned = GstRef<GstElement>::adopt(sink);
    const GstRef<GstPad> pad =
        GstRef<GstPad>::adopt(sink ? gst_element_get_static_pad(sink, "sink") : nullptr);
    if (pad) gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_BUFFER, &Loudness::onBuffer, this, nullptr);
  }
  // The quarter seconds from..to (stream time, ms) in which nothing sounded.
  QList<qint64> silentBetween(qint64 fromMs, qint64 toMs) {
    std::lock_guard lock(mutex);
    QList<qint64> silent;
    for (qint64 q = fromMs / 250; q < toMs / 250; ++q)
      if (peakByQuarterSecond[q] < 0.001f) silent << q * 250;
    return silent;
  }
};

// Counts the times a widget is shown.
struct ShowCount : QObject {
  int shows = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Show) ++shows;
    return false;
  }
};

bool machineHasCdDrive() {
  char* drive = cdio_get_default_device(nullptr);
  cdio_free(drive);
  return drive != nullptr;
}

}  // namespace

class TestMMControl : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
  }

  void playsSoundToItsEnd() {
    MMControl mci;
    QSignalSpy done(&mci, &MMControl::Done);
    QThread* doneThread = nullptr;
    connect(&mci, &MMControl::Done, this, [&doneThread] { doneThread = QThread::currentThread(); });

    openFile(mci, writeWav(path("a.wav"), 300));
    QElapsedTimer played;
    played.start();
    mci.setCommand("Play");
    QVERIFY(done.wait(5000));
    QCOMPARE(codes(done), QList<int>{1});
    // Without a sound card the output must still keep time, or sounds would end at once.
    QVERIFY2(played.elapsed() >= 200, qPrintable(QString::number(played.elapsed())));
    QCOMPARE(doneThread, QThread::currentThread());
    QVERIFY(near(mci.Position(), mci.Length(), 30));
  }

  // GStreamer's WAV reader takes ADPCM blocks for half the samples they hold: such a sound reported half
  // its length and ended halfway. Its length, its end and a seek into it are the sound's own.
  void adpcmWavPlaysItsWholeLength_data() {
    QTest::addColumn<int>("codec");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::newRow("IMA mono") << int(Adpcm::Ima) << 22050 << 1;
    QTest::newRow("MS mono") << int(Adpcm::Ms) << 22050 << 1;
  }
  void adpcmWavPlaysItsWholeLength() {
    QFETCH(int, codec);
    QFETCH(int, rate);
    QFETCH(int, channels);
    MMControl mci;
    QSignalSpy done(&mci, &MMControl::Done);
    openFile(mci, writeAdpcmWav(path("a.wav"), Adpcm(codec), 5000, rate, channels));
    QTRY_VERIFY_WITH_TIMEOUT(mci.Length() > 0, 3000);
    QVERIFY2(near(mci.Length(), 5000, 100), qPrintable(QString::number(mci.Length())));
    QElapsedTimer played;
    played.start();
    mci.setCommand("Play");
    QTRY_VERIFY_WITH_TIMEOUT(mci.Position() >= 1000, 3000);
    // Never ahead of the clock (twice as fast, as GStreamer's reader has it), and to its whole length.
    QVERIFY2(mci.Position() <= played.elapsed() + 300, qPrintable(QString::number(mci.Position())));
    QVERIFY(done.wait(8000));
    QCOMPARE(codes(done), QList<int>{1});
    QVERIFY2(played.elapsed() >= 4500, qPrintable(QString::number(played.elapsed())));
    QVERIFY(near(mci.Position(), mci.Length(), 50));

    // From where it was sought: the whole sound again would outlast the wait.
    mci.setFrom(4200);
    played.restart();
    mci.setCommand("Play");
    QVERIFY(mci.Position() >= 4200);
    QVERIFY(done.wait(3000));
    QCOMPARE(codes(done), (QList<int>{1, 1}));
    QVERIFY2(played.elapsed() >= 400, qPrintable(QString::number(played.elapsed())));
  }

  // GStreamer's WAV reader ends at once on a data chunk of odd length followed by its pad byte (an 8-bit mono
  // sound of an odd number of samples: half of them), with a length of 0. It plays its whole length, seeks
  // and ends as any sound does.
  void oddPcmWavPlaysItsWholeLength_data() {
    QTest::addColumn<int>("bits");
    QTest::newRow("8-bit mono") << 8;
    QTest::newRow("24-bit mono") << 24;
  }
  void oddPcmWavPlaysItsWholeLength() {
    QFETCH(int, bits);
    MMControl mci;
    QSignalSpy done(&mci, &MMControl::Done);
    openFile(mci, writePcmWav(path("odd.wav"), 22051, bits, 11025));  // 2000.1 ms
    QTRY_VERIFY_WITH_TIMEOUT(mci.Length() > 0, 3000);
    QCOMPARE(mci.Length(), 2000);
    mci.setCommand("Play");
    QTRY_VERIFY_WITH_TIMEOUT(mci.Position() > 1000, 3000);
    QVERIFY(done.isEmpty());
    QVERIFY(done.wait(3000));
    QCOMPARE(codes(done), QList<int>{1});
    QCOMPARE(mci.Position(), mci.Length());

    mci.setFrom(1500);
    mci.setCommand("Play");
    QVERIFY(mci.Position() >= 1500);
    QTRY_VERIFY_WITH_TIMEOUT(mci.Position() > 1700 || done.size() > 1, 3000);
    QVERIFY2(done.size() == 1, "ended before it played from where it was sought");
    QVERIFY(done.wait(3000));
    QCOMPARE(codes(done), (QList<int>{1, 1}));
  }

  void playCutShort_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("Stop") << "Stop" << QList<int>{4};
    QTest::newRow("Pause") << "Pause" << QList<int>{4};
    QTest::newRow("Close") << "Close" << QList<int>{4};
    QTest::newRow("Open") << "Open" << QList<int>{4};
    QTest::newRow("Play") << "Play" << QList<int>{2, 1};
  }
  void playCutShort() {
    QFETCH(QString, command);
    QFETCH(QList<int>, expected);
    MMControl mci;
    QSignalSpy done(&mci, &MMControl::Done);
    openFile(mci, writeWav(path("a.wav"), 600));
    mci.setCommand("Play");
    QTRY_VERIFY_WITH_TIMEOUT(mci.Position() > 100, 3000);
    mci.setCommand(command);
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), expected.size(), 3000);
    const qint32 stoppedAt = mci.Position();
    // The medium would have ended by now if it were still playing: no further Done may come.
    QVERIFY(!done.wait(800));
    QCOMPARE(codes(done), expected);
    if (command == "Stop" || command == "Pause") {
      QVERIFY(stoppedAt > 100);
      QVERIFY(near(mci.Position(), stoppedAt, 30));
    }
  }

  void badFileFailsSilently_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("mustFail");
    QTest::newRow("text") << "text" << true;
    QTest::newRow("zero bytes") << "zero" << true;
    QTest::newRow("garbage") << "garbage" << true;
    QTest::newRow("missing") << "missing" << true;
    QTest::newRow("folder") << "folder" << true;
#ifdef Q_OS_UNIX
    QTest::newRow("named pipe that nobody writes") << "fifo" << true;
#endif
    QTest::newRow("truncated wav") << "truncated" << false;
    QTest::newRow("wav header only") << "header" << false;
  }
  void badFileFailsSilently() {
    QFETCH(QString, kind);
    QFETCH(bool, mustFail);
    QString file = path("bad.wav");
    if (kind == "text") {
      writeBytes(file, "Just some words.\r\nNothing to play here.\r\n");
    } else if (kind == "zero") {
      writeGarbage(file, 0);
    } else if (kind == "garbage") {
      writeGarbage(file, 64 * 1024, 7);
    } else if (kind == "folder") {
      file = dir_->path();
    } else if (kind == "fifo") {
#ifdef Q_OS_UNIX
      file = path("pipe.wav");
      QVERIFY(::mkfifo(QFile::encodeName(file).constData(), 0600) == 0);
#endif
    } else if (kind == "truncated" || kind == "header") {
      writeWav(file, 1000);
      QFile(file).resize(kind == "header" ? 44 : 3000);
    }

    MMControl mci;
    QSignalSpy done(&mci, &MMControl::Done);
    mci.setFileName(file);
    mci.setCommand("Open");
    mci.setCommand("Play");
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 5000);
    if (mustFail) {
      QCOMPARE(codes(done), QList<int>{8});
      QCOMPARE(mci.pipeline(), nullptr);
      QCOMPARE(mci.Length(), 0);
      for (const char* command : {"Play", "Pause", "Stop", "Prev", "Back", "Step"}) mci.setCommand(command);
    }

    // The control stays usable.
    done.clear();
    openFile(mci, writeWav(path("good.wav"), 200));
    mci.setCommand("Play");
    QVERIFY(done.wait(5000));
    QCOMPARE(codes(done), QList<int>{1});
  }

  // A demuxer that gives up at once may do so while decodebin is still setting its state, and decodebin
  // then drops its error: a movie cut before its header sat at 0 % until the preroll limit in some opens.
  void truncatedMovFailsAtOnceEveryTime() {
    const QString file = writeTruncatedMov(path("cut.mov"), 3000);
    QVERIFY(!file.isEmpty());
    MMControl mci;
    QSignalSpy done(&mci, &MMControl::Done);
    for (int open = 1; open <= 12; ++open) {
      openFile(mci, file);
      mci.setCommand("Play");
      QVERIFY2(done.wait(3000), qPrintable(QStringLiteral("open %1").arg(open)));
      QCOMPARE(done.last().at(0).toInt(), 8);
      QCOMPARE(mci.pipeline(), nullptr);
    }
  }

  // A medium without data fails at once; a very short one is still a medium that plays to its end.
  void emptyFailsShortSucceeds_data() {
    QTest::addColumn<int>("ms");
    QTest::addColumn<int>("code");
    QTest::newRow("data chunk empty (44 bytes)") << 0 << 8;
    QTest::newRow("1 ms") << 1 << 1;
    QTest::newRow("50 ms") << 50 << 1;
  }
  void emptyFailsShortSucceeds() {
    QFETCH(int, ms);
    QFETCH(int, code);
    MMControl mci;
    QSignalSpy done(&mci, &MMControl::Done);
    const QString file = writeWav(path("a.wav"), ms);
    QVERIFY(ms > 0 || QFileInfo(file).size() == 44);
    openFile(mci, file);
    const GstRef<GstElement> pipeline = GstRef<GstElement>::share(mci.pipeline());
    mci.setCommand("Play");
    // An empty medium fails well before the stall rule could have applied.
    QVERIFY(done.wait(code == 8 ? 2500 : 5000));
    QCOMPARE(codes(done), QList<int>{code});
    if (code == 8) {
      QCOMPARE(mci.pipeline(), nullptr);
      QTRY_COMPARE_WITH_TIMEOUT(stateOf(pipeline.get()), GST_STATE_NULL, 3000);
    }
  }

  // A still picture that reaches the control (a picture the loader refused, one JPEG frame in a movie file)
  // is nothing to play: it fails as an unplayable file does and is never shown. JPEG frames that last, even
  // without a frame rate, and one raw frame at a real rate still play.
  void stillPictureFailsMoviesPlay_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("code");
    QTest::newRow("PNG") << "png" << 8;
    QTest::newRow("one JPEG frame in MKV") << "jpeg frame" << 8;
    QTest::newRow("1 s of JPEG frames in MKV") << "jpeg" << 1;
    QTest::newRow("1 s of JPEG frames in MKV, no frame rate") << "jpeg no rate" << 1;
    QTest::newRow("one raw frame in MKV at 25 a second") << "raw frame" << 1;
    QTest::newRow("one JPEG frame held 0.5 s in MKV") << "held frame" << 1;
  }
  void stillPictureFailsMoviesPlay() {
    QFETCH(QString, kind);
    QFETCH(int, code);
    QString file;
    if (kind == "png") {
      QImage image(64, 48, QImage::Format_RGB32);
      image.fill(Qt::blue);
      file = path("a.png");
      QVERIFY(image.save(file));
    } else if (kind == "held frame") {
      file = encodeToFile(
          "videotestsrc num-buffers=1 ! video/x-raw,width=64,height=48,framerate=2/1 ! jpegenc ! "
          "matroskamux ! filesink name=out",
          path("a.mkv"));
      QVERIFY(!file.isEmpty());
    } else {
      file = writeMkv(path("a.mkv"),
                      kind == "raw frame"      ? Mkv::Raw
                      : kind == "jpeg no rate" ? Mkv::JpegNoRate
                                               : Mkv::Jpeg,
                      kind.endsWith("frame") ? 40 : 1000);
      QVERIFY(!file.isEmpty());
    }
    QWidget pane;
    pane.resize(160, 120);
    pane.show();
    MMControl mci;
    mci.setHWndDisplay(&pane);
    ShowCount surface;
    mci.videoSurface()->installEventFilter(&surface);
    QSignalSpy done(&mci, &MMControl::Done);
    openFile(mci, file);
    mci.setCommand("Play");
    QVERIFY(done.wait(5000));
    QCOMPARE(codes(done), QList<int>{code});
    if (code == 8) {
      QCOMPARE(mci.pipeline(), nullptr);
      QCOMPARE(mci.Length(), 0);
      QVERIFY(!mci.isOpen());
      QCOMPARE(surface.shows, 0);
    } else {
      QCOMPARE(surface.shows, 1);
      QVERIFY(mci.Length() >= 40);
    }
  }

  void stalledPlayFailsAndIsTornDown() {
    MMControl mci;
    QSignalSpy done(&mci, &MMControl::Done);
    openFile(mci, writeWav(path("a.wav"), 20000));
    const GstRef<GstElement> pipeline = GstRef<GstElement>::share(mci.pipeline());
    // Held back only once the sink has its first buffer, so that the medium still opens.
    QTRY_COMPARE_WITH_TIMEOUT(stateOf(pipeline.get()), GST_STATE_PAUSED, 3000);
    stallAudio(pipeline.get());
    mci.setCommand("Play");
    QVERIFY(done.wait(8000));
    QCOMPARE(codes(done), QList<int>{8});
    QCOMPARE(mci.pipeline(), nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(stateOf(pipeline.get()), GST_STATE_NULL, 3000);
    QVERIFY(!done.wait(300));  // reported once
  }

  void pauseLongerThanTheStallWindowKeepsTheMedium() {
    MMControl mci;
    QSignalSpy done(&mci, &MMControl::Done);
    openFile(mci, writeWav(path("a.wav"), 20000));
    mci.setCommand("Play");
    QTRY_VERIFY_WITH_TIMEOUT(mci.Position() > 100, 3000);
    mci.setCommand("Pause");
    QVERIFY(done.wait(2000));
    const qint32 pausedAt = mci.Position();
    QVERIFY(!done.wait(4500));
    QCOMPARE(codes(done), QList<int>{4});
    QVERIFY(mci.pipeline());
    mci.setCommand("Play");
    QTRY_VERIFY_WITH_TIMEOUT(mci.Position() > pausedAt + 200, 3000);
    mci.setCommand("Stop");
  }

  // Without any audio device the control picks a fake output once, instead of letting every medium try
  // (and complain about) each output again; nothing floods stderr.
  void quietWithoutSoundCard() {
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments({kPlayChildArg, writeWav(path("a.wav"), 200)});
    // A sanitizer build lists the leak suppressions it used at exit; they are not GStreamer's lines.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LSAN_OPTIONS", environment.value("LSAN_OPTIONS") + ":print_suppressions=0");
    child.setProcessEnvironment(environment);
    child.start();
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    const QByteArray log = child.readAllStandardError();
    const qsizetype lines = log.count('\n');
    QVERIFY2(lines <= 15, log.left(4000).constData());
    QVERIFY2(!log.contains("CRITICAL"), log.left(4000).constData());
  }

  void commandsWithNothingOpenDoNothing() {
    MMControl mci;
    mci.setCdDevice(path("no-such-disc.cue"));
    QSignalSpy done(&mci, &MMControl::Done);
    QSignalSpy sent(&mci, &MMControl::commandSent);
    const QStringList commands = {"Play", "Pause", "Stop",  "Back",   "Step",
                                  "Prev", "Close", "Eject", "Record", "Open"};
    mci.setFrom(500);
    for (const QString& command : commands) {
      mci.setCommand(command);
      QCOMPARE(mci.Length(), 0);
      QCOMPARE(mci.Position(), 0);
      QCOMPARE(mci.pipeline(), nullptr);
    }
    QCOMPARE(sent.size(), commands.size());
    for (int i = 0; i < commands.size(); ++i) QCOMPARE(sent.at(i).at(0).toString(), commands.at(i));
    QVERIFY(!done.wait(300));
  }

  // No command waits for the worker, where what may block runs: with the worker held in the open of a drive
  // that does not answer, every command returns while it is still held, and once the drive lets go the
  // control carries out what it was told, in order.
  void commandsNeverWaitForTheDrive() {
#ifndef Q_OS_UNIX
    QSKIP("needs a named pipe");
#else
    DeadDrive drive(path("drive"));
    QVERIFY(drive.made());
    MMControl mci;
    QSignalSpy done(&mci, &MMControl::Done);
    mci.setCdDevice(drive.path());
    mci.setDeviceType("CDAudio");
    const QString sound = writeWav(path("a.wav"), 300);
    const auto run = [&](const char* command) {
      mci.setCommand(command);
      return drive.heldThroughout();
    };
    QVERIFY(run("Open"));
    // The worker reaches the drive in its own time (a Close given before would spare it the drive).
    QTRY_VERIFY_WITH_TIMEOUT(DeadDrive::waitedOn(), 10000);
    for (const char* command : {"Play", "Pause", "Stop", "Prev", "Back", "Step", "Play", "Close"})
      QVERIFY2(run(command), command);
    mci.setCdDevice(path("no-such-drive"));
    QVERIFY(run("Eject"));
    mci.setDeviceType(QString());
    mci.setFileName(sound);
    QVERIFY(run("Open"));
    QVERIFY(run("Play"));
    // The drive was still waited on: its other end opens only while someone waits in its open.
    QTRY_VERIFY_WITH_TIMEOUT(drive.letGo(), 30000);
    QVERIFY(drive.heldThroughout());
    QTRY_COMPARE_WITH_TIMEOUT(codes(done), (QList<int>{4, 4, 1}), 10000);
#endif
  }

  void lengthIsKnownAfterOpen() {
    MMControl mci;
    openFile(mci, writeWav(path("a.wav"), 1000));
    QTRY_VERIFY_WITH_TIMEOUT(near(mci.Length(), 1000, 10), 3000);
    QCOMPARE(mci.Position(), 0);
    mci.setCommand("Close");
    QCOMPARE(mci.Length(), 0);
  }

  void fromThenPlaySeeks() {
    MMControl mci;
    QSignalSpy done(&mci, &MMControl::Done);
    // Long enough that played from its start it would outlast the wait for its end.
    openFile(mci, writeWav(path("a.wav"), 5000));
    mci.setFrom(4500);
    QElapsedTimer played;
    played.start();
    mci.setCommand("Play");
    QVERIFY(mci.Position() >= 4500);
    QVERIFY(done.wait(3000));
    QCOMPARE(codes(done), QList<int>{1});
    QVERIFY2(played.elapsed() >= 350, qPrintable(QString::number(played.elapsed())));
    QVERIFY(near(mci.Position(), 5000, 30));
  }

  void fromIsConsumedByAnyCommand() {
    MMControl mci;
    openFile(mci, writeWav(path("a.wav"), 2000));
    QTRY_VERIFY_WITH_TIMEOUT(mci.Length() > 0, 3000);
    mci.setFrom(1500);
    mci.setCommand("Pause");
    mci.setCommand("Play");
    QVERIFY(mci.Position() < 1000);
    mci.setCommand("Stop");
  }

  void backStepPrevMoveAndClamp() {
    MMControl mci;
    QSignalSpy done(&mci, &MMControl::Done);
    openFile(mci, writeWav(path("a.wav"), 2000));
    QTRY_VERIFY_WITH_TIMEOUT(near(mci.Length(), 2000, 10), 3000);
    const qint32 length = mci.Length();
    struct Move {
      const char* command;
      qint32 expected;
    };
    for (const Move& move :
         {Move{"Step", 1000}, Move{"Step", length}, Move{"Step", length}, Move{"Back", length - 1000},
          Move{"Back", 0}, Move{"Back", 0}, Move{"Step", 1000}, Move{"Prev", 0}}) {
      mci.setCommand(move.command);
      QVERIFY2(near(mci.Position(), move.expected, 30), move.command);
      // Once the seek has been carried out the pipeline itself reports the new place.
      QTRY_VERIFY_WITH_TIMEOUT(near(mci.Position(), move.expected, 30), 2000);
    }
    QVERIFY(!done.wait(200));  // moving while paused starts nothing
  }

  void prevKeepsPlaying() {
    MMControl mci;
    QSignalSpy done(&mci, &MMControl::Done);
    openFile(mci, writeWav(path("a.wav"), 600));
    mci.setCommand("Play");
    QTRY_VERIFY_WITH_TIMEOUT(mci.Position() > 300, 3000);
    QElapsedTimer sincePrev;
    sincePrev.start();
    mci.setCommand("Prev");
    QVERIFY(mci.Position() < 100);
    QVERIFY(done.wait(3000));
    QCOMPARE(codes(done), QList<int>{1});
    QVERIFY2(sincePrev.elapsed() >= 450, qPrintable(QString::number(sincePrev.elapsed())));
  }

  void playAtTheEndStartsOver() {
    MMControl mci;
    QSignalSpy done(&mci, &MMControl::Done);
    openFile(mci, writeWav(path("a.wav"), 300));
    mci.setCommand("Play");
    QVERIFY(done.wait(5000));
    // The player's position timer leaves From at the end of the medium.
    mci.setFrom(mci.Length());
    QElapsedTimer replayed;
    replayed.start();
    mci.setCommand("Play");
    QVERIFY(mci.Position() < 100);
    QVERIFY(done.wait(5000));
    QCOMPARE(codes(done), (QList<int>{1, 1}));
    QVERIFY2(replayed.elapsed() >= 200, qPrintable(QString::number(replayed.elapsed())));
  }

  void silentSurvivesLaterOpens() {
    MMControl mci;
    mci.setSilent(true);
    openFile(mci, writeWav(path("a.wav"), 200));
    QVERIFY(pipelineMuted(mci));
    openFile(mci, writeWav(path("b.wav"), 200));
    QVERIFY(mci.silent());
    QVERIFY(pipelineMuted(mci));
    mci.setSilent(false);
    QVERIFY(!pipelineMuted(mci));
    openFile(mci, path("a.wav"));
    QVERIFY(!pipelineMuted(mci));
  }

  void cdPlaysEveryTrackToTheEndOfTheDisc() {
    MMControl mci;
    QSignalSpy done(&mci, &MMControl::Done);
    mci.setCdDevice(writeCdImage(dir_->path(), {400, 400}));
    mci.setCommand("Close");
    mci.setDeviceType("CDAudio");
    mci.setCommand("Open");
    QElapsedTimer played;
    played.start();
    mci.setCommand("Play");
    QTRY_VERIFY_WITH_TIMEOUT(near(mci.Length(), 800, 20), 3000);
    // Positions run on over the whole disc, through the second track.
    QTRY_VERIFY_WITH_TIMEOUT(mci.Position() > 500, 3000);
    QVERIFY(done.wait(3000));
    QCOMPARE(codes(done), QList<int>{1});
    QVERIFY2(played.elapsed() >= 650, qPrintable(QString::number(played.elapsed())));
    QVERIFY(near(mci.Position(), 800, 30));
  }

  void cdSeeksAcrossTracksAndPrevGoesToTrackStart() {
    MMControl mci;
    QSignalSpy done(&mci, &MMControl::Done);
    mci.setCdDevice(writeCdImage(dir_->path(), {400, 400}));
    mci.setDeviceType("CDAudio");
    mci.setCommand("Open");
    QTRY_VERIFY_WITH_TIMEOUT(near(mci.Length(), 800, 20), 3000);
    mci.setFrom(600);
    mci.setCommand("Play");
    mci.setCommand("Pause");
    QTRY_COMPARE_WITH_TIMEOUT(codes(done), QList<int>{4}, 2000);
    QTRY_VERIFY_WITH_TIMEOUT(mci.Position() >= 600 && mci.Position() < 700, 2000);
    mci.setCommand("Prev");  // the start of the second track
    QTRY_VERIFY_WITH_TIMEOUT(near(mci.Position(), 400, 20), 2000);
    QElapsedTimer played;
    played.start();
    mci.setCommand("Play");
    QVERIFY(mci.Position() >= 400);
    QVERIFY(done.wait(3000));
    QCOMPARE(codes(done), (QList<int>{4, 1}));
    QVERIFY2(played.elapsed() >= 300, qPrintable(QString::number(played.elapsed())));
  }

  void ejectClosesTheDiscAndFailsSilentlyWithoutDrive() {
    MMControl mci;
    QSignalSpy done(&mci, &MMControl::Done);
    const QString cue = writeCdImage(dir_->path(), {1000});
    mci.setCdDevice(cue);
    mci.setDeviceType("CDAudio");
    mci.setCommand("Open");
    mci.setCommand("Play");
    QTRY_VERIFY_WITH_TIMEOUT(mci.Position() > 100, 3000);
    mci.setCommand("Eject");
    QCOMPARE(mci.pipeline(), nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(codes(done), QList<int>{4}, 2000);
    QVERIFY(QFile::exists(cue));

    if (machineHasCdDrive()) QSKIP("this machine has a CD drive, which Eject would open");
    mci.setCdDevice(QString());
    mci.setCommand("Eject");
    mci.setCommand("Open");
    mci.setCommand("Play");
    QVERIFY(done.wait(3000));
    QCOMPARE(codes(done), (QList<int>{4, 8}));  // no drive: the Play fails, silently
  }

  void playsMidi() {
    MMControl mci;
    QSignalSpy done(&mci, &MMControl::Done);
    openFile(mci, writeMidi(path("a.mid"), 300));
    mci.setCommand("Play");
    QVERIFY(done.wait(5000));
    QVERIFY2(codes(done) == QList<int>{1}, "MIDI needs midiparse, fluiddec and a General MIDI soundfont");
    QVERIFY(mci.Length() >= 250);
  }

  // Real songs change tempo: eight quarters at 240 a minute and six at 120 last 5 s, not the 7 s that
  // timing every note by the last tempo gives, and sound without a gap where the tempo changes.
  void midiFollowsItsTempoMap_data() {
    QTest::addColumn<int>("format");
    QTest::newRow("format 0") << 0;
    QTest::newRow("format 1") << 1;
  }
  void midiFollowsItsTempoMap() {
    QFETCH(int, format);
    MMControl mci;
    QSignalSpy done(&mci, &MMControl::Done);
    openFile(mci, writeMidiTempoSong(path("song.mid"), format));
    QTRY_VERIFY_WITH_TIMEOUT(mci.Length() > 0, 5000);
    QVERIFY2(near(mci.Length(), 5000, 100), qPrintable(QString::number(mci.Length())));
    Loudness loudness;
    loudness.watch(mci.pipeline());
    QElapsedTimer played;
    played.start();
    mci.setCommand("Play");
    QTRY_VERIFY_WITH_TIMEOUT(mci.Position() > 2500, 5000);
    QVERIFY(done.wait(8000));
    QCOMPARE(codes(done), QList<int>{1});
    QVERIFY2(played.elapsed() >= 4500, qPrintable(QString::number(played.elapsed())));
    QVERIFY(near(mci.Position(), mci.Length(), 50));
    QCOMPARE(loudness.silentBetween(0, 4750), QList<qint64>{});

    // From + Play goes to the sought time of the song, and the instrument chosen before it still sounds.
    done.clear();
    mci.setFrom(3500);
    played.restart();
    mci.setCommand("Play");
    QVERIFY(mci.Position() >= 3500);
    QTRY_VERIFY_WITH_TIMEOUT(mci.Position() > 3700 && mci.Position() < 5000, 3000);
    QVERIFY(done.wait(4000));  // the whole song again would outlast it
    QCOMPARE(codes(done), QList<int>{1});
    QVERIFY2(played.elapsed() >= 1000, qPrintable(QString::number(played.elapsed())));
    QCOMPARE(loudness.silentBetween(3500, 4750), QList<qint64>{});
  }

  // MIDI files are read by us: a damaged one ends where it stops making sense or fails, quickly, and one
  // whose ticks run to days is cut short rather than played for ever.
  void hostileMidiEndsOrFails_data() {
    QTest::addColumn<QByteArray>("track");  // the events of the one track; empty = no track at all
    QTest::addColumn<int>("code");
    QTest::newRow("no track") << QByteArray() << 8;
    QTest::newRow("data byte without status") << QByteArray("\x00\x3c\x64", 3) << 8;
    QTest::newRow("unknown system message") << QByteArray("\x00\x90\x3c\x64\x10\xf1\x00\x00", 8) << 1;
    QTest::newRow("meta longer than the track") << QByteArray("\x00\x90\x3c\x64\x10\xff\x01\x7f", 8) << 1;
    QTest::newRow("delta of five bytes") << QByteArray("\x00\x90\x3c\x64\xff\xff\xff\xff\x7f", 9) << 8;
    // 0x0FFFFFFF ticks: some 74 hours, cut to one day.
    QTest::newRow("delta of days") << QByteArray("\x00\x90\x3c\x64\xff\xff\xff\x7f\x80\x3c\x00", 11) << 0;
  }
  void hostileMidiEndsOrFails() {
    QFETCH(QByteArray, track);
    QFETCH(int, code);
    QByteArray midi("MThd\0\0\0\x06\0\0\0\x01\x01\xe0", 14);
    if (!track.isEmpty()) {
      midi.append("MTrk\0\0\0", 7).append(char(track.size())).append(track);
    }
    MMControl mci;
    QSignalSpy done(&mci, &MMControl::Done);
    openFile(mci, writeBytes(path("bad.mid"), midi));
    if (code == 0) {
      QTRY_VERIFY_WITH_TIMEOUT(mci.Length() > 0, 5000);
      QCOMPARE(mci.Length(), 24 * 3600 * 1000);
      return;
    }
    mci.setCommand("Play");
    QVERIFY(done.wait(5000));
    QCOMPARE(codes(done), QList<int>{code});
  }

  void movieIsDrawnInsideThePane() {
    QWidget pane;
    pane.resize(200, 100);
    pane.show();
    MMControl mci;
    mci.setHWndDisplay(&pane);
    QSignalSpy done(&mci, &MMControl::Done);
    VideoSurface* surface = mci.videoSurface();
    QVERIFY(surface && surface->parentWidget() == &pane && !surface->isVisible());

    openFile(mci, encodeMovie(path("a.avi"), {64, 48}, 10, 25, qRgb(255, 0, 0)));
    QTRY_VERIFY_WITH_TIMEOUT(surface->isVisible(), 3000);  // the first frame shows while paused
    QCOMPARE(surface->geometry(), pane.rect());
    const QImage shot = surface->grab().toImage();
    const QColor centre = shot.pixelColor(100, 50);
    QVERIFY2(centre.red() > 200 && centre.green() < 60 && centre.blue() < 60, qPrintable(centre.name()));
    QCOMPARE(shot.pixelColor(5, 50), QColor(Qt::black));
    QCOMPARE(shot.pixelColor(195, 50), QColor(Qt::black));

    QTRY_VERIFY_WITH_TIMEOUT(near(mci.Length(), 400, 5), 3000);
    mci.setCommand("Step");  // one frame at 25 frames per second
    QCOMPARE(mci.Position(), 40);
    mci.setCommand("Back");
    QCOMPARE(mci.Position(), 0);

    mci.setCommand("Play");
    QVERIFY(done.wait(3000));
    QCOMPARE(codes(done), QList<int>{1});
    QVERIFY(surface->isVisible());
    mci.setCommand("Close");
    QVERIFY(!surface->isVisible());

    // A sound shows no movie.
    openFile(mci, writeWav(path("a.wav"), 200));
    mci.setCommand("Play");
    QVERIFY(done.wait(3000));
    QVERIFY(!surface->isVisible());
  }

  // Frames are scaled in the pipeline to the size the pane shows them at, never above the movie's own, and
  // follow the pane when it is resized; the picture keeps its aspect and place.
  void framesComeAtTheSizeShown() {
    QWidget pane;
    pane.resize(160, 100);
    pane.show();
    MMControl mci;
    mci.setHWndDisplay(&pane);
    QSignalSpy done(&mci, &MMControl::Done);
    openFile(mci, encodeMovie(path("big.avi"), {320, 240}, 100, 25, qRgb(0, 0, 255)));
    VideoSurface* surface = mci.videoSurface();
    QTRY_VERIFY_WITH_TIMEOUT(surface->isVisible(), 3000);
    QCOMPARE(surface->frame().size(), QSize(133, 100));
    QCOMPARE(surface->frameRect(), QRect(13, 0, 133, 100));
    mci.setCommand("Play");
    pane.resize(80, 90);
    QTRY_COMPARE_WITH_TIMEOUT(surface->frame().size(), QSize(80, 60), 2000);
    QCOMPARE(surface->frameRect(), QRect(0, 15, 80, 60));
    const QColor centre = surface->grab().toImage().pixelColor(40, 45);
    QVERIFY2(centre.blue() > 200 && centre.red() < 60, qPrintable(centre.name()));
    pane.resize(640, 480);  // larger than the movie: the frame stays at its own size, drawn larger
    QTRY_COMPARE_WITH_TIMEOUT(surface->frame().size(), QSize(320, 240), 2000);
    QCOMPARE(surface->frameRect(), QRect(0, 0, 640, 480));
    QVERIFY(done.wait(5000));
    QCOMPARE(codes(done), QList<int>{1});
  }

  // Uncompressed AVI as converters write it, with the OpenDML video properties: the frame shows upright,
  // the movie lasts its length and plays to its end.
  void rawAviPlaysUpright_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QSize>("size");
    QTest::newRow("BI_RGB top-down") << int(RawAvi::RgbTopDown) << QSize(62, 46);
    QTest::newRow("BI_RGB bottom-up") << int(RawAvi::RgbBottomUp) << QSize(62, 46);
    QTest::newRow("I420") << int(RawAvi::I420) << QSize(64, 48);
    QTest::newRow("YUY2") << int(RawAvi::Yuy2) << QSize(64, 48);
  }
  void rawAviPlaysUpright() {
    QFETCH(int, kind);
    QFETCH(QSize, size);
    QWidget pane;
    pane.resize(160, 120);
    pane.show();
    MMControl mci;
    mci.setHWndDisplay(&pane);
    QSignalSpy done(&mci, &MMControl::Done);
    openFile(mci, writeRawAvi(path("raw.avi"), RawAvi(kind), 400, size));
    VideoSurface* surface = mci.videoSurface();
    QTRY_VERIFY_WITH_TIMEOUT(surface->isVisible(), 3000);  // a medium that fails is closed at once
    QTRY_VERIFY_WITH_TIMEOUT(near(mci.Length(), 400, 5), 3000);
    const QImage shot = surface->grab().toImage();
    const QColor top = shot.pixelColor(80, 30);
    const QColor bottom = shot.pixelColor(80, 90);
    QVERIFY2(top.red() > 200 && top.blue() < 60, qPrintable(top.name()));
    QVERIFY2(bottom.blue() > 200 && bottom.red() < 60, qPrintable(bottom.name()));
    mci.setCommand("Play");
    QVERIFY(done.wait(3000));
    QCOMPARE(codes(done), QList<int>{1});
  }

  // After a pause the pane shows the frame the sink prerolled on; Step must show the one after it, and
  // Back return to it.
  void stepAfterPauseShowsTheNextFrame() {
    QWidget pane;
    pane.resize(128, 96);
    pane.show();
    MMControl mci;
    mci.setHWndDisplay(&pane);
    QSignalSpy done(&mci, &MMControl::Done);
    openFile(mci, encodeMovingMovie(path("moving.avi"), 50));
    VideoSurface* surface = mci.videoSurface();
    QTRY_VERIFY_WITH_TIMEOUT(surface->isVisible(), 3000);
    mci.setCommand("Play");
    QTRY_VERIFY_WITH_TIMEOUT(mci.Position() > 600, 3000);
    mci.setCommand("Pause");
    QVERIFY(done.wait(2000));
    QTRY_COMPARE_WITH_TIMEOUT(stateOf(mci.pipeline()), GST_STATE_PAUSED, 2000);
    QCoreApplication::processEvents();  // the frame prerolled on, handed over before the state settled
    const QImage paused = surface->frame();
    QVERIFY(!paused.isNull());

    mci.setCommand("Step");
    QTRY_VERIFY_WITH_TIMEOUT(surface->frame() != paused, 3000);
    const QImage stepped = surface->frame();
    mci.setCommand("Step");
    QTRY_VERIFY_WITH_TIMEOUT(surface->frame() != stepped, 3000);
    mci.setCommand("Back");
    QTRY_COMPARE_WITH_TIMEOUT(surface->frame(), stepped, 3000);
    mci.setCommand("Back");
    QTRY_COMPARE_WITH_TIMEOUT(surface->frame(), paused, 3000);
    QCOMPARE(codes(done), QList<int>{4});
  }

  // Step and Back move one frame from the frame on screen on every kind of movie. A program stream's
  // demuxer seeks past the key frame its target needs, and the next key frame was shown instead, up to a
  // second on: "Back" went forward.
  void stepAndBackMoveOneFrame_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("kind");  // a Movie, or -1 for an MPEG program stream with sound
    QTest::newRow("MPEG-1 program stream") << "m.mpg" << -1;
    QTest::newRow("the same in a VCD's .dat") << "m.dat" << -1;
    QTest::newRow("AVI, raw I420") << "raw.avi" << int(Movie::RawAvi);
    QTest::newRow("AVI, MJPEG") << "mjpeg.avi" << int(Movie::MjpegAvi);
    QTest::newRow("MOV, JPEG") << "jpeg.mov" << int(Movie::JpegMov);
    QTest::newRow("MOV, H.264") << "h264.mov" << int(Movie::H264Mov);
  }
  void stepAndBackMoveOneFrame() {
    QFETCH(QString, name);
    QFETCH(int, kind);
    constexpr int kFrameMs = 40;
    QWidget pane;
    pane.resize(128, 96);
    pane.show();
    MMControl mci;
    mci.setHWndDisplay(&pane);
    QSignalSpy done(&mci, &MMControl::Done);
    const QString file = kind < 0 ? writeMpegAt(path(name), 4000, 0, 500, name.endsWith(".dat"))
                                  : writeMovingMovie(path(name), Movie(kind), 4000);
    QVERIFY(!file.isEmpty());
    openFile(mci, file);
    VideoSurface* surface = mci.videoSurface();
    QTRY_VERIFY_WITH_TIMEOUT(surface->isVisible() && mci.Length() > 3000, 5000);
    mci.setFrom(2500);
    mci.setCommand("Play");
    QTRY_VERIFY_WITH_TIMEOUT(mci.Position() > 2600, 5000);
    mci.setCommand("Pause");
    QTRY_COMPARE_WITH_TIMEOUT(stateOf(mci.pipeline()), GST_STATE_PAUSED, 3000);
    QCoreApplication::processEvents();  // the frame prerolled on, handed over before the state settled

    // The frames seen going back, and where they are: each Back shows the frame before.
    QList<QImage> frames{surface->frame()};
    QList<qint32> places{mci.Position()};
    for (int i = 1; i <= 3; ++i) {
      mci.setCommand("Back");
      QTRY_VERIFY_WITH_TIMEOUT(surface->frame() != frames.last(), 3000);
      const qint32 expected = places.last() - kFrameMs;
      // A paused movie is where its picture is, also when the pause prerolled a frame past the clock.
      QVERIFY2(
          near(mci.Position(), expected, 2),
          qPrintable(QStringLiteral("Back %1: %2 after %3").arg(i).arg(mci.Position()).arg(places.last())));
      frames << surface->frame();
      places << mci.Position();
    }
    // Step shows them again, the other way round.
    for (int i = 2; i >= 0; --i) {
      mci.setCommand("Step");
      QTRY_VERIFY_WITH_TIMEOUT(surface->frame() == frames.at(i), 3000);
      QVERIFY2(near(mci.Position(), places.at(i + 1) + kFrameMs, 2),
               qPrintable(QStringLiteral("Step: %1 after %2").arg(mci.Position()).arg(places.at(i + 1))));
    }
    QCOMPARE(codes(done), QList<int>{4});
  }

  // A program stream's first presentation time lies after its first clock reference, which need not be 0;
  // positions still run from 0 to the length and never ahead of the time played.
  void mpegPositionRunsFromZeroToLength_data() {
    QTest::addColumn<int>("scrStart");  // ms; -1 = the muxer's own stream (video only)
    QTest::addColumn<int>("ptsLead");
    QTest::addColumn<bool>("vcd");
    QTest::newRow("as muxed") << -1 << 0 << false;
    QTest::newRow("clock from 0, 330 ms lead") << 0 << 330 << false;
    QTest::newRow("clock from 0, 500 ms lead") << 0 << 500 << false;
    QTest::newRow("clock from 10 s, 400 ms lead") << 10000 << 400 << false;
    QTest::newRow("VCD, clock from 0, 330 ms lead") << 0 << 330 << true;
  }
  void mpegPositionRunsFromZeroToLength() {
    QFETCH(int, scrStart);
    QFETCH(int, ptsLead);
    QFETCH(bool, vcd);
    constexpr int kMs = 2000;
    MMControl mci;
    QSignalSpy done(&mci, &MMControl::Done);
    const QString name = path(vcd ? "a.dat" : "a.mpg");
    const QString file = scrStart < 0 ? writeMpeg(name, kMs) : writeMpegAt(name, kMs, scrStart, ptsLead, vcd);
    QVERIFY(!file.isEmpty());
    openFile(mci, file);
    QTRY_VERIFY_WITH_TIMEOUT(mci.Length() > 0 && stateOf(mci.pipeline()) == GST_STATE_PAUSED, 5000);
    // Within two frames: the demuxer takes the length from the last presentation time it finds.
    QVERIFY2(near(mci.Length(), kMs, 100), qPrintable(QString::number(mci.Length())));
    QVERIFY2(mci.Position() <= 20, qPrintable(QString::number(mci.Position())));
    // Played from the open, then again after "Prev" as the loop does.
    for (const bool rewound : {false, true}) {
      if (rewound) {
        mci.setCommand("Prev");
        QTRY_VERIFY_WITH_TIMEOUT(mci.Position() <= 20, 3000);
      }
      QElapsedTimer played;
      played.start();
      mci.setCommand("Play");
      qint64 aheadMost = std::numeric_limits<qint64>::min();
      qint64 lastBeforeEnd = 0;
      QTimer sampler;
      connect(&sampler, &QTimer::timeout, this, [&] {
        if (done.size() > int(rewound)) return;
        aheadMost = std::max<qint64>(aheadMost, mci.Position() - played.elapsed());
        lastBeforeEnd = mci.Position();
      });
      sampler.start(20);
      QTRY_VERIFY_WITH_TIMEOUT(done.size() > int(rewound), 6000);
      QCOMPARE(done.last().at(0).toInt(), 1);
      QVERIFY2(aheadMost < 150, qPrintable(QString::number(aheadMost)));
      QVERIFY2(played.elapsed() >= mci.Length() - 500, qPrintable(QString::number(played.elapsed())));
      // The slider reaches its end with the medium, not before.
      QVERIFY2(lastBeforeEnd >= mci.Length() - 300, qPrintable(QString::number(lastBeforeEnd)));
      QVERIFY(near(mci.Position(), mci.Length(), kMs / 50));
    }

    // A place sought is the place reported.
    mci.setFrom(1000);
    mci.setCommand("Play");
    mci.setCommand("Pause");
    QTRY_VERIFY_WITH_TIMEOUT(stateOf(mci.pipeline()) == GST_STATE_PAUSED && !mci.from(), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(near(mci.Position(), 1000, 60), 3000);
  }

  void destroyedWhilePlaying() {
    auto mci = std::make_unique<MMControl>();
    openFile(*mci, writeWav(path("a.wav"), 3000));
    mci->setCommand("Play");
    QTRY_VERIFY_WITH_TIMEOUT(mci->Position() > 100, 3000);
    // The pipeline is brought down by the time the control is gone, without playing on to its end first.
    std::atomic<bool> ended{false};
    const GstRef<GstElement> pipeline = GstRef<GstElement>::share(mci->pipeline());
    watchForEos(pipeline.get(), &ended);
    mci.reset();
    QCOMPARE(stateOf(pipeline.get()), GST_STATE_NULL);
    QVERIFY(!ended);
  }

 private:
  QString path(const QString& name) const { return dir_->filePath(name); }

  std::unique_ptr<QTemporaryDir> dir_;
};

int main(int argc, char** argv) {
  if (argc == 3 && qstrcmp(argv[1], kPlayChildArg) == 0) return playAndExit(argc, argv);
  QApplication app(argc, argv);
  TestMMControl test;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&test, argc, argv);
}
#include "test_mmcontrol.moc"
