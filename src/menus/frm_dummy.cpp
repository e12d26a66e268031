#include "menus/frm_dummy.h"

#include "app/artwork.h"
#include "app/program.h"
#include "controls/file_list.h"
#include "controls/picture_box.h"
#include "fullscreen/frm_full.h"
#include "main_window/frm_main.h"
#include "main_window/list_file.h"
#include "pictures/bitmap_save.h"
#include "platform/file_names.h"

#include <QAction>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>

namespace {
void reportNotSaved(Program& program, const QString& path, const QString& reason);
}  // namespace

FrmDummy::FrmDummy(Program& program) : QWidget(nullptr), program_(program) {
  setWindowTitle(QStringLiteral("Dummy form"));
  // The dialogs belong to the main window, whose commands show them: they stay above it.
  CMD = std::make_unique<CommonDialog>(*program_.seams.fileDialogs, program_.frm_main(),
                                       program_.seams.messageBoxes.get());
  bitmapSaver = std::make_unique<BitmapSaver>();
  connect(bitmapSaver.get(), &BitmapSaver::saved, this, &FrmDummy::bitmapSaveEnded);
  connect(bitmapSaver.get(), &BitmapSaver::failed, this, [this](const QString& path, const QString& reason) {
    bitmapSaveEnded();
    reportNotSaved(program_, path, reason);
  });
  cur_pointer = artwork::pointerCursor();
  cur_move = artwork::moveCursor();
  cur_wait = artwork::waitCursor();
  createMenus();
  popupMenu = [this](QMenu* menu) {
    menu->exec(std::exchange(nextPopupAt, std::nullopt).value_or(QCursor::pos()));
  };
}

FrmDummy::~FrmDummy() {
  // A save still under way is let finish (bounded) before the program's last window goes.
  bitmapSaver.reset();
  if (saveBusy_) QGuiApplication::restoreOverrideCursor();
}

void FrmDummy::createMenus() {
  auto item = [this](QMenu* menu, const char* caption, void (FrmDummy::*handler)()) {
    QAction* action = menu->addAction(QString::fromLatin1(caption));
    connect(action, &QAction::triggered, this, handler);
    return action;
  };
  mnu_filelist = new QMenu(QStringLiteral("filelistmenu"), this);
  mnu_addflist = item(mnu_filelist, "&Add to favourite", &FrmDummy::mnu_addflist_Click);
  mnu_filelist->addSeparator();
  mnu_delete = item(mnu_filelist, "&Delete file", &FrmDummy::mnu_delete_Click);

  mnu_list = new QMenu(QStringLiteral("listmenu"), this);
  mnu_removelist = item(mnu_list, "&Remove from favourite", &FrmDummy::mnu_removelist_Click);
  mnu_list->addSeparator();
  mnu_newlist = item(mnu_list, "&New favourite", &FrmDummy::mnu_newlist_Click);
  mnu_openlist = item(mnu_list, "&Open favourite", &FrmDummy::mnu_openlist_Click);
  mnu_savelist = item(mnu_list, "&Save favourite", &FrmDummy::mnu_savelist_Click);

  mnu_img = new QMenu(QStringLiteral("imgmenu"), this);
  mnu_paste = item(mnu_img, "&Paste from clipboard", &FrmDummy::mnu_paste_Click);
  mnu_fullscr = item(mnu_img, "&Full Screen", &FrmDummy::mnu_fullscr_Click);
  mnu_img->addSeparator();
  mnu_openwith = item(mnu_img, "&Open with...", &FrmDummy::mnu_openwith_Click);
  mnu_savebitmap = item(mnu_img, "&Save to bitmap file", &FrmDummy::mnu_savebitmap_Click);

  mnu_full = new QMenu(QStringLiteral("fullmenu"), this);
  mnu_return = item(mnu_full, "&Return...", &FrmDummy::mnu_return_Click);
  mnu_full->addSeparator();
  mnu_control = item(mnu_full, "&Control panel", &FrmDummy::mnu_control_Click);
  mnu_control->setCheckable(true);
  mnu_prev = item(mnu_full, "&Previous", &FrmDummy::mnu_prev_Click);
  mnu_Next = item(mnu_full, "&Next", &FrmDummy::mnu_Next_Click);
}

void FrmDummy::retranslate() {
  QAction* items[] = {mnu_addflist, mnu_delete,  mnu_removelist, mnu_newlist,  mnu_openlist,
                      mnu_savelist, mnu_paste,   mnu_fullscr,    mnu_openwith, mnu_savebitmap,
                      mnu_return,   mnu_control, mnu_prev,       mnu_Next};
  for (int i = 0; i < 14; ++i) items[i]->setText(program_.tables().MenuText[2 + i]);
}

void FrmDummy::Form_Load() {}

QCursor FrmDummy::pictureCursor(bool moving) const {
  const bool own = program_.options().CheckValue(Options::OwnCursors) == 1;
  if (moving) return own ? cur_move : QCursor(Qt::SizeAllCursor);
  return own ? cur_pointer : QCursor(Qt::ArrowCursor);
}

