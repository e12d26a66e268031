#pragma once

#include <QString>

class DirList;
class DriveBox;
class FileList;

// The drive box, folder list and file list of a window, each following the one above it; the main and the
// full-screen window chain theirs the same way.
namespace listchain {

// The drive box changed: the folder list goes to the drive's current folder. A drive that cannot be opened
// sends the box silently back to last_drive, which runs this again; else last_drive becomes the new drive.
void followDrive(DriveBox& drive, DirList& dir, QString& last_drive);

// The folder list changed: the drive keeps the folder as its current one and the file list shows it.
void followFolder(DriveBox& drive, const DirList& dir, FileList& file);

}  // namespace listchain
