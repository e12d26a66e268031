#pragma once

#include "pictures/picture.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <optional>

class QIODevice;

// The pictures of today that other decoders read for the loader, by content: PNG (an animation's first
// frame), WebP, TIFF (the first page), the portable bitmaps, XPM, XBM and ICNS through Qt's image plugins;
// HEIF and AVIF through libheif; JPEG XL through libjxl; SVG drawings through Qt Svg. Each is held to the
// loader's bounds (kMaxPixels, and pixels a byte of file) before anything is decoded. Not read: the EXIF
// orientation of PNG and WebP (Qt's plugins ignore it), gzipped SVG, and TGA and WBMP, which have no
// signature to tell them by.
namespace pictureformats {

enum class Family { None, QtPlugin, Heif, Jxl, Svg };

struct Sniffed {
  Family family = Family::None;
  const char* qtFormat = nullptr;  // the plugin's name, for Family::QtPlugin
  qint64 pixelsPerByte = 0;        // the most a real file of the kind describes
};

// What the file is, from `head` (its first bytes) and, for text formats, a little more of the device.
Sniffed sniff(QIODevice& device, const QByteArray& head);

// A raster picture of a sniffed kind, as its decoder gives it (oriented, its colour profile on it); null when
// the file is refused or unreadable. Not for Family::Svg.
QImage readRaster(QIODevice& device, const Sniffed& kind);

// An SVG drawing; nullopt when it cannot be drawn or is too big to hold.
std::optional<Picture> readDrawing(QIODevice& device);

// The memory a decoded picture would take, from the headers alone: 4 bytes a pixel, or for a drawing its
// file's size. 0 when the loader would refuse it.
qint64 decodedBytesEstimate(QIODevice& device, const Sniffed& kind);

}  // namespace pictureformats
