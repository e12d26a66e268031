#include "platform/file_names.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace filenames {

#ifdef Q_OS_UNIX

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// Length of the valid UTF-8 sequence at `p` (1 to 4), or 0 when the bytes there do not start one.
int validSequence(const unsigned char* p, qsizetype left) {
  const unsigned char c = p[0];
  if (c < 0x80) return 1;
  int n = 0;
  char32_t min = 0;
  char32_t code = 0;
  if ((c & 0xE0) == 0xC0) {
    n = 2, min = 0x80, code = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    n = 3, min = 0x800, code = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    n = 4, min = 0x10000, code = c & 0x07;
  } else {
    return 0;
  }
  if (left < n) return 0;
  for (int i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    code = (code << 6) | (p[i] & 0x3F);
  }
  // Overlong forms, surrogates and code points past Unicode are not valid UTF-8: they stay bytes.
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return n;
}

QString errnoText() { return QString::fromLocal8Bit(std::strerror(errno)); }

}  // namespace

QString decode(QByteArrayView bytes) {
  QString text;
  text.reserve(bytes.size());
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  qsizetype i = 0;
  while (i < bytes.size()) {
    const int n = validSequence(p + i, bytes.size() - i);
    if (n == 0) {
      text.append(QChar(char16_t(kEscapeBase + p[i])));
      ++i;
      continue;
    }
    text.append(QString::fromUtf8(bytes.sliced(i, n)));
    i += n;
  }
  return text;
}

QByteArray encode(QStringView name) {
  QByteArray bytes;
  bytes.reserve(name.size());
  qsizetype run = 0;  // start of the plain text not yet encoded
  for (qsizetype i = 0; i < name.size(); ++i) {
    const char16_t c = name[i].unicode();
    const bool escaped = c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF;
    // A lone surrogate in that range is an escaped byte; as half of a pair it is a real character.
    const bool paired = QChar::isLowSurrogate(c) && i > 0 && QChar::isHighSurrogate(name[i - 1].unicode());
    if (!escaped || paired) continue;
    bytes.append(name.sliced(run, i - run).toUtf8());
    bytes.append(char(c - kEscapeBase));
    run = i + 1;
  }
  bytes.append(name.sliced(run).toUtf8());
  return bytes;
}

std::optional<Status> stat(const QString& path) {
  if (path.isEmpty()) return std::nullopt;
  struct stat st {};
  if (::stat(encode(path).constData(), &st) != 0) return std::nullopt;
  Status status;
  status.isFile = S_ISREG(st.st_mode);
  status.isDir = S_ISDIR(st.st_mode);
  status.size = qint64(st.st_size);
  status.modifiedMs = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
  status.device = qint64(st.st_dev);
  status.inode = qint64(st.st_ino);
  status.changedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  return status;
}

