#pragma once

#include <QByteArray>
#include <QImage>
#include <QImageIOHandler>
#include <QList>
#include <QPoint>
#include <QSize>
#include <QString>

#include <array>

// Builders of test pictures in every format the picture loader reads, written byte by byte where Qt has no
// writer (GIF, ICO/CUR, most BMP variants) so that each variant is exactly the one named. Tests keep the
// bytes in memory or write them to a temporary folder.
namespace picture_gen {

// Red, green, blue, white: every rotation and mirror of the quadrant picture differs from the others.
inline constexpr std::array<QRgb, 4> kQuadrantColors = {0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffffff};

// A picture of four quadrants (top-left, top-right, bottom-left, bottom-right), split at half the width and
// height (rounded down).
QImage Quadrants(QSize size, const std::array<QRgb, 4>& colors = kQuadrantColors);

// Rle24 and Huffman1D are OS/2's and need the 64-byte header.
enum class BmpCompression { Rgb, Rle8, Rle4, BitFields, AlphaBitFields, Rle24, Huffman1D };

struct BmpOptions {
  int headerSize = 40;  // 12 (OS/2 1.x), 16 (short OS/2 2.x), 40, 52, 56, 64 (OS/2 2.x), 108, 124
  int bitsPerPixel =
      24;  // 1, 2, 4, 8, 16, 24, 32, 64; palettes are built from the picture's distinct colours
  BmpCompression compression = BmpCompression::Rgb;
  bool topDown = false;
  bool fileHeader = true;  // false: a bare DIB, starting with its info header
  // Red, green, blue, alpha masks for bit fields; all zero: 5-6-5 at 16 bits, 8 bits each (B, G, R, A from
  // the top) at 32 bits. The alpha mask is written only where the header or compression has room for it.
  std::array<quint32, 4> masks{};
  // Palette entries written (the picture's colours, then black); 0: the colours, or the depth's full count
  // in the headers that have no count field.
  int paletteSize = 0;
  // Run-length and Huffman bitmaps: the stored rows coded, and whether the end-of-bitmap code follows
  // (false: the data just stops). -1: all rows.
  int codedRows = -1;
  bool endCode = true;
  QByteArray iccProfile;  // 124-byte header only: embedded after the pixels
};

// The picture as a bitmap; empty when the options cannot hold it (too many colours for the depth, a header
// that has no room for the compression).
QByteArray MakeBmp(const QImage& image, const BmpOptions& options = {});

struct IconImage {
  QImage image;
  int bitsPerPixel = 32;  // 1, 4, 8, 24, 32 (stored as a bitmap with its mask); ignored for PNG
  bool png = false;       // stored as a PNG stream, as large icons are
  QByteArray iccProfile;  // PNG only
};

// An icon file (or a cursor file, hotspot 0,0) holding the images in the order given.
QByteArray MakeIcon(const QList<IconImage>& images, bool cursor = false);

struct JpegOptions {
  int quality = 95;
  bool progressive = false;
  int exifOrientation = 0;  // 1..8 adds an EXIF block with that orientation
  QByteArray iccProfile;    // added as APP2 segments
};

QByteArray MakeJpeg(const QImage& image, const JpegOptions& options = {});

struct Jpeg12Options {
  bool grey = false;        // one component; else YCbCr
  int chromaSampling = 1;   // 2: luma sampled twice as densely both ways
  int restartInterval = 0;  // MCUs between restart markers; 0: none
  QByteArray iccProfile;    // added as APP2 segments
};

// A 12-bit sequential JPEG (extended frame, Huffman coded), every coefficient kept exactly (quantiser 1).
QByteArray MakeJpeg12(const QImage& image, const Jpeg12Options& options = {});

struct GifFrame {
  QImage image;  // at most 256 distinct colours over all frames
  QPoint offset;
};

// A GIF of the frames (an animation when more than one), on a logical screen of `screen` (default: the first
// frame's size); all frames share one global palette.
QByteArray MakeGif(const QList<GifFrame>& frames, QSize screen = QSize());

// With an iCCP chunk holding `iccProfile` when one is given.
QByteArray MakePng(const QImage& image, const QByteArray& iccProfile = {});

// The picture in a format Qt's writers take ("webp", "tiff", "ppm", "xpm", ...): at the best quality (WebP
// then is lossless), with the image's colour profile and `transformation` as its orientation where the
// format stores them.
QByteArray MakeWithQt(const QImage& image, const char* format,
                      QImageIOHandler::Transformations transformation = QImageIOHandler::TransformationNone);

// An SVG document of the given size attributes (empty: none) and view box (empty: none) around `body`.
QByteArray MakeSvg(const QByteArray& body, const QByteArray& width, const QByteArray& height,
                   const QByteArray& viewBox = {});

// HEIF pictures made by libheif's encoders: HEVC (HEIC) or AV1 (AVIF), lossy at quality 90, with an
// orientation stored as the container's rotation and mirroring, an ICC profile, or Display P3 code points.
enum class HeifCodec { Hevc, Av1 };
struct HeifOptions {
  HeifCodec codec = HeifCodec::Hevc;
  int orientation = 1;  // as EXIF numbers it
  QByteArray iccProfile;
  bool displayP3 = false;
};
QByteArray MakeHeif(const QImage& image, const HeifOptions& options = {});

// JPEG XL pictures made by libjxl's encoder: lossless or not, a bare codestream or a container, an
// orientation (as EXIF numbers it) and an ICC profile (sRGB without one).
struct JxlOptions {
  bool lossless = true;
  bool container = false;
  int orientation = 1;
  QByteArray iccProfile;
};
QByteArray MakeJxl(const QImage& image, const JxlOptions& options = {});

// The PNG with its header claiming another size, its checksum made good (the pixels stay as they were).
QByteArray PngClaimingSize(QByteArray png, QSize size);

// The sRGB channel value (0-255) in linear light scaled to 0-8192, as 64-bit bitmaps store it.
int LinearFixed(int srgb);

bool WriteFile(const QString& path, const QByteArray& data);

}  // namespace picture_gen
