#include "pictures/picture_jpeg12.h"

#include <QColorSpace>
#include <QIODevice>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace jpeg12 {
namespace {

constexpr int kMaxComponents = 3;
constexpr int kMaxSampling = 4;
// Real colour profiles are a few kilobytes, rarely a megabyte.
constexpr qsizetype kMaxProfileBytes = 4 * 1024 * 1024;

constexpr std::array<int, 64> kZigZag = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                         12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                         35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                         58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// A Huffman table in the canonical form of the file: the largest code of each length and where its
// symbols start.
struct Huffman {
  bool defined = false;
  std::array<int, 17> maxCode{};
  std::array<int, 17> valueOffset{};
  std::array<uchar, 256> values{};
};

struct Component {
  int id = 0;
  int h = 1, v = 1;
  int quant = 0;
  int dcTable = 0, acTable = 0;
  int dcPrediction = 0;
  int blocksWide = 0, blocksHigh = 0;  // of the plane, a whole number of MCUs
  std::vector<uchar> plane;            // 8-bit samples, blocksWide * 8 a row
};

// Entropy-coded bits: stuffed zero bytes dropped, zeros once a marker or the end is reached.
class Bits {
 public:
  Bits(const uchar* data, qsizetype size, qsizetype at) : data_(data), size_(size), at_(at) {}

  int get(int count) {
    while (count_ < count) {
      int byte = 0;
      if (!atMarker_ && at_ < size_) {
        byte = data_[at_];
        if (byte == 0xFF) {
          const int next = at_ + 1 < size_ ? data_[at_ + 1] : 0;
          if (next == 0x00) {
            at_ += 2;
          } else {
            atMarker_ = true;
            byte = 0;
          }
        } else {
          ++at_;
        }
      } else {
        ++starved_;
      }
      accumulator_ = (accumulator_ << 8) | quint32(byte);
      count_ += 8;
    }
    count_ -= count;
    return int((accumulator_ >> count_) & ((1u << count) - 1));
  }
  // At a restart: drop the partial byte and step over the marker.
  void restart() {
    count_ = 0;
    accumulator_ = 0;
    if (at_ + 1 < size_ && data_[at_] == 0xFF && data_[at_ + 1] >= 0xD0 && data_[at_ + 1] <= 0xD7) {
      at_ += 2;
      atMarker_ = false;
    }
  }
  // Bits were made up past the data: the blocks after this one would be too.
  bool exhausted() const { return starved_ > 0; }
  qsizetype position() const { return at_; }

 private:
  const uchar* data_ = nullptr;
  qsizetype size_ = 0;
  qsizetype at_ = 0;
  quint32 accumulator_ = 0;
  int count_ = 0;
  bool atMarker_ = false;
  int starved_ = 0;
};

int decode(Bits& bits, const Huffman& table) {
  int code = 0;
  for (int length = 1; length <= 16; ++length) {
    code = (code << 1) | bits.get(1);
    if (code <= table.maxCode[size_t(length)]) {
      const int index = table.valueOffset[size_t(length)] + code;
      return index >= 0 && index < 256 ? table.values[size_t(index)] : -1;
    }
  }
  return -1;
}

int extend(int value, int size) {
  return size && value < (1 << (size - 1)) ? value - (1 << size) + 1 : value;
}

// The inverse DCT by its definition, separable: two passes of 8 x 8 products.
class Idct {
 public:
  Idct() {
    for (int x = 0; x < 8; ++x)
      for (int u = 0; u < 8; ++u)
        table_[size_t(x * 8 + u)] =
            (u == 0 ? std::sqrt(0.5) : 1.0) * std::cos((2 * x + 1) * u * M_PI / 16) / 2;
  }
  // Coefficients in natural order to 12-bit samples shifted up by 2048, then to 8 bits.
  void run(const std::array<int, 64>& in, uchar* out, int stride) const {
    std::array<double, 64> rows{};
    for (int y = 0; y < 8; ++y)
      for (int u = 0; u < 8; ++u) {
        double sum = 0;
        for (int v = 0; v < 8; ++v) sum += table_[size_t(y * 8 + v)] * in[size_t(v * 8 + u)];
        rows[size_t(y * 8 + u)] = sum;
      }
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) {
        double sum = 0;
        for (int u = 0; u < 8; ++u) sum += table_[size_t(x * 8 + u)] * rows[size_t(y * 8 + u)];
        const int sample = std::clamp(int(std::lround(sum)) + 2048, 0, 4095);
        out[y * stride + x] = uchar((sample * 255 + 2047) / 4095);
      }
  }

