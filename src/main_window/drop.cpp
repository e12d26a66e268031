// Files from the desktop: a file dropped on the window from a file manager, named on the command line ("Open
// with") or opened by the media controls (MPRIS OpenUri) shows its folder and opens as a click on it in the
// file list does, so that "Auto play when click" and all that follows apply as for a click; a folder is only
// shown. A drop is judged once, as it enters.
#include "main_window/frm_main.h"

#include "app/program.h"
#include "controls/dir_list.h"
#include "controls/drive_box.h"
#include "controls/file_list.h"
#include "platform/dropped_files.h"
#include "platform/file_names.h"

#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

namespace {

const QString kUriList = QStringLiteral("text/uri-list");

// The action a drop of ours is: the file stays where it is. A source that offers only to move it would
// delete it once we accepted.
std::optional<Qt::DropAction> harmlessAction(Qt::DropActions possible) {
  if (possible & Qt::CopyAction) return Qt::CopyAction;
  if (possible & Qt::LinkAction) return Qt::LinkAction;
  return std::nullopt;
}

int rowOf(const FileList& list, const QString& name) {
  for (int row = 0; row < list.ListCount(); ++row)
    if (list.List(row) == name) return row;
  return -1;
}

}  // namespace

std::optional<QString> FrmMain::droppable(const QDropEvent& event) const {
  // Held back by the preferences or the full screen: nothing lands here.
  if (!isEnabled() || !harmlessAction(event.possibleActions())) return std::nullopt;
  const QMimeData* data = event.mimeData();
  if (!data || !data->hasFormat(kUriList)) return std::nullopt;
  return droppedfiles::firstExisting(droppedfiles::uriList(data->data(kUriList)));
}

void FrmMain::dragEnterEvent(QDragEnterEvent* event) {
  dropCandidate_ = droppable(*event);
  if (!dropCandidate_) return event->ignore();
  event->setDropAction(*harmlessAction(event->possibleActions()));
  event->accept();
}

void FrmMain::dragMoveEvent(QDragMoveEvent* event) {
  if (!dropCandidate_ || !isEnabled()) return event->ignore();
  event->setDropAction(*harmlessAction(event->possibleActions()));
  event->accept();
}

void FrmMain::dropEvent(QDropEvent* event) {
  const std::optional<QString> path = std::exchange(dropCandidate_, std::nullopt);
  const auto action = harmlessAction(event->possibleActions());
  // The file may have gone since the drag entered; showDropped looks again.
  if (!path || !action || !isEnabled() || !showDropped(*path)) return event->ignore();
  event->setDropAction(*action);
  event->accept();
}

bool FrmMain::showDroppedFolder(const QString& folder) {
  // As the settings' folder line is shown: the drive holding it, then the folder itself.
  const QString drive_before = Drive->Drive();
  const QString folder_before = Dir->Path();
  Drive->setDrive(folder);
  if (!Dir->setPath(folder)) {
    Drive->setDrive(drive_before);  // an unreadable folder: back where the window was
    Dir->setPath(folder_before);
    return false;
  }
  // The same folder again lists nothing anew by itself, and a file just made there must be in the list.
  if (Dir->Path() == folder_before || File->Path() != Dir->Path()) return File->setPath(Dir->Path());
  return true;
}

bool FrmMain::showDropped(const QString& given) {
  const QString path = QDir::toNativeSeparators(QDir::cleanPath(given));
  const auto status = filenames::stat(path);
  if (!QDir::isAbsolutePath(path) || !status || (!status->isFile && !status->isDir)) return false;
  if (status->isDir) return showDroppedFolder(path);

  const qsizetype separator = path.lastIndexOf(QDir::separator());
  const QString folder = separator == 0 ? QString(QDir::separator()) : path.left(separator);
  const QString name = path.mid(separator + 1);
  if (!showDroppedFolder(folder)) return false;
  int row = rowOf(*File, name);
  if (row < 0 && cmb_filter->currentIndex() != 1) {
    // Not of the types listed: all files are, and the box says so.
    selectFilter(1);
    row = rowOf(*File, name);
  }
  if (row < 0) {
    // A hidden file, which the list never shows: opened as its click would open it.
    File->setListIndex(-1);
    if (program_.options().CheckValue(Options::AutoPlayOnClick) != 1) return true;
    from_favourites = false;
    FileOpen(path);
    return true;
  }
  // Selecting it raises the list's click handling; a file already selected is clicked again.
  if (File->ListIndex() == row)
    File_Click();
  else
    File->setListIndex(row);
  return true;
}
