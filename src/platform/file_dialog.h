#pragma once

#include <QFileDialog>
#include <QString>

class LeftOutNames;

// The Open dialog of the common dialog (Qt's own file dialog where the platform has no native one). Qt lists
// a folder through names it decodes as UTF-8 and leaves out every file whose name is not valid UTF-8, which
// the rest of the program reaches by its bytes (platform/file_names.h). This dialog adds those files of the
// folder it shows, after the others (their stray bytes drawn as replacement marks), and a chosen one comes
// back by its exact bytes. Only to open: a file is written through Qt, which would name another file. The
// seam's FileDialogs makes one for each Open and Save As.
class FileDialog : public QFileDialog {
 public:
  FileDialog(const QString& title, const QString& folder, const QString& filter, AcceptMode mode);

  // The file chosen, exactly: an added name's own, else what the dialog selected. Empty when none.
  QString chosenFile() const;

  void accept() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void followSelection();
  void followTyping();
  // The added file the name field names now, else an empty string.
  QString typedLeftOut() const;

  LeftOutNames* names_ = nullptr;
  QString chosen_;
};
