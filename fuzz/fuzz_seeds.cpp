// Writes a fuzz target's seed corpus into a folder: for pictures, one of every variant the loader reads
// (built by the tests' picture and metafile builders); for list and settings files, a handful of
// representative files, well-formed and not.

#include "support/picture_gen.h"
#include "support/wmf_gen.h"

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>
#include <cstring>

namespace {

using Seeds = QList<QPair<QString, QByteArray>>;

Seeds listSeeds() {
  return {
      {"two", "/home/user/Pictures/a.bmp\r\n/home/user/Pictures/b c.jpg\r\n"},
      {"empty", ""},
      {"no end", "/tmp/x.gif"},
      {"cr only", "/a/1.bmp\r/a/2.bmp\r/a/3.bmp\r"},
      {"stops at a name", "/a/1.bmp\r\nname only\r\n/a/2.bmp\r\n"},
      {"lf inside", "/a/1\n.bmp\r\n/a/2.bmp\r\n\n/b\r\n"},
      {"high bytes", "/a/\xe4\xb8\xad\xe6\x96\x87.bmp\r\n/\xff\xfe\x80\r\n"},
      {"drive letters", "C:\\WINDOWS\\SETUP.BMP\r\nC:\\PICS\\A.WMF\r\n"},
  };
}

Seeds settingsSeeds() {
  return {
      {"defaults",
       "/home/user/Pictures\r\n 1 \r\n 0 \r\n 1 \r\n 0 \r\n 1 \r\n 1 \r\n 0 \r\nTrue\r\nFalse\r\n"},
      {"one line", "1,2,0,1,0,1,1,2,False,True\r\n"},
      {"commas", "/tmp/a, b\r\n1,0\r\n 2 , 1 \r\n0\r\n1,1\r\n-1\r\nfalse\r\nTRUE\r\n"},
      {"short", "/tmp\r\n 1 \r\n"},
      {"bad number", "/tmp\r\n 1 \r\n0x10\r\n 1 \r\n"},
      {"big numbers", "/\r\n2147483647\r\n-2147483648\r\n2147483648\r\n+0\r\n"},
      {"drive letter", "C:\\WINDOWS\r\n 1 \r\n 1 \r\n 1 \r\n 1 \r\n 1 \r\n 1 \r\n 1 \r\n1\r\n0\r\n"},
      {"empty", ""},
  };
}

// A linear-light profile, so that the colour conversion runs on the seeds that carry one.
QByteArray LinearProfile() {
  return QColorSpace(QColorSpace::Primaries::SRgb, QColorSpace::TransferFunction::Linear).iccProfile();
}

Seeds pictureSeeds() {
  using namespace picture_gen;
  const QSize size(9, 7);  // odd, so rows need padding
  const QImage q = Quadrants(size);
  const std::array<QRgb, 4> two = {0xff000000, 0xffffffff, 0xffffffff, 0xff000000};
  Seeds seeds = {
      {"bmp24", MakeBmp(q)},
      {"bmp1", MakeBmp(Quadrants(size, two), {.bitsPerPixel = 1})},
      {"bmp4", MakeBmp(q, {.bitsPerPixel = 4})},
      {"bmp8 rle", MakeBmp(q, {.bitsPerPixel = 8, .compression = BmpCompression::Rle8})},
      {"bmp4 rle", MakeBmp(q, {.bitsPerPixel = 4, .compression = BmpCompression::Rle4})},
      {"bmp core", MakeBmp(q, {.headerSize = 12, .bitsPerPixel = 8})},
      {"bmp16 top-down", MakeBmp(q, {.bitsPerPixel = 16, .topDown = true})},
      {"bmp v5 bitfields",
       MakeBmp(q, {.headerSize = 124, .bitsPerPixel = 32, .compression = BmpCompression::BitFields})},
      {"bmp alpha bitfields",
       MakeBmp(q, {.bitsPerPixel = 32, .compression = BmpCompression::AlphaBitFields})},
      {"dib8", MakeBmp(q, {.bitsPerPixel = 8, .fileHeader = false})},
      {"dib v3", MakeBmp(q, {.headerSize = 56,
                             .bitsPerPixel = 16,
                             .compression = BmpCompression::BitFields,
                             .fileHeader = false})},
      {"dib os2 short", MakeBmp(q, {.headerSize = 16, .bitsPerPixel = 4, .fileHeader = false})},
      {"ico", MakeIcon({{Quadrants({16, 16}), 8}, {Quadrants({8, 8}), 32}})},
      {"ico low depths", MakeIcon({{Quadrants({8, 8}), 1}, {Quadrants({8, 8}), 4}})},
      {"ico png", MakeIcon({{Quadrants({16, 16}), 4}, {Quadrants({16, 16}), 32, true}})},
      {"cur", MakeIcon({{Quadrants({8, 8}), 24}}, true)},
      {"jpeg", MakeJpeg(Quadrants({16, 16}))},
      {"jpeg progressive", MakeJpeg(Quadrants({16, 16}), {.progressive = true})},
      {"jpeg exif 6", MakeJpeg(Quadrants({16, 8}), {.exifOrientation = 6})},
      {"gif", MakeGif({{Quadrants({12, 10})}, {Quadrants({6, 5}), QPoint(3, 2)}})},
      {"png", MakePng(q)},  // not ours to read: the loader must refuse it
      {"bmp2", MakeBmp(q, {.bitsPerPixel = 2})},
      {"bmp64", MakeBmp(q, {.bitsPerPixel = 64})},
      {"bmp8 300 colours", MakeBmp(q, {.bitsPerPixel = 8, .paletteSize = 300})},
      {"bmp core short palette", MakeBmp(q, {.headerSize = 12, .bitsPerPixel = 8, .paletteSize = 4})},
      {"bmp rle24", MakeBmp(q, {.headerSize = 64, .compression = BmpCompression::Rle24})},
      {"bmp huffman",
       MakeBmp(Quadrants(size, two),
               {.headerSize = 64, .bitsPerPixel = 1, .compression = BmpCompression::Huffman1D})},
      {"bmp v5 profile", MakeBmp(q, {.headerSize = 124, .iccProfile = LinearProfile()})},
      {"jpeg profile", MakeJpeg(Quadrants({16, 16}), {.iccProfile = LinearProfile()})},
      {"jpeg 12 bits", MakeJpeg12(Quadrants({20, 12}), {.chromaSampling = 2, .restartInterval = 2})},
      {"jpeg 12 bits grey", MakeJpeg12(Quadrants({9, 7}), {.grey = true})},
      {"ico png profile", MakeIcon({{Quadrants({16, 16}), 32, true, LinearProfile()}})},
  };
  // A few metafiles, so that the dispatch reaches the metafile reader too (fuzz_wmf goes deeper).
  const auto metafiles = wmf_gen::Samples();
  for (qsizetype i = 0; i < metafiles.size() && i < 3; ++i) seeds << metafiles[i];
  return seeds;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: fuzz_seeds list|settings|picture FOLDER\n");
    return 2;
  }
  Seeds seeds;
  if (std::strcmp(argv[1], "list") == 0) {
    seeds = listSeeds();
  } else if (std::strcmp(argv[1], "settings") == 0) {
    seeds = settingsSeeds();
  } else if (std::strcmp(argv[1], "picture") == 0) {
    seeds = pictureSeeds();
  } else {
    std::fprintf(stderr, "fuzz_seeds: unknown target %s\n", argv[1]);
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[2]));
  if (!folder.mkpath(QStringLiteral("."))) return 1;
  for (const auto& [name, data] : seeds) {
    QString fileName = name;
    fileName.replace(QLatin1Char(' '), QLatin1Char('-'));
    QFile file(folder.filePath(fileName));
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) return 1;
  }
  return 0;
}
