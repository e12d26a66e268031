#pragma once

#include <QString>

class FileDialogs;
class MessageBoxes;
class QWidget;

// The common file dialog: the caller sets the properties, shows the Open or Save As dialog, and reads
// FileName. Cancelling is reported as a failure (false), since callers treat it as one.
class CommonDialog {
 public:
  // `boxes` asks the overwrite question; without it nothing is asked.
  CommonDialog(FileDialogs& dialogs, QWidget* owner, MessageBoxes* boxes = nullptr)
      : dialogs_(dialogs), owner_(owner), boxes_(boxes) {}

  QString DialogTitle;
  QString Filter;      // "description | pattern | description | pattern ..."
  QString DefaultExt;  // ".lst": added to a typed name that has no extension
  QString FileName;    // initial name on entry, chosen path on return
  // Asked (Yes / No, No the default) before ShowSave returns the name of a file that exists; %1 is the name.
  // No is a cancel. Empty: not asked.
  QString overwriteTitle;
  QString overwritePrompt;

  bool ShowOpen();
  bool ShowSave();

  // The Filter in the form the desktop's dialog understands: "description (pattern);;...".
  static QString desktopFilter(const QString& filter);

 private:
  QString initialPath() const;
  FileDialogs& dialogs_;
  QWidget* owner_ = nullptr;
  MessageBoxes* boxes_ = nullptr;
};
