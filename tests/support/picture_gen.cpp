#include "support/picture_gen.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QHash>
#include <QImageWriter>
#include <QtEndian>

#include <jxl/encode_cxx.h>
#include <libheif/heif.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

namespace picture_gen {
namespace {

// Little-endian byte sink.
class Bytes {
 public:
  void u8(int v) { data_.append(char(v & 0xff)); }
  void u16(int v) {
    u8(v);
    u8(v >> 8);
  }
  void u32(quint32 v) {
    u16(int(v & 0xffff));
    u16(int(v >> 16));
  }
  void raw(const QByteArray& bytes) { data_.append(bytes); }
  void raw(const char* bytes, int size) { data_.append(bytes, size); }
  void zeros(int count) { data_.append(count, '\0'); }
  void padTo(int alignment) {
    while (data_.size() % alignment) u8(0);
  }
  int size() const { return int(data_.size()); }
  const QByteArray& data() const { return data_; }

 private:
  QByteArray data_;
};

// The picture's distinct colours in scan order, and each pixel's index among them.
struct Indexed {
  QList<QRgb> palette;
  std::vector<std::vector<int>> rows;
};

Indexed ToIndexed(const QImage& image) {
  Indexed result;
  QHash<QRgb, int> index;
  for (int y = 0; y < image.height(); ++y) {
    std::vector<int> row;
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = image.pixel(x, y);
      auto it = index.find(c);
      if (it == index.end()) {
        it = index.insert(c, int(result.palette.size()));
        result.palette.append(c);
      }
      row.push_back(*it);
    }
    result.rows.push_back(std::move(row));
  }
  return result;
}

QByteArray PackIndices(const std::vector<int>& row, int bits) {
  QByteArray packed(int((row.size() * size_t(bits) + 7) / 8), '\0');
  for (size_t x = 0; x < row.size(); ++x) {
    const size_t bit = x * size_t(bits);
    const int shift = 8 - bits - int(bit % 8);
    packed[int(bit / 8)] = char(uchar(packed[int(bit / 8)]) | uchar(row[x] << shift));
  }
  return packed;
}

// One row as run-length pairs and literal stretches; 4-bit runs repeat a single colour in both nibbles.
void RleRow(Bytes& out, const std::vector<int>& row, int bits) {
  const int n = int(row.size());
  int i = 0;
  while (i < n) {
    int run = 1;
    while (i + run < n && run < 255 && row[size_t(i + run)] == row[size_t(i)]) ++run;
    if (run >= 2) {
      out.u8(run);
      out.u8(bits == 4 ? (row[size_t(i)] << 4) | row[size_t(i)] : row[size_t(i)]);
      i += run;
      continue;
    }
    int literal = 1;  // pixels that differ from their successor
    while (i + literal < n && literal < 255 &&
           (i + literal + 1 >= n || row[size_t(i + literal)] != row[size_t(i + literal + 1)]))
      ++literal;
    if (literal < 3) {
      out.u8(1);
      out.u8(bits == 4 ? row[size_t(i)] << 4 : row[size_t(i)]);
      ++i;
      continue;
    }
    out.u8(0);
    out.u8(literal);
    const std::vector<int> part(row.begin() + i, row.begin() + i + literal);
    const QByteArray bytes = bits == 4 ? PackIndices(part, 4) : [&part] {
      QByteArray b;
      for (int v : part) b.append(char(v));
      return b;
    }();
    out.raw(bytes);
    if (bytes.size() % 2) out.u8(0);
    i += literal;
  }
}

int BmpCompressionCode(BmpCompression c) {
  switch (c) {
    case BmpCompression::Rgb:
      return 0;
    case BmpCompression::Rle8:
      return 1;
    case BmpCompression::Rle4:
      return 2;
    case BmpCompression::BitFields:
      return 3;
    case BmpCompression::AlphaBitFields:
      return 6;
    case BmpCompression::Huffman1D:
      return 3;
    case BmpCompression::Rle24:
      return 4;
  }
  return 0;
}

// Channel masks used for bit-field bitmaps: deliberately not the usual order, so a reader that ignores them
// fails.
constexpr quint32 kMask16[4] = {0xf800, 0x07e0, 0x001f, 0};                       // 5-6-5
constexpr quint32 kMask32[4] = {0x0000ff00, 0x00ff0000, 0xff000000, 0x000000ff};  // B G R A from the top

quint32 PackMasked(QRgb c, const quint32 (&masks)[4], bool withAlpha) {
  const int channels[4] = {qRed(c), qGreen(c), qBlue(c), withAlpha ? qAlpha(c) : 0};
  quint32 v = 0;
  for (int i = 0; i < 4; ++i) {
    const quint64 mask = masks[i];
    if (!mask) continue;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    int width = 0;
    while ((mask >> (shift + width)) & 1) ++width;
    const quint32 value = width <= 8
                              ? quint32(channels[i]) >> (8 - width)
                              : quint32(channels[i]) << (width - 8) | quint32(channels[i]) >> (16 - width);
    v |= value << shift;
  }
  return v;
}

class BitWriter {
 public:
  void write(int code, int size) {
    accumulator_ |= quint32(code) << bits_;
    bits_ += size;
    while (bits_ >= 8) {
      bytes_.append(char(accumulator_ & 0xff));
      accumulator_ >>= 8;
      bits_ -= 8;
    }
  }
  QByteArray finish() {
    if (bits_ > 0) bytes_.append(char(accumulator_ & 0xff));
    accumulator_ = 0;
    bits_ = 0;
    return bytes_;
  }

