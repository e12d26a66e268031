#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QUrl>

#include <optional>

class QFile;

// File names are bytes. On Unix a name need not be valid UTF-8 (names from old archives, or Big5 and
// Shift-JIS disks), and Qt's own decoding replaces what does not decode, so that a name can no longer be
// opened and a list line comes back changed. Here every byte that is not part of valid UTF-8 becomes the lone
// surrogate U+DC80..U+DCFF and encodes back to the same byte: decoding then encoding gives the bytes back
// exactly. The screen may show a replacement mark for such a byte; nothing else changes. The file-system
// helpers below take those strings and reach the file by its exact bytes, where Qt would re-encode them.
// On Windows names are UTF-16 and Qt's own functions are used.
namespace filenames {

QString decode(QByteArrayView bytes);
QByteArray encode(QStringView name);

struct Status {
  bool isFile = false;
  bool isDir = false;
  qint64 size = -1;
  qint64 modifiedMs = -1;  // since the epoch
  // Which file it is, and when its entry last changed: a file renamed over another of the same size and
  // modification time (cp -p, rsync -t, unzip) differs in these. -1 where the platform does not say.
  qint64 device = -1;
  qint64 inode = -1;
  qint64 changedNs = -1;  // since the epoch
};
// The file a path names, links followed; nullopt when there is none (or it cannot be reached).
std::optional<Status> stat(const QString& path);
bool isFile(const QString& path);
bool isDir(const QString& path);
// Whether this process may write the file or folder (for a folder: create files in it).
bool writable(const QString& path);

// Opens a regular file for reading by its exact name; a folder, a device or a pipe (which could block the
// open) is refused. The QFile owns the handle afterwards.
bool openForReading(QFile& file, const QString& path);

// Removes a file by its exact name; on failure `error` says why.
bool remove(const QString& path, QString* error = nullptr);

// Moves a file to the desktop's trash (on Unix the freedesktop.org trash of the user's home, or of the file's
// volume), by its exact name; false (nothing moved) when there is no trash to put it in.
bool moveToTrash(const QString& path, QString* error = nullptr);

// A file:// address of the exact bytes of an absolute path, percent-escaped, for the desktop and GStreamer.
QUrl fileUrl(const QString& path);

}  // namespace filenames
