#pragma once

#include "pictures/picture_loader.h"

#include <QImageReader>
#include <QSize>

#include <algorithm>

// The size checks every reader makes before it decodes a picture.
namespace picturebounds {

// Divided rather than multiplied: a header's two 32-bit sides multiply beyond 64 bits.
inline bool fits(qint64 width, qint64 height) {
  return width > 0 && height > 0 && width <= kMaxPixels && height <= kMaxPixels / width;
}
inline bool fits(QSize size) { return fits(size.width(), size.height()); }

// Decompression bombs: a tiny file that declares a huge picture makes the decoder allocate (and fill with a
// default colour) far more than the file can describe. Each format can describe at most so many pixels per
// byte of file, with the most compressible content it allows; a picture that claims more is refused. Every
// file may claim kFreePixels whatever its size (16 MB at 32 bits), so small pictures are never questioned.
constexpr qint64 kFreePixels = 4LL * 1024 * 1024;

inline bool carried(QSize size, qint64 fileBytes, qint64 pixelsPerByte) {
  const qint64 pixels = qint64(size.width()) * size.height();
  return pixels <= kFreePixels || pixels <= std::max<qint64>(fileBytes, 0) * pixelsPerByte;
}

// PNG: deflate expands at most 1032 times, a byte holds up to eight 1-bit pixels.
constexpr qint64 kPngPixelsPerByte = 8 * 1032;

// Qt's default allocation limit (256 MB) is below what a picture of kMaxPixels needs at 32 bits a pixel.
// Every path checks the picture's size itself before decoding, so the limit only backs those checks up.
inline void allowFullSizeDecoding() {
  static const bool done = [] {
    QImageReader::setAllocationLimit(int(kMaxPixels * 4 / (1024 * 1024)) + 16);
    return true;
  }();
  Q_UNUSED(done);
}

}  // namespace picturebounds
