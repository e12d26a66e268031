#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <functional>

class QIODevice;

// HEIF containers: HEIC (HEVC) and AVIF (AV1) pictures, read through libheif.
namespace heifimage {

// Whether a file's first bytes are a HEIF container of a kind libheif reads.
bool looksLikeHeif(const QByteArray& head);

// The primary picture's size as it is shown (rotation applied), from the container alone; empty when the
// file is unreadable.
QSize size(QIODevice& device);

// The primary picture, rotated and mirrored as the container says, with its colour profile set on the image
// (the caller converts to sRGB). `allowed` is asked with the size before anything is decoded; null when it
// refuses, or the file (whole, in memory) cannot be read.
QImage read(const QByteArray& file, const std::function<bool(QSize)>& allowed);

}  // namespace heifimage
