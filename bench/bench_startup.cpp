// Start-up: from launching a process until the main window has drawn itself, median of kRuns launches, beside
// the same for a bare Qt window (the floor every Qt program pays: loading the libraries, the platform
// plugin, the first paint). Each run is this program started again in a child mode that does what the
// program's main() does and prints "drawn" at the main window's first paint. Goal <= 150 ms.
// The platform is the caller's (offscreen unless QT_QPA_PLATFORM says otherwise; xcb under Xvfb works too).

#include "app/artwork.h"
#include "app/program.h"
#include "bench_common.h"
#include "main_window/frm_main.h"
#include "media/mmcontrol.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

using namespace bench;

namespace {

constexpr int kRuns = 11;

// Prints once and leaves when `watched` (or, while it is not known yet, the widget it names) first paints.
class FirstPaint : public QObject {
 public:
  explicit FirstPaint(std::function<QWidget*()> watched) : watched_(std::move(watched)) {}

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::Paint && !done_ && object == watched_()) {
      done_ = true;
      // After this paint has ended.
      QMetaObject::invokeMethod(
          qApp,
          [] {
            std::printf("drawn\n");
            std::fflush(stdout);
            std::_Exit(0);
          },
          Qt::QueuedConnection);
    }
    return false;
  }

 private:
  std::function<QWidget*()> watched_;
  bool done_ = false;
};

int child(int argc, char** argv, bool bare) {
  if (!bare) MMControl::prepareGStreamer();  // as main() does
  QApplication application(argc, argv);
  if (bare) {
    QWidget window;
    FirstPaint paint([&window]() -> QWidget* { return &window; });
    application.installEventFilter(&paint);
    window.resize(640, 360);
    window.show();
    return QApplication::exec();
  }
  // As main() does.
  QApplication::setQuitOnLastWindowClosed(false);
  QGuiApplication::setDesktopFileName(QStringLiteral("com.example.glintview"));
  QApplication::setWindowIcon(artwork::windowIcon());
  QTemporaryDir folder;
  Program program(folder.path());
  FirstPaint paint([&program]() -> QWidget* { return program.frm_main; });
  application.installEventFilter(&paint);
  program.start();
  return QApplication::exec();
}

double launchMs(const QString& self, const QString& mode) {
  QProcess process;
  process.setProcessChannelMode(QProcess::SeparateChannels);
  QElapsedTimer timer;
  timer.start();
  process.start(self, {mode});
  if (!process.waitForStarted(10000)) return -1;
  QByteArray out;
  while (!out.contains("drawn") && process.waitForReadyRead(20000)) out += process.readAllStandardOutput();
  const double ms = double(timer.nsecsElapsed()) / 1e6;
  process.waitForFinished(5000);
  return out.contains("drawn") ? ms : -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (argc > 1 && std::strcmp(argv[1], "--program") == 0) return child(argc, argv, false);
  if (argc > 1 && std::strcmp(argv[1], "--bare") == 0) return child(argc, argv, true);

  QCoreApplication app(argc, argv);
  const QString self = QCoreApplication::applicationFilePath();
  std::vector<double> program, bare;
  // Alternating, after one of each to fill the disk cache.
  (void)launchMs(self, QStringLiteral("--program"));
  (void)launchMs(self, QStringLiteral("--bare"));
  for (int i = 0; i < kRuns; ++i) {
    program.push_back(launchMs(self, QStringLiteral("--program")));
    bare.push_back(launchMs(self, QStringLiteral("--bare")));
  }
  if (std::find(program.begin(), program.end(), -1.0) != program.end() ||
      std::find(bare.begin(), bare.end(), -1.0) != bare.end()) {
    std::fprintf(stderr, "a launch did not draw its window\n");
    return 1;
  }
  std::printf(
      "start-up on %s: launch to the main window drawn %.1f ms (median of %d; goal <= 150); a bare Qt "
      "window %.1f ms\n",
      qgetenv("QT_QPA_PLATFORM").constData(), median(program), kRuns, median(bare));
  return 0;
}
