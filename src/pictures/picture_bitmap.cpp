// BMP and DIB: the header's size and a run-length picture's bytes checked before the bitmap reader decodes.
#include "pictures/dib_reader.h"
#include "pictures/picture_bounds.h"
#include "pictures/picture_loader_internal.h"

#include <QIODevice>
#include <QImage>

#include <optional>

namespace pictureloader {

using picturebounds::carried;
using picturebounds::fits;

QImage readBitmap(QIODevice& device, bool hasFileHeader) {
  const std::optional<dib::Header> header = dib::readHeader(device, hasFileHeader);
  if (!header || !fits(header->size())) return QImage();
  // Uncompressed rows are checked against the file by the reader (a bitmap missing most of them is refused).
  if (header->runLength() && !carried(header->size(), device.size() - header->pixelOffset, kRlePixelsPerByte))
    return QImage();
  picturebounds::allowFullSizeDecoding();
  return dib::read(device, *header);
}

}  // namespace pictureloader
