// GIF: the first frame, once the canvas it is drawn on is known to fit and to be carried by the file.
#include "pictures/picture_bounds.h"
#include "pictures/picture_loader_internal.h"

#include <QIODevice>
#include <QImage>
#include <QSize>
#include <QtEndian>

#include <optional>

namespace pictureloader {

using picturebounds::carried;
using picturebounds::fits;

// The canvas Qt's decoder draws the first frame on: the logical screen, or where that is zero the frame's
// extent. nullopt when there is no frame.
std::optional<QSize> gifCanvas(QIODevice& device) {
  if (!device.seek(0)) return std::nullopt;
  ByteReader in(device);
  uchar header[13];
  if (!in.read(header, 13)) return std::nullopt;
  const int screenWidth = qFromLittleEndian<quint16>(header + 6);
  const int screenHeight = qFromLittleEndian<quint16>(header + 8);
  if ((header[10] & 0x80) && !in.skip(3 * (2 << (header[10] & 0x07)))) return std::nullopt;
  for (;;) {
    uchar introducer = 0;
    if (!in.next(introducer)) return std::nullopt;
    if (introducer == 0x2C) {
      uchar descriptor[9];
      if (!in.read(descriptor, 9)) return std::nullopt;
      const int left = qFromLittleEndian<quint16>(descriptor);
      const int top = qFromLittleEndian<quint16>(descriptor + 2);
      const int width = qFromLittleEndian<quint16>(descriptor + 4);
      const int height = qFromLittleEndian<quint16>(descriptor + 6);
      return QSize(screenWidth > 0 ? screenWidth : left + width,
                   screenHeight > 0 ? screenHeight : top + height);
    }
    if (introducer != 0x21) return std::nullopt;  // trailer, or junk where a block should start
    uchar label = 0;
    if (!in.next(label)) return std::nullopt;
    for (uchar blockSize = 0;;) {
      if (!in.next(blockSize)) return std::nullopt;
      if (blockSize == 0) break;
      if (!in.skip(blockSize)) return std::nullopt;
    }
  }
}

QImage readGif(QIODevice& device) {
  const std::optional<QSize> canvas = gifCanvas(device);
  if (!canvas || !fits(*canvas) || !carried(*canvas, device.size(), kGifPixelsPerByte)) return QImage();
  return readWithQt(device, "gif");
}

}  // namespace pictureloader
