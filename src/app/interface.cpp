// Applying the interface: the language (each window then applies its own captions), the file-type box,
// stacking and pointers.
#include "app/program.h"

#include "app/artwork.h"
#include "app/frm_splash.h"
#include "fullscreen/frm_full.h"
#include "main_window/frm_main.h"
#include "menus/frm_dummy.h"
#include "preferences/frm_option.h"

#include <QCursor>
#include <QWidget>
#include <QWindow>

#include <array>

namespace {

// Puts a window into the always-on-top layer or takes it out, keeping its place and size and without
// activating it. A window that exists on screen is told through its own native window: QWidget's
// setWindowFlags would destroy and recreate it, and a recreated window is mapped, moved and activated anew
// (its late activation could even arrive after it was hidden).
void setStaysOnTop(QWidget* window, bool on) {
  if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on) return;
  Qt::WindowFlags flags = window->windowFlags();
  flags.setFlag(Qt::WindowStaysOnTopHint, on);
  QWindow* handle = window->windowHandle();
  // No native window yet: it is made with these flags. setWindowFlags would re-parent the window to itself
  // and so re-polish every control in it, which at start-up costs more than making the window.
  window->overrideWindowFlags(flags);
  if (!handle) return;
  Qt::WindowFlags native = handle->flags();
  native.setFlag(Qt::WindowStaysOnTopHint, on);
  handle->setFlags(native);
}

}  // namespace

void Program::ApplyInterface() {
  // 1. Language copy.
  tables_.selectLanguage(useChinese_);
  // Qt's own texts too: the standard buttons of message boxes and the file dialogs.
  qtTranslation.apply(useChinese_);

  // 2. Captions, each window its own, with the names screen readers give its controls; the preferences also
  // take the about text and go back to help topic 1.
  if (splash_) splash_->retranslate();
  if (!main_) return;  // the other windows take theirs when the splash's tick has made them
  main_->retranslate();
  option_->retranslate();
  full_->retranslate();
  dummy_->retranslate();

  // 3. The file-type box, back to all known formats.
  main_->refillFilterBox();

  // 4. Stacking. A greyed box leaves each window in the layer it is in.
  const std::array<QWidget*, 3> windows{main_.get(), option_.get(), full_.get()};
  if (const int on_top = options().CheckValue(Options::AlwaysOnTop); on_top == 0 || on_top == 1) {
    for (QWidget* window : windows) setStaysOnTop(window, on_top == 1);
  }

  // 5. Window pointers: the program's own cursor or the arrow.
  const QCursor pointer =
      options().CheckValue(Options::OwnCursors) == 1 ? artwork::windowCursor() : QCursor(Qt::ArrowCursor);
  for (QWidget* window : windows) window->setCursor(pointer);
}