bool openForReading(QFile& file, const QString& path) {
  if (path.isEmpty()) return false;
  // Non-blocking, so that a pipe without a writer cannot hold the open; the mode is checked on the handle.
  const int fd = ::open(encode(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return false;
  }
  return true;
}

bool remove(const QString& path, QString* error) {
  if (::unlink(encode(path).constData()) == 0) return true;
  if (error) *error = errnoText();
  return false;
}

namespace {

// A name for the trash: the file's own, or with a number when that is taken. Bytes, as names are.
QByteArray freeTrashName(const QByteArray& files, const QByteArray& info, const QByteArray& name) {
  const qsizetype dot = name.lastIndexOf('.');
  const QByteArray stem = dot > 0 ? name.left(dot) : name;
  const QByteArray suffix = dot > 0 ? name.mid(dot) : QByteArray();
  for (int n = 1; n < 10000; ++n) {
    const QByteArray candidate = n == 1 ? name : stem + '.' + QByteArray::number(n) + suffix;
    struct stat st {};
    if (::lstat((files + '/' + candidate).constData(), &st) != 0 &&
        ::lstat((info + '/' + candidate + ".trashinfo").constData(), &st) != 0)
      return candidate;
  }
  return {};
}

bool makeDirs(const QByteArray& path) {
  if (::mkdir(path.constData(), 0700) == 0 || errno == EEXIST) return true;
  if (errno != ENOENT) return false;
  const qsizetype slash = path.lastIndexOf('/');
  if (slash <= 0 || !makeDirs(path.left(slash))) return false;
  return ::mkdir(path.constData(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

bool moveToTrash(const QString& path, QString* error) {
  // Qt's trash needs the user's data folder to exist; without it, it would make "files" and "info" in the
  // current folder.
  const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (data.isEmpty() || !QDir().mkpath(data)) return false;
  // A name Qt can reach goes through Qt, which also knows the trash folders of other volumes.
  if (QFile::encodeName(path) == encode(path)) {
    QFile file(path);
    if (file.moveToTrash()) return true;
    if (error) *error = file.errorString();
    return false;
  }
  // The home trash: $XDG_DATA_HOME/Trash (files/ and info/). Only files on the same file system as it can be
  // moved there by a rename; others have no trash here and the caller deletes instead.
  const QByteArray trash = encode(data) + "/Trash";
  const QByteArray files = trash + "/files";
  const QByteArray info = trash + "/info";
  if (!makeDirs(files) || !makeDirs(info)) return false;
  const QByteArray source = encode(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
  const QByteArray name = source.mid(source.lastIndexOf('/') + 1);
  if (name.isEmpty()) return false;
  const QByteArray target = freeTrashName(files, info, name);
  if (target.isEmpty()) return false;
  // The info file first, so that a trashed file is never without its way back.
  const QByteArray infoPath = info + '/' + target + ".trashinfo";
  const int fd = ::open(infoPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const QByteArray text =
      "[Trash Info]\nPath=" + source.toPercentEncoding("/") + "\nDeletionDate=" +
      QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")).toLatin1() + "\n";
  const bool written = ::write(fd, text.constData(), size_t(text.size())) == text.size();
  ::close(fd);
  if (!written || ::rename(source.constData(), (files + '/' + target).constData()) != 0) {
    if (error) *error = errnoText();
    ::unlink(infoPath.constData());
    return false;
  }
  return true;
}

bool writable(const QString& path) { return ::access(encode(path).constData(), W_OK) == 0; }

QUrl fileUrl(const QString& path) {
  const QByteArray bytes = encode(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
  return QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"), QUrl::StrictMode);
}

#else  // Windows: names are UTF-16 and Qt reaches them as they are.

QString decode(QByteArrayView bytes) { return QFile::decodeName(bytes.toByteArray()); }
QByteArray encode(QStringView name) { return QFile::encodeName(name.toString()); }

std::optional<Status> stat(const QString& path) {
  const QFileInfo info(path);
  if (path.isEmpty() || !info.exists()) return std::nullopt;
  Status status{info.isFile(), info.isDir(), info.size(), info.lastModified().toMSecsSinceEpoch()};
  status.changedNs = info.metadataChangeTime().toMSecsSinceEpoch() * 1000000;
  return status;
}

bool openForReading(QFile& file, const QString& path) {
  if (!QFileInfo(path).isFile()) return false;
  file.setFileName(path);
  return file.open(QIODevice::ReadOnly);
}

bool remove(const QString& path, QString* error) {
  QFile file(path);
  if (file.remove()) return true;
  if (error) *error = file.errorString();
  return false;
}

bool moveToTrash(const QString& path, QString* error) {
  QFile file(path);
  if (file.moveToTrash()) return true;
  if (error) *error = file.errorString();
  return false;
}

QUrl fileUrl(const QString& path) { return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()); }

bool writable(const QString& path) { return QFileInfo(path).isWritable(); }

#endif

bool isFile(const QString& path) {
  const auto status = stat(path);
  return status && status->isFile;
}

bool isDir(const QString& path) {
  const auto status = stat(path);
  return status && status->isDir;
}

}  // namespace filenames
