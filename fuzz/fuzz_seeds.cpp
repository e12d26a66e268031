// Writes a fuzz target's seed corpus into a folder: for pictures, one of every variant the loader reads
// (built by the tests' picture and metafile builders); for list and settings files, a handful of
// representative files, well-formed and not; for sounds, ADPCM and PCM WAVs and MIDI files, byte by byte.

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
      {"png", MakePng(q)},
      {"png profile", MakePng(q, LinearProfile())},
      {"webp lossless", MakeWithQt(q, "webp")},
      {"webp lossy", MakeWithQt(Quadrants({16, 16}), "webp")},
      {"tiff", MakeWithQt(q, "tiff")},
      {"tiff turned", MakeWithQt(q, "tiff", QImageIOHandler::TransformationRotate270)},
      {"ppm", MakeWithQt(q, "ppm")},
      {"xpm", MakeWithQt(q, "xpm")},
      {"heic turned", MakeHeif(Quadrants({16, 8}), {.orientation = 6})},
      {"avif profile",
       MakeHeif(Quadrants({16, 8}), {.codec = HeifCodec::Av1, .iccProfile = LinearProfile()})},
      {"jxl", MakeJxl(q)},
      {"jxl container lossy turned",
       MakeJxl(Quadrants({16, 8}), {.lossless = false, .container = true, .orientation = 8})},
      {"svg", MakeSvg("<rect width='4' height='3' fill='red'/><circle cx='6' cy='4' r='2'/>"
                      "<text x='1' y='6' font-size='3'>Aa</text>",
                      "9", "7", "0 0 9 7")},
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

// Little-endian and big-endian fields for the sound seeds.
QByteArray Le(quint32 value, int bytes) {
  QByteArray out;
  for (int i = 0; i < bytes; ++i) out += char((value >> (8 * i)) & 0xff);
  return out;
}
QByteArray Be(quint32 value, int bytes) {
  QByteArray out;
  for (int i = bytes - 1; i >= 0; --i) out += char((value >> (8 * i)) & 0xff);
  return out;
}

// A WAV of ADPCM blocks: IMA (0x11) or Microsoft (0x02), mono or stereo, with a fact chunk.
QByteArray AdpcmWav(bool ms, int channels, int blocks) {
  const int blockAlign = 256 * channels;
  const int framesPerBlock = ms ? (blockAlign - 7 * channels) * 8 / (4 * channels) + 2
                                : (blockAlign - 4 * channels) * 8 / (4 * channels) + 1;
  QByteArray fmt = Le(ms ? 2 : 0x11, 2) + Le(quint32(channels), 2) + Le(22050, 4) +
                   Le(quint32(22050 * blockAlign / framesPerBlock), 4) + Le(quint32(blockAlign), 2) +
                   Le(4, 2);
  if (ms) {
    static const int kCoefficients[7][2] = {{256, 0}, {512, -256}, {0, 0},     {192, 64},
                                            {240, 0}, {460, -208}, {392, -232}};
    fmt += Le(32, 2) + Le(quint32(framesPerBlock), 2) + Le(7, 2);
    for (const auto& pair : kCoefficients)
      fmt += Le(quint32(pair[0]) & 0xffff, 2) + Le(quint32(pair[1]) & 0xffff, 2);
  } else {
    fmt += Le(2, 2) + Le(quint32(framesPerBlock), 2);
  }
  QByteArray data;
  for (int b = 0; b < blocks; ++b)
    for (int i = 0; i < blockAlign; ++i) data += char((i * 37 + b * 11) & 0xff);
  QByteArray body = "WAVE";
  body += "fmt " + Le(quint32(fmt.size()), 4) + fmt;
  body += "fact" + Le(4, 4) + Le(quint32(framesPerBlock * blocks), 4);
  body += "data" + Le(quint32(data.size()), 4) + data;
  return "RIFF" + Le(quint32(body.size()), 4) + body;
}

// A PCM WAV of an odd number of 8-bit mono samples, its data chunk padded; extensible = in the extensible
// format with the PCM subformat.
QByteArray OddPcmWav(bool extensible) {
  QByteArray fmt =
      Le(extensible ? 0xfffe : 1, 2) + Le(1, 2) + Le(11025, 4) + Le(11025, 4) + Le(1, 2) + Le(8, 2);
  if (extensible)
    fmt += Le(22, 2) + Le(8, 2) + Le(4, 4) + Le(1, 2) +
           QByteArray("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71", 14);
  QByteArray data;
  for (int i = 0; i < 101; ++i) data += char(128 + (i % 20) * 4);
  QByteArray body = "WAVE";
  body += "fmt " + Le(quint32(fmt.size()), 4) + fmt;
  body += "data" + Le(quint32(data.size()), 4) + data + '\0';
  return "RIFF" + Le(quint32(body.size()), 4) + body;
}

// A MIDI file: a tempo map in the first track, notes with running status and a SysEx in the others.
QByteArray Midi(int format) {
  const QByteArray tempo = QByteArray("\x00\xff\x51\x03", 4) + Be(500000, 3) +
                           QByteArray("\x83\x60\xff\x51\x03", 5) + Be(1000000, 3) +
                           QByteArray("\x00\xff\x2f\x00", 4);
  const QByteArray notes = QByteArray(
      "\x00\xc0\x05\x00\x90\x3c\x64\x60\x3c\x00\x00\x40\x64\x60\x40\x00"
      "\x00\xf0\x05\x7e\x7f\x09\x01\xf7\x00\xff\x2f\x00",
      28);
  const auto track = [](const QByteArray& events) { return "MTrk" + Be(quint32(events.size()), 4) + events; };
  if (format == 0)
    return "MThd" + Be(6, 4) + Be(0, 2) + Be(1, 2) + Be(480, 2) + track(tempo.left(tempo.size() - 4) + notes);
  return "MThd" + Be(6, 4) + Be(quint32(format), 2) + Be(2, 2) + Be(480, 2) + track(tempo) + track(notes);
}

Seeds soundSeeds() {
  return {
      {"ima mono", AdpcmWav(false, 1, 3)},
      {"ima stereo", AdpcmWav(false, 2, 2)},
      {"ms mono", AdpcmWav(true, 1, 3)},
      {"ms stereo", AdpcmWav(true, 2, 2)},
      {"ima cut", AdpcmWav(false, 1, 2).left(300)},
      {"pcm odd", OddPcmWav(false)},
      {"pcm extensible odd", OddPcmWav(true)},
      {"midi 0", Midi(0)},
      {"midi 1", Midi(1)},
      {"midi 2", Midi(2)},
      {"rmid",
       "RIFF" + Le(quint32(Midi(1).size() + 12), 4) + "RMIDdata" + Le(quint32(Midi(1).size()), 4) + Midi(1)},
  };
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: fuzz_seeds list|settings|picture|sound FOLDER\n");
    return 2;
  }
  Seeds seeds;
  if (std::strcmp(argv[1], "list") == 0) {
    seeds = listSeeds();
  } else if (std::strcmp(argv[1], "settings") == 0) {
    seeds = settingsSeeds();
  } else if (std::strcmp(argv[1], "picture") == 0) {
    seeds = pictureSeeds();
  } else if (std::strcmp(argv[1], "sound") == 0) {
    seeds = soundSeeds();
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
