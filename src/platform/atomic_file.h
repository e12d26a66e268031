#pragma once

#include <QByteArrayView>
#include <QSaveFile>
#include <QString>

#include <memory>

// Writes a file whole or not at all. The bytes go to a temporary file beside the target; only when every
// write, the flush and the sync to disk have succeeded does it replace the target. On any failure (a full
// disk, a quota, a folder without write permission) the old file stays byte for byte and the temporary file
// is removed. QSaveFile alone is not enough: its buffered writes report success, and an error that only
// shows when the buffer is flushed at commit still ends in the rename.
class AtomicFile {
 public:
  explicit AtomicFile(const QString& path);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  bool open();
  // The device to write into (e.g. for QImage::save); every write reaches the file at once, whole or as a
  // failure (a short write of the file system counts as one, which callers of a device seldom check).
  QIODevice& device();
  bool write(QByteArrayView bytes);
  // Replaces the target with what was written; false (and nothing replaced) if anything failed on the way.
  bool commit();

  // Why the last step failed, for the message that tells the user.
  QString errorString() const { return error_; }

 private:
  class Sink;
  void fail(const QString& reason);

  QSaveFile file_;
  std::unique_ptr<Sink> sink_;
  bool failed_ = false;
  bool done_ = false;
  QString error_;
};

// The whole of `bytes` into `path` through an AtomicFile. On failure `error` (when given) says why.
bool writeFileAtomically(const QString& path, QByteArrayView bytes, QString* error = nullptr);
