#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <functional>

class QIODevice;

// JPEG XL pictures (bare codestreams and containers), read through libjxl.
namespace jxlimage {

// Whether a file's first bytes are a JPEG XL codestream or container.
bool looksLikeJxl(const QByteArray& head);

// The size as shown (orientation applied), from the headers alone; empty when the
// file is unreadable.
QSize size(QIODevice& device);

// The first frame, oriented as the file says, with its colour profile set on the image
// (the caller converts to sRGB). `allowed` is asked with the size before anything is decoded; null when it
// refuses, or the file (whole, in memory) cannot be read.
QImage read(const QByteArray& file, const std::function<bool(QSize)>& allowed);

}  // namespace jxlimage
