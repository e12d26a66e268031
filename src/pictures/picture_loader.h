#pragma once

#include "pictures/picture.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QIODevice;

// The largest picture the loader accepts, in pixels (16384 x 16384, 1 GB at 32 bits a pixel).
constexpr qint64 kMaxPixels = 256LL * 1024 * 1024;

// Loads a picture from a file by its content, never by its name: BMP, DIB with or without file header, ICO
// and CUR (the largest image), JPEG (EXIF orientation applied; 12-bit ones by our own decoder), GIF (the
// first frame) and Windows metafiles, placeable or standard (parsed once, drawn by our own renderer at every
// paint); and the formats of pictureformats (PNG, WebP, TIFF, HEIF, AVIF, JPEG XL, SVG and others). Pictures
// with an embedded colour profile come converted to sRGB. nullopt for
// anything else, for corrupt or truncated files that leave nothing to show, and for pictures above
// kMaxPixels. Never throws; work and memory are bounded by the file's size and the picture's size (the size
// is checked before anything is decoded). Directories, devices and pipes are refused without being read.
// Ahead: decoded on one thread (read-ahead, where nobody waits). Waited: someone waits for it, and a big
// JPEG may be decoded in parts on two threads at once.
enum class Urgency { Ahead, Waited };

// For someone who waits for a big picture and sees only its top rows at first: `show` is called (on the
// decoding thread) with the picture as soon as its first `rows` rows are decoded, while the rest is decoded
// into the same pixels (a Picture that draws only what is there). The picture LoadPicture then returns
// shares those pixels. Called at most once, and only for pictures that can be shown so.
struct EarlyRows {
  int rows = 0;
  std::function<void(const Picture&)> show;
};

std::optional<Picture> loadPicture(const QString& path, Urgency urgency = Urgency::Ahead,
                                   const EarlyRows* early = nullptr);

// The same for bytes in memory (the clipboard, fuzzing).
std::optional<Picture> loadPictureFromData(const QByteArray& data);

// The same for an open random-access device, read from its start.
std::optional<Picture> loadPictureFromDevice(QIODevice& device, Urgency urgency = Urgency::Ahead,
                                             const EarlyRows* early = nullptr);

// The memory a decoded picture of the file would take, judged from its headers alone (nothing is decoded):
// 4 bytes a pixel for a raster, the file's size for a metafile. 0 when the file is no picture the loader
// would accept. For deciding whether a picture may be decoded ahead of need.
qint64 decodedBytesEstimate(const QString& path);
