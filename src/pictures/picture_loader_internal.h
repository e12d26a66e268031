#pragma once

// The format readers behind picture_loader.cpp's dispatch, one file each (picture_jpeg, picture_gif,
// picture_icon, picture_bitmap, picture_metafile), and what they share. Private to this room.

#include "pictures/picture.h"
#include "pictures/picture_loader.h"

#include <QIODevice>
#include <QImage>
#include <QSize>
#include <QtEndian>
#include <QtGlobal>

#include <array>
#include <optional>
#include <vector>

namespace pictureloader {

inline quint16 le16(const char* p) { return qFromLittleEndian<quint16>(p); }
inline quint32 le32(const char* p) { return qFromLittleEndian<quint32>(p); }
inline quint16 be16(const uchar* p) { return qFromBigEndian<quint16>(p); }
inline quint32 be32(const char* p) { return qFromBigEndian<quint32>(p); }

// Each format below can describe at most so many pixels per byte of file (see picturebounds::carried).
// JPEG: every 8 x 8 block of every component costs at least one bit (a progressive file's DC scan; baseline
// costs two), so a grey picture carries at most 512 pixels a byte; twice that for margin.
constexpr qint64 kJpegPixelsPerByte = 1024;
// GIF: an LZW code is at most 12 bits and stands for at most 4096 pixels (the longest dictionary string).
constexpr qint64 kGifPixelsPerByte = 4096;
// BMP run-length and Huffman coding: an end-of-line escape of two bytes skips the rest of a row; with the
// rows of a picture that fits kMaxPixels that bounds a real file. Runs alone carry at most 255 pixels in 2
// bytes (RLE), 2560 in 11 bits (Huffman).
constexpr qint64 kRlePixelsPerByte = 4096;

// Reads a device forwards through a buffer of its own, so that walking a file byte by byte costs no calls
// into the device.
class ByteReader {
 public:
  explicit ByteReader(QIODevice& device) : device_(device) {}

  bool next(uchar& byte) {
    if (at_ == size_ && !refill()) return false;
    byte = uchar(buffer_[at_++]);
    return true;
  }
  bool read(uchar* data, int count) {
    for (int i = 0; i < count; ++i)
      if (!next(data[i])) return false;
    return true;
  }
  bool skip(qint64 count) {
    const qint64 inBuffer = size_ - at_;
    if (count <= inBuffer) {
      at_ += int(count);
      return true;
    }
    const qint64 target = device_.pos() + (count - inBuffer);
    at_ = size_ = 0;
    return target <= device_.size() && device_.seek(target);
  }

 private:
  bool refill() {
    const qint64 got = device_.read(buffer_.data(), qint64(buffer_.size()));
    at_ = 0;
    size_ = got > 0 ? int(got) : 0;
    return size_ > 0;
  }

  QIODevice& device_;
  std::array<char, 65536> buffer_{};
  int at_ = 0;
  int size_ = 0;
};

// Qt's reader for the format, from the device's start, once the caller has checked the picture's size.
QImage readWithQt(QIODevice& device, const char* format, int imageIndex = 0);

// picture_jpeg.cpp
// What a walk through a JPEG's marker segments found.
struct JpegLayout {
  bool frame = false;  // a frame header before the first scan
  int scans = 0;       // counted only when the decoder will make several passes
  int precision = 0;   // bits a sample, from the frame header
  QSize size;          // from the frame header
};
JpegLayout walkJpeg(QIODevice& device);
QImage readJpeg(QIODevice& device, Urgency urgency, const EarlyRows* early);

// picture_gif.cpp
std::optional<QSize> gifCanvas(QIODevice& device);
QImage readGif(QIODevice& device);

// picture_icon.cpp
struct IconCandidate {
  int index = 0;
  QSize size;
  int depth = 0;
  bool png = false;
  qint64 offset = 0;  // of a bitmap's header
  qint64 bytes = 0;   // a bitmap's header, palette, colour and mask rows
};
std::vector<IconCandidate> iconCandidates(QIODevice& device);
QImage readIcon(QIODevice& device);

// picture_bitmap.cpp
QImage readBitmap(QIODevice& device, bool hasFileHeader);

// picture_metafile.cpp
// Metafiles are read whole: the renderer plays them at every paint. Real ones are a few megabytes at most.
constexpr qint64 kMaxMetafileBytes = 64LL * 1024 * 1024;
std::optional<Picture> readMetafile(QIODevice& device);

}  // namespace pictureloader
