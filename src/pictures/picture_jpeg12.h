#pragma once

#include <QImage>

class QIODevice;

// JPEGs with 12-bit samples, which Debian's libjpeg (built for 8 bits) and so Qt's reader refuse, and which
// GStreamer's decoders either do not take or crash on in colour. Only sequential Huffman coding (the
// extended frame, or a baseline frame claiming 12 bits), one or three components (YCbCr, or RGB where an
// Adobe marker says so), any sampling, restart intervals, an APP2 colour profile. Progressive and arithmetic
// coding are refused.
namespace jpeg12 {

// Decodes the JPEG at the device's start; the caller has checked its size and that it is 12-bit. Samples
// are shown at 8 bits; a colour profile becomes the image's colour space. Blocks a broken scan never reaches
// are black. A null image when there is no frame
// or no scan, or the coding is not one of the above.
QImage read(QIODevice& device);

}  // namespace jpeg12
