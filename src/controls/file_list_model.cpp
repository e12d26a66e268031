#include "controls/file_list_model.h"

#include "platform/file_names.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <memory>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#endif

FilePattern::FilePattern(const QString& pattern) {
  const QStringList parts = pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts);
  for (QString part : parts) {
    part = part.trimmed();
    if (part.isEmpty()) continue;
    if (part == QLatin1String("*") || part == QLatin1String("*.*")) {
      everything_ = true;
      continue;
    }
    const QStringView ext = QStringView(part).mid(1);
    const bool plainSuffix = part.startsWith(QLatin1String("*.")) && !ext.contains(QLatin1Char('*')) &&
                             !ext.contains(QLatin1Char('?')) && !ext.contains(QLatin1Char('['));
    if (plainSuffix) {
      suffixes_.append(ext.toString());
    } else {
      QRegularExpression re(QRegularExpression::wildcardToRegularExpression(part),
                            QRegularExpression::CaseInsensitiveOption);
      if (re.isValid()) others_.push_back(std::move(re));
    }
  }
  // An empty pattern lists the whole folder rather than nothing, as "*" would.
  if (suffixes_.isEmpty() && others_.empty()) everything_ = true;
}

bool FilePattern::matches(const QString& name) const {
  if (everything_) return true;
  for (const QString& suffix : suffixes_) {
    // "*.bmp" needs at least one character before the dot.
    if (name.size() > suffix.size() && name.endsWith(suffix, Qt::CaseInsensitive)) return true;
  }
  for (const QRegularExpression& re : others_) {
    if (re.match(name).hasMatch()) return true;
  }
  return false;
}

std::optional<QString> cleanFolderPath(const QString& path) {
  if (path.isEmpty() || path.contains(QChar(0))) return std::nullopt;
  const QString slashed = QDir::fromNativeSeparators(path);
  if (!QDir::isAbsolutePath(slashed)) return std::nullopt;
  QString clean = QDir::cleanPath(slashed);
#ifdef Q_OS_WIN
  if (clean.size() == 2 && clean.at(1) == QLatin1Char(':')) clean += QLatin1Char('/');
#endif
  return clean;
}

int naturalCompare(QStringView a, QStringView b) {
  qsizetype i = 0;
  qsizetype j = 0;
  int zeros = 0;  // the first difference in leading zeros, which counts only when nothing else differs
  while (i < a.size() && j < b.size()) {
    const bool da = a[i].isDigit();
    const bool db = b[j].isDigit();
    if (da && db) {
      // A run of digits is a number: "img_9999" before "img_10000". Leading zeros do not count, except to
      // order "01" after "1" when the names are otherwise equal.
      qsizetype ea = i;
      qsizetype eb = j;
      while (ea < a.size() && a[ea].isDigit()) ++ea;
      while (eb < b.size() && b[eb].isDigit()) ++eb;
      qsizetype za = i;
      qsizetype zb = j;
      while (za < ea - 1 && a[za] == u'0') ++za;
      while (zb < eb - 1 && b[zb] == u'0') ++zb;
      if (ea - za != eb - zb) return ea - za < eb - zb ? -1 : 1;
      for (qsizetype k = 0; k < ea - za; ++k)
        if (a[za + k] != b[zb + k]) return a[za + k] < b[zb + k] ? -1 : 1;
      if (zeros == 0 && ea - i != eb - j) zeros = ea - i < eb - j ? -1 : 1;
      i = ea;
      j = eb;
      continue;
    }
    if (a[i] != b[j]) return a[i] < b[j] ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return zeros;
}

void sortNames(QStringList& names) {
  struct Keyed {
    QString key;
    qsizetype index = 0;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(size_t(names.size()));
  // Lower-casing once per name instead of in every comparison makes the sort several times faster.
  for (qsizetype i = 0; i < names.size(); ++i) keyed.push_back({names.at(i).toLower(), i});
  std::sort(keyed.begin(), keyed.end(), [&names](const Keyed& a, const Keyed& b) {
    const int c = naturalCompare(a.key, b.key);
    if (c != 0) return c < 0;
    return names.at(a.index) < names.at(b.index);
  });
  QStringList sorted;
  sorted.reserve(names.size());
  for (const Keyed& k : keyed) sorted.append(std::move(names[k.index]));
  names = std::move(sorted);
}

#ifdef Q_OS_UNIX
namespace {

// RAII for a DIR stream.
struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};

bool isWanted(int dirFd, const dirent* entry, EntryKind kind) {
  unsigned char type = entry->d_type;
  if (type == DT_LNK || type == DT_UNKNOWN) {
    // Follows links; a dangling one fails and is left out.
    struct stat st {};
    if (fstatat(dirFd, entry->d_name, &st, 0) != 0) return false;
    type = S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : DT_UNKNOWN;
  }
  return kind == EntryKind::Files ? type == DT_REG : type == DT_DIR;
}

}  // namespace

std::optional<QStringList> readFolder(const QString& folder, EntryKind kind, const FilePattern& pattern) {
  if (folder.isEmpty()) return std::nullopt;
  std::unique_ptr<DIR, DirCloser> dir(opendir(filenames::encode(folder).constData()));
  if (!dir) return std::nullopt;
  const int fd = dirfd(dir.get());
  QStringList names;
  // readdir returns null at the end and on an error alike; a folder that breaks off midway lists what it had.
  while (const dirent* entry = readdir(dir.get())) {
    if (entry->d_name[0] == '.') continue;  // hidden, and "." / ".."
    if (!isWanted(fd, entry, kind)) continue;
    QString name = filenames::decode(entry->d_name);
    if (pattern.matches(name)) names.append(std::move(name));
  }
  sortNames(names);
  return names;
}
#else
std::optional<QStringList> readFolder(const QString& folder, EntryKind kind, const FilePattern& pattern) {
  const QFileInfo info(folder);
  if (folder.isEmpty() || !info.isDir() || !info.isReadable()) return std::nullopt;
  const QDir::Filters filters = (kind == EntryKind::Files ? QDir::Files : QDir::Dirs) | QDir::NoDotAndDotDot;
  QStringList names;
  QDirIterator it(folder, filters);
  while (it.hasNext()) {
    it.next();
    QString name = it.fileName();
    if (pattern.matches(name)) names.append(std::move(name));
  }
  sortNames(names);
  return names;
}
#endif

int FileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(names_.size());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= names_.size()) return {};
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
    QString text = names_.at(index.row());
    // A line break or tab in a name would break the one-line rows; show them as spaces.
    for (QChar& c : text) {
      if (c.category() == QChar::Other_Control) c = QLatin1Char(' ');
    }
    return text;
  }
  return {};
}

QString FileListModel::name(int row) const {
  return row >= 0 && row < names_.size() ? names_.at(row) : QString();
}

void FileListModel::setNames(QStringList names) {
  beginResetModel();
  names_ = std::move(names);
  endResetModel();
}