 private:
  std::array<double, 64> table_{};
};

class Decoder {
 public:
  explicit Decoder(QByteArray data) : data_(std::move(data)) {}

  QImage run() {
    const uchar* d = reinterpret_cast<const uchar*>(data_.constData());
    const qsizetype size = data_.size();
    if (size < 4 || d[0] != 0xFF || d[1] != 0xD8) return QImage();
    qsizetype at = 2;
    while (at + 4 <= size) {
      if (d[at] != 0xFF) {
        ++at;  // junk between segments, skipped as libjpeg does
        continue;
      }
      const int marker = d[at + 1];
      if (marker == 0xFF) {
        ++at;
        continue;
      }
      if (marker == 0xD9) break;
      if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
        at += 2;
        continue;
      }
      const int length = (d[at + 2] << 8) | d[at + 3];
      if (length < 2 || at + 2 + length > size) break;
      const uchar* body = d + at + 4;
      const int bodySize = length - 2;
      at += 2 + length;
      bool ok = true;
      if (marker == 0xC4)
        ok = readHuffman(body, bodySize);
      else if (marker == 0xDB)
        ok = readQuant(body, bodySize);
      else if (marker == 0xC0 || marker == 0xC1)
        ok = readFrame(body, bodySize);
      else if (marker >= 0xC2 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
        return QImage();  // progressive, lossless or arithmetic
      else if (marker == 0xDD)
        ok = bodySize >= 2 && ((restartInterval_ = (body[0] << 8) | body[1]), true);
      else if (marker == 0xEE && bodySize >= 12 && std::memcmp(body, "Adobe", 5) == 0)
        adobeTransform_ = body[11];
      else if (marker == 0xE2 && bodySize >= 14 && std::memcmp(body, "ICC_PROFILE\0", 12) == 0)
        readProfilePart(body, bodySize);
      else if (marker == 0xDA) {
        // Sequential coding has at most one scan a component; more is another pass over the picture.
        if (scans_ == int(components_.size()) || !readScan(body, bodySize)) break;
        at = scan(at);
        ++scans_;
      }
      if (!ok) return QImage();
    }
    if (scans_ == 0) return QImage();
    QImage out = image();
    if (!out.isNull()) {
      const QColorSpace space = profile();
      if (space.isValid()) out.setColorSpace(space);
    }
    return out;
  }

 private:
  bool readHuffman(const uchar* p, int size) {
    while (size >= 17) {
      const int cls = p[0] >> 4, index = p[0] & 0x0f;
      if (cls > 1 || index > 3) return false;
      int total = 0;
      for (int i = 1; i <= 16; ++i) total += p[i];
      if (total > 256 || 17 + total > size) return false;
      Huffman& t = (cls ? ac_ : dc_)[size_t(index)];
      t = Huffman{};
      t.defined = true;
      int code = 0, k = 0;
      for (int length = 1; length <= 16; ++length) {
        const int count = p[length];
        t.valueOffset[size_t(length)] = k - code;
        code += count;
        k += count;
        t.maxCode[size_t(length)] = count ? code - 1 : -1;
        code <<= 1;
      }
      std::memcpy(t.values.data(), p + 17, size_t(total));
      p += 17 + total;
      size -= 17 + total;
    }
    return true;
  }

  // APP2 parts of a colour profile: "ICC_PROFILE", a zero, the part's number from 1 and the count.
  void readProfilePart(const uchar* p, int size) {
    const int number = p[12], count = p[13];
    if (number < 1 || number > count || profileBytes_ + size > kMaxProfileBytes) return;
    profileParts_.resize(size_t(count));
    QByteArray& part = profileParts_[size_t(number - 1)];
    if (!part.isEmpty()) return;
    part = QByteArray(reinterpret_cast<const char*>(p) + 14, size - 14);
    profileBytes_ += part.size();
  }

