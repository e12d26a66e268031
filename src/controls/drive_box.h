#pragma once

#include <QComboBox>
#include <QHash>
#include <QList>
#include <QString>

// The drive box of the navigation controls: the mounted volumes a user would browse (on Windows the drive
// letters), each shown as its root path and, when it has one, its name in brackets. Created by the window
// that shows it; it knows nothing of that window.
class DriveBox : public QComboBox {
  Q_OBJECT
 public:
  explicit DriveBox(QWidget* parent = nullptr);

  // Root path of the current volume with the platform's separators, e.g. "/" or "/media/usb".
  QString Drive() const;
  // A root path or any path inside a volume (the volume whose root is the longest prefix is chosen). A path
  // that does not exist and is no volume's root (a drive that has gone) still becomes the current drive, so
  // the caller's folder change fails and it can fall back. Change() when Drive() changes.
  void setDrive(const QString& drive);
  // Reads the volumes again, keeping the current drive. A current drive that was unmounted gives way to the
  // volume now holding the folder last remembered (or, when that has gone with the drive, the nearest folder
  // above it that is still there), which becomes that volume's current folder: Change().
  void refresh();
  void showPopup() override;  // the volumes as they are now: a stick mounted since is there

  // Each drive keeps its own current folder: the folder last shown on it, while it exists, else its root.
  QString CurrentFolder(const QString& drive) const;
  void rememberFolder(const QString& folder);  // the folder shown now

  struct Volume {
    QString root;  // "/" separators
    QString name;
    QString fileSystemType;
  };
  // The volumes worth listing: ready, real file systems, one entry per root, always the one holding home.
  static QList<Volume> browsableVolumes();

 signals:
  void Change();  // Drive() changed, by code or by the user

 private:
  void fill(const QList<Volume>& volumes);
  int findRoot(const QString& root) const;
  QString volumeHolding(const QString& path) const;
  void select(const QString& root);
  void dropStrayEntry();
  void followIndex();

  void leaveUnmountedDrive();

  QHash<QString, QString> folders_;  // volume root -> folder last shown on it
  QString folder_;                   // the folder last remembered, "/" separators
  QString drive_;                    // "/" separators
  bool updating_ = false;            // the box's own item changes are no user's choice
};