 private:
  QByteArray bytes_;
  quint32 accumulator_ = 0;
  int bits_ = 0;
};

// GIF's variable-width LZW, with the code width growing as the decoder's table does and a clear code when the
// table is full.
QByteArray Lzw(const std::vector<int>& indices, int minCodeSize) {
  BitWriter out;
  const int clear = 1 << minCodeSize;
  int codeSize = minCodeSize + 1;
  int next = clear + 2;
  std::unordered_map<int, int> table;
  out.write(clear, codeSize);
  int prefix = indices.empty() ? 0 : indices[0];
  for (size_t i = 1; i < indices.size(); ++i) {
    const int k = indices[i];
    const auto it = table.find((prefix << 8) | k);
    if (it != table.end()) {
      prefix = it->second;
      continue;
    }
    out.write(prefix, codeSize);
    if (next < 4095) {
      table.emplace((prefix << 8) | k, next++);
      if (next > (1 << codeSize) && codeSize < 12) ++codeSize;
    } else {
      out.write(clear, codeSize);
      table.clear();
      next = clear + 2;
      codeSize = minCodeSize + 1;
    }
    prefix = k;
  }
  out.write(prefix, codeSize);
  out.write(clear + 1, codeSize);
  return out.finish();
}

// A row of 24-bit colours as RLE24: runs of one colour, literal stretches padded to an even byte count.
void Rle24Row(Bytes& out, const QImage& image, int y) {
  const int n = image.width();
  int i = 0;
  while (i < n) {
    int run = 1;
    while (i + run < n && run < 255 && image.pixel(i + run, y) == image.pixel(i, y)) ++run;
    const int literal = run >= 2 ? 0 : std::min(n - i, 3);
    if (literal < 3) {
      const QRgb c = image.pixel(i, y);
      out.u8(run);
      out.u8(qBlue(c));
      out.u8(qGreen(c));
      out.u8(qRed(c));
      i += run;
      continue;
    }
    out.u8(0);
    out.u8(literal);
    for (int k = 0; k < literal; ++k) {
      const QRgb c = image.pixel(i + k, y);
      out.u8(qBlue(c));
      out.u8(qGreen(c));
      out.u8(qRed(c));
    }
    if (literal % 2) out.u8(0);
    i += literal;
  }
}

// Fax run-length codes, written out as bit strings: white and black terminating codes for 0-63, then the
// make-up codes for 64, 128, ... 1728, then those for 1792-2560 that both colours share.
const char* const kWhiteTerminating[64] = {
    "00110101", "000111",   "0111",     "1000",     "1011",     "1100",     "1110",     "1111",
    "10011",    "10100",    "00111",    "01000",    "001000",   "000011",   "110100",   "110101",
    "101010",   "101011",   "0100111",  "0001100",  "0001000",  "0010111",  "0000011",  "0000100",
    "0101000",  "0101011",  "0010011",  "0100100",  "0011000",  "00000010", "00000011", "00011010",
    "00011011", "00010010", "00010011", "00010100", "00010101", "00010110", "00010111", "00101000",
    "00101001", "00101010", "00101011", "00101100", "00101101", "00000100", "00000101", "00001010",
    "00001011", "01010010", "01010011", "01010100", "01010101", "00100100", "00100101", "01011000",
    "01011001", "01011010", "01011011", "01001010", "01001011", "00110010", "00110011", "00110100"};
const char* const kWhiteMakeUp[27] = {
    "11011",     "10010",     "010111",    "0110111",   "00110110",  "00110111",  "01100100",
    "01100101",  "01101000",  "01100111",  "011001100", "011001101", "011010010", "011010011",
    "011010100", "011010101", "011010110", "011010111", "011011000", "011011001", "011011010",
    "011011011", "010011000", "010011001", "010011010", "011000",    "010011011"};
const char* const kBlackTerminating[64] = {
    "0000110111",   "010",          "11",           "10",           "011",          "0011",
    "0010",         "00011",        "000101",       "000100",       "0000100",      "0000101",
    "0000111",      "00000100",     "00000111",     "000011000",    "0000010111",   "0000011000",
    "0000001000",   "00001100111",  "00001101000",  "00001101100",  "00000110111",  "00000101000",
    "00000010111",  "00000011000",  "000011001010", "000011001011", "000011001100", "000011001101",
    "000001101000", "000001101001", "000001101010", "000001101011", "000011010010", "000011010011",
    "000011010100", "000011010101", "000011010110", "000011010111", "000001101100", "000001101101",
    "000011011010", "000011011011", "000001010100", "000001010101", "000001010110", "000001010111",
    "000001100100", "000001100101", "000001010010", "000001010011", "000000100100", "000000110111",
    "000000111000", "000000100111", "000000101000", "000001011000", "000001011001", "000000101011",
    "000000101100", "000001011010", "000001100110", "000001100111"};
const char* const kBlackMakeUp[27] = {
    "0000001111",    "000011001000",  "000011001001",  "000001011011",  "000000110011",  "000000110100",
    "000000110101",  "0000001101100", "0000001101101", "0000001001010", "0000001001011", "0000001001100",
    "0000001001101", "0000001110010", "0000001110011", "0000001110100", "0000001110101", "0000001110110",
    "0000001110111", "0000001010010", "0000001010011", "0000001010100", "0000001010101", "0000001011010",
    "0000001011011", "0000001100100", "0000001100101"};
const char* const kSharedMakeUp[13] = {"00000001000",  "00000001100",  "00000001101",  "000000010010",
                                       "000000010011", "000000010100", "000000010101", "000000010110",
                                       "000000010111", "000000011100", "000000011101", "000000011110",
                                       "000000011111"};
const char* const kEndOfLine = "000000000001";

class MsbBits {
 public:
  void put(const char* bits) {
    for (; *bits; ++bits) {
      accumulator_ = accumulator_ << 1 | (*bits == '1');
      if (++count_ == 8) {
        bytes_.append(char(accumulator_));
        accumulator_ = count_ = 0;
      }
    }
  }
  QByteArray finish() {
    while (count_) put("0");
    return bytes_;
  }

