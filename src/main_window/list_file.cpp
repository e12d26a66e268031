#include "main_window/list_file.h"

#include "app/text_file.h"

#include <QDir>
#include <QFileInfo>

namespace listfile {

namespace {

QStringList pathsOf(const QList<QByteArray>& lines) {
  QStringList paths;
  for (const QByteArray& line : lines) {
    const QString text = textfile::decode(line);
    // A line without a file name part (no separator) is where the list ends.
    if (!text.contains(QDir::separator())) break;
    paths << text;
  }
  return paths;
}

}  // namespace

std::optional<QStringList> read(const QString& path, bool* cut_short) {
  if (cut_short) *cut_short = false;
  if (QFileInfo(path).isDir()) return std::nullopt;
  const auto lines = textfile::readLines(path, kMaxEntries, cut_short, textfile::LineEnds::AlsoLf);
  if (!lines) return std::nullopt;
  return pathsOf(*lines);
}

QStringList parse(QByteArrayView bytes) {
  return pathsOf(textfile::splitLines(bytes, kMaxEntries, nullptr, textfile::LineEnds::AlsoLf));
}

bool write(const QString& path, const QStringList& paths, QString* error) {
  QList<QByteArray> lines;
  lines.reserve(paths.size());
  for (const QString& entry : paths) lines << textfile::encode(entry);
  return textfile::writeLines(path, lines, error);
}

}  // namespace listfile
