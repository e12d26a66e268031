// Stepping to the next 24-megapixel JPEG (6000 x 4000) in full screen, in a whole program on the offscreen
// platform: from the selection change in the panel's file list until the window has painted the picture,
// beside `djpeg -outfile /dev/null` on the same file (wall time of the process); goal <= 1.25 x djpeg.
// Medians over kRounds walks of the folder, each step followed by a pause in which the viewer looks at the
// picture, once without decoding ahead and once with the neighbours decoded ahead; then the same walks with a
// step every kRepeatMs (a held arrow key), where decoding ahead cannot keep up. The pictures are made once
// under the temp folder and reused by later runs.

#include "app/program.h"
#include "controls/dir_list.h"
#include "controls/file_list.h"
#include "controls/picture_box.h"
#include "fullscreen/frm_full.h"
#include "main_window/frm_main.h"
#include "pictures/picture_loader.h"
#include "pictures/picture_prefetch.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr int kFiles = 5;
constexpr int kRounds = 3;
// What a viewer spends on a picture before the next step; enough for a neighbour to be decoded.
constexpr int kLookMs = 1500;
// The pause between steps while an arrow key is held down.
constexpr int kRepeatMs = 100;

// Smooth gradients with fine detail and noise, about as dense as a photograph; each file its own.
bool makeJpeg(const QString& path, int seed) {
  if (QFile::exists(path)) return true;
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  quint32 noise = 12345u + quint32(seed) * 7919u;
  for (int y = 0; y < kHeight; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < kWidth; ++x) {
      noise = noise * 1664525u + 1013904223u;
      const int n = int(noise >> 28) - 8;
      const int r = (x * 255 / kWidth + ((x / 7 + y / 5 + seed) % 9) * 6 + n) & 0xff;
      const int g = (y * 255 / kHeight + ((x ^ (y + seed * 13)) & 31) + n) & 0xff;
      const int b = ((x + y) * 255 / (kWidth + kHeight) + seed * 40 + n * 2) & 0xff;
      line[x] = qRgb(r, g, b);
    }
  }
  // Written under another name first: an interrupted run leaves no half file to be reused.
  const QString part = path + QStringLiteral(".part");
  QImageWriter writer(part, "jpeg");
  writer.setQuality(90);
  return writer.write(image) && QFile::rename(part, path);
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double timeMs(const std::function<void()>& work) {
  QElapsedTimer timer;
  timer.start();
  work();
  return double(timer.nsecsElapsed()) / 1e6;
}

// Runs the event loop for `ms`, as a viewer looking at the picture would leave it running.
void look(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  const QString folder = QDir::tempPath() + QStringLiteral("/glview3-bench-fullscreen");
  QDir().mkpath(folder);
  QStringList files;
  for (int i = 0; i < kFiles; ++i) {
    files << folder + QStringLiteral("/%1.jpg").arg(i + 1, 2, 10, QLatin1Char('0'));
    if (!makeJpeg(files.last(), i)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(files.last()));
      return 1;
    }
  }
  std::printf("pictures: %d of %dx%d in %s\n", kFiles, kWidth, kHeight, qPrintable(folder));
  const QString djpeg = QStandardPaths::findExecutable(QStringLiteral("djpeg"));

  QTemporaryDir programDir;
  Program program(programDir.path());
  program.startNow();
  FrmMain& m = *program.frm_main;
  FrmFull& f = *program.frm_full;
  m.show();
  m.Dir->setPath(folder);
  m.File->setListIndex(0);
  m.Img_DblClick();
  QApplication::processEvents();
  if (!f.isVisible() || f.File->ListCount() != kFiles || f.File->ListIndex() != 0) {
    std::fprintf(stderr, "full screen did not open on the folder (%d files, index %d)\n", f.File->ListCount(),
                 f.File->ListIndex());
    return 1;
  }

  std::vector<double> loads;
  for (int i = 0; i < 3; ++i) loads.push_back(timeMs([&] { (void)loadPicture(files[i]); }));

  // Steps and djpeg alternate so that both see the same cache and machine load; the held key leaves djpeg
  // out, which would give the worker time.
  std::vector<double> decodes;
  for (const int pause : {kLookMs, kRepeatMs})
    for (const bool ahead : {false, true}) {
      f.prefetch->setEnabled(ahead);
      std::vector<double> steps;
      for (int round = 0; round < kRounds; ++round) {
        f.File->setListIndex(0);
        look(kLookMs);
        for (int i = 1; i < kFiles; ++i) {
          if (!djpeg.isEmpty() && pause == kLookMs) {
            decodes.push_back(timeMs([&] {
              QProcess process;
              process.start(djpeg, {QStringLiteral("-outfile"), QStringLiteral("/dev/null"), files[i]});
              process.waitForFinished(-1);
            }));
          }
          steps.push_back(timeMs([&] {
            f.File->setListIndex(i);
            f.repaint();
          }));
          if (f.Img->size() != QSize(kWidth, kHeight)) {
            std::fprintf(stderr, "step %d shows no picture\n", i);
            return 1;
          }
          look(pause);
        }
      }
      std::printf("%s, %s: step + paint %.1f ms (median of %zu)",
                  pause == kLookMs ? "looking at each" : "held key",
                  ahead ? "decoding ahead" : "no decoding ahead", median(steps), steps.size());
      if (!decodes.empty())
        std::printf("; djpeg %.1f ms; ratio %.2f (goal <= 1.25)\n", median(decodes),
                    median(steps) / median(decodes));
      else
        std::printf("; djpeg not found\n");
    }
  std::printf("LoadPicture alone: %.1f ms; most decoded pictures held at once: %d (at most %d)\n",
              median(loads), f.prefetch->peakHeld(), PicturePrefetch::kMaxHeld);
  f.leave();
  return 0;
}
