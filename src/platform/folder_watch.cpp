#include "platform/folder_watch.h"

#include "platform/file_names.h"

#include <QFile>
#include <QSocketNotifier>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// Long enough to take a burst of changes as one, short enough to feel at once.
constexpr int kSettleMs = 150;

}  // namespace

FolderWatch::FolderWatch(QObject* parent) : QObject(parent) {
  settle_.setSingleShot(true);
  settle_.setInterval(kSettleMs);
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, &settle_, qOverload<>(&QTimer::start));
  connect(&settle_, &QTimer::timeout, this, &FolderWatch::changed);
}

void FolderWatch::watch(const QString& folder) {
  if (folder == folder_) return;
  if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
  settle_.stop();
  folder_ = folder;
  // A name Qt would re-encode cannot be watched through it; such a folder is read again only when asked.
  if (!folder.isEmpty() && QFile::encodeName(folder) == filenames::encode(folder)) watcher_.addPath(folder);
}

MountWatch::MountWatch(QObject* parent) : QObject(parent) {
#ifdef Q_OS_LINUX
  // The mount table signals a change as an exceptional condition on its file; reading it again re-arms it.
  fd_ = ::open("/proc/self/mounts", O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return;
  auto* notifier = new QSocketNotifier(fd_, QSocketNotifier::Exception, this);
  connect(notifier, &QSocketNotifier::activated, this, [this] {
    char buffer[4096];
    ::lseek(fd_, 0, SEEK_SET);
    while (::read(fd_, buffer, sizeof buffer) > 0) {
    }
    emit changed();
  });
#endif
}

MountWatch::~MountWatch() {
#ifdef Q_OS_LINUX
  if (fd_ >= 0) ::close(fd_);
#endif
}
