// Favourites: adding, removing, moving and opening them. The paths are one list (`FavPath`); the list
// widget shows their names and is refilled from it after every change.
#include "main_window/frm_main.h"

#include "app/program.h"
#include "app/text_tables.h"
#include "controls/file_list.h"
#include "menus/frm_dummy.h"

#include <QAction>
#include <QDir>
#include <QListWidget>
#include <QSignalBlocker>

#include <utility>

void FrmMain::AddFList() {
  const auto count = favPath_.size();
  if (File->ListIndex() < 0) return;
  // The list holds at most 51 favourites; a further one is refused and the list stays as it is. The user
  // hears why the first time, not at every double click after it.
  if (count >= Program::kMaxFavourites) {
    if (std::exchange(fullListTold_, true)) return;
    const bool zh = program_.use_chinese();
    program_.seams.messageBoxes->show(
        this, QMessageBox::Information, program_.tables().msg(TextTables::MsgWarning, zh),
        TextTables::noticeText(TextTables::Notice::FavouritesFull, zh).arg(Program::kMaxFavourites),
        QMessageBox::Ok, QMessageBox::Ok);
    return;
  }
  fullListTold_ = false;
  favPath_.prepend(Program::withSeparator(File->Path()) + File->FileName());
  // Adding is no click on a favourite: a selected one stays selected and is not opened again.
  const int selected = favouriteIndex();
  showFavourites(selected < 0 ? -1 : selected + 1);
}

void FrmMain::replaceFavourites(const QStringList& paths) {
  favPath_ = paths.first(std::min<qsizetype>(paths.size(), Program::kMaxFavourites));
  showFavourites(-1);
}

void FrmMain::showFavourites(int selected) {
  // No change here is a click on a favourite: nothing is opened.
  const QSignalBlocker quiet(List);
  const auto count = int(favPath_.size());
  while (List->count() > count) delete List->takeItem(List->count() - 1);
  for (int i = 0; i < count; ++i) {
    const QString name = Program::FileNamePart(favPath_[i]).value_or(QString());
    if (i == List->count())
      List->addItem(name);
    else if (List->item(i)->text() != name)
      List->item(i)->setText(name);
  }
  // The entry the user had selected keeps the selection, or none has it.
  List->clearSelection();
  List->setCurrentRow(selected);
}

int FrmMain::favouriteIndex() const {
  const QList<QListWidgetItem*> selected = List->selectedItems();
  return selected.isEmpty() ? -1 : List->row(selected.first());
}

void FrmMain::RemoveFList() {
  const int k = favouriteIndex();
  if (k < 0) return;
  favPath_.removeAt(k);
  // The list is left without a selection instead of moving it to a neighbour, which would open that one.
  showFavourites(-1);
}

void FrmMain::List_Click() {
  if (program_.options().CheckValue(Options::AutoPlayOnClick) != 1) return;
  from_favourites = true;
  const int index = favouriteIndex();
  if (index < 0 || index >= favPath_.size()) return;
  FileOpen(favPath_[index]);
}

void FrmMain::List_DblClick() { RemoveFList(); }

void FrmMain::List_MouseDown(int button, int, int, int) {
  if (button != 2) return;
  FrmDummy* dummy = program_.frm_dummy();
  const bool any = List->count() > 0;
  dummy->mnu_newlist->setEnabled(any);
  dummy->mnu_savelist->setEnabled(any);
  dummy->mnu_removelist->setEnabled(favouriteIndex() >= 0);
  dummy->popUp(dummy->mnu_list);
}

void FrmMain::cmd_up_Click() {
  const int k = favouriteIndex();
  if (k <= 0) return;
  favPath_.swapItemsAt(k, k - 1);
  showFavourites(k);
  // The selection follows the moved favourite as a click would, opening it again when clicks open.
  List->setCurrentRow(k - 1);
}

void FrmMain::cmd_down_Click() {
  const int k = favouriteIndex();
  if (k < 0 || k >= favPath_.size() - 1) return;
  favPath_.swapItemsAt(k, k + 1);
  showFavourites(k);
  // The selection follows the moved favourite as a click would, opening it again when clicks open.
  List->setCurrentRow(k + 1);
}
