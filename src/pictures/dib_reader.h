#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>

#include <array>
#include <optional>

class QIODevice;

// Device-independent bitmaps, with or without the 14-byte file header in front. This layer reads and checks
// the headers first (size, depth, compression, where the pixels start) so that a hostile header never reaches
// a decoder. Pixels of 16, 24 and 32 bits go to Qt's BMP reader, with what it does not understand rewritten:
// a bitmap without file header gets a synthetic one, and the header versions it misreads (the 16-byte OS/2
// header, the 52- and 56-byte headers with colour masks) are widened to an equivalent 40- or 108-byte header.
// Everything else is decoded here, because Qt's reader refuses it or leaves pixels undefined: palette
// pictures of 1, 2, 4 and 8 bits (plain, RLE4, RLE8, OS/2 Huffman 1D), OS/2 RLE24 and 64-bit pixels.
namespace dib {

// The checked facts of a bitmap's headers.
constexpr int kRgb = 0;
constexpr int kRle8 = 1;
constexpr int kRle4 = 2;
constexpr int kBitFields = 3;
// OS/2 numbers these 3 and 4, which clash with the codes above; ours are internal.
constexpr int kHuffman1D = 0x103;
constexpr int kRle24 = 0x104;

struct Header {
  bool hasFileHeader = false;
  int infoSize = 0;  // size of the info header as stored
  int width = 0;
  int height = 0;          // negative: rows stored top-down
  int bitCount = 0;        // 1, 2, 4, 8, 16, 24, 32 or 64
  int compression = 0;     // kRgb, kRle8, kRle4, kBitFields, kRle24 or kHuffman1D
  quint32 colorsUsed = 0;  // palette entries stored (0: the default for the depth)
  QList<QRgb> palette;     // the entries the pixels can index (at most 1 << bitCount), opaque
  qint64 pixelOffset = 0;  // where the pixels start, from the start of the device
  QByteArray info;         // the info header as Qt's reader must see it (possibly widened)
  bool rewritten = false;  // `info` differs from what is stored
  int replacedBytes = 0;   // stored bytes after the file header that `info` stands for (header and masks)
  std::array<quint32, 4> masks{};  // red, green, blue, alpha as decoded, for 16-bit and bit-field pixels
  qint64 profileOffset = 0;        // an embedded colour profile, from the start of the device (0: none)
  qint64 profileSize = 0;

  QSize size() const { return QSize(width, height < 0 ? -height : height); }
  // Bytes of one stored row of uncompressed pixels.
  qint64 stride() const { return ((qint64(width) * bitCount + 31) / 32) * 4; }
  bool runLength() const { return compression != kRgb && compression != kBitFields; }
  // Decoded here rather than by Qt's reader.
  bool ownDecoder() const { return bitCount <= 8 || bitCount == 64 || compression == kRle24; }
};

// True when `head` (the first bytes of a file) starts like an info header: a known header size followed by
// a plausible depth. Cheap; readHeader() does the full check.
bool looksLikeInfoHeader(const QByteArray& head);

// Reads and checks the headers at the device's start. nullopt for anything Qt's reader could not decode
// correctly: unknown header size, depth or compression, zero or negative width, zero height.
std::optional<Header> readHeader(QIODevice& device, bool hasFileHeader);

// Decodes the bitmap described by `header` from the start of `device`; the caller has checked its size.
// Pixels the file does not describe (rows missing from a truncated bitmap, what runs skip or never reach,
// what follows a bad code) are palette entry 0 in a palette picture and black (transparent with 64 bits)
// otherwise, never whatever memory held; an uncompressed bitmap that holds less than a sixteenth of its rows
// is refused. An embedded colour profile becomes the image's colour space. A null image when the decoder
// fails.
QImage read(QIODevice& device, const Header& header);

}  // namespace dib
