// ICO and CUR: which of a file's images to show (the largest Qt's reader can decode in full), with the size
// the reader will give it, and the decoding of that image alone.
#include "pictures/picture_bounds.h"
#include "pictures/picture_loader_internal.h"

#include <QBuffer>
#include <QByteArray>
#include <QIODevice>
#include <QImage>
#include <QSize>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <vector>

namespace pictureloader {

namespace {

// Icon files hold a handful of images; looking further only costs time on hostile ones.
constexpr int kMaxIconEntries = 1024;
// Decoding attempts, largest image first, when an icon's best images turn out unreadable.
constexpr int kMaxIconAttempts = 4;
// The largest size an icon stored as a bitmap can have (its directory holds sizes in one byte).
constexpr int kMaxIconBitmapSide = 256;

using picturebounds::carried;
using picturebounds::fits;
using picturebounds::kPngPixelsPerByte;  // a PNG inside an icon

// The size of an icon's bitmap. The header describes the stored rows (colour and mask, so twice the height)
// and wins where the directory disagrees: Qt's reader would take the directory's and show the mask as
// colours, or refuse. Some writers store the height undoubled; that one matches the directory. The
// directory's 0 stands for 256. An empty size when neither makes sense.
QSize iconBitmapSize(int dirWidth, int dirHeight, qint32 headerWidth, qint32 headerHeight) {
  const auto valid = [](qint64 side) { return side > 0 && side <= kMaxIconBitmapSide; };
  const int dirW = dirWidth ? dirWidth : kMaxIconBitmapSide,
            dirH = dirHeight ? dirHeight : kMaxIconBitmapSide;
  const int w = valid(headerWidth) ? headerWidth : (dirWidth && valid(dirW) ? dirW : 0);
  int h = 0;
  if (valid(headerHeight / 2) && headerHeight / 2 != dirH && headerHeight == dirH)
    h = dirH;
  else if (valid(headerHeight / 2))
    h = headerHeight / 2;
  else if (dirHeight && valid(headerHeight) && headerHeight == dirH)
    h = dirH;
  return w && h ? QSize(w, h) : QSize();
}

}  // namespace

// The images of an icon or cursor file that Qt's reader can decode in full, largest first (by area, then by
// depth). Sizes are the ones the reader will produce: a bitmap's as iconBitmapSize() decides, a PNG's own.
std::vector<IconCandidate> iconCandidates(QIODevice& device) {
  std::vector<IconCandidate> candidates;
  const qint64 fileSize = device.size();
  char dir[6];
  if (!device.seek(0) || device.read(dir, 6) != 6) return candidates;
  const int count = std::min<int>(le16(dir + 4), kMaxIconEntries);
  const QByteArray entries = device.read(qint64(count) * 16);

  for (int i = 0; i < int(entries.size() / 16); ++i) {
    const char* e = entries.constData() + i * 16;
    const int dirWidth = uchar(e[0]);
    const int dirHeight = uchar(e[1]);
    const int dirBits = le16(e + 6);  // a cursor's hotspot; Qt's reader still falls back on it
    const qint64 bytes = le32(e + 8);
    const qint64 offset = le32(e + 12);
    char head[40];
    if (offset < 6 || offset >= fileSize || !device.seek(offset)) continue;
    const qint64 headSize = device.read(head, 40);

    IconCandidate c;
    c.index = i;
    if (headSize >= 26 && std::memcmp(head, "\x89PNG\r\n\x1A\n", 8) == 0) {
      if (std::memcmp(head + 12, "IHDR", 4) != 0 || bytes > fileSize - offset) continue;
      const qint64 w = be32(head + 16), h = be32(head + 20);
      if (!fits(w, h) || !carried(QSize(int(w), int(h)), bytes, kPngPixelsPerByte)) continue;
      static constexpr int kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
      const int colorType = uchar(head[25]);
      c.size = QSize(int(w), int(h));
      c.depth = uchar(head[24]) * (colorType < 7 ? kChannels[colorType] : 0);
      c.png = true;
    } else {
      if (headSize != 40 || le32(head) != 40) continue;  // the reader takes any header as 40 bytes long
      const qint32 headerWidth = qFromLittleEndian<qint32>(head + 4);
      const qint32 headerHeight = qFromLittleEndian<qint32>(head + 8);
      const int bits = le16(head + 14) ? le16(head + 14) : dirBits;
      if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) continue;
      const QSize size = iconBitmapSize(dirWidth, dirHeight, headerWidth, headerHeight);
      if (size.isEmpty()) continue;
      const int w = size.width(), h = size.height();
      const quint32 used = le32(head + 32);
      const qint64 colors = bits <= 8 ? (used ? used : (1u << bits)) : 0;
      if (colors > 256) continue;
      const qint64 colorStride = ((qint64(w) * bits + 31) / 32) * 4;
      const qint64 maskStride = ((qint64(w) + 31) / 32) * 4;
      c.bytes = 40 + colors * 4 + h * (colorStride + maskStride);
      if (offset + c.bytes > fileSize) continue;  // truncated
      c.size = size;
      c.depth = bits;
      c.offset = offset;
    }
    candidates.push_back(c);
  }
  std::stable_sort(candidates.begin(), candidates.end(), [](const IconCandidate& a, const IconCandidate& b) {
    const qint64 areaA = qint64(a.size.width()) * a.size.height();
    const qint64 areaB = qint64(b.size.width()) * b.size.height();
    return areaA != areaB ? areaA > areaB : a.depth > b.depth;
  });
  return candidates;
}

namespace {

// A bitmap image of an icon as an icon file of its own, whose directory and header agree on the size the
// candidate has. At most a 256 x 256 bitmap with its mask, so small.
QByteArray singleIcon(QIODevice& device, const IconCandidate& c) {
  if (!device.seek(c.offset)) return {};
  QByteArray bitmap = device.read(c.bytes);
  if (bitmap.size() != c.bytes) return {};
  qToLittleEndian<qint32>(c.size.width(), bitmap.data() + 4);
  qToLittleEndian<qint32>(c.size.height() * 2, bitmap.data() + 8);
  QByteArray icon(6 + 16, '\0');
  char* p = icon.data();
  qToLittleEndian<quint16>(1, p + 2);
  qToLittleEndian<quint16>(1, p + 4);
  p[6] = char(c.size.width() & 0xff);  // 256 is written as 0
  p[7] = char(c.size.height() & 0xff);
  qToLittleEndian<quint16>(1, p + 10);
  qToLittleEndian<quint16>(quint16(c.depth), p + 12);
  qToLittleEndian<quint32>(quint32(c.bytes), p + 14);
  qToLittleEndian<quint32>(6 + 16, p + 18);
  return icon + bitmap;
}

}  // namespace

QImage readIcon(QIODevice& device) {
  const std::vector<IconCandidate> candidates = iconCandidates(device);
  const int attempts = std::min<int>(int(candidates.size()), kMaxIconAttempts);
  for (int i = 0; i < attempts; ++i) {
    const IconCandidate& c = candidates[size_t(i)];
    QImage image;
    if (c.png) {
      image = readWithQt(device, "ico", c.index);
    } else {
      QBuffer single;
      single.setData(singleIcon(device, c));
      if (single.open(QIODevice::ReadOnly)) image = readWithQt(single, "ico");
    }
    if (!image.isNull()) return image;
  }
  return QImage();
}

}  // namespace pictureloader
