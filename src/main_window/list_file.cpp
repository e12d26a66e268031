#include "main_window/list_file.h"

#include "app/program.h"
#include "app/text_file.h"

#include <QFileInfo>

namespace listfile {

std::optional<QStringList> Read(const QString& path) {
  if (QFileInfo(path).isDir()) return std::nullopt;
  const auto lines = textfile::ReadLines(path, kMaxEntries);
  if (!lines) return std::nullopt;
  QStringList paths;
  for (const QByteArray& line : *lines) {
    const QString text = textfile::Decode(line);
    if (!Program::FileNamePart(text)) break;
    paths << text;
  }
  return paths;
}

bool Write(const QString& path, const QStringList& paths) {
  QList<QByteArray> lines;
  lines.reserve(paths.size());
  for (const QString& entry : paths) lines << textfile::Encode(entry);
  return textfile::WriteLines(path, lines);
}

}  // namespace listfile
