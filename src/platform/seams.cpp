#include "platform/seams.h"

#include "platform/file_dialog.h"
#include "platform/file_names.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QWindow>

#include <algorithm>

namespace {

// Puts a dialog in the middle of `window`, inside the screen's available area; by its frame where the
// window system has told it (a move places the frame).
void centreOn(QWidget& dialog, const QWidget& window) {
  QRect place(QPoint(), dialog.frameGeometry().size());
  place.moveCenter(window.frameGeometry().center());
  if (const QScreen* screen = window.screen()) {
    const QRect area = screen->availableGeometry();
    place.moveLeft(
        std::clamp(place.left(), area.left(), std::max(area.left(), area.right() - place.width())));
    place.moveTop(std::clamp(place.top(), area.top(), std::max(area.top(), area.bottom() - place.height())));
  }
  dialog.move(place.topLeft());
}

// Centres a dialog on its window again when it is shown: a message box takes its size from its text only
// then, in its own show handling, so a place worked out before was off by half the difference. The dialog's
// show handling is run first, here, and the dialog is placed before the window system maps it.
class CentreWhenShown final : public QObject {
 public:
  CentreWhenShown(QDialog& dialog, QWidget& window) : QObject(&dialog), window_(&window) {
    dialog.installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Show || watched != parent()) return false;
    static_cast<QObject*>(watched)->event(event);
    if (window_) centreOn(*static_cast<QWidget*>(watched), *window_);
    return true;
  }

 private:
  QPointer<QWidget> window_;
};

// A dialog belongs to the window that shows it for the window system only: it is transient for that window
// (kept above it, modal to the program), in its stacking layer (above a window that is always on top), and
// centred on it. It is no child widget of it, so the program's dark window style does not leak into the
// desktop's dialog, which keeps the desktop's own readable look in either language.
void belongTo(QDialog& dialog, QWidget* parent) {
  dialog.setWindowModality(Qt::ApplicationModal);
  QWidget* window = parent ? parent->window() : nullptr;
  if (!window || !window->isVisible()) return;
  if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  dialog.winId();  // the native window, to name its owner
  if (QWindow* handle = dialog.windowHandle()) handle->setTransientParent(window->windowHandle());
  dialog.adjustSize();
  centreOn(dialog, *window);
  new CentreWhenShown(dialog, *window);
}

class DesktopMessageBoxes final : public MessageBoxes {
 public:
  QMessageBox::StandardButton show(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                   const QString& prompt, QMessageBox::StandardButtons buttons,
                                   QMessageBox::StandardButton defaultButton) override {
    QMessageBox box(icon, title, prompt, buttons);
    box.setDefaultButton(defaultButton);
    belongTo(box, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
  }
};

class DesktopFileDialogs final : public FileDialogs {
 public:
  std::optional<QString> getOpenFileName(QWidget* parent, const QString& title, const QString& initial,
                                         const QString& filter) override {
    return run(parent, title, initial, filter, QFileDialog::AcceptOpen);
  }
  std::optional<QString> getSaveFileName(QWidget* parent, const QString& title, const QString& initial,
                                         const QString& filter) override {
    return run(parent, title, initial, filter, QFileDialog::AcceptSave);
  }

 private:
  static std::optional<QString> run(QWidget* parent, const QString& title, const QString& initial,
                                    const QString& filter, QFileDialog::AcceptMode mode) {
    FileDialog dialog(title, initial, filter, mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // The overwrite question is the common dialog's, asked of the name with its default extension added.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    belongTo(dialog, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QString chosen = dialog.chosenFile();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen;
  }
};

class DesktopLauncher final : public Launcher {
 public:
  bool openFile(const QString& path, std::function<void()> failed) override {
    if (!filenames::stat(path)) return false;
    const QUrl url = filenames::fileUrl(path);
#ifdef Q_OS_UNIX
    // The desktop's opener, run directly (no shell), so that its exit status says whether anything opened.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!opener.isEmpty()) {
      // Never deleted while it runs: ending the program must not end what it opened.
      auto* process = new QProcess;
      process->setStandardInputFile(QProcess::nullDevice());
      process->setStandardOutputFile(QProcess::nullDevice());
      process->setStandardErrorFile(QProcess::nullDevice());
      QObject::connect(process, &QProcess::finished, process,
                       [process, failed](int code, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if ((code != 0 || status != QProcess::NormalExit) && failed) failed();
                       });
      QObject::connect(process, &QProcess::errorOccurred, process,
                       [process, failed](QProcess::ProcessError e) {
                         if (e != QProcess::FailedToStart) return;
                         process->deleteLater();
                         if (failed) failed();
                       });
      process->start(opener, {QString::fromLatin1(url.toEncoded())});
      return true;
    }
#endif
    return QDesktopServices::openUrl(url);
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
