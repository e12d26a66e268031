#pragma once

#include <QMessageBox>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

// Everything that would stop a test to wait for a person or touch the desktop goes through these
// interfaces. Program owns one of each; the real ones are the default, tests hand in fakes.

// Modal message boxes.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual QMessageBox::StandardButton show(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                           const QString& prompt, QMessageBox::StandardButtons buttons,
                                           QMessageBox::StandardButton defaultButton) = 0;
};

// The Open and Save As dialogs; an empty optional means the user cancelled.
class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  virtual std::optional<QString> getOpenFileName(QWidget* parent, const QString& title,
                                                 const QString& initial, const QString& filter) = 0;
  virtual std::optional<QString> getSaveFileName(QWidget* parent, const QString& title,
                                                 const QString& initial, const QString& filter) = 0;
};

// Hands files and addresses to the desktop and starts programs; never through a shell.
class Launcher {
 public:
  virtual ~Launcher() = default;
  // With the file type's associated program. False when it cannot even be started; a launch that starts but
  // then opens nothing (no program for the type) calls `failed` later, on the UI thread.
  virtual bool openFile(const QString& path, std::function<void()> failed) = 0;
  virtual bool openUrl(const QUrl& url) = 0;              // in the user's web browser
  virtual bool startProgram(const QString& program) = 0;  // an independent process, no arguments
};

struct Seams {
  std::unique_ptr<MessageBoxes> messageBoxes;
  std::unique_ptr<FileDialogs> fileDialogs;
  std::unique_ptr<Launcher> launcher;

  // Fills every empty slot with the real desktop implementation.
  void fillDefaults();
};
