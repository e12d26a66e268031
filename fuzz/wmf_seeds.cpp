// Writes the metafiles the tests build into a folder, as the fuzzer's seed corpus.

#include "support/wmf_gen.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: wmf_seeds FOLDER\n");
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  if (!folder.mkpath(QStringLiteral("."))) return 1;
  for (const auto& [name, data] : wmf_gen::Samples()) {
    QFile file(folder.filePath(name + QStringLiteral(".wmf")));
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) return 1;
  }
  return 0;
}
