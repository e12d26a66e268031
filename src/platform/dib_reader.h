#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <array>
#include <optional>

class QIODevice;

// Device-independent bitmaps, with or without the 14-byte file header in front. Qt's BMP reader does the
// decoding; this layer reads and checks the headers first (size, depth, compression, where the pixels start)
// so that a hostile header never reaches the decoder, and rewrites what that reader does not understand: a
// bitmap without file header gets a synthetic one, and the header versions it misreads (the 16-byte OS/2
// header, the 52- and 56-byte headers with colour masks) are widened to an equivalent 40- or 108-byte header.
namespace dib {

// The checked facts of a bitmap's headers.
struct Header {
  bool hasFileHeader = false;
  int infoSize = 0;  // size of the info header as stored
  int width = 0;
  int height = 0;          // negative: rows stored top-down
  int bitCount = 0;        // 1, 4, 8, 16, 24 or 32
  int compression = 0;     // kRgb, kRle8, kRle4 or kBitFields
  quint32 colorsUsed = 0;  // palette entries stored (0: the default for the depth)
  qint64 pixelOffset = 0;  // where the pixels start, from the start of the device
  QByteArray info;         // the info header as Qt's reader must see it (possibly widened)
  bool rewritten = false;  // `info` differs from what is stored
  int replacedBytes = 0;   // stored bytes after the file header that `info` stands for (header and masks)
  std::array<quint32, 4> masks{};  // red, green, blue, alpha as decoded, for 16-bit and bit-field pixels

  QSize size() const { return QSize(width, height < 0 ? -height : height); }
  // Bytes of one stored row of uncompressed pixels.
  qint64 stride() const { return ((qint64(width) * bitCount + 31) / 32) * 4; }
};

constexpr int kRgb = 0;
constexpr int kRle8 = 1;
constexpr int kRle4 = 2;
constexpr int kBitFields = 3;

// True when `head` (the first bytes of a file) starts like an info header: a known header size followed by
// a plausible depth. Cheap; ReadHeader() does the full check.
bool LooksLikeInfoHeader(const QByteArray& head);

// Reads and checks the headers at the device's start. nullopt for anything Qt's reader could not decode
// correctly: unknown header size, depth or compression, zero or negative width, zero height.
std::optional<Header> ReadHeader(QIODevice& device, bool hasFileHeader);

// Decodes the bitmap described by `header` from the start of `device`; the caller has checked its size. Rows
// missing from a truncated uncompressed bitmap are filled with palette entry 0 or black instead of whatever
// memory held; one that holds less than a sixteenth of its rows is refused. A null image when that or the
// decoder fails.
QImage Read(QIODevice& device, const Header& header);

}  // namespace dib
