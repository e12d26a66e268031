#pragma once
// What the benchmarks share: photograph-like test pictures made once under the temp folder, medians, wall
// and processor clocks, and an event loop left running as a viewer would leave it.

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QString>
#include <QThread>
#include <QWidget>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace bench {

// Smooth gradients with fine detail and noise, about as dense as a photograph; each seed its own. Written
// under another name first, so that an interrupted run leaves no half file to be reused.
inline bool makeJpeg(const QString& path, QSize size, int seed = 0) {
  if (QFile::exists(path)) return true;
  QImage image(size, QImage::Format_RGB32);
  if (image.isNull()) return false;
  const int width = size.width(), height = size.height();
  quint32 noise = 12345u + quint32(seed) * 7919u;
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) {
      noise = noise * 1664525u + 1013904223u;
      const int n = int(noise >> 28) - 8;
      const int r = (x * 255 / width + ((x / 7 + y / 5 + seed) % 9) * 6 + n) & 0xff;
      const int g = (y * 255 / height + ((x ^ (y + seed * 13)) & 31) + n) & 0xff;
      const int b = ((x + y) * 255 / (width + height) + seed * 40 + n * 2) & 0xff;
      line[x] = qRgb(r, g, b);
    }
  }
  const QString part = path + QStringLiteral(".part");
  QImageWriter writer(part, "jpeg");
  writer.setQuality(90);
  return writer.write(image) && QFile::rename(part, path);
}

inline double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

inline double timeMs(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Processor time (user and system) of this process (RUSAGE_SELF) or its waited-for children, in ms.
inline double cpuMs(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Counts the paints of one widget.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

// Runs the event loop for `ms`.
inline void look(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
}

// A field of /proc/self/status in MB, or -1.
inline double statusMb(const char* field) {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith(field))
      return line.mid(int(qstrlen(field))).trimmed().split(' ').first().toDouble() / 1024;
  return -1;
}

}  // namespace bench