 private:
  QByteArray bytes_;
  int accumulator_ = 0;
  int count_ = 0;
};

void HuffmanRun(MsbBits& out, int run, bool black) {
  while (run >= 2560 + 64) {
    out.put(kSharedMakeUp[12]);
    run -= 2560;
  }
  if (run >= 64) {
    const int makeUp = run / 64;  // 1..40
    out.put(makeUp <= 27 ? (black ? kBlackMakeUp : kWhiteMakeUp)[makeUp - 1] : kSharedMakeUp[makeUp - 28]);
    run -= makeUp * 64;
  }
  out.put((black ? kBlackTerminating : kWhiteTerminating)[run]);
}

// Each row an end-of-line code and then alternating white (index 0) and black (index 1) runs, white first.
QByteArray HuffmanPixels(const std::vector<std::vector<int>>& rows, const std::vector<int>& order, bool end) {
  MsbBits out;
  for (int y : order) {
    out.put(kEndOfLine);
    const std::vector<int>& row = rows[size_t(y)];
    bool black = false;
    size_t x = 0;
    for (;;) {
      size_t run = 0;
      while (x + run < row.size() && (row[x + run] != 0) == black) ++run;
      HuffmanRun(out, int(run), black);
      x += run;
      black = !black;
      if (x >= row.size()) break;
    }
  }
  if (end)
    for (int i = 0; i < 6; ++i) out.put(kEndOfLine);
  return out.finish();
}

QByteArray BmpPixels(const QImage& image, const BmpOptions& o, const Indexed& indexed,
                     const quint32 (&masks)[4], bool withAlpha) {
  const int w = image.width(), h = image.height();
  Bytes out;
  const auto storedRow = [&](int i) { return o.topDown ? i : h - 1 - i; };
  const int coded = o.codedRows < 0 ? h : std::min(o.codedRows, h);
  if (o.compression == BmpCompression::Huffman1D) {
    std::vector<int> order;
    for (int i = 0; i < coded; ++i) order.push_back(storedRow(i));
    return HuffmanPixels(indexed.rows, order, o.endCode);
  }
  if (o.compression == BmpCompression::Rle8 || o.compression == BmpCompression::Rle4 ||
      o.compression == BmpCompression::Rle24) {
    for (int i = 0; i < coded; ++i) {
      if (o.compression == BmpCompression::Rle24)
        Rle24Row(out, image, storedRow(i));
      else
        RleRow(out, indexed.rows[size_t(storedRow(i))], o.bitsPerPixel);
      if (i == coded - 1 && !o.endCode) break;
      out.u8(0);
      out.u8(i == coded - 1 ? 1 : 0);  // end of line, or of the bitmap
    }
    return out.data();
  }
  const bool fields =
      o.compression == BmpCompression::BitFields || o.compression == BmpCompression::AlphaBitFields;
  for (int i = 0; i < h; ++i) {
    const int y = storedRow(i);
    if (o.bitsPerPixel <= 8) {
      out.raw(PackIndices(indexed.rows[size_t(y)], o.bitsPerPixel));
    } else {
      for (int x = 0; x < w; ++x) {
        const QRgb c = image.pixel(x, y);
        if (o.bitsPerPixel == 16) {
          out.u16(fields ? int(PackMasked(c, masks, withAlpha))
                         : ((qRed(c) >> 3) << 10) | ((qGreen(c) >> 3) << 5) | (qBlue(c) >> 3));
        } else if (o.bitsPerPixel == 64) {
          out.u16(LinearFixed(qBlue(c)));
          out.u16(LinearFixed(qGreen(c)));
          out.u16(LinearFixed(qRed(c)));
          out.u16((qAlpha(c) * 8192 + 127) / 255);
        } else if (o.bitsPerPixel == 24) {
          out.u8(qBlue(c));
          out.u8(qGreen(c));
          out.u8(qRed(c));
        } else {
          out.u32(fields ? PackMasked(c, masks, withAlpha)
                         : quint32(qBlue(c) | qGreen(c) << 8 | qRed(c) << 16));
        }
      }
    }
    out.padTo(4);
  }
  return out.data();
}

// APP2 "ICC_PROFILE" segments: the profile in parts of at most 65519 bytes, numbered from 1.
QByteArray IccSegments(const QByteArray& profile) {
  constexpr int kChunk = 65519;
  const int chunks = int((profile.size() + kChunk - 1) / kChunk);
  QByteArray segments;
  for (int i = 0; i < chunks; ++i) {
    const QByteArray part = profile.mid(qsizetype(i) * kChunk, kChunk);
    const int length = 2 + 12 + 2 + int(part.size());
    segments.append("\xFF\xE2", 2);
    segments.append(char(length >> 8));
    segments.append(char(length & 0xff));
    segments.append("ICC_PROFILE\0", 12);
    segments.append(char(i + 1));
    segments.append(char(chunks));
    segments.append(part);
  }
  return segments;
}

// PNG's CRC-32 (the reflected 0xEDB88320 polynomial).
quint32 Crc32(const QByteArray& bytes) {
  quint32 crc = 0xffffffffu;
  for (char b : bytes) {
    crc ^= uchar(b);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

}  // namespace

QImage Quadrants(QSize size, const std::array<QRgb, 4>& colors) {
  QImage image(size, QImage::Format_ARGB32);
  const int halfW = size.width() / 2, halfH = size.height() / 2;
  for (int y = 0; y < size.height(); ++y)
    for (int x = 0; x < size.width(); ++x)
      image.setPixel(x, y, colors[size_t((y >= halfH) * 2 + (x >= halfW))]);
  return image;
}

QByteArray MakeBmp(const QImage& image, const BmpOptions& o) {
  const int bits = o.bitsPerPixel;
  const bool indexedDepth = bits <= 8;
  const Indexed indexed = indexedDepth ? ToIndexed(image) : Indexed{};
  if (indexedDepth && indexed.palette.size() > (1 << bits)) return {};
  const bool oldHeader = o.headerSize == 12 || o.headerSize == 16;
  if (oldHeader && o.compression != BmpCompression::Rgb) return {};
  if ((o.headerSize == 12 && o.topDown)) return {};

  const bool fields =
      o.compression == BmpCompression::BitFields || o.compression == BmpCompression::AlphaBitFields;
  quint32 masks[4] = {0, 0, 0, 0};
  if (fields) {
    const bool custom = o.masks != std::array<quint32, 4>{};
    const quint32(&source)[4] = bits == 16 ? kMask16 : kMask32;
    for (int i = 0; i < 4; ++i) masks[i] = custom ? o.masks[size_t(i)] : source[i];
  }
  const bool masksAfterHeader = fields && o.headerSize == 40;
  const bool alphaMask = fields && (o.compression == BmpCompression::AlphaBitFields || o.headerSize == 56 ||
                                    o.headerSize >= 108);
  if (!alphaMask) masks[3] = 0;

  const int paletteEntries = !indexedDepth   ? 0
                             : o.paletteSize ? o.paletteSize
                             : oldHeader     ? (1 << bits)
                                             : int(indexed.palette.size());
  if (paletteEntries < indexed.palette.size()) return {};
  const int entrySize = o.headerSize == 12 ? 3 : 4;
  const int maskBytes = masksAfterHeader ? (o.compression == BmpCompression::AlphaBitFields ? 16 : 12) : 0;
  const QByteArray pixels = BmpPixels(image, o, indexed, masks, alphaMask);
  const int fileHeader = o.fileHeader ? 14 : 0;
  const int offset = fileHeader + o.headerSize + maskBytes + paletteEntries * entrySize;
  const bool profile = !o.iccProfile.isEmpty() && o.headerSize == 124;

  Bytes out;
  if (o.fileHeader) {
    out.raw("BM", 2);
    out.u32(quint32(offset + pixels.size()));
    out.u32(0);
    out.u32(quint32(offset));
  }
  const int height = o.topDown ? -image.height() : image.height();
  out.u32(quint32(o.headerSize));
  if (o.headerSize == 12) {
    out.u16(image.width());
    out.u16(height);
    out.u16(1);
    out.u16(bits);
  } else {
    out.u32(quint32(image.width()));
    out.u32(quint32(height));
    out.u16(1);
    out.u16(bits);
    if (o.headerSize >= 40) {
      out.u32(quint32(BmpCompressionCode(o.compression)));
      out.u32(quint32(pixels.size()));
      out.u32(2835);
      out.u32(2835);
      out.u32(quint32(indexedDepth ? paletteEntries : 0));
      out.u32(0);
    }
    if (o.headerSize == 52 || o.headerSize == 56 || o.headerSize >= 108) {
      out.u32(masks[0]);
      out.u32(masks[1]);
      out.u32(masks[2]);
      if (o.headerSize != 52) out.u32(masks[3]);
    }
    if (o.headerSize >= 108) {
      out.u32(profile ? 0x4D424544 : 0x73524742);  // 'MBED' or 'sRGB'
      out.zeros(36 + 12);
    }
    if (o.headerSize == 124) {
      out.u32(4);                                                           // pictures
      out.u32(profile ? quint32(offset - fileHeader + pixels.size()) : 0);  // from the info header's start
      out.u32(profile ? quint32(o.iccProfile.size()) : 0);
      out.u32(0);
    }
    out.zeros(o.fileHeader ? 14 + o.headerSize - out.size() : o.headerSize - out.size());
  }
  for (int i = 0; i < maskBytes / 4; ++i) out.u32(masks[i]);
  for (int i = 0; i < paletteEntries; ++i) {
    const QRgb c = i < indexed.palette.size() ? indexed.palette[i] : 0;
    out.u8(qBlue(c));
    out.u8(qGreen(c));
    out.u8(qRed(c));
    if (entrySize == 4) out.u8(0);
  }
  out.raw(pixels);
  if (profile) out.raw(o.iccProfile);
  return out.data();
}

QByteArray MakeIcon(const QList<IconImage>& images, bool cursor) {
  QList<QByteArray> blobs;
  QList<int> depths;
  for (const IconImage& icon : images) {
    const QImage& image = icon.image;
    if (icon.png) {
      blobs.append(MakePng(image, icon.iccProfile));
      depths.append(32);
      continue;
    }
    const int bits = icon.bitsPerPixel;
    const Indexed indexed = bits <= 8 ? ToIndexed(image) : Indexed{};
    if (bits <= 8 && indexed.palette.size() > (1 << bits)) return {};
    Bytes out;
    out.u32(40);
    out.u32(quint32(image.width()));
    out.u32(quint32(image.height() * 2));  // colour rows and mask rows
    out.u16(1);
    out.u16(bits);
    out.u32(0);
    out.u32(0);
    out.zeros(16);
    if (bits <= 8) {
      for (int i = 0; i < (1 << bits); ++i) {
        const QRgb c = i < indexed.palette.size() ? indexed.palette[i] : 0;
        out.u8(qBlue(c));
        out.u8(qGreen(c));
        out.u8(qRed(c));
        out.u8(0);
      }
    }
    for (int y = image.height() - 1; y >= 0; --y) {
      if (bits <= 8) {
        out.raw(PackIndices(indexed.rows[size_t(y)], bits));
      } else {
        for (int x = 0; x < image.width(); ++x) {
          const QRgb c = image.pixel(x, y);
          out.u8(qBlue(c));
          out.u8(qGreen(c));
          out.u8(qRed(c));
          if (bits == 32) out.u8(qAlpha(c));
        }
      }
      out.padTo(4);
    }
    for (int y = image.height() - 1; y >= 0; --y) {  // the mask: 1 where transparent
      std::vector<int> row;
      for (int x = 0; x < image.width(); ++x) row.push_back(qAlpha(image.pixel(x, y)) == 0 ? 1 : 0);
      out.raw(PackIndices(row, 1));
      out.padTo(4);
    }
    blobs.append(out.data());
    depths.append(bits);
  }

  Bytes out;
  out.u16(0);
  out.u16(cursor ? 2 : 1);
  out.u16(int(images.size()));
  quint32 offset = quint32(6 + 16 * images.size());
  for (int i = 0; i < images.size(); ++i) {
    const QImage& image = images[i].image;
    out.u8(image.width() >= 256 ? 0 : image.width());
    out.u8(image.height() >= 256 ? 0 : image.height());
    out.u8(depths[i] <= 4 ? (1 << depths[i]) : 0);
    out.u8(0);
    out.u16(cursor ? 0 : 1);          // planes, or the hotspot's x
    out.u16(cursor ? 0 : depths[i]);  // depth, or the hotspot's y
    out.u32(quint32(blobs[i].size()));
    out.u32(offset);
    offset += quint32(blobs[i].size());
  }
  for (const QByteArray& blob : blobs) out.raw(blob);
  return out.data();
}

QByteArray MakeJpeg(const QImage& image, const JpegOptions& options) {
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "jpeg");
  writer.setQuality(options.quality);
  writer.setProgressiveScanWrite(options.progressive);
  QImage plain = image.convertToFormat(QImage::Format_RGB32);
  plain.setColorSpace(QColorSpace());  // profiles are written by hand below
  if (!writer.write(plain)) return {};
  buffer.close();
  data.insert(2, IccSegments(options.iccProfile));
  if (options.exifOrientation <= 0) return data;

  // APP1 "Exif": a little-endian TIFF header and one directory holding the orientation tag.
  Bytes tiff;
  tiff.raw("II", 2);
  tiff.u16(42);
  tiff.u32(8);
  tiff.u16(1);
  tiff.u16(0x0112);
  tiff.u16(3);  // SHORT
  tiff.u32(1);
  tiff.u16(options.exifOrientation);
  tiff.u16(0);
  tiff.u32(0);
  QByteArray app1("\xFF\xE1", 2);
  const int length = 2 + 6 + tiff.size();
  app1.append(char(length >> 8));
  app1.append(char(length & 0xff));
  app1.append("Exif\0\0", 6);
  app1.append(tiff.data());
  // After SOI and the JFIF segment, where cameras put it.
  int at = 2;
  if (data.size() > 6 && uchar(data[2]) == 0xFF && uchar(data[3]) == 0xE0)
    at = 4 + ((uchar(data[4]) << 8) | uchar(data[5]));
  data.insert(at, app1);
  return data;
}

namespace {

class JpegBits {
 public:
  void put(int value, int count) {
    for (int i = count - 1; i >= 0; --i) {
      accumulator_ = accumulator_ << 1 | ((value >> i) & 1);
      if (++count_ == 8) flushByte();
    }
  }
  // Pads with one bits, as restart markers and the end need.
  void align() {
    while (count_) put(1, 1);
  }
  void marker(int code) {
    align();
    bytes_.append(char(0xFF));
    bytes_.append(char(code));
  }
  QByteArray finish() {
    align();
    return bytes_;
  }