namespace {

void reportNotSaved(Program& program, const QString& path, const QString& reason) {
  const bool zh = program.use_chinese();
  program.seams.messageBoxes->show(
      program.frm_main(), QMessageBox::Warning, program.tables().msg(TextTables::MsgWarning, zh),
      TextTables::noticeText(TextTables::Notice::FileNotSaved, zh).arg(path, reason), QMessageBox::Ok,
      QMessageBox::Ok);
}

}  // namespace

QString FrmDummy::startFolder(const QString& lastUsed) const {
  if (!lastUsed.isEmpty() && filenames::isDir(lastUsed)) return lastUsed;
  return program_.frm_main()->File->Path();
}

namespace {

// The folder that holds a chosen file.
QString folderOf(const QString& path) {
  const qsizetype cut = path.lastIndexOf(QDir::separator());
  return cut <= 0 ? QString(QDir::separator()) : path.left(cut);
}

}  // namespace

void FrmDummy::popUp(QMenu* menu) {
  popupMenu(menu);
  nextPopupAt.reset();
}

void FrmDummy::mnu_addflist_Click() { program_.frm_main()->AddFList(); }
void FrmDummy::mnu_removelist_Click() { program_.frm_main()->RemoveFList(); }
void FrmDummy::mnu_paste_Click() { program_.frm_main()->Paste(); }
void FrmDummy::mnu_openwith_Click() { program_.frm_main()->OpenWith(); }
void FrmDummy::mnu_fullscr_Click() { program_.frm_full()->show(); }

// The commands below carry their own logic and arrive with their features.
void FrmDummy::mnu_return_Click() { program_.frm_full()->leave(); }

void FrmDummy::mnu_control_Click() {
  // The item is checkable: triggering it has already inverted the check mark that the popping handler set
  // from the panel's visibility.
  program_.frm_full()->setPanelVisible(mnu_control->isChecked());
}

void FrmDummy::mnu_prev_Click() {
  FileList* list = program_.frm_full()->File;
  if (list->ListIndex() > 0) list->setListIndex(list->ListIndex() - 1);
}

void FrmDummy::mnu_Next_Click() {
  FileList* list = program_.frm_full()->File;
  if (list->ListIndex() < list->ListCount() - 1) list->setListIndex(list->ListIndex() + 1);
}

void FrmDummy::mnu_delete_Click() {
  FrmMain& m = *program_.frm_main();
  if (m.File->ListIndex() < 0) return;
  const QString path = Program::withSeparator(m.File->Path()) + m.File->FileName();
  const bool zh = program_.use_chinese();
  const QString prompt = program_.tables().msg(TextTables::MsgDeleteFile, zh) + path +
                         program_.tables().msg(TextTables::MsgQuestionMark, zh);
  const auto reply = program_.seams.messageBoxes->show(
      &m, QMessageBox::Warning, program_.tables().msg(TextTables::MsgWarning, zh), prompt,
      QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok);
  if (reply != QMessageBox::Ok) return;
  // Into the desktop's trash where there is one, so that a wrong OK can be undone; else deleted for good.
  QString error;
  if (!filenames::moveToTrash(path) && !filenames::remove(path, &error)) {
    const QString text = TextTables::noticeText(TextTables::Notice::FileNotDeleted, zh).arg(path, error);
    program_.seams.messageBoxes->show(&m, QMessageBox::Critical,
                                      program_.tables().msg(TextTables::MsgWarning, zh), text,
                                      QMessageBox::Ok, QMessageBox::Ok);
  }
  // Whatever happened, the list shows what is on the disk now.
  m.File->refresh();
}

