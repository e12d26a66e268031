#pragma once

#include <QImage>
#include <QSize>

// Memory for the pixels of big pictures. Where the platform has huge pages the decoder writes without a page
// fault every 4 KiB. And the memory of the last big picture let go is kept a while for the next one of
// about its size: stepping through a folder of photographs then decodes each into memory that is mapped
// already, instead of the kernel finding and clearing a hundred megabytes for every step. The memory is not
// cleared, so a reader that left a pixel unwritten would show the last picture's: only JPEGs decode into it,
// and both Qt's reader and jpeg_rows write every row, a file cut short included (a test fills the kept memory
// white first to see that).

// An image of `size` in memory of the kind above, its pixels not cleared (the caller writes every one).
// Null when the picture is small, the format not 32 bits a pixel, or the platform has no such memory.
QImage largeImage(QSize size, QImage::Format format);

// The most memory kept for the next picture, and how long it is kept when nothing takes it.
constexpr qsizetype kSparePixelBytes = 256LL * 1024 * 1024;
constexpr int kSparePixelMs = 10000;

// What is kept now, in bytes (0: nothing); and letting it go at once.
qsizetype sparePixelBytes();
void releaseSparePixels();
