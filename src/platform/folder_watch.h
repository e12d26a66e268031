#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

// Tells a list that the folder it shows has changed on disk (a file or a subfolder appeared, vanished or was
// renamed), once a burst of changes has settled, so that copying a thousand files in re-reads the folder a
// few times, not a thousand. Owned by the list it serves.
class FolderWatch : public QObject {
  Q_OBJECT

 public:
  explicit FolderWatch(QObject* parent = nullptr);

  // The folder to watch from now on ("" for none).
  void watch(const QString& folder);

 signals:
  void changed();

 private:
  QFileSystemWatcher watcher_;
  QTimer settle_;
  QString folder_;
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
