#pragma once

#include "controls/file_list_model.h"

#include <QListView>
#include <QString>

class QKeyEvent;
class QMouseEvent;

// The file list of the navigation controls: the files of one folder that match a pattern, sorted by name.
// Backed by FileListModel so that a folder of 100,000 files lists at once. Created by the window that shows
// it, which drives it through the setters and listens to the signals; it knows nothing of that window.
class FolderWatch;

class FileList : public QListView {
  Q_OBJECT
 public:
  explicit FileList(QWidget* parent = nullptr);

  // Folder with the platform's separators, no trailing one except for a root. Starts as the working folder.
  QString Path() const;
  // False when the path is relative or the folder cannot be listed; Path and the list are unchanged then.
  // Lists the folder again even when the path is the same one, keeping the selection by name.
  bool setPath(const QString& path);

  QString Pattern() const { return pattern_; }  // ";"-separated wildcards, case-insensitive; "*.*" at first
  void setPattern(const QString& pattern);      // lists again; no entry selected afterwards

  int ListIndex() const { return index_; }  // -1 = none
  void setListIndex(int index);  // -1 clears; out of range ignored; Click() when an entry gets selected
  int ListCount() const;
  QString FileName() const;       // the selected name, "" when none
  QString List(int index) const;  // name of entry `index`, "" out of range
  // Entry `index` as its row shows it: shortened to the row's width, its end and extension kept.
  QString shownName(int index) const;

  void refresh();  // reads the folder again, keeping the selected name when it is still there

 signals:
  void Click();     // an entry became selected: by the user, the keyboard or setListIndex
  void DblClick();  // double click on an entry, after the Click of its selection
  // Any mouse press. button: 1 left, 2 right, 4 middle; shift: 1 Shift, 2 Ctrl, 4 Alt; x, y in pixels.
  void MouseDown(int button, int shift, int x, int y);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent* event = nullptr) const override;

 private:
  bool relist(const QString& folder, const QString& keepName);
  void showNames(QStringList names, const QString& keepName);
  void followSelection();
  void emitMouseDown(const QMouseEvent* event);

  FileListModel* model_ = nullptr;
  FolderWatch* watch_ = nullptr;  // re-reads the folder when files appear or vanish in it
  QString path_;                  // clean, "/" separators
  QString pattern_ = QStringLiteral("*.*");
  FilePattern matcher_{pattern_};
  int index_ = -1;
  bool watchPending_ = false;  // the working folder the list started with is not watched yet
  bool relisting_ = false;     // a model reset clears the view's selection: not a user's change
};
