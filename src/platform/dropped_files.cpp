#include "platform/dropped_files.h"

#include "platform/file_names.h"

#include <QDir>
#include <QSysInfo>
#include <QUrl>

#ifndef Q_OS_WIN
#include <unistd.h>

#include <cerrno>
#include <vector>
#endif

namespace droppedfiles {

namespace {

bool startsWithNoCase(QByteArrayView text, QByteArrayView prefix) {
  return text.size() >= prefix.size() &&
         QByteArrayView(text.first(prefix.size())).compare(prefix, Qt::CaseInsensitive) == 0;
}

QString cleaned(const QString& path) { return QDir::toNativeSeparators(QDir::cleanPath(path)); }

}  // namespace

std::optional<QString> localPath(QByteArrayView uri) {
  uri = uri.trimmed();
  if (!startsWithNoCase(uri, "file:")) return std::nullopt;
  QByteArrayView rest = uri.sliced(5);
  // A query or a fragment is no part of a file's name (a "#" or "?" in a name arrives escaped).
  if (const qsizetype end = rest.indexOf('#'); end >= 0) rest = rest.first(end);
  if (const qsizetype end = rest.indexOf('?'); end >= 0) rest = rest.first(end);
  if (rest.startsWith("//")) {
    rest = rest.sliced(2);
    const qsizetype slash = rest.indexOf('/');
    if (slash < 0) return std::nullopt;
    const QByteArrayView host = rest.first(slash);
    if (!host.isEmpty() && host.compare("localhost", Qt::CaseInsensitive) != 0 &&
        QString::fromLatin1(host).compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) != 0)
      return std::nullopt;  // another machine's file
    rest = rest.sliced(slash);
  }
  if (!rest.startsWith('/')) return std::nullopt;
  const QByteArray bytes = QByteArray::fromPercentEncoding(rest.toByteArray());
  if (bytes.contains('\0')) return std::nullopt;
#ifdef Q_OS_WIN
  // "/C:/folder/name" on Windows: the drive letter comes first.
  QString path = QString::fromUtf8(bytes);
  if (path.size() >= 3 && path.at(2) == QLatin1Char(':')) path.remove(0, 1);
  return cleaned(path);
#else
  return cleaned(filenames::decode(bytes));
#endif
}

QStringList uriList(QByteArrayView list) {
  QStringList paths;
  int entries = 0;
  qsizetype at = 0;
  while (at < list.size() && entries < kMaxEntries) {
    qsizetype end = list.indexOf('\n', at);
    if (end < 0) end = list.size();
    QByteArrayView line = list.sliced(at, end - at);
    at = end + 1;
    if (line.endsWith('\r')) line.chop(1);
    if (line.trimmed().isEmpty() || line.startsWith('#')) continue;
    ++entries;
    if (const auto path = localPath(line)) paths << *path;
  }
  return paths;
}

QString argument(QByteArrayView argument, const QString& folder) {
  if (startsWithNoCase(argument, "file:")) return localPath(argument).value_or(QString());
  if (argument.isEmpty() || argument.contains('\0')) return QString();
  const QString name = filenames::decode(argument);
  if (QDir::isAbsolutePath(name)) return cleaned(name);
  return cleaned(folder + QLatin1Char('/') + name);
}

QString workingFolder() {
#ifdef Q_OS_WIN
  return QDir::currentPath();
#else
  // getcwd's own bytes: QDir::currentPath() decodes them as UTF-8.
  std::vector<char> buffer(4096);
  while (buffer.size() <= (1u << 20)) {
    if (::getcwd(buffer.data(), buffer.size())) return filenames::decode(QByteArrayView(buffer.data()));
    if (errno != ERANGE) break;
    buffer.resize(buffer.size() * 2);
  }
  return QDir::currentPath();
#endif
}

std::optional<QString> firstExisting(const QStringList& paths) {
  for (const QString& path : paths) {
    if (path.isEmpty()) continue;
    const auto status = filenames::stat(path);
    if (status && (status->isFile || status->isDir)) return path;
  }
  return std::nullopt;
}

}  // namespace droppedfiles
