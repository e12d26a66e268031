// Applying the interface: language of every caption, the file-type box, stacking, pointers, about and help.
#include "app/program.h"

#include "app/about_text.h"
#include "app/artwork.h"
#include "app/frm_splash.h"
#include "controls/dir_list.h"
#include "controls/drive_box.h"
#include "controls/file_list.h"
#include "controls/picture_box.h"
#include "fullscreen/frm_full.h"
#include "main_window/frm_main.h"
#include "menus/frm_dummy.h"
#include "preferences/frm_option.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTabBar>
#include <QWindow>

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
  tables.selectLanguage(use_chinese);
  // Qt's own texts too: the standard buttons of message boxes and the file dialogs.
  qtTranslation.apply(use_chinese);

  // 2. Captions.
  if (frm_splash) {
    frm_splash->Label2->setText(tables.SplashText[1]);
    frm_splash->Label1->setText(tables.SplashText[2]);
  }
  FrmMain& m = *frm_main;
  m.setWindowTitle(tables.MainText[1]);
  m.title->setText(tables.MainText[2]);
  m.fr_file->setTitle(tables.MainText[3]);
  m.fr_control->setTitle(tables.MainText[4]);
  m.fr_status->setTitle(tables.MainText[5]);
  m.fr_picture->setTitle(tables.MainText[6]);
  m.state->setText(tables.MainText[7]);
  m.fr_favor->setTitle(tables.MainText[8]);
  m.lb_sz->setText(tables.MainText[9]);
  m.lb_sound->setText(TextTables::noticeText(TextTables::Notice::NoSoundOutput, use_chinese));

  FrmOption& o = *frm_option;
  o.setWindowTitle(tables.PrefText[1]);
  o.title->setText(tables.PrefText[1]);
  for (int tab = 0; tab < 4; ++tab) o.Tabs->setTabText(tab, tables.PrefText[2 + tab]);
  o.lb_gernel->setText(tables.PrefText[6]);
  o.Label1->setText(tables.PrefText[7]);
  o.Label5->setText(tables.PrefText[8]);
  o.Label2->setText(tables.PrefText[9]);
  o.fr_media->setTitle(tables.PrefText[10]);
  for (int i = 0; i <= 6; ++i) o.Check[i]->setText(tables.PrefText[11 + i]);
  o.fr_short->setTitle(tables.PrefText[18]);
  // Named by its own caption: unnamed, the nested group box would be announced by its parent's.
  o.fr_short->setAccessibleName(QString(tables.PrefText[18]).remove(u'&'));
  o.Option1->setText(tables.PrefText[19]);
  o.Option2->setText(tables.PrefText[20]);
  o.Label6->setText(tables.PrefText[21]);
  o.Label5->setText(tables.PrefText[22]);
  o.lb_about->setText(tables.PrefText[24]);
  o.Label3->setText(tables.PrefText[25]);
  o.CMD_OK->setText(tables.PrefText[26]);
  o.CMD_Cancel->setText(tables.PrefText[27]);
  o.CMD_Apply->setText(tables.PrefText[28]);
  o.fr_interface->setTitle(tables.PrefText[29]);

  frm_full->fr_control->setTitle(tables.MenuText[1]);
  // The full-screen window is known to the window system and screen readers by its menu command's words.
  frm_full->setWindowTitle(
      QString(tables.MenuText[9]).remove(QRegularExpression(QStringLiteral(R"(\s*\(&.\)|&)"))));

  FrmDummy& d = *frm_dummy;
  QAction* items[] = {d.mnu_addflist, d.mnu_delete,  d.mnu_removelist, d.mnu_newlist,  d.mnu_openlist,
                      d.mnu_savelist, d.mnu_paste,   d.mnu_fullscr,    d.mnu_openwith, d.mnu_savebitmap,
                      d.mnu_return,   d.mnu_control, d.mnu_prev,       d.mnu_Next};
  for (int i = 0; i < 14; ++i) items[i]->setText(tables.MenuText[2 + i]);

  // 3. The file-type box, back to all known formats.
  m.cmb_filter->clear();
  for (int i = 1; i <= 17; ++i) m.cmb_filter->addItem(tables.FilterText[i]);
  m.selectFilter(2);

  // 4. Stacking. A greyed box leaves each window in the layer it is in.
  if (const int on_top = o.CheckValue(FrmOption::AlwaysOnTop); on_top == 0 || on_top == 1) {
    for (QWidget* window : {static_cast<QWidget*>(frm_main), static_cast<QWidget*>(frm_option),
                            static_cast<QWidget*>(frm_full)})
      setStaysOnTop(window, on_top == 1);
  }

  // 5. About text.
  o.txt_about->setText(aboutText(use_chinese, crlf));

  // 6. The full-screen toggle button's caption.
  if (frm_full->CMD_Toggle)
    frm_full->CMD_Toggle->setText(TextTables::toggleTextIn(frm_full->CMD_Toggle->text(), use_chinese));

  // 7. Window pointers: the program's own cursor or the arrow.
  const QCursor pointer =
      o.CheckValue(FrmOption::OwnCursors) == 1 ? artwork::windowCursor() : QCursor(Qt::ArrowCursor);
  m.setCursor(pointer);
  o.setCursor(pointer);
  frm_full->setCursor(pointer);

  // Screen readers: every control of the main window by name and description, in the language of the
  // captions.
  {
    using C = TextTables::Control;
    const std::pair<QWidget*, C> controls[] = {
        {m.cmd_prev, C::Previous},   {m.cmd_next, C::Next},       {m.cmd_back, C::Back},
        {m.cmd_ff, C::Forward},      {m.cmd_play, C::Play},       {m.cmd_pause, C::Pause},
        {m.cmd_stop, C::Stop},       {m.cmd_eject, C::Eject},     {m.cmd_spk, C::Speaker},
        {m.Slider, C::Slider},       {m.cmd_up, C::Up},           {m.cmd_down, C::Down},
        {m.List, C::Favourites},     {m.File, C::Files},          {m.Dir, C::Folders},
        {m.Drive, C::Drives},        {m.cmb_filter, C::FileType}, {m.Img, C::Picture},
        {m.Logo, C::Logo},           {m.cmd_min, C::Minimise},    {m.cmd_close, C::Close},
        {frm_full->File, C::Files},  {frm_full->Dir, C::Folders}, {frm_full->Drive, C::Drives},
        {frm_full->Img, C::Picture},
    };
    for (const auto& [widget, control] : controls) {
      const TextTables::Spoken spoken = TextTables::controlText(control, use_chinese);
      widget->setAccessibleName(spoken.name);
      widget->setAccessibleDescription(spoken.description);
    }
  }

  // 8. Help list, back to topic 1.
  const auto& titles = use_chinese ? tables.HelpTitle_zh : tables.HelpTitle_en;
  o.lst_help->clear();
  o.lst_help->setAccessibleName(tables.PrefText[8]);  // the page's heading: an item view takes no buddy
  for (int k = 1; k <= 6; ++k) o.lst_help->addItem(titles[k]);
  o.lst_help->setCurrentRow(0);
  o.lst_help_Click();
}
