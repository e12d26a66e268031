#include "platform/folder_watch.h"

#include "platform/file_names.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <utility>

namespace {

// Long enough to take a burst of changes as one, short enough to feel at once.
constexpr int kSettleMs = 150;
// Ancestors watched above the folder: nobody browses deeper, and each costs a watch.
constexpr int kMaxAncestors = 64;
// Rounds of re-watching while folders of the chain appear during it (mkdir -p).
constexpr int kMaxRearms = 8;

// A name Qt would re-encode cannot be watched through it; such a folder is read again only when asked.
bool watchable(const QString& folder) { return QFile::encodeName(folder) == filenames::encode(folder); }

}  // namespace

FolderWatch::FolderWatch(QObject* parent) : QObject(parent) {
  settle_.setSingleShot(true);
  settle_.setInterval(kSettleMs);
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this](const QString& path) {
    if (path == folder_) {
      folderEvent_ = true;
      settle_.start();
    } else if (!settle_.isActive()) {
      // An ancestor's own stream of changes (a busy home or /tmp) must not keep putting off the folder's.
      settle_.start();
    }
  });
  connect(&settle_, &QTimer::timeout, this, &FolderWatch::settled);
}

void FolderWatch::watch(const QString& folder) {
  if (folder == folder_) return;
  if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
  settle_.stop();
  folder_ = folder;
  chain_.clear();
  folderEvent_ = false;
  if (folder.isEmpty()) return;
  for (int round = 0; round < kMaxRearms && rearm(); ++round) {
  }
}

void FolderWatch::settled() {
  const Seen before = chain_.value(0);
  const bool event = std::exchange(folderEvent_, false);
  for (int round = 0; round < kMaxRearms && rearm(); ++round) {
  }
  // The folder changed inside, or is gone, back or another one now.
  if (event || chain_.value(0) != before) emit changed();
}

bool FolderWatch::rearm() {
  // The chain as it is now, and a watch on each folder of it that is there. A watch follows its folder's
  // inode: one whose folder was renamed away or deleted goes, and a folder made again gets a new one.
  // Returns whether a watch was added, so that a folder made meanwhile beneath it is looked at again.
  QList<Seen> now;
  QString at = folder_;
  for (int depth = 0; depth <= kMaxAncestors; ++depth) {
    Seen seen{at};
    if (const auto status = filenames::stat(at); status && status->isDir) {
      seen.there = true;
      seen.device = status->device;
      seen.inode = status->inode;
    }
    now << seen;
    const QString parent = QFileInfo(at).path();
    if (parent == at || parent.isEmpty() || parent == QLatin1String(".")) break;
    at = parent;
  }
  const QStringList held = watcher_.directories();
  QStringList drop;
  QStringList add;
  for (const Seen& seen : now) {
    const auto old = std::find_if(chain_.cbegin(), chain_.cend(),
                                  [&seen](const Seen& other) { return other.path == seen.path; });
    const bool same = old != chain_.cend() && *old == seen;
    const bool watched = held.contains(seen.path);
    if (watched && !same) drop << seen.path;
    if (seen.there && (!watched || !same) && watchable(seen.path)) add << seen.path;
  }
  chain_ = now;
  if (!drop.isEmpty()) watcher_.removePaths(drop);
  if (add.isEmpty()) return false;
  const QStringList failed = watcher_.addPaths(add);
  return failed.size() < add.size();
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
