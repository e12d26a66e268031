#include "controls/list_chain.h"

#include "controls/dir_list.h"
#include "controls/drive_box.h"
#include "controls/file_list.h"

namespace listchain {

void followDrive(DriveBox& drive, DirList& dir, QString& last_drive) {
  if (!dir.setPath(drive.CurrentFolder(drive.Drive()))) {
    drive.setDrive(last_drive);
    return;
  }
  last_drive = drive.Drive();
}

void followFolder(DriveBox& drive, const DirList& dir, FileList& file) {
  drive.rememberFolder(dir.Path());
  file.setPath(dir.Path());
}

}  // namespace listchain
