// Favourites: adding, removing, moving and opening them.
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
  const int count = List->count();
  if (File->ListIndex() < 0) return;
  // The list holds at most 51 favourites; a further one is refused and the list stays as it is. The user
  // hears why the first time, not at every double click after it.
  if (count >= Program::kMaxFavourites) {
    if (std::exchange(fullListTold_, true)) return;
    const bool zh = program_.use_chinese;
    program_.seams.messageBoxes->show(
        this, QMessageBox::Information, program_.tables.msg(TextTables::MsgWarning, zh),
        TextTables::noticeText(TextTables::Notice::FavouritesFull, zh).arg(Program::kMaxFavourites),
        QMessageBox::Ok, QMessageBox::Ok);
    return;
  }
  fullListTold_ = false;
  const QString folder = Program::withSeparator(File->Path());
  const QString name = File->FileName();
  for (int i = count; i >= 1; --i) program_.FavPath[i] = program_.FavPath[i - 1];
  program_.FavPath[0] = folder + name;
  // Adding is no click on a favourite: a selected one stays selected and is not opened again.
  const QSignalBlocker quiet(List);
  List->insertItem(0, name);
}

QStringList FrmMain::favourites() const {
  QStringList paths;
  for (int i = 0; i < List->count() && i < Program::kMaxFavourites; ++i) paths << program_.FavPath[i];
  return paths;
}

void FrmMain::replaceFavourites(const QStringList& paths) {
  const QSignalBlocker quiet(List);
  List->clear();
  for (qsizetype i = 0; i < paths.size() && i < Program::kMaxFavourites; ++i) {
    program_.FavPath[i] = paths[i];
    List->addItem(Program::FileNamePart(paths[i]).value_or(QString()));
  }
}

int FrmMain::favouriteIndex() const {
  const QList<QListWidgetItem*> selected = List->selectedItems();
  return selected.isEmpty() ? -1 : List->row(selected.first());
}

void FrmMain::RemoveFList() {
  const int k = favouriteIndex();
  if (k < 0) return;
  for (int i = k; i <= List->count() - 2; ++i) program_.FavPath[i] = program_.FavPath[i + 1];
  // Removing is no click either: the list is left without a selection instead of moving it to a neighbour,
  // which would open that one.
  const QSignalBlocker quiet(List);
  delete List->takeItem(k);
  List->setCurrentRow(-1);
  List->clearSelection();
}

void FrmMain::List_Click() {
  if (program_.options().CheckValue(Options::AutoPlayOnClick) != 1) return;
  from_favourites = true;
  const int index = favouriteIndex();
  if (index < 0 || index >= List->count()) return;
  FileOpen(program_.FavPath[index]);
}

void FrmMain::List_DblClick() { RemoveFList(); }

void FrmMain::List_MouseDown(int button, int, int, int) {
  if (button != 2) return;
  FrmDummy* dummy = program_.frm_dummy;
  const bool any = List->count() > 0;
  dummy->mnu_newlist->setEnabled(any);
  dummy->mnu_savelist->setEnabled(any);
  dummy->mnu_removelist->setEnabled(favouriteIndex() >= 0);
  dummy->popUp(dummy->mnu_list);
}

void FrmMain::cmd_up_Click() {
  const int k = favouriteIndex();
  if (k <= 0) return;
  std::swap(program_.FavPath[k], program_.FavPath[k - 1]);
  const QString text = List->item(k)->text();
  List->item(k)->setText(List->item(k - 1)->text());
  List->item(k - 1)->setText(text);
  List->setCurrentRow(k - 1);
}

void FrmMain::cmd_down_Click() {
  const int k = favouriteIndex();
  if (k < 0 || k >= List->count() - 1) return;
  std::swap(program_.FavPath[k], program_.FavPath[k + 1]);
  const QString text = List->item(k)->text();
  List->item(k)->setText(List->item(k + 1)->text());
  List->item(k + 1)->setText(text);
  List->setCurrentRow(k + 1);
}
