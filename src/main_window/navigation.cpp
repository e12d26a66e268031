// Folder and file navigation: drives, folders, the file-type box, clicks in the file list, next and previous.
#include "main_window/frm_main.h"

#include "pictures/picture_opening.h"

#include "app/program.h"
#include "controls/dir_list.h"
#include "controls/drive_box.h"
#include "controls/file_list.h"
#include "controls/list_chain.h"
#include "media/mmcontrol.h"
#include "menus/frm_dummy.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QSignalBlocker>

namespace {

// The file-type box: index -> pattern of the file list; an empty pattern means the entry is a command.
QString filterPattern(int index) {
  switch (index) {
    case 1:
      return QStringLiteral("*.*");
    case 2:
      return QStringLiteral("*.bmp;*.dib;*.ico;*.cur;*.wmf;*.jpg;*.gif;*.wav;*.mid;*.avi;*.mov;*.mpg");
    case 3:
      return QStringLiteral("*.bmp");
    case 4:
      return QStringLiteral("*.dib");
    case 5:
      return QStringLiteral("*.ico");
    case 6:
      return QStringLiteral("*.cur");
    case 7:
      return QStringLiteral("*.wmf");
    case 8:
      return QStringLiteral("*.jpg");
    case 9:
      return QStringLiteral("*.gif");
    case 10:
      return QStringLiteral("*.wav");
    case 11:
      return QStringLiteral("*.mid");
    case 12:
      return QStringLiteral("*.avi");
    case 13:
      return QStringLiteral("*.mov");
    case 14:
      return QStringLiteral("*.mpg");
    case 15:
      return QStringLiteral("*.dat");
    default:
      return QString();
  }
}

}  // namespace

void FrmMain::Drive_Change() { listchain::followDrive(*Drive, *Dir, cur_drive); }

void FrmMain::Dir_Change() { listchain::followFolder(*Drive, *Dir, *File); }

void FrmMain::File_Click() {
  if (program_.options().CheckValue(Options::AutoPlayOnClick) != 1) return;
  from_favourites = false;
  FileOpen(Program::withSeparator(File->Path()) + File->FileName());
}

QStringList FrmMain::steppingNeighbours() {
  // The list being stepped through, its selection, and the way the last step went: the next one that way
  // first, then the one behind (both wrap, as Next and Previous do).
  QStringList paths;
  const bool favourites = from_favourites;
  const int index = favourites ? favouriteIndex() : File->ListIndex();
  const int count = favourites ? int(favPath_.size()) : File->ListCount();
  if (index < 0 || index >= count) return paths;
  if (favourites == stepFavourites_ && stepIndex_ >= 0 && index != stepIndex_) {
    const bool wrapped_forwards = stepIndex_ == count - 1 && index == 0;
    const bool wrapped_backwards = stepIndex_ == 0 && index == count - 1;
    stepForwards_ = wrapped_forwards || (!wrapped_backwards && index > stepIndex_);
  }
  stepFavourites_ = favourites;
  stepIndex_ = index;
  const QString folder = favourites ? QString() : Program::withSeparator(File->Path());
  const auto at = [&](int i) {
    i = (i % count + count) % count;
    return favourites ? favPath_[i] : folder + File->List(i);
  };
  const int ahead = stepForwards_ ? 1 : -1;
  if (count > 1) paths << at(index + ahead);
  if (count > 2) paths << at(index - ahead);
  return paths;
}

void FrmMain::File_DblClick() { AddFList(); }

void FrmMain::File_MouseDown(int button, int, int, int) {
  if (button != 2) return;
  FrmDummy* dummy = program_.frm_dummy();
  const bool selected = File->ListIndex() != -1;
  // A full favourites list takes no more: the item is greyed rather than doing nothing.
  dummy->mnu_addflist->setEnabled(selected && List->count() < Program::kMaxFavourites);
  dummy->mnu_delete->setEnabled(selected);
  dummy->popUp(dummy->mnu_filelist);
}

void FrmMain::selectFilter(int index) {
  {
    const QSignalBlocker blocker(cmb_filter);
    cmb_filter->setCurrentIndex(index);
  }
  cmb_filter_Click();
}

void FrmMain::cmb_filter_Click() {
  const int index = cmb_filter->currentIndex();
  if (index == 0) {
    Paste();
  } else if (index == 16) {
    opening_->cancel();
    restartedAt_.invalidate();  // the user's choice, as a click on a file is
    MCI->setCommand(QStringLiteral("Close"));
    MCI->setDeviceType(QStringLiteral("CDAudio"));
    MCI->setCommand(QStringLiteral("Open"));
    MCI->setCommand(QStringLiteral("Play"));
  } else if (const QString pattern = filterPattern(index); !pattern.isEmpty()) {
    File->setPattern(pattern);
  }
}

void FrmMain::cmd_next_Click() {
  if (from_favourites) {
    const int index = favouriteIndex();
    const int count = List->count();
    if (count == 0) return;
    List->setCurrentRow(index < count - 1 ? index + 1 : 0);
  } else {
    const int index = File->ListIndex();
    const int count = File->ListCount();
    if (count == 0) return;
    File->setListIndex(index < count - 1 ? index + 1 : 0);
  }
}

void FrmMain::cmd_prev_Click() {
  if (from_favourites) {
    const int index = favouriteIndex();
    const int count = List->count();
    if (count == 0) return;
    List->setCurrentRow(index > 0 ? index - 1 : count - 1);
  } else {
    const int index = File->ListIndex();
    const int count = File->ListCount();
    if (count == 0) return;
    File->setListIndex(index > 0 ? index - 1 : count - 1);
  }
}

QString FrmMain::shownFolder() const { return Dir->Path(); }

bool FrmMain::goToFolder(const QString& folder) {
  Drive->setDrive(folder);
  return Dir->setPath(folder);
}
