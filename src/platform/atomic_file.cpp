#include "platform/atomic_file.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>

namespace {

// Makes the written bytes durable before the rename, so a crash or a power cut cannot leave an empty file
// under the old name. Reports the failure (a full disk may only show here, e.g. on network file systems).
bool syncToDisk(int fd, QString& error) {
  if (fd < 0) return true;
#ifdef Q_OS_WIN
  if (_commit(fd) == 0) return true;
#else
  int rc = 0;
  do rc = ::fsync(fd);
  while (rc != 0 && errno == EINTR);
  if (rc == 0) return true;
  // A file system that cannot sync (some FUSE or pipes) is no failure of the data.
  if (errno == EINVAL || errno == ENOTSUP) return true;
#endif
  error = QString::fromLocal8Bit(std::strerror(errno));
  return false;
}

}  // namespace

// Hands every write to AtomicFile::write, which writes all of it or records the failure.
class AtomicFile::Sink : public QIODevice {
 public:
  explicit Sink(AtomicFile& owner) : owner_(owner) {}

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 len) override {
    return owner_.write(QByteArrayView(data, len)) ? len : -1;
  }

 private:
  AtomicFile& owner_;
};

AtomicFile::AtomicFile(const QString& path) : file_(path), sink_(std::make_unique<Sink>(*this)) {}

AtomicFile::~AtomicFile() {
  // Never committed: the temporary file goes, the target stays.
  if (file_.isOpen()) file_.cancelWriting();
}

QIODevice& AtomicFile::device() { return *sink_; }

bool AtomicFile::open() {
  // Unbuffered: a write that fails says so at once instead of at a flush nobody checks.
  if (file_.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    sink_->open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return true;
  }
  fail(file_.errorString());
  return false;
}

void AtomicFile::fail(const QString& reason) {
  if (failed_) return;
  failed_ = true;
  error_ = reason;
}

bool AtomicFile::write(QByteArrayView bytes) {
  if (failed_ || !file_.isOpen()) return false;
  qsizetype written = 0;
  while (written < bytes.size()) {
    const qint64 n = file_.write(bytes.data() + written, bytes.size() - written);
    if (n <= 0) {
      fail(file_.errorString());
      return false;
    }
    written += n;
  }
  return true;
}

bool AtomicFile::commit() {
  if (done_ || !file_.isOpen()) return false;
  done_ = true;
  if (!failed_ && !file_.flush()) fail(file_.errorString());
  if (!failed_ && file_.error() != QFileDevice::NoError) fail(file_.errorString());
  if (!failed_) {
    QString reason;
    if (!syncToDisk(file_.handle(), reason)) fail(reason);
  }
  if (failed_) {
    // Marks the write as failed so that commit removes the temporary file and leaves the target alone.
    file_.cancelWriting();
    file_.commit();
    return false;
  }
  if (!file_.commit()) {
    fail(file_.errorString());
    return false;
  }
  return true;
}

bool writeFileAtomically(const QString& path, QByteArrayView bytes, QString* error) {
  AtomicFile file(path);
  const bool ok = file.open() && file.write(bytes) && file.commit();
  if (!ok && error) *error = file.errorString();
  return ok;
}
