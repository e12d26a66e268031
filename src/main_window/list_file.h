#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

// Favourites list files (".lst", and "default.lst" beside the program): one full path a line, CR LF after
// each as written; when read, a lone CR or a lone LF ends a line as well.
namespace listfile {

constexpr int kMaxEntries = 51;

// The favourites a list file holds: at most 51 lines, and reading stops at a line without a path separator.
// nullopt when the file cannot be opened for reading (a missing file, a folder). cut_short, when given, tells
// whether a line too long to be a path ended the reading before the end of the file.
std::optional<QStringList> read(const QString& path, bool* cut_short = nullptr);
// The same for a list file's bytes in memory.
QStringList parse(QByteArrayView bytes);

// Writes the paths atomically; an empty list gives an empty file. Returns success; on failure the old file
// is untouched and `error` (when given) says why.
bool write(const QString& path, const QStringList& paths, QString* error = nullptr);

}  // namespace listfile