namespace {

// A bitmap at least this big, and this many times the picture's file, is asked about first: an 80-byte
// metafile can claim a picture of 16384 x 16384 pixels, 805 MB as a bitmap.
constexpr qint64 kAskAboveBytes = 64LL * 1024 * 1024;
constexpr qint64 kAskAboveTimes = 64;

// Replacing an existing file is asked first, in the program's words; No ends the command as a cancel does.
void askBeforeReplacing(CommonDialog& cmd, const Program& program) {
  cmd.overwriteTitle = program.tables().msg(TextTables::MsgWarning, program.use_chinese());
  cmd.overwritePrompt = TextTables::noticeText(TextTables::Notice::ReplaceFile, program.use_chinese());
}

// Whether a bitmap of `bytes` may be written for the picture of the shown file; asked when it is far larger.
bool bitmapWanted(Program& program, const QString& path, qint64 bytes) {
  const QString& source = program.frm_main()->cur_file;
  const auto status = source.isEmpty() ? std::nullopt : filenames::stat(source);
  // A pasted picture has no file: its bitmap is about the pixels it already holds.
  if (!status || bytes < kAskAboveBytes || bytes / kAskAboveTimes < std::max<qint64>(status->size, 1))
    return true;
  const bool zh = program.use_chinese();
  const QString megabytes = QString::number((bytes + 500000) / 1000000);
  const auto reply = program.seams.messageBoxes->show(
      program.frm_main(), QMessageBox::Warning, program.tables().msg(TextTables::MsgWarning, zh),
      TextTables::noticeText(TextTables::Notice::BitmapFarLarger, zh)
          .arg(path, megabytes, QString::number(status->size)),
      QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
  return reply == QMessageBox::Yes;
}

}  // namespace

void FrmDummy::mnu_savebitmap_Click() {
  const bool zh = program_.use_chinese();
  CMD->DialogTitle = program_.tables().msg(TextTables::MsgSaveBitmap, zh);
  CMD->Filter = program_.tables().msg(TextTables::MsgBitmapFilter, zh);
  CMD->DefaultExt = QStringLiteral(".bmp");
  CMD->FileName = startFolder(bitmapFolder_);
  askBeforeReplacing(*CMD, program_);
  if (!CMD->ShowSave()) return;
  bitmapFolder_ = folderOf(CMD->FileName);
  const Picture picture = program_.frm_main()->Img->picture();
  if (picture.isNull()) return;
  if (!bitmapWanted(program_, CMD->FileName, bitmapfile::estimatedBytes(picture))) return;
  // Drawn and written on the saver's thread, whole or not at all: the window goes on answering, another
  // picture may be opened meanwhile, and a failure is told when it comes (reportNotSaved).
  if (!saveBusy_) {
    saveBusy_ = true;
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
  }
  bitmapSaver->save(picture, CMD->FileName);
}

void FrmDummy::bitmapSaveEnded() {
  if (bitmapSaver->pending() > 0 || !saveBusy_) return;
  saveBusy_ = false;
  QGuiApplication::restoreOverrideCursor();
}

// The favourites list commands. New and Open first offer to save the list they replace.
namespace {

// Whether the list the user was asked about may now be replaced.
bool askToSaveList(FrmDummy& dummy, Program& program) {
  const bool zh = program.use_chinese();
  const auto reply = program.seams.messageBoxes->show(
      program.frm_main(), QMessageBox::Warning, program.tables().msg(TextTables::MsgWarning, zh),
      program.tables().msg(TextTables::MsgSaveListQuestion, zh),
      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
  if (reply == QMessageBox::Cancel) return false;
  // A cancelled save dialog lets the command go on; a save that failed stops it, so the list the user
  // wanted kept is not lost.
  if (reply == QMessageBox::Yes) return dummy.saveList() != FrmDummy::SaveResult::Failed;
  return true;
}

void prepareListDialog(CommonDialog& cmd, const Program& program, TextTables::MsgRow title_row,
                       const QString& folder) {
  cmd.DialogTitle = program.tables().msg(title_row, program.use_chinese());
  askBeforeReplacing(cmd, program);
  cmd.Filter = program.tables().msg(TextTables::MsgListFilter, program.use_chinese());
  cmd.DefaultExt = QStringLiteral(".lst");
  cmd.FileName = folder;
}

}  // namespace

void FrmDummy::mnu_newlist_Click() {
  if (program_.frm_main()->FavPath().isEmpty()) return;
  if (!askToSaveList(*this, program_)) return;
  program_.frm_main()->replaceFavourites({});
}

void FrmDummy::mnu_openlist_Click() {
  if (!program_.frm_main()->FavPath().isEmpty() && !askToSaveList(*this, program_)) return;
  prepareListDialog(*CMD, program_, TextTables::MsgOpenList, startFolder(openListFolder_));
  if (!CMD->ShowOpen()) return;
  openListFolder_ = folderOf(CMD->FileName);
  // A file that cannot be read leaves the favourites as they were rather than empty.
  bool cut_short = false;
  const auto paths = listfile::read(CMD->FileName, &cut_short);
  if (!paths) return;
  if (cut_short) program_.frm_main()->reportListCutShort(CMD->FileName, paths->size());
  // Opening a list changes neither what is shown nor from_favourites: no favourite is clicked.
  program_.frm_main()->replaceFavourites(*paths);
}

void FrmDummy::mnu_savelist_Click() { saveList(); }

FrmDummy::SaveResult FrmDummy::saveList() {
  if (program_.frm_main()->FavPath().isEmpty()) return SaveResult::Nothing;
  prepareListDialog(*CMD, program_, TextTables::MsgSaveList, startFolder(saveListFolder_));
  if (!CMD->ShowSave()) return SaveResult::Cancelled;
  saveListFolder_ = folderOf(CMD->FileName);
  const QStringList paths = program_.frm_main()->FavPath();
  // Written whole or not at all; a failure is told, never passed over as if saved.
  QString error;
  if (!listfile::write(CMD->FileName, paths, &error)) {
    reportNotSaved(program_, CMD->FileName, error);
    return SaveResult::Failed;
  }
  return SaveResult::Saved;
}
