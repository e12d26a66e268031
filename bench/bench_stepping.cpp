// Stepping through 24-megapixel JPEGs (6000 x 4000) in the main window, in a whole program on the offscreen
// platform, a Down key into the file list each step, timed until the pane has painted the new picture:
//   1. looking at each picture for 1.5 s first: with the neighbours decoded ahead (goal <= 16 ms) and
//      without (cold, goal <= 0.8 x `djpeg -outfile /dev/null` of the same file, run alternately), and
//      cold until the top rows the pane shows are painted (goal <= 0.15 x djpeg);
//   2. a held key (a step every 33 ms): the longest a key waits for its handling (goal <= 50 ms), the
//      decodes begun against the steps, and the last step until its picture is painted;
//   3. memory with a picture on screen and the next one read ahead, and again once the block kept for the
//      next picture is given back, against the floor (the program before any picture, plus one decoded
//      picture): goal <= 2.0 x;
//   4. a 64-megapixel JPEG (8000 x 8000) stepped to cold: how long the key's handling takes, the longest the
//      event loop is kept from a zero timer while it decodes (goal <= 50 ms), whether the busy pointer shows,
//      and the wait until it is painted.
// The pictures are made once under the temp folder and reused by later runs.

#include "app/program.h"
#include "bench_common.h"
#include "controls/dir_list.h"
#include "controls/file_list.h"
#include "controls/picture_box.h"
#include "main_window/frm_main.h"
#include "pictures/picture_prefetch.h"
#include "pictures/pixel_memory.h"

#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

using namespace bench;

