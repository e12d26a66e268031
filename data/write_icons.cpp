// Build-time tool: writes the program's icon from its own drawing code as hicolor PNGs,
// <folder>/<N>x<N>/apps/<name>.png for every size of artwork::kIconSizes.
#include "app/artwork.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char* argv[]) {
  // Nothing is shown: the offscreen platform needs no display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s FOLDER NAME\n", argv[0]);
    return 2;
  }
  const QString folder = QFile::decodeName(argv[1]);
  const QString name = QFile::decodeName(argv[2]);
  for (const int size : artwork::kIconSizes) {
    const QString dir = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
    const QString path = QStringLiteral("%1/%2.png").arg(dir, name);
    const QImage image = artwork::applicationIcon(size).toImage();
    if (image.size() != QSize(size, size) || !QDir().mkpath(dir) || !image.save(path, "PNG")) {
      std::fprintf(stderr, "%s: could not write %s\n", argv[0], qPrintable(path));
      return 1;
    }
  }
  return 0;
}
