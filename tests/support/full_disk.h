#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A folder on a file system that is full, for tests of writes that must fail without harm. Where the test
// may mount (root on Linux), a tiny tmpfs is mounted in a temporary folder and filled up to its last byte:
// the real ENOSPC of a full disk. Elsewhere the process's file-size limit (RLIMIT_FSIZE) is lowered so that a
// write past a few bytes fails (EFBIG), which takes the same failure paths. Files placed with put() before
// fill() are the user's old files that must survive.
class FullDisk {
 public:
  FullDisk();
  ~FullDisk();
  FullDisk(const FullDisk&) = delete;
  FullDisk& operator=(const FullDisk&) = delete;

  bool ready() const { return ready_; }
  QString why() const { return why_; }
  bool realFileSystem() const { return mounted_; }  // false: the file-size limit stands in
  QString folder() const { return folder_; }        // no trailing separator
  QString path(const QString& name) const { return folder_ + QLatin1Char('/') + name; }

  // Places a file while there is still room.
  bool put(const QString& name, const QByteArray& bytes) const;
  // Takes the last free byte (or lowers the limit): from now on writes fail.
  bool fill();
  // Names in the folder now, but for the filler (a temporary file left behind would show here).
  QStringList entries() const;
  QByteArray read(const QString& name) const;

 private:
  void release();

  QTemporaryDir dir_;
  QString folder_;
  bool ready_ = false;
  bool mounted_ = false;
  bool limited_ = false;
  QString why_;
  unsigned long long oldSoftLimit_ = 0;
};

// A folder the program cannot write to, as an installed program's folder is. Where the test may mount, a tiny
// tmpfs remounted read-only (root ignores file modes); elsewhere the folder's modes (0555). Files are placed
// with put() before lock().
class ReadOnlyFolder {
 public:
  ReadOnlyFolder();
  ~ReadOnlyFolder();
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

  bool ready() const { return ready_; }
  QString folder() const { return folder_; }
  bool put(const QString& name, const QByteArray& bytes) const;
  QByteArray read(const QString& name) const;
  QStringList entries() const;
  bool lock();

 private:
  QTemporaryDir dir_;
  QString folder_;
  bool ready_ = false;
  bool mounted_ = false;
};