namespace {

constexpr QSize kSize(6000, 4000);
constexpr QSize kBigSize(8000, 8000);
constexpr int kFiles = 6;
constexpr int kRounds = 3;
constexpr int kLookMs = 1500;
constexpr int kRepeatMs = 33;

// Runs the event loop until `path` is the picture in the pane and has been painted since `paintsBefore`;
// `whole`: and the picture has all of its rows (not only the top ones shown first).
bool waitPainted(FrmMain& m, const PaintCounter& counter, int paintsBefore, const QString& path,
                 bool whole = true) {
  QElapsedTimer timer;
  timer.start();
  while ((whole && m.picturePending()) || m.cur_file != path || counter.paints == paintsBefore) {
    if (timer.elapsed() > 30000) return false;
    // Asleep until something happens: a loop that spins would take a core from the decoding.
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

double djpegMs(const QString& djpeg, const QString& file) {
  return timeMs([&] {
    QProcess process;
    process.start(djpeg, {QStringLiteral("-outfile"), QStringLiteral("/dev/null"), file});
    process.waitForFinished(-1);
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  const QString folder = QDir::tempPath() + QStringLiteral("/glview3-bench-stepping");
  const QString bigFolder = QDir::tempPath() + QStringLiteral("/glview3-bench-stepping-big");
  QDir().mkpath(folder);
  QDir().mkpath(bigFolder);
  QStringList files;
  for (int i = 0; i < kFiles; ++i) {
    files << folder + QStringLiteral("/%1.jpg").arg(i + 1, 2, 10, QLatin1Char('0'));
    if (!makeJpeg(files.last(), kSize, i))
      return std::fprintf(stderr, "cannot write %s\n", qPrintable(files.last())), 1;
  }
  const QString small = bigFolder + QStringLiteral("/a.jpg");
  const QString big = bigFolder + QStringLiteral("/b.jpg");
  if (!makeJpeg(small, QSize(640, 480)) || !makeJpeg(big, kBigSize, 7))
    return std::fprintf(stderr, "cannot write the 64-megapixel picture\n"), 1;
  std::printf("pictures: %d of %dx%d in %s, one of %dx%d\n", kFiles, kSize.width(), kSize.height(),
              qPrintable(folder), kBigSize.width(), kBigSize.height());
  const QString djpeg = QStandardPaths::findExecutable(QStringLiteral("djpeg"));

  QTemporaryDir programDir;
  Program program(programDir.path());
  program.startNow();
  FrmMain& m = *program.frm_main();
  m.show();
  PaintCounter counter(m.Img);
  QApplication::processEvents();
  const double idleMb = statusMb("VmRSS:");
  m.Dir->setPath(folder);
  if (m.File->ListCount() != kFiles)
    return std::fprintf(stderr, "the folder lists %d files\n", m.File->ListCount()), 1;

  // 1. Looking at each picture before the next step.
  std::vector<double> decodes;
  for (const bool ahead : {true, false}) {
    m.prefetch->setEnabled(ahead);
    std::vector<double> steps, firsts;
    for (int round = 0; round < kRounds; ++round) {
      m.File->setListIndex(0);
      if (!waitPainted(m, counter, -1, files[0])) return std::fprintf(stderr, "no first picture\n"), 1;
      look(kLookMs);
      for (int i = 1; i < kFiles; ++i) {
        if (!ahead && !djpeg.isEmpty()) decodes.push_back(djpegMs(djpeg, files[i]));
        const int before = counter.paints;
        bool painted = false;
        QElapsedTimer sinceKey;
        steps.push_back(timeMs([&] {
          sinceKey.start();
          QTest::keyClick(m.File, Qt::Key_Down);
          if (!ahead) {
            painted = waitPainted(m, counter, before, files[i], false);
            firsts.push_back(double(sinceKey.nsecsElapsed()) / 1e6);
          }
          painted = waitPainted(m, counter, before, files[i]);
        }));
        if (!painted) return std::fprintf(stderr, "step %d shows no picture\n", i), 1;
        look(kLookMs);
      }
    }
    if (ahead) {
      std::printf("looking at each, decoded ahead: Down to painted %.1f ms (median of %zu; goal <= 16)\n",
                  median(steps), steps.size());
    } else {
      std::printf("looking at each, cold: Down to painted %.1f ms (median of %zu)", median(steps),
                  steps.size());
      if (decodes.empty())
        std::printf("; djpeg not found\n");
      else
        std::printf("; djpeg %.1f ms; ratio %.2f (goal <= 0.8)\n", median(decodes),
                    median(steps) / median(decodes));
      if (!decodes.empty())
        std::printf("  the top rows the pane shows painted after %.1f ms, %.2f x djpeg (goal <= 0.15)\n",
                    median(firsts), median(firsts) / median(decodes));
    }
  }
  std::printf("most decoded pictures held at once: %d (at most %d), %.0f MB (at most %lld MB)\n",
              m.prefetch->peakHeld(), PicturePrefetch::kMaxHeld, m.prefetch->peakHeldBytes() / 1e6,
              PicturePrefetch::kDefaultBudgetBytes / 1000000);

  // 2. A held key.
  m.prefetch->setEnabled(true);
  std::vector<double> handling, lastSteps;
  int decodesBegun = 0, stepsTaken = 0;
  for (int round = 0; round < kRounds; ++round) {
    m.File->setListIndex(0);
    if (!waitPainted(m, counter, -1, files[0])) return 1;
    look(kLookMs);
    const int decodesBefore = m.prefetch->decodes();
    QElapsedTimer sinceLast;
    for (int i = 1; i < kFiles; ++i) {
      handling.push_back(timeMs([&] { QTest::keyClick(m.File, Qt::Key_Down); }));
      ++stepsTaken;
      sinceLast.start();
      if (i + 1 < kFiles) look(kRepeatMs);
    }
    const int before = counter.paints;
    if (!waitPainted(m, counter, before, files[kFiles - 1]))
      return std::fprintf(stderr, "held key: no last picture\n"), 1;
    lastSteps.push_back(double(sinceLast.nsecsElapsed()) / 1e6);
    while (m.prefetch->busy()) QApplication::processEvents(QEventLoop::AllEvents, 10);
    decodesBegun += m.prefetch->decodes() - decodesBefore;
  }
  std::printf(
      "held key (a step every %d ms): longest key handling %.1f ms (goal <= 50); last step to painted "
      "%.1f ms (median); %d decodes for %d steps\n",
      kRepeatMs, *std::max_element(handling.begin(), handling.end()), median(lastSteps), decodesBegun,
      stepsTaken);

  // 3. Memory: a picture on screen after a step forwards, the next one read ahead; then the same after the
  // kept block's time is up. The floor is the program before any picture plus one decoded picture.
  m.File->setListIndex(1);
  m.File->setListIndex(2);
  if (!waitPainted(m, counter, -1, files[2])) return 1;
  while (m.prefetch->busy()) QApplication::processEvents(QEventLoop::AllEvents, 10);
  const double floorMb = idleMb + 4.0 * kSize.width() * kSize.height() / (1024 * 1024);
  const double steppedMb = statusMb("VmRSS:");
  look(kSparePixelMs + 1000);
  const double restedMb = statusMb("VmRSS:");
  std::printf(
      "memory, a %d MP picture on screen in a folder of them: floor %.0f MB (the program %.0f MB and one "
      "picture); read ahead %.0f MB = %.2f x the floor; %.1f s later %.0f MB = %.2f x (goal <= 2.0)\n",
      kSize.width() * kSize.height() / 1000000, floorMb, idleMb, steppedMb, steppedMb / floorMb,
      (kSparePixelMs + 1000) / 1000.0, restedMb, restedMb / floorMb);

  // 4. The 64-megapixel picture, cold.
  m.prefetch->setEnabled(false);
  m.Dir->setPath(bigFolder);
  std::vector<double> keys, gaps, waits;
  int busySeen = 0;
  for (int round = 0; round < kRounds; ++round) {
    m.File->setListIndex(0);
    if (!waitPainted(m, counter, -1, small)) return 1;
    look(200);
    const int before = counter.paints;
    QElapsedTimer wait;
    wait.start();
    keys.push_back(timeMs([&] { QTest::keyClick(m.File, Qt::Key_Down); }));
    const bool moved = m.File->ListIndex() == 1;
    QElapsedTimer sinceTick;
    double worst = 0;
    bool busy = false;
    QTimer tick;
    tick.setInterval(0);
    QObject::connect(&tick, &QTimer::timeout, [&] {
      worst = std::max(worst, double(sinceTick.nsecsElapsed()) / 1e6);
      sinceTick.start();
      busy = busy || QGuiApplication::overrideCursor() != nullptr;
    });
    sinceTick.start();
    tick.start();
    if (!waitPainted(m, counter, before, big))
      return std::fprintf(stderr, "the big picture does not show\n"), 1;
    tick.stop();
    waits.push_back(double(wait.nsecsElapsed()) / 1e6);
    gaps.push_back(worst);
    busySeen += busy ? 1 : 0;
    if (!moved) std::printf("  the selection moved only after decoding\n");
  }
  std::printf(
      "64 megapixels, cold: key handled in %.1f ms, longest wait of a zero timer %.1f ms (goal <= 50), "
      "painted after %.1f ms (medians); busy pointer seen in %d of %d\n",
      median(keys), median(gaps), median(waits), busySeen, kRounds);
  return 0;
}
