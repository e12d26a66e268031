#include "platform/file_names.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

// GIO's D-Bus headers have members named "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")
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

struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};

}  // namespace

bool moveToTrash(const QString& path, QString* error) {
  // GLib's trash, given the name's exact bytes: the home trash ($XDG_DATA_HOME/Trash, made when missing) for
  // a file on the home's file system, else the trash folder of the file's own volume. A file with neither is
  // not moved, and the caller deletes it instead. GLib reads $XDG_DATA_HOME once, at its first use.
  const QByteArray bytes = encode(path);
  if (bytes.isEmpty()) return false;
  const std::unique_ptr<GFile, GObjectUnref> file(g_file_new_for_path(bytes.constData()));
  GError* failure = nullptr;
  if (g_file_trash(file.get(), nullptr, &failure)) return true;
  if (error && failure) *error = QString::fromUtf8(failure->message);
  g_clear_error(&failure);
  return false;
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
