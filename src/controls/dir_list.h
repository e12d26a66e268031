#pragma once

#include <QListWidget>

class FolderWatch;
#include <QString>

class QKeyEvent;
class QMouseEvent;

// The folder list of the navigation controls: the folders from the root down to Path, each indented one step
// further and shown open, then the subfolders of Path. A double click or Enter opens the highlighted entry.
// Created by the window that shows it; it knows nothing of that window.
class DirList : public QListWidget {
  Q_OBJECT
 public:
  explicit DirList(QWidget* parent = nullptr);

  // Platform separators, no trailing one except for a root. Starts as the working folder.
  QString Path() const;
  // False, and nothing changes, for a relative path or a folder that does not exist or cannot be read.
  // Setting the same path lists its subfolders again without Change().
  bool setPath(const QString& path);
  QString highlightedPath() const;  // the folder of the highlighted entry, "" when none
  // Lists the subfolders of Path again. A folder that has gone (deleted, renamed, its volume unmounted) or
  // can no longer be read gives way to the nearest folder above it that can, as a file manager does: Path
  // changes to it, with Change(). The list follows the disk by itself as well.
  bool refresh();

 signals:
  void Change();  // Path() changed, by code or by the user

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  bool fill(const QString& folder);
  bool fallBack();
  void open(const QString& folder);
  void listStart();  // lists the working folder the list started with, unless another was set since

  QString path_;                  // clean, "/" separators
  bool startPending_ = false;     // path_ is the working folder, not listed yet
  FolderWatch* watch_ = nullptr;  // re-reads the subfolders when they change on disk
};
