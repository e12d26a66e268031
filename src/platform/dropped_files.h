#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

// Files handed over by the desktop: dropped from a file manager (a text/uri-list of file:// addresses),
// named on the command line ("Open with"), or asked for by the media controls. Addresses are taken apart
// byte by byte and the percent-escapes decoded to bytes, which then go through filenames::Decode: a name
// that is not valid UTF-8 stays the name it was (QUrl would decode it as UTF-8 and replace what fails).
namespace droppedfiles {

// At most this many entries of one list are looked at: a drop of a million addresses costs nothing more.
inline constexpr int kMaxEntries = 256;

// The local path of a file:// address (host empty, "localhost" or this machine), cleaned; nullopt for any
// other scheme, another machine, a relative path or an escaped NUL.
std::optional<QString> localPath(QByteArrayView uri);

// The local paths of a text/uri-list (lines ended by CR LF or LF, "#" comments), in order; addresses that
// are not local files are left out.
QStringList uriList(QByteArrayView list);

// A command-line argument: a file:// address, an absolute path, or a path relative to `folder`.
QString argument(QByteArrayView argument, const QString& folder);

// The process's current folder, by its exact bytes.
QString workingFolder();

// The first of `paths` that is an existing regular file or folder (links followed).
std::optional<QString> firstExisting(const QStringList& paths);

}  // namespace droppedfiles