  QColorSpace profile() const {
    QByteArray whole;
    for (const QByteArray& part : profileParts_) {
      if (part.isEmpty()) return QColorSpace();
      whole += part;
    }
    return whole.isEmpty() ? QColorSpace() : QColorSpace::fromIccProfile(whole);
  }

  bool readQuant(const uchar* p, int size) {
    while (size >= 1) {
      const int precision = p[0] >> 4, index = p[0] & 0x0f;
      const int entry = precision ? 2 : 1;
      if (precision > 1 || index > 3 || size < 1 + 64 * entry) return false;
      for (int i = 0; i < 64; ++i)
        quant_[size_t(index)][size_t(kZigZag[size_t(i)])] =
            precision ? (p[1 + 2 * i] << 8) | p[2 + 2 * i] : p[1 + i];
      p += 1 + 64 * entry;
      size -= 1 + 64 * entry;
    }
    return true;
  }

  bool readFrame(const uchar* p, int size) {
    if (frame_ || size < 6 || p[0] != 12) return false;
    height_ = (p[1] << 8) | p[2];
    width_ = (p[3] << 8) | p[4];
    const int count = p[5];
    if (width_ == 0 || height_ == 0 || (count != 1 && count != kMaxComponents) || size < 6 + 3 * count)
      return false;
    for (int i = 0; i < count; ++i) {
      Component c;
      c.id = p[6 + 3 * i];
      c.h = p[7 + 3 * i] >> 4;
      c.v = p[7 + 3 * i] & 0x0f;
      c.quant = p[8 + 3 * i];
      if (c.h < 1 || c.h > kMaxSampling || c.v < 1 || c.v > kMaxSampling || c.quant > 3) return false;
      components_.push_back(std::move(c));
    }
    for (const Component& c : components_) {
      hMax_ = std::max(hMax_, c.h);
      vMax_ = std::max(vMax_, c.v);
    }
    mcusWide_ = (width_ + 8 * hMax_ - 1) / (8 * hMax_);
    mcusHigh_ = (height_ + 8 * vMax_ - 1) / (8 * vMax_);
    for (Component& c : components_) {
      c.blocksWide = mcusWide_ * c.h;
      c.blocksHigh = mcusHigh_ * c.v;
      // Black where no scan reaches: no light, no colour.
      c.plane.assign(size_t(c.blocksWide) * 8 * size_t(c.blocksHigh) * 8,
                     uchar(count == 1 || &c == &components_[0] || adobeTransform_ == 0 ? 0 : 128));
    }
    frame_ = true;
    return true;
  }

  bool readScan(const uchar* p, int size) {
    if (!frame_ || size < 1) return false;
    const int count = p[0];
    if (count < 1 || count > int(components_.size()) || size < 1 + 2 * count + 3) return false;
    scanComponents_.clear();
    for (int i = 0; i < count; ++i) {
      const int id = p[1 + 2 * i], tables = p[2 + 2 * i];
      auto it = std::find_if(components_.begin(), components_.end(),
                             [id](const Component& c) { return c.id == id; });
      if (it == components_.end()) return false;
      it->dcTable = tables >> 4;
      it->acTable = tables & 0x0f;
      if (it->dcTable > 3 || it->acTable > 3 || !dc_[size_t(it->dcTable)].defined ||
          !ac_[size_t(it->acTable)].defined)
        return false;
      scanComponents_.push_back(&*it);
    }
    const uchar* s = p + 1 + 2 * count;
    return s[0] == 0 && s[1] == 63 && s[2] == 0;  // sequential: the whole band, no approximation
  }

  // Decodes the scan whose data starts at `at`; returns where the data ended.
  qsizetype scan(qsizetype at) {
    Bits bits(reinterpret_cast<const uchar*>(data_.constData()), data_.size(), at);
    for (Component* c : scanComponents_) c->dcPrediction = 0;
    const bool single = scanComponents_.size() == 1;
    // A lone component is coded in its own blocks, only those that hold picture.
    const Component& first = *scanComponents_.front();
    const int unitsWide = single ? (((width_ * first.h + hMax_ - 1) / hMax_) + 7) / 8 : mcusWide_;
    const int unitsHigh = single ? (((height_ * first.v + vMax_ - 1) / vMax_) + 7) / 8 : mcusHigh_;
    const int units = unitsWide * unitsHigh;
    for (int unit = 0; unit < units; ++unit) {
      if (restartInterval_ && unit > 0 && unit % restartInterval_ == 0) {
        bits.restart();
        for (Component* c : scanComponents_) c->dcPrediction = 0;
      }
      const int ux = unit % unitsWide, uy = unit / unitsWide;
      for (Component* c : scanComponents_) {
        const int bw = single ? 1 : c->h, bh = single ? 1 : c->v;
        for (int by = 0; by < bh; ++by)
          for (int bx = 0; bx < bw; ++bx)
            if (!block(bits, *c, ux * bw + bx, uy * bh + by)) return bits.position();
      }
      if (bits.exhausted()) break;
    }
    return bits.position();
  }