 private:
  void flushByte() {
    bytes_.append(char(accumulator_));
    if (accumulator_ == 0xFF) bytes_.append('\0');  // stuffing
    accumulator_ = count_ = 0;
  }
  QByteArray bytes_;
  int accumulator_ = 0;
  int count_ = 0;
};

constexpr int kJpegZigZag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                 12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

int Magnitude(int v) {
  int size = 0;
  for (int a = std::abs(v); a; a >>= 1) ++size;
  return size;
}
void PutCoefficient(JpegBits& out, int v, int size) {
  if (size) out.put(v >= 0 ? v : v + (1 << size) - 1, size);
}

// The DC table codes sizes 0-15 in 5 bits; the AC table codes each of its 242 symbols in 8 bits, in the
// order end of block, sixteen zeros, then (run, size) for runs 0-15 and sizes 1-15.
int AcSymbolCode(int run, int size) { return size == 0 ? (run == 0 ? 0 : 1) : 2 + run * 15 + (size - 1); }

struct Plane {
  int width = 0, height = 0;
  std::vector<double> samples;  // 12-bit, level-shifted
  double at(int x, int y) const {
    return samples[size_t(std::min(y, height - 1) * width + std::min(x, width - 1))];
  }
};

void EncodeBlock(JpegBits& out, const Plane& plane, int bx, int by, int& prediction) {
  int coefficients[64];
  for (int v = 0; v < 8; ++v)
    for (int u = 0; u < 8; ++u) {
      double sum = 0;
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
          sum += plane.at(bx * 8 + x, by * 8 + y) * std::cos((2 * x + 1) * u * M_PI / 16) *
                 std::cos((2 * y + 1) * v * M_PI / 16);
      const double cu = u ? 1 : std::sqrt(0.5), cv = v ? 1 : std::sqrt(0.5);
      coefficients[v * 8 + u] = int(std::lround(sum * cu * cv / 4));
    }
  const int diff = coefficients[0] - prediction;
  prediction = coefficients[0];
  const int dcSize = Magnitude(diff);
  out.put(dcSize, 5);
  PutCoefficient(out, diff, dcSize);
  int run = 0;
  for (int k = 1; k < 64; ++k) {
    const int c = coefficients[kJpegZigZag[k]];
    if (c == 0) {
      ++run;
      continue;
    }
    for (; run >= 16; run -= 16) out.put(AcSymbolCode(15, 0), 8);
    const int size = Magnitude(c);
    out.put(AcSymbolCode(run, size), 8);
    PutCoefficient(out, c, size);
    run = 0;
  }
  if (run) out.put(AcSymbolCode(0, 0), 8);
}

QByteArray Segment(int marker, const QByteArray& body) {
  QByteArray s;
  s.append(char(0xFF));
  s.append(char(marker));
  s.append(char((body.size() + 2) >> 8));
  s.append(char((body.size() + 2) & 0xff));
  return s + body;
}

}  // namespace

QByteArray MakeJpeg12(const QImage& image, const Jpeg12Options& o) {
  const int w = image.width(), h = image.height();
  const int sampling = o.grey ? 1 : o.chromaSampling;
  // Full-range YCbCr at 12 bits, chroma averaged over sampling x sampling pixels.
  std::vector<Plane> planes(o.grey ? 1 : 3);
  const auto channel = [&](int c, int x, int y) {
    const QRgb p = image.pixel(std::min(x, w - 1), std::min(y, h - 1));
    const double r = qRed(p), g = qGreen(p), b = qBlue(p);
    const double v = c == 0   ? 0.299 * r + 0.587 * g + 0.114 * b
                     : c == 1 ? -0.168736 * r - 0.331264 * g + 0.5 * b + 127.5
                              : 0.5 * r - 0.418688 * g - 0.081312 * b + 127.5;
    return v * 4095 / 255 - 2048;
  };
  for (size_t c = 0; c < planes.size(); ++c) {
    const int f = c == 0 ? 1 : sampling;
    Plane& plane = planes[c];
    plane.width = (w + f - 1) / f;
    plane.height = (h + f - 1) / f;
    for (int y = 0; y < plane.height; ++y)
      for (int x = 0; x < plane.width; ++x) {
        double sum = 0;
        for (int dy = 0; dy < f; ++dy)
          for (int dx = 0; dx < f; ++dx) sum += channel(int(c), x * f + dx, y * f + dy);
        plane.samples.push_back(sum / (f * f));
      }
  }

  QByteArray out("\xFF\xD8", 2);
  out += IccSegments(o.iccProfile);
  out += Segment(0xDB, QByteArray(1, '\0') + QByteArray(64, '\x01'));
  Bytes frame;
  frame.u8(12);
  frame.u8(h >> 8);
  frame.u8(h);
  frame.u8(w >> 8);
  frame.u8(w);
  frame.u8(int(planes.size()));
  for (size_t c = 0; c < planes.size(); ++c) {
    frame.u8(int(c) + 1);
    frame.u8(c == 0 ? (sampling << 4 | sampling) : 0x11);
    frame.u8(0);
  }
  out += Segment(0xC1, frame.data());
  QByteArray dc(1, '\x00');
  dc += QByteArray("\0\0\0\0\x10", 5) + QByteArray(11, '\0');
  for (int i = 0; i < 16; ++i) dc.append(char(i));
  out += Segment(0xC4, dc);
  QByteArray ac(1, '\x10');
  ac += QByteArray(7, '\0') + QByteArray(1, char(242)) + QByteArray(8, '\0');
  ac.append('\x00');
  ac.append('\xF0');
  for (int run = 0; run < 16; ++run)
    for (int size = 1; size <= 15; ++size) ac.append(char(run << 4 | size));
  out += Segment(0xC4, ac);
  if (o.restartInterval) {
    QByteArray dri(2, '\0');
    qToBigEndian<quint16>(quint16(o.restartInterval), dri.data());
    out += Segment(0xDD, dri);
  }
  Bytes scan;
  scan.u8(int(planes.size()));
  for (size_t c = 0; c < planes.size(); ++c) {
    scan.u8(int(c) + 1);
    scan.u8(0x00);
  }
  scan.u8(0);
  scan.u8(63);
  scan.u8(0);
  out += Segment(0xDA, scan.data());

  JpegBits bits;
  std::vector<int> predictions(planes.size(), 0);
  const int mcuSide = 8 * sampling;
  const int mcusWide = (w + mcuSide - 1) / mcuSide, mcusHigh = (h + mcuSide - 1) / mcuSide;
  for (int m = 0; m < mcusWide * mcusHigh; ++m) {
    if (o.restartInterval && m > 0 && m % o.restartInterval == 0) {
      bits.marker(0xD0 + (m / o.restartInterval - 1) % 8);
      std::fill(predictions.begin(), predictions.end(), 0);
    }
    const int mx = m % mcusWide, my = m / mcusWide;
    for (size_t c = 0; c < planes.size(); ++c) {
      const int f = c == 0 ? sampling : 1;
      for (int by = 0; by < f; ++by)
        for (int bx = 0; bx < f; ++bx) EncodeBlock(bits, planes[c], mx * f + bx, my * f + by, predictions[c]);
    }
  }
  out += bits.finish();
  out += QByteArray("\xFF\xD9", 2);
  return out;
}

QByteArray MakeGif(const QList<GifFrame>& frames, QSize screen) {
  if (frames.isEmpty()) return {};
  if (!screen.isValid()) screen = frames.first().image.size();
  QList<QRgb> palette;
  QHash<QRgb, int> index;
  std::vector<std::vector<int>> frameIndices;
  for (const GifFrame& f : frames) {
    std::vector<int> indices;
    for (int y = 0; y < f.image.height(); ++y)
      for (int x = 0; x < f.image.width(); ++x) {
        const QRgb c = f.image.pixel(x, y) | 0xff000000;
        auto it = index.find(c);
        if (it == index.end()) {
          it = index.insert(c, int(palette.size()));
          palette.append(c);
        }
        indices.push_back(*it);
      }
    frameIndices.push_back(std::move(indices));
  }
  if (palette.size() > 256) return {};
  int tableBits = 1;
  while ((1 << tableBits) < palette.size()) ++tableBits;
  const int minCodeSize = std::max(2, tableBits);

  Bytes out;
  out.raw("GIF89a", 6);
  out.u16(screen.width());
  out.u16(screen.height());
  out.u8(0x80 | 0x70 | (tableBits - 1));
  out.u8(0);
  out.u8(0);
  for (int i = 0; i < (1 << tableBits); ++i) {
    const QRgb c = i < palette.size() ? palette[i] : 0;
    out.u8(qRed(c));
    out.u8(qGreen(c));
    out.u8(qBlue(c));
  }
  if (frames.size() > 1) {  // loop forever
    out.raw("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
  }
  for (size_t i = 0; i < size_t(frames.size()); ++i) {
    const GifFrame& f = frames[qsizetype(i)];
    out.raw("\x21\xF9\x04", 3);  // graphic control: keep the previous frame, 0.1 s
    out.u8(1 << 2);
    out.u16(10);
    out.u8(0);
    out.u8(0);
    out.u8(0x2C);
    out.u16(f.offset.x());
    out.u16(f.offset.y());
    out.u16(f.image.width());
    out.u16(f.image.height());
    out.u8(0);
    out.u8(minCodeSize);
    const QByteArray lzw = Lzw(frameIndices[i], minCodeSize);
    for (int at = 0; at < lzw.size(); at += 255) {
      const int n = std::min<int>(255, int(lzw.size()) - at);
      out.u8(n);
      out.raw(lzw.constData() + at, n);
    }
    out.u8(0);
  }
  out.u8(0x3B);
  return out.data();
}

QByteArray MakeWithQt(const QImage& image, const char* format,
                      QImageIOHandler::Transformations transformation) {
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  writer.setQuality(100);
  writer.setTransformation(transformation);
  return writer.write(image) ? data : QByteArray();
}

QByteArray MakeSvg(const QByteArray& body, const QByteArray& width, const QByteArray& height,
                   const QByteArray& viewBox) {
  QByteArray svg =
      "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
      "xmlns:xlink=\"http://www.w3.org/1999/xlink\"";
  if (!width.isEmpty()) svg += " width=\"" + width + "\" height=\"" + height + "\"";
  if (!viewBox.isEmpty()) svg += " viewBox=\"" + viewBox + "\"";
  return svg + ">\n" + body + "\n</svg>\n";
}

namespace {

heif_error appendTo(heif_context*, const void* data, size_t size, void* out) {
  static_cast<QByteArray*>(out)->append(static_cast<const char*>(data), qsizetype(size));
  return {heif_error_Ok, heif_suberror_Unspecified, ""};
}

}  // namespace

QByteArray MakeHeif(const QImage& image, const HeifOptions& options) {
  const std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(),
                                                                            heif_context_free);
  const bool alpha = image.hasAlphaChannel();
  const QImage packed = image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
  heif_image* raw = nullptr;
  if (heif_image_create(image.width(), image.height(), heif_colorspace_RGB,
                        alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &raw)
          .code != heif_error_Ok)
    return {};
  const std::unique_ptr<heif_image, decltype(&heif_image_release)> picture(raw, heif_image_release);
  heif_image_add_plane(raw, heif_channel_interleaved, image.width(), image.height(), 8);
  int stride = 0;
  uint8_t* pixels = heif_image_get_plane(raw, heif_channel_interleaved, &stride);
  for (int y = 0; y < image.height(); ++y)
    std::memcpy(pixels + y * stride, packed.constScanLine(y), size_t(image.width()) * (alpha ? 4 : 3));
  if (!options.iccProfile.isEmpty())
    heif_image_set_raw_color_profile(raw, "prof", options.iccProfile.constData(),
                                     size_t(options.iccProfile.size()));
  const std::unique_ptr<heif_color_profile_nclx, decltype(&heif_nclx_color_profile_free)> nclx(
      heif_nclx_color_profile_alloc(), heif_nclx_color_profile_free);
  if (options.displayP3) {
    nclx->color_primaries = heif_color_primaries_SMPTE_EG_432_1;
    nclx->transfer_characteristics = heif_transfer_characteristic_IEC_61966_2_1;
    heif_image_set_nclx_color_profile(raw, nclx.get());
  }
  heif_encoder* encoder = nullptr;
  const heif_compression_format format =
      options.codec == HeifCodec::Av1 ? heif_compression_AV1 : heif_compression_HEVC;
  if (heif_context_get_encoder_for_format(context.get(), format, &encoder).code != heif_error_Ok) return {};
  heif_encoder_set_lossy_quality(encoder, 90);
  heif_encoding_options* encoding = heif_encoding_options_alloc();
  encoding->image_orientation = heif_orientation(options.orientation);
  if (options.displayP3) encoding->output_nclx_profile = nclx.get();
  const heif_error encoded = heif_context_encode_image(context.get(), raw, encoder, encoding, nullptr);
  heif_encoding_options_free(encoding);
  heif_encoder_release(encoder);
  QByteArray file;
  heif_writer writer{1, appendTo};
  if (encoded.code != heif_error_Ok ||
      heif_context_write(context.get(), &writer, &file).code != heif_error_Ok)
    return {};
  return file;
}

QByteArray MakeJxl(const QImage& image, const JxlOptions& options) {
  const JxlEncoderPtr encoder = JxlEncoderMake(nullptr);
  const bool alpha = image.hasAlphaChannel();
  JxlBasicInfo info;
  JxlEncoderInitBasicInfo(&info);
  info.xsize = uint32_t(image.width());
  info.ysize = uint32_t(image.height());
  info.bits_per_sample = 8;
  info.num_color_channels = 3;
  info.num_extra_channels = alpha ? 1 : 0;
  info.alpha_bits = alpha ? 8 : 0;
  info.orientation = JxlOrientation(options.orientation);
  info.uses_original_profile = options.lossless;
  JxlEncoderUseContainer(encoder.get(), options.container);
  if (JxlEncoderSetBasicInfo(encoder.get(), &info) != JXL_ENC_SUCCESS) return {};
  if (options.iccProfile.isEmpty()) {
    JxlColorEncoding srgb;
    JxlColorEncodingSetToSRGB(&srgb, false);
    JxlEncoderSetColorEncoding(encoder.get(), &srgb);
  } else {
    JxlEncoderSetICCProfile(encoder.get(), reinterpret_cast<const uint8_t*>(options.iccProfile.constData()),
                            size_t(options.iccProfile.size()));
  }
  JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder.get(), nullptr);
  JxlEncoderSetFrameLossless(settings, options.lossless);
  const QImage pixels = image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
  const JxlPixelFormat format{alpha ? 4u : 3u, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
  std::vector<uint8_t> packed;
  for (int y = 0; y < pixels.height(); ++y)
    packed.insert(packed.end(), pixels.constScanLine(y),
                  pixels.constScanLine(y) + size_t(pixels.width()) * format.num_channels);
  if (JxlEncoderAddImageFrame(settings, &format, packed.data(), packed.size()) != JXL_ENC_SUCCESS) return {};
  JxlEncoderCloseInput(encoder.get());
  QByteArray file;
  for (;;) {
    const qsizetype done = file.size();
    file.resize(done + 65536);
    auto* next = reinterpret_cast<uint8_t*>(file.data() + done);
    size_t left = 65536;
    const JxlEncoderStatus status = JxlEncoderProcessOutput(encoder.get(), &next, &left);
    file.resize(file.size() - qsizetype(left));
    if (status == JXL_ENC_SUCCESS) return file;
    if (status != JXL_ENC_NEED_MORE_OUTPUT) return {};
  }
}

QByteArray PngClaimingSize(QByteArray png, QSize size) {
  if (png.size() < 33) return {};
  qToBigEndian<quint32>(quint32(size.width()), png.data() + 16);
  qToBigEndian<quint32>(quint32(size.height()), png.data() + 20);
  qToBigEndian<quint32>(Crc32(png.mid(12, 17)), png.data() + 29);
  return png;
}

QByteArray MakePng(const QImage& image, const QByteArray& iccProfile) {
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  QImage plain = image;
  plain.setColorSpace(QColorSpace());  // the profile is written by hand below
  plain.save(&buffer, "PNG");
  if (iccProfile.isEmpty()) return data;
  // iCCP after IHDR: a name, compression method 0, the zlib stream (qCompress's without its length prefix).
  QByteArray body = QByteArray("iCCP") + QByteArray("profile\0\0", 9) + qCompress(iccProfile).mid(4);
  QByteArray chunk(4, '\0');
  qToBigEndian<quint32>(quint32(body.size() - 4), chunk.data());
  chunk += body;
  QByteArray crc(4, '\0');
  qToBigEndian<quint32>(Crc32(body), crc.data());
  chunk += crc;
  data.insert(8 + 25, chunk);
  return data;
}

int LinearFixed(int srgb) {
  const double v = srgb / 255.0;
  const double linear = v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  return int(std::lround(linear * 8192));
}

bool WriteFile(const QString& path, const QByteArray& data) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

}  // namespace picture_gen
