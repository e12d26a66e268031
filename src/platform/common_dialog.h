#pragma once

#include <QString>

class FileDialogs;
class QWidget;

// The common file dialog: the caller sets the properties, shows the Open or Save As dialog, and reads
// FileName. Cancelling is reported as a failure (false), since callers treat it as one.
class CommonDialog {
 public:
  CommonDialog(FileDialogs& dialogs, QWidget* owner) : dialogs_(dialogs), owner_(owner) {}

  QString DialogTitle;
  QString Filter;      // "description | pattern | description | pattern ..."
  QString DefaultExt;  // ".lst": added to a typed name that has no extension
  QString FileName;    // initial name on entry, chosen path on return

  bool ShowOpen();
  bool ShowSave();

  // The Filter in the form the desktop's dialog understands: "description (pattern);;...".
  static QString desktopFilter(const QString& filter);

 private:
  QString initialPath() const;
  FileDialogs& dialogs_;
  QWidget* owner_ = nullptr;
};
