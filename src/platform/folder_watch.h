#pragma once

#include <QFileSystemWatcher>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

// Tells a list that the folder it shows has changed on disk (a file or a subfolder appeared, vanished or was
// renamed), once a burst of changes has settled, so that copying a thousand files in re-reads the folder a
// few times, not a thousand. The folder's ancestors are watched too, so that the folder itself going
// (deleted, renamed, its volume unmounted, alone or with an ancestor) or coming back (made again) is told as
// well; a change beside it in an ancestor costs a few stats and tells nothing. Owned by the list it serves.
class FolderWatch : public QObject {
  Q_OBJECT

 public:
  explicit FolderWatch(QObject* parent = nullptr);

  // The folder to watch from now on ("" for none); "/" separators, clean. It need not exist.
  void watch(const QString& folder);

 signals:
  void changed();

 private:
  // A folder of the chain as last seen.
  struct Seen {
    QString path;
    bool there = false;
    qint64 device = -1;
    qint64 inode = -1;
    bool operator==(const Seen&) const = default;
  };

  void settled();
  bool rearm();

  QFileSystemWatcher watcher_;
  QTimer settle_;
  QString folder_;
  QList<Seen> chain_;         // the folder, then its ancestors up to the root
  bool folderEvent_ = false;  // the folder itself reported a change since the last settle
};

// Tells the drive box that the mounted volumes changed (a USB stick or a disc mounted or gone), where the
// platform says so (Linux's mount table); elsewhere never.
class MountWatch : public QObject {
  Q_OBJECT

 public:
  explicit MountWatch(QObject* parent = nullptr);
  ~MountWatch() override;

 signals:
  void changed();

 private:
  int fd_ = -1;
};
