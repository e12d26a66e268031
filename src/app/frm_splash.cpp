#include "app/frm_splash.h"

#include "app/artwork.h"
#include "app/language.h"
#include "app/look.h"
#include "app/program.h"
#include "app/text_file.h"
#include "main_window/frm_main.h"
#include "platform/file_names.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <functional>
#include <utility>

FrmSplash::FrmSplash(Program& program)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint), program_(program) {
  createControls();
}

void FrmSplash::createControls() {
  setFixedSize(look::px(5460), look::px(3195));
  setWindowTitle(TextTables::ProductTitle);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::black);
  pal.setColor(QPalette::WindowText, look::kText);
  setPalette(pal);

  Image1 = new QLabel(this);
  Image1->setGeometry(10, 10, width() - 20, 120);
  Image1->setPixmap(artwork::splashPicture(Image1->size()));
  Image2 = new QLabel(this);
  Image2->setGeometry(width() - 110, height() - 34, 100, 24);
  Image2->setPixmap(artwork::logo(Image2->size()));

  Label2 = new QLabel(TextTables::ProductTitle, this);
  Label2->setGeometry(10, 132, width() - 20, 26);
  Label2->setAlignment(Qt::AlignCenter);
  QFont title_font = Label2->font();
  title_font.setPixelSize(17);
  title_font.setBold(true);
  Label2->setFont(title_font);
  Label2->setStyleSheet(QStringLiteral("color: %1;").arg(look::kTitle.name()));

  Label1 = new QLabel(QStringLiteral("The most powerful tool you have ever use..."), this);
  Label1->setGeometry(10, 160, width() - 20, 20);
  Label1->setAlignment(Qt::AlignCenter);
  Label1->setStyleSheet(QStringLiteral("color: rgb(224,224,224);"));

  Timer = new QTimer(this);
  Timer->setSingleShot(true);
  Timer->setInterval(1);
  connect(Timer, &QTimer::timeout, this, &FrmSplash::Timer_Timer);
  setMousePointer(99);
}

void FrmSplash::setMousePointer(int pointer) {
  mousePointer = pointer;
  setCursor(pointer == 99 ? artwork::windowCursor() : QCursor(Qt::WaitCursor));
}

void FrmSplash::Form_Load() {
  program_.fillTables();
  // app_dir is set by Program from the program's own folder.
  glanceAtSettings();
  look::centreOnScreen(*this);
}

void FrmSplash::glanceAtSettings() {
  const QString path = program_.readPath(QStringLiteral("glview3.ini"));
  if (!filenames::stat(path)) {
    // The first run speaks the desktop's language, as if the settings said so; once there is a settings
    // file, it decides.
    useLanguage(language::localeWantsChinese());
    return;
  }
  // Any failure stops the reading silently; what was set so far stays.
  const auto lines = textfile::readLines(path, 10);
  if (!lines) return;
  if (lines->size() < 6) return;
  const auto cursors = textfile::numberField((*lines)[5]);
  if (!cursors || (*cursors != 0 && *cursors != 1)) return;
  setMousePointer(11 + 88 * *cursors);
  if (lines->size() < 7) return;
  const auto show_splash = textfile::numberField((*lines)[6]);
  if (!show_splash) return;
  if (*show_splash == 0) visibleBySettings_ = false;
  if (lines->size() < 10) return;
  const auto chinese = textfile::boolField((*lines)[9]);
  if (!chinese) return;
  useLanguage(*chinese);
}

void FrmSplash::retranslate() {
  Label2->setText(program_.tables().SplashText[1]);
  Label1->setText(program_.tables().SplashText[2]);
}

void FrmSplash::useLanguage(bool chinese) {
  program_.setUseChinese(chinese);
  const auto& table = chinese ? program_.tables().SplashText_zh : program_.tables().SplashText_en;
  Label2->setText(table[1]);
  Label1->setText(table[2]);
}

namespace {

// Waits for the window system to put a shown window on screen (under a window manager that comes some time
// after show()), then draws it and runs `then` once. `then` runs at once when the window is on screen
// already or not shown at all, and after `bound_ms` in any case, should the window system never say so.
class OnScreenWaiter : public QObject {
 public:
  OnScreenWaiter(QWidget& widget, std::function<void()> then, int bound_ms)
      : QObject(&widget), widget_(widget), then_(std::move(then)) {
    if (QWindow* window = widget_.windowHandle()) window->installEventFilter(this);
    QTimer::singleShot(bound_ms, this, [this] { finish(); });
  }

  static void run(QWidget& widget, std::function<void()> then, int bound_ms = 2000) {
    const QWindow* window = widget.windowHandle();
    if (!widget.isVisible() || !window || window->isExposed()) {
      if (widget.isVisible()) widget.repaint();
      then();
      return;
    }
    new OnScreenWaiter(widget, std::move(then), bound_ms);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed())
      // After the expose is handled: the window's first picture is then in place.
      QTimer::singleShot(0, this, [this] { finish(); });
    return false;
  }

 private:
  void finish() {
    if (!then_) return;
    auto then = std::exchange(then_, nullptr);
    if (widget_.isVisible()) widget_.repaint();
    deleteLater();
    then();
  }

  QWidget& widget_;
  std::function<void()> then_;
};

}  // namespace

void FrmSplash::armTimer() {
  // The second stage runs once the splash is on screen and drawn, so the user sees it while the windows
  // load; work started before the window system has put it up would leave the desktop showing through.
  OnScreenWaiter::run(*this, [this] { Timer->start(); });
}

void FrmSplash::Timer_Timer() {
  Timer->stop();
  program_.loadWindows();
  program_.LoadSettings(0);
  program_.frm_main()->show();
  // "Open with" from a file manager: the file named on the command line, shown as a drop would show it.
  program_.showStartFiles();
  // The splash goes once the main window is up: no blank moment between the two.
  OnScreenWaiter::run(*program_.frm_main(), [this] {
    hide();
    program_.frm_main()->tellPendingNotice();
  });
}
