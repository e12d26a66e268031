// Lists a folder of 100,000 files (half of them of known types) two ways and prints the medians:
//   (a) a bare QDir::entryList with the all-known-formats name filters, sorted by name ignoring case;
//   (b) FileList::setPath on the same folder, until the 113 x 97 px view is laid out and painted.
// The goal is (b) <= 1.5 x (a). The folder is made once under the temp folder and reused by later runs.

#include "controls/file_list.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kFiles = 100000;
constexpr int kRepetitions = 9;
const char* const kPattern = "*.bmp;*.dib;*.ico;*.cur;*.wmf;*.jpg;*.gif;*.wav;*.mid;*.avi;*.mov;*.mpg";

bool makeFolder(const QString& folder) {
  const QString done = folder + QStringLiteral("/.complete");
  if (QFile::exists(done)) return true;
  if (!QDir().mkpath(folder)) return false;
  static const char* const kKnown[] = {"bmp", "dib", "ico", "cur", "wmf", "jpg",
                                       "gif", "wav", "mid", "avi", "mov", "mpg"};
  static const char* const kOther[] = {"txt", "dat", "png", "doc", "zip", "html",
                                       "pdf", "mp3", "c",   "ini", "lst", "tif"};
  for (int i = 0; i < kFiles; ++i) {
    const char* ext = (i % 2 == 0) ? kKnown[(i / 2) % 12] : kOther[(i / 2) % 12];
    // Mixed case in names and types, and numbers that do not come in listing order.
    const int scrambled = int((i * 7919LL) % kFiles);
    QString name = QStringLiteral("%1Photo_%2.%3")
                       .arg(i % 3 == 0 ? QStringLiteral("IMG_") : QStringLiteral("img-"))
                       .arg(scrambled, 6, 10, QLatin1Char('0'))
                       .arg(i % 5 == 0 ? QString::fromLatin1(ext).toUpper() : QString::fromLatin1(ext));
    QFile file(folder + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly)) return false;
  }
  QFile marker(done);
  return marker.open(QIODevice::WriteOnly);
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double timeMs(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  const QString folder = QDir::tempPath() + QStringLiteral("/glview3-bench-100k");
  std::printf("preparing %d files in %s ...\n", kFiles, qPrintable(folder));
  if (!makeFolder(folder)) {
    std::fprintf(stderr, "cannot create the files\n");
    return 1;
  }
  QTemporaryDir empty;
  const QStringList nameFilters = QString::fromLatin1(kPattern).split(QLatin1Char(';'));

  FileList list;
  list.resize(113, 97);
  list.setPattern(QString::fromLatin1(kPattern));
  list.show();
  QApplication::processEvents();

  QStringList namesA;
  int countB = 0;
  const auto runA = [&] {
    namesA = QDir(folder).entryList(nameFilters, QDir::Files, QDir::Name | QDir::IgnoreCase);
  };
  const auto runB = [&] {
    list.setPath(folder);
    QApplication::processEvents();  // the view's delayed layout
    list.viewport()->repaint();
    countB = list.ListCount();
  };
  // Each (b) starts from another folder, as when the user walks into this one.
  const auto leave = [&] {
    list.setPath(empty.path());
    QApplication::processEvents();
  };

  runA();  // warm the directory cache for both
  leave();
  runB();
  std::vector<double> a, b;
  for (int i = 0; i < kRepetitions; ++i) {
    a.push_back(timeMs(runA));
    leave();
    b.push_back(timeMs(runB));
  }
  if (namesA.size() != countB) {
    std::fprintf(stderr, "the two listings differ: %lld vs %d entries\n",
                 static_cast<long long>(namesA.size()), countB);
    return 1;
  }
  for (int i = 0; i < countB; ++i) {
    if (namesA.at(i) != list.List(i)) {
      std::fprintf(stderr, "the two listings differ at %d: %s vs %s\n", i, qPrintable(namesA.at(i)),
                   qPrintable(list.List(i)));
      return 1;
    }
  }
  std::vector<double> bare;
  const FilePattern pattern(QString::fromLatin1(kPattern));
  for (int i = 0; i < kRepetitions; ++i)
    bare.push_back(timeMs([&] { readFolder(folder, EntryKind::Files, pattern); }));
  const double ma = median(a);
  const double mb = median(b);
  std::printf("entries listed: %d of %d files\n", countB, kFiles);
  std::printf("(a) QDir::entryList            median %8.2f ms (min %.2f, max %.2f)\n", ma,
              *std::min_element(a.begin(), a.end()), *std::max_element(a.begin(), a.end()));
  std::printf("(b) FileList::setPath + layout median %8.2f ms (min %.2f, max %.2f)\n", mb,
              *std::min_element(b.begin(), b.end()), *std::max_element(b.begin(), b.end()));
  std::printf("    the folder read alone (own runs)    %8.2f ms\n", median(bare));
  std::printf("ratio (b)/(a): %.2f (goal <= 1.50) %s\n", mb / ma, mb <= 1.5 * ma ? "met" : "NOT met");
  return 0;
}
