#include "full_disk.h"

#include <QDir>
#include <QFile>

#if defined(Q_OS_LINUX)
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#endif

namespace {

constexpr const char* kFiller = ".filler";
// Room for the old files the tests place, then filled.
constexpr const char* kMountOptions = "size=64k,mode=0777";

}  // namespace

FullDisk::FullDisk() {
  if (!dir_.isValid()) {
    why_ = QStringLiteral("no temporary folder");
    return;
  }
  folder_ = dir_.path() + QStringLiteral("/disk");
  QDir().mkpath(folder_);
#if defined(Q_OS_LINUX)
  const QByteArray target = QFile::encodeName(folder_);
  if (::geteuid() == 0 &&
      ::mount("tmpfs", target.constData(), "tmpfs", MS_NOSUID | MS_NODEV, kMountOptions) == 0)
    mounted_ = true;
  ready_ = true;
#else
  why_ = QStringLiteral("no way to make a full disk on this platform");
#endif
}

FullDisk::~FullDisk() { release(); }

void FullDisk::release() {
#if defined(Q_OS_LINUX)
  if (limited_) {
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = oldSoftLimit_;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    limited_ = false;
  }
  if (mounted_) {
    ::umount2(QFile::encodeName(folder_).constData(), MNT_DETACH);
    mounted_ = false;
  }
#endif
}

bool FullDisk::put(const QString& name, const QByteArray& bytes) const {
  QFile file(path(name));
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

bool FullDisk::fill() {
#if defined(Q_OS_LINUX)
  if (mounted_) {
    QFile filler(path(QString::fromLatin1(kFiller)));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
    const QByteArray block(4096, 'x');
    // Big blocks first, then single bytes, until the file system has nothing left.
    while (filler.write(block) == block.size()) {
    }
    while (filler.write("x", 1) == 1) {
    }
    return true;
  }
  // A write past the limit must fail with EFBIG, not end the test with SIGXFSZ.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) return false;
  oldSoftLimit_ = limit.rlim_cur;
  limit.rlim_cur = 2;
  if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return false;
  limited_ = true;
  return true;
#else
  return false;
#endif
}

QStringList FullDisk::entries() const {
  QStringList names = QDir(folder_).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  names.removeAll(QString::fromLatin1(kFiller));
  names.sort();
  return names;
}

QByteArray FullDisk::read(const QString& name) const {
  QFile file(path(name));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

ReadOnlyFolder::ReadOnlyFolder() {
  if (!dir_.isValid()) return;
  folder_ = dir_.path() + QStringLiteral("/program");
  QDir().mkpath(folder_);
#if defined(Q_OS_LINUX)
  if (::geteuid() == 0 && ::mount("tmpfs", QFile::encodeName(folder_).constData(), "tmpfs",
                                  MS_NOSUID | MS_NODEV, "size=64k") == 0)
    mounted_ = true;
  // As root without a mount, modes would not hold the program back: no read-only folder to be had.
  ready_ = mounted_ || ::geteuid() != 0;
#endif
}

ReadOnlyFolder::~ReadOnlyFolder() {
#if defined(Q_OS_LINUX)
  if (mounted_) ::umount2(QFile::encodeName(folder_).constData(), MNT_DETACH);
#endif
  QFile::setPermissions(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

bool ReadOnlyFolder::put(const QString& name, const QByteArray& bytes) const {
  QFile file(folder_ + QLatin1Char('/') + name);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray ReadOnlyFolder::read(const QString& name) const {
  QFile file(folder_ + QLatin1Char('/') + name);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList ReadOnlyFolder::entries() const {
  QStringList names = QDir(folder_).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  names.sort();
  return names;
}

bool ReadOnlyFolder::lock() {
#if defined(Q_OS_LINUX)
  if (mounted_)
    return ::mount("tmpfs", QFile::encodeName(folder_).constData(), "tmpfs",
                   MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, "size=64k") == 0;
#endif
  return QFile::setPermissions(folder_, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                            QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
}
