#include "platform/seams.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>

namespace {

class DesktopMessageBoxes final : public MessageBoxes {
 public:
  QMessageBox::StandardButton show(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                   const QString& prompt, QMessageBox::StandardButtons buttons,
                                   QMessageBox::StandardButton defaultButton) override {
    QMessageBox box(icon, title, prompt, buttons, parent);
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
  }
};

class DesktopFileDialogs final : public FileDialogs {
 public:
  std::optional<QString> getOpenFileName(QWidget* parent, const QString& title, const QString& initial,
                                         const QString& filter) override {
    const QString name = QFileDialog::getOpenFileName(parent, title, initial, filter);
    if (name.isEmpty()) return std::nullopt;
    return name;
  }
  std::optional<QString> getSaveFileName(QWidget* parent, const QString& title, const QString& initial,
                                         const QString& filter) override {
    // No overwrite question: the program replaces an existing file, as its users expect of it.
    const QString name = QFileDialog::getSaveFileName(parent, title, initial, filter, nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (name.isEmpty()) return std::nullopt;
    return name;
  }
};

class DesktopLauncher final : public Launcher {
 public:
  bool openFile(const QString& path) override {
    if (!QFileInfo::exists(path)) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
  }
  bool openUrl(const QUrl& url) override { return QDesktopServices::openUrl(url); }
  bool startProgram(const QString& program) override {
    const QFileInfo info(program);
    if (!info.isFile() || !info.isExecutable()) return false;
    return QProcess::startDetached(program, {}, info.absolutePath());
  }
};

}  // namespace

void Seams::fillDefaults() {
  if (!messageBoxes) messageBoxes = std::make_unique<DesktopMessageBoxes>();
  if (!fileDialogs) fileDialogs = std::make_unique<DesktopFileDialogs>();
  if (!launcher) launcher = std::make_unique<DesktopLauncher>();
}