  bool block(Bits& bits, Component& c, int blockX, int blockY) {
    std::array<int, 64> coefficients{};
    const std::array<int, 64>& q = quant_[size_t(c.quant)];
    const int dcSize = decode(bits, dc_[size_t(c.dcTable)]);
    if (dcSize < 0 || dcSize > 16) return false;
    c.dcPrediction += extend(dcSize ? bits.get(dcSize) : 0, dcSize);
    coefficients[0] = c.dcPrediction * q[0];
    for (int k = 1; k < 64;) {
      const int rs = decode(bits, ac_[size_t(c.acTable)]);
      if (rs < 0) return false;
      const int run = rs >> 4, size = rs & 0x0f;
      if (size == 0) {
        if (run != 15) break;
        k += 16;
        continue;
      }
      k += run;
      if (k > 63) return false;
      coefficients[size_t(kZigZag[size_t(k)])] = extend(bits.get(size), size) * q[size_t(kZigZag[size_t(k)])];
      ++k;
    }
    const int stride = c.blocksWide * 8;
    idct_.run(coefficients, c.plane.data() + size_t(blockY) * 8 * size_t(stride) + size_t(blockX) * 8,
              stride);
    return true;
  }

  QImage image() const {
    QImage out(width_, height_, QImage::Format_RGB32);
    if (out.isNull()) return out;
    const bool colour = components_.size() == kMaxComponents;
    const bool rgb = colour && adobeTransform_ == 0;
    for (int y = 0; y < height_; ++y) {
      QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
      std::array<const uchar*, kMaxComponents> rows{};
      for (size_t i = 0; i < components_.size(); ++i) {
        const Component& c = components_[i];
        rows[i] = c.plane.data() + size_t(y * c.v / vMax_) * size_t(c.blocksWide) * 8;
      }
      for (int x = 0; x < width_; ++x) {
        std::array<int, kMaxComponents> s{};
        for (size_t i = 0; i < components_.size(); ++i) s[i] = rows[i][x * components_[i].h / hMax_];
        if (!colour) {
          line[x] = qRgb(s[0], s[0], s[0]);
        } else if (rgb) {
          line[x] = qRgb(s[0], s[1], s[2]);
        } else {
          const double cb = s[1] - 128.0, cr = s[2] - 128.0;
          line[x] = qRgb(std::clamp(int(std::lround(s[0] + 1.402 * cr)), 0, 255),
                         std::clamp(int(std::lround(s[0] - 0.344136 * cb - 0.714136 * cr)), 0, 255),
                         std::clamp(int(std::lround(s[0] + 1.772 * cb)), 0, 255));
        }
      }
    }
    return out;
  }

  QByteArray data_;
  std::array<Huffman, 4> dc_{}, ac_{};
  std::array<std::array<int, 64>, 4> quant_{};
  std::vector<Component> components_;
  std::vector<Component*> scanComponents_;
  Idct idct_;
  bool frame_ = false;
  int width_ = 0, height_ = 0;
  int hMax_ = 1, vMax_ = 1;
  int mcusWide_ = 0, mcusHigh_ = 0;
  int restartInterval_ = 0;
  int adobeTransform_ = -1;  // -1: no Adobe marker
  int scans_ = 0;
  std::vector<QByteArray> profileParts_;
  qsizetype profileBytes_ = 0;
};

}  // namespace

QImage read(QIODevice& device) {
  if (!device.seek(0)) return QImage();
  return Decoder(device.readAll()).run();
}

}  // namespace jpeg12
