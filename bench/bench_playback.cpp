// The CPU time (user + system, every thread) of playing a 10 s WAV, two ways in one run, in turns:
//   (a) gst-launch-1.0 playbin on the file, with the default sinks, as a child process (all of its CPU time);
//   (b) the whole program (offscreen, main window shown) opening the file with FileOpen, from the open to
//       the end of the sound, with the 16 ms position tick running; its start-up is printed apart.
// The goal is median (b) <= 1.2 x median (a) + 0.1 s. Also prints how often the slider and the percentage
// were repainted. About a minute.

#include "app/program.h"
#include "main_window/frm_main.h"
#include "platform/mmcontrol.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace {

constexpr int kSeconds = 10;
constexpr int kRounds = 3;

double seconds(const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; }

double cpuSeconds(const rusage& usage) { return seconds(usage.ru_utime) + seconds(usage.ru_stime); }

double selfCpu() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return cpuSeconds(usage);
}

// 44.1 kHz 16-bit stereo, a 440 Hz sine: what a sound file on a desktop usually is.
bool writeWav(const QString& path, int secondsLong) {
  constexpr quint32 kRate = 44100;
  const quint32 frames = kRate * quint32(secondsLong);
  QByteArray data(qsizetype(frames) * 4, Qt::Uninitialized);
  for (quint32 i = 0; i < frames; ++i) {
    const auto v = qint16(std::lround(8000 * std::sin(2 * std::numbers::pi * 440 * i / kRate)));
    qToLittleEndian(v, data.data() + i * 4);
    qToLittleEndian(v, data.data() + i * 4 + 2);
  }
  QByteArray header("RIFF");
  const auto le32 = [&header](quint32 v) {
    char b[4];
    qToLittleEndian(v, b);
    header.append(b, 4);
  };
  const auto le16 = [&header](quint16 v) {
    char b[2];
    qToLittleEndian(v, b);
    header.append(b, 2);
  };
  le32(quint32(36 + data.size()));
  header.append("WAVEfmt ");
  le32(16);
  le16(1);
  le16(2);
  le32(kRate);
  le32(kRate * 4);
  le16(4);
  le16(16);
  header.append("data");
  le32(quint32(data.size()));
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(header) == header.size() &&
         file.write(data) == data.size();
}

struct Run {
  double cpu = -1;
  double wall = 0;
};

Run runGstLaunch(const QString& wav) {
  const QByteArray uri = "uri=" + QUrl::fromLocalFile(wav).toEncoded();
  const char* argv[] = {"gst-launch-1.0", "-q", "playbin", uri.constData(), nullptr};
  QElapsedTimer wall;
  wall.start();
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return {};
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
  return {cpuSeconds(usage), wall.elapsed() / 1000.0};
}

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
 public:
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count;
    return false;
  }
};

}  // namespace

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir dir;
  const QString wav = dir.filePath(QStringLiteral("ten.wav"));
  if (!dir.isValid() || !writeWav(wav, kSeconds)) {
    std::fprintf(stderr, "cannot write the test sound\n");
    return 1;
  }

  const double beforeStart = selfCpu();
  Program program(dir.path());
  program.startNow();
  FrmMain& m = *program.frm_main;
  app.processEvents();
  const double startUp = selfCpu() - beforeStart;

  PaintCounter sliderPaints;
  PaintCounter labelPaints;
  m.Slider->installEventFilter(&sliderPaints);
  m.lb_percent->installEventFilter(&labelPaints);
  int ticks = 0;
  QObject::connect(m.Timer, &QTimer::timeout, &app, [&ticks] { ++ticks; });
  bool ended = false;
  QObject::connect(m.MCI, &MMControl::Done, &app, [&](int code) {
    ended = code == 1;
    app.quit();
  });

  // Rounds in turn, so that a busy moment of the machine hits both sides alike.
  std::vector<double> gstCpu, ownCpu, gstWall, ownWall;
  for (int round = 0; round < kRounds; ++round) {
    const Run gst = runGstLaunch(wav);
    if (gst.cpu < 0) {
      std::fprintf(stderr, "gst-launch-1.0 playbin failed\n");
      return 1;
    }
    gstCpu.push_back(gst.cpu);
    gstWall.push_back(gst.wall);

    ended = false;
    // A bound in case the sound never ends.
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, &app, &QApplication::quit);
    bound.start((kSeconds + 10) * 1000);
    QElapsedTimer wall;
    wall.start();
    const double before = selfCpu();
    m.FileOpen(wav);
    app.exec();
    ownCpu.push_back(selfCpu() - before);
    ownWall.push_back(wall.elapsed() / 1000.0);
    if (!ended) {
      std::fprintf(stderr, "the program did not play the sound to its end\n");
      return 1;
    }
  }

  const double gst = median(gstCpu);
  const double own = median(ownCpu);
  const double goal = 1.2 * gst + 0.1;
  std::printf("playing a %d s WAV (44.1 kHz stereo), CPU time user+system, median of %d rounds:\n", kSeconds,
              kRounds);
  std::printf("  gst-launch-1.0 playbin, whole process: %6.3f s  (wall %.2f s)\n", gst, median(gstWall));
  std::printf("  glview3 FileOpen to the end:           %6.3f s  (wall %.2f s)  goal <= %.3f s: %s\n", own,
              median(ownWall), goal, own <= goal ? "met" : "MISSED");
  for (int round = 0; round < kRounds; ++round)
    std::printf("    round %d: gst-launch %.3f s, glview3 %.3f s\n", round + 1, gstCpu[round], ownCpu[round]);
  std::printf("  glview3 start-up before it (apart):    %6.3f s\n", startUp);
  std::printf("  per round: position ticks %d, slider repaints %d, percentage repaints %d\n", ticks / kRounds,
              sliderPaints.count / kRounds, labelPaints.count / kRounds);
  // A missed goal is reported above, not by the exit code: bench/run.sh goes on with the other benchmarks.
  return 0;
}
