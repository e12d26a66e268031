#pragma once

#include <QByteArray>
#include <QColorSpace>
#include <QImage>

// A band of rows of a sequential JPEG decoded straight into a picture's pixels by libjpeg-turbo, which
// passes the rows above the band without their inverse transforms, upsampling and colour conversion (most
// of the cost of a row): the lower part of a big picture decoded on its own core then costs far less than
// the rows it passes. The pixels are those Qt's reader gives (the same library, the same settings).
namespace jpegrows {

struct Band {
  QColorSpace colorSpace;  // from the file's ICC profile; invalid when it has none
  int dotsPerMeterX = 0;   // from the JFIF density; 0 when it gives none
  int dotsPerMeterY = 0;
};

// Decodes the rows [top, top + part.height()) into `part`, which has their width and is RGB32 (a colour
// file) or Grayscale8 (a grey one), written in place. False when the file is not of that kind (CMYK, say)
// or libjpeg gave up on it; warnings (data cut short) are borne as Qt's reader bears them.
bool read(const QByteArray& bytes, int top, QImage& part, Band* band = nullptr);

}  // namespace jpegrows
