#include "pictures/heif_image.h"

#include <QBuffer>
#include <QColorSpace>
#include <QHash>
#include <QIODevice>
#include <QThread>
#include <QtEndian>

#include <libheif/heif.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <vector>

namespace heifimage {
namespace {

// libheif refuses a side of this many pixels or more before anything is allocated; the caller's own bound
// (a number of pixels) is the one that matters, this only keeps libheif from taking nonsense on trust.
constexpr int kMaxSide = 1 << 16;
// The "meta" box describes the items: a few kilobytes, more with a big colour profile or metadata kept in it.
constexpr qint64 kMaxMetaBytes = 16 * 1024 * 1024;
// Real files have a handful of top-level boxes (ftyp, meta, mdat, perhaps free) and at most hundreds of
// items (a grid's tiles, thumbnails, metadata); a file of thousands of tiny boxes only costs time.
constexpr int kMaxTopLevelBoxes = 1024;
constexpr size_t kMaxItems = 65536;
// Real colour profiles are a few kilobytes, rarely a megabyte.
constexpr size_t kMaxProfileBytes = 4 * 1024 * 1024;

struct ContextFree {
  void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleRelease {
  void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageRelease {
  void operator()(heif_image* image) const { heif_image_release(image); }
};
struct OptionsFree {
  void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};
using Context = std::unique_ptr<heif_context, ContextFree>;
using Handle = std::unique_ptr<heif_image_handle, HandleRelease>;
using Image = std::unique_ptr<heif_image, ImageRelease>;

// The sizes are read from the boxes here, not asked of libheif. libheif 1.15 gives a picture's stored size
// ("ispe") unturned, parses a file by reading every top-level box whole (the coded data too: a size should
// cost a few kilobytes, not a copy of the file), and decodes whatever size the coded stream says, whatever
// the file claims.

// One box inside a parent's bytes: its type and its contents. A size of 0 runs to the parent's end.
struct Box {
  QByteArrayView type;
  QByteArrayView body;
};

// The next box in `data`, which is moved past it; false at the end or where a box is broken.
bool nextBox(QByteArrayView& data, Box& box) {
  if (data.size() < 8) return false;
  quint64 length = qFromBigEndian<quint32>(data.data());
  qsizetype header = 8;
  if (length == 1) {
    if (data.size() < 16) return false;
    length = qFromBigEndian<quint64>(data.data() + 8);
    header = 16;
  } else if (length == 0) {
    length = quint64(data.size());
  }
  if (length < quint64(header) || length > quint64(data.size())) return false;
  box = {data.sliced(4, 4), data.sliced(header, qsizetype(length) - header)};
  data = data.sliced(qsizetype(length));
  return true;
}

// Big-endian fields read in turn, whole bytes or (bits()) bits; past the end every field is 0 and `ok`
// false.
struct Fields {
  QByteArrayView data;
  qsizetype at = 0;  // in bytes; bits() keeps its own place
  qint64 bit = 0;
  bool ok = true;

  quint64 get(int bytes) {
    if (bytes < 0 || bytes > 8 || at + bytes > data.size()) {
      ok = false;
      return 0;
    }
    quint64 value = 0;
    for (int i = 0; i < bytes; ++i) value = (value << 8) | uchar(data[at + i]);
    at += bytes;
    return value;
  }
  quint64 bits(int count) {
    quint64 value = 0;
    for (int i = 0; i < count; ++i, ++bit) {
      if (bit >= qint64(data.size()) * 8) {
        ok = false;
        return 0;
      }
      value = (value << 1) | ((uchar(data[qsizetype(bit / 8)]) >> (7 - bit % 8)) & 1);
    }
    return value;
  }
  // An Exp-Golomb number (HEVC's ue(v)).
  quint64 golomb() {
    int zeros = 0;
    while (ok && bits(1) == 0) {
      if (++zeros > 32) ok = false;
    }
    return ok ? (quint64(1) << zeros) - 1 + bits(zeros) : 0;
  }
};

// The "meta" box among the file's top-level boxes, read whole; the others are stepped over unread.
QByteArray metaBox(QIODevice& device) {
  const qint64 end = device.size();
  for (qint64 at = 0, boxes = 0; at + 8 <= end && boxes < kMaxTopLevelBoxes; ++boxes) {
    if (!device.seek(at)) return {};
    const QByteArray header = device.read(16);
    if (header.size() < 8) return {};
    quint64 length = qFromBigEndian<quint32>(header.constData());
    if (length == 1) {
      if (header.size() < 16) return {};
      length = qFromBigEndian<quint64>(header.constData() + 8);
    } else if (length == 0) {
      length = quint64(end - at);
    }
    if (length < 8 || length > quint64(end - at)) return {};
    if (header.sliced(4, 4) == "meta") {
      if (length > quint64(kMaxMetaBytes) || !device.seek(at)) return {};
      return device.read(qint64(length));
    }
    at += qint64(length);
  }
  return {};
}

// Where an item's data is: its first extent.
struct Location {
  quint64 offset = 0;
  quint64 length = 0;   // 0: to the end
  bool inMeta = false;  // in "idat" rather than at a file offset
};

struct Item {
  quint32 id = 0;
  QByteArrayView type;  // "hvc1", "av01", "grid"...
  std::optional<Location> location;
};

// What the "meta" box says of the items (views into its bytes).
struct Meta {
  quint32 primary = 0;
  std::vector<Item> items;
  std::vector<Box> properties;         // all of "ipco", in order
  std::vector<Box> primaryProperties;  // the primary item's
  QByteArrayView idat;

  const Item* item(quint32 id) const {
    const auto found =
        std::find_if(items.begin(), items.end(), [&](const Item& item) { return item.id == id; });
    return found == items.end() ? nullptr : &*found;
  }
};

// The result views `bytes`, which must outlive it: no temporary.
std::optional<Meta> parseMeta(QByteArray&& bytes) = delete;
std::optional<Meta> parseMeta(const QByteArray& file) {
  QByteArrayView bytes = file;
  Box box;
  if (!nextBox(bytes, box) || box.type != "meta" || box.body.size() < 4) return {};
  QByteArrayView children = box.body.sliced(4);  // after version and flags
  QByteArrayView iinf, iloc;
  std::vector<QByteArrayView> ipmas;
  bool hasPrimary = false;
  Meta meta;
  QHash<quint32, size_t> itemIndex;
  while (nextBox(children, box)) {
    if (box.type == "pitm") {
      Fields f{box.body};
      meta.primary = quint32(f.get(f.get(4) >> 24 == 0 ? 2 : 4));
      hasPrimary = f.ok;
    } else if (box.type == "iinf") {
      iinf = box.body;
    } else if (box.type == "iloc") {
      iloc = box.body;
    } else if (box.type == "idat") {
      meta.idat = box.body;
    } else if (box.type == "iprp") {
      QByteArrayView inner = box.body;
      Box child;
      while (nextBox(inner, child)) {
        Box property;
        // An association names a property by 15 bits at most: any further ones belong to no item.
        for (QByteArrayView list = child.body;
             child.type == "ipco" && meta.properties.size() < 0x7FFF && nextBox(list, property);) {
          meta.properties.push_back(property);
        }
        if (child.type == "ipma") ipmas.push_back(child.body);
      }
    }
  }
  if (!hasPrimary) return {};

  // The items and their types, from their "infe" entries.
  Fields info{iinf};
  info.get(info.get(4) >> 24 == 0 ? 2 : 4);  // the entry count: the boxes say it too
  for (QByteArrayView entries = info.ok ? iinf.sliced(info.at) : QByteArrayView(); nextBox(entries, box);) {
    Fields f{box.body};
    const quint64 version = f.get(4) >> 24;
    if (box.type != "infe" || version < 2) continue;
    const quint64 id = f.get(version == 2 ? 2 : 4);
    f.get(2);  // protection
    if (!f.ok || f.at + 4 > box.body.size()) continue;
    if (meta.items.size() >= kMaxItems) return {};
    itemIndex.insert(quint32(id), meta.items.size());
    meta.items.push_back({quint32(id), box.body.sliced(f.at, 4), {}});
  }

  // The primary item's properties: indices from 1 into "ipco", in one or more "ipma" boxes.
  for (const QByteArrayView ipma : ipmas) {
    Fields f{ipma};
    const quint64 head = f.get(4);
    const bool wide = head & 1;
    for (quint64 entries = f.get(4); f.ok && entries > 0; --entries) {
      const quint64 id = f.get(head >> 24 < 1 ? 2 : 4);
      for (quint64 count = f.get(1); f.ok && count > 0; --count) {
        const quint64 index = wide ? f.get(2) & 0x7FFF : f.get(1) & 0x7F;
        if (f.ok && id == meta.primary && index >= 1 && index <= meta.properties.size()) {
          meta.primaryProperties.push_back(meta.properties[index - 1]);
        }
      }
    }
  }

  // Where the items' data is.
  Fields f{iloc};
  const quint64 version = f.get(4) >> 24;
  const quint64 sizes = f.get(2);
  const int offsetBytes = int(sizes >> 12), lengthBytes = int((sizes >> 8) & 15);
  const int baseBytes = int((sizes >> 4) & 15), indexBytes = version >= 1 ? int(sizes & 15) : 0;
  for (quint64 items = f.get(version < 2 ? 2 : 4); f.ok && items > 0; --items) {
    const quint64 id = f.get(version < 2 ? 2 : 4);
    const quint64 method = version >= 1 ? f.get(2) & 15 : 0;
    f.get(2);  // data reference
    const quint64 base = f.get(baseBytes);
    for (quint64 extents = f.get(2), first = 1; f.ok && extents > 0; --extents, first = 0) {
      f.get(indexBytes);
      const quint64 offset = f.get(offsetBytes);
      const quint64 length = f.get(lengthBytes);
      const auto item = itemIndex.constFind(quint32(id));
      if (f.ok && first && method <= 1 && item != itemIndex.constEnd()) {
        meta.items[*item].location = Location{base + offset, length, method == 1};
      }
    }
  }
  return meta;
}

// The first bytes of an item's data (at most `most`), from "idat" or the file.
using ReadAt = std::function<QByteArray(quint64, qint64)>;
QByteArray itemData(const Meta& meta, const Item& item, qint64 most, const ReadAt& readAt) {
  if (!item.location) return {};
  const Location& at = *item.location;
  const qint64 length = at.length == 0 ? most : qint64(std::min<quint64>(at.length, quint64(most)));
  if (!at.inMeta) return readAt(at.offset, length);
  if (at.offset > quint64(meta.idat.size()) || quint64(length) > quint64(meta.idat.size()) - at.offset)
    return {};
  return meta.idat.sliced(qsizetype(at.offset), length).toByteArray();
}

// The primary picture's size as shown. The size before the turn is the grid's for a grid (phones'
// photographs; libheif's writer wraps pictures of odd sizes in one), else "ispe"; a quarter turn ("irot")
// swaps the sides. A crop ("clap") is left out, so the size is never less than the picture decoded.
QSize shownSize(const Meta& meta, const ReadAt& readAt) {
  QSize size;
  bool turned = false;
  for (const Box& property : meta.primaryProperties) {
    Fields f{property.body};
    if (property.type == "ispe") {
      f.get(4);
      const quint64 width = f.get(4), height = f.get(4);
      // libheif refuses these before decoding too.
      if (!f.ok || width == 0 || height == 0 || width >= kMaxSide || height >= kMaxSide) return {};
      size = QSize(int(width), int(height));
    } else if (property.type == "irot") {
      turned = f.get(1) & 1;  // a quarter or three quarters of a turn
    }
  }
  const Item* primary = meta.item(meta.primary);
  if (primary && primary->type == "grid") {
    const QByteArray layout = itemData(meta, *primary, 12, readAt);
    Fields f{layout};
    const int fieldBytes = (f.get(2) & 1) ? 4 : 2;  // version, flags
    f.get(2);                                       // rows and columns
    const quint64 width = f.get(fieldBytes), height = f.get(fieldBytes);
    if (!f.ok || width == 0 || height == 0 || width >= kMaxSide || height >= kMaxSide) return {};
    size = QSize(int(width), int(height));
  }
  return turned ? size.transposed() : size;
}

// The size an HEVC picture is coded at, from the sequence parameter set in its "hvcC" box.
QSize hevcCodedSize(QByteArrayView hvcC) {
  Fields f{hvcC};
  f.at = 22;  // the profile, level and formats
  for (quint64 arrays = f.get(1); f.ok && arrays > 0; --arrays) {
    const quint64 type = f.get(1) & 0x3F;
    for (quint64 units = f.get(2); f.ok && units > 0; --units) {
      const quint64 length = f.get(2);
      if (!f.ok || f.at + qsizetype(length) > hvcC.size()) return {};
      const QByteArrayView unit = hvcC.sliced(f.at, qsizetype(length));
      f.at += qsizetype(length);
      if (type != 33) continue;  // a sequence parameter set
      QByteArray raw;            // without the bytes that keep start codes out (the 3 of 00 00 03)
      int zeros = 0;
      for (const char byte : unit) {
        if (zeros >= 2 && byte == 3) {
          zeros = 0;
          continue;
        }
        raw.append(byte);
        zeros = byte == 0 ? zeros + 1 : 0;
      }
      Fields sps{raw};
      sps.bits(16 + 4);  // the unit's header, the video parameter set
      const int subLayers = int(sps.bits(3));
      sps.bits(1 + 88 + 8);  // the general profile, tier and level
      std::vector<std::pair<bool, bool>> present(static_cast<size_t>(subLayers));
      for (auto& [profile, level] : present) {
        profile = sps.bits(1);
        level = sps.bits(1);
      }
      if (subLayers > 0) sps.bits(2 * (8 - subLayers));
      for (const auto& [profile, level] : present) sps.bits((profile ? 88 : 0) + (level ? 8 : 0));
      sps.golomb();                        // its id
      if (sps.golomb() == 3) sps.bits(1);  // 4:4:4, separate planes
      const quint64 width = sps.golomb(), height = sps.golomb();
      if (!sps.ok || width == 0 || height == 0 || width >= kMaxSide || height >= kMaxSide) return {};
      return QSize(int(width), int(height));
    }
  }
  return {};
}

// The largest size an AV1 picture may be coded at, from the sequence header among the first units of its
// data (an av1C box may copy it, but need not).
QSize av1CodedSize(QByteArrayView data) {
  Fields f{data};
  while (f.ok && f.at < data.size()) {
    const quint64 header = f.get(1);
    if (header & 4) f.get(1);      // the extension
    if (!(header & 2)) return {};  // no size field: not in a HEIF item
    quint64 length = 0;
    for (int i = 0; i < 8; ++i) {
      const quint64 byte = f.get(1);
      length |= (byte & 0x7F) << (7 * i);
      if (!(byte & 0x80)) break;
    }
    if (!f.ok || length > quint64(data.size() - f.at)) return {};
    const QByteArrayView unit = data.sliced(f.at, qsizetype(length));
    f.at += qsizetype(length);
    if (((header >> 3) & 15) != 1) continue;  // not the sequence header
    Fields seq{unit};
    seq.bits(3 + 1);    // profile, still picture
    if (seq.bits(1)) {  // the reduced header of a still picture
      seq.bits(5);
    } else {
      bool decoderModel = false;
      int delayBits = 0;
      if (seq.bits(1)) {  // timing
        seq.bits(64);
        if (seq.bits(1)) {  // one picture interval: uvlc
          int zeros = 0;
          while (seq.ok && seq.bits(1) == 0) {
            if (++zeros > 32) return {};
          }
          seq.bits(zeros);
        }
        decoderModel = seq.bits(1);
        if (decoderModel) {
          delayBits = int(seq.bits(5)) + 1;
          seq.bits(32 + 5 + 5);
        }
      }
      const bool displayDelay = seq.bits(1);
      for (quint64 points = seq.bits(5) + 1; seq.ok && points > 0; --points) {
        seq.bits(12);
        if (seq.bits(5) > 7) seq.bits(1);
        if (decoderModel && seq.bits(1)) seq.bits(2 * delayBits + 1);
        if (displayDelay && seq.bits(1)) seq.bits(4);
      }
    }
    const int widthBits = int(seq.bits(4)) + 1, heightBits = int(seq.bits(4)) + 1;
    const quint64 width = seq.bits(widthBits) + 1, height = seq.bits(heightBits) + 1;
    if (!seq.ok || width >= kMaxSide || height >= kMaxSide) return {};
    return QSize(int(width), int(height));
  }
  return {};
}

// The largest coded picture in the file (the primary, a grid's tiles, alpha, thumbnails); empty when there
// is none libheif could decode, nothing when one cannot be read (libheif would not decode it either).
std::optional<QSize> largestCodedPicture(const Meta& meta, const ReadAt& readAt) {
  QSize largest;
  const auto take = [&](QSize coded) {
    if (coded.isEmpty()) return false;
    if (qint64(coded.width()) * coded.height() > qint64(largest.width()) * largest.height()) largest = coded;
    return true;
  };
  for (const Box& property : meta.properties) {
    if (property.type == "hvcC" && !take(hevcCodedSize(property.body))) return {};
  }
  // libheif's writer leaves the sequence header out of "av1C": it is read from each item's data.
  constexpr qint64 kHeaderBytes = 256;
  constexpr int kMaxCodedItems = 4096;
  int items = 0;
  for (const Item& item : meta.items) {
    if (item.type != "av01") continue;
    if (++items > kMaxCodedItems) return {};
    const QByteArray start = itemData(meta, item, kHeaderBytes, readAt);
    if (!take(av1CodedSize(start))) return {};
  }
  return largest;
}

// The size the caller judges: the shown one, or the largest coded picture where the file claims less than
// that (give or take the blocks HEVC codes whole). libheif decodes what the coded stream says, whatever the
// file claims, and the caller must know what it agrees to.
QSize judgedSize(const Meta& meta, const ReadAt& readAt) {
  constexpr int kPadding = 64;
  const QSize shown = shownSize(meta, readAt);
  const std::optional<QSize> coded = largestCodedPicture(meta, readAt);
  if (shown.isEmpty() || !coded) return {};
  if (qint64(coded->width()) * coded->height() <=
      qint64(shown.width() + kPadding) * (shown.height() + kPadding))
    return shown;
  return (shown.height() > shown.width()) != (coded->height() > coded->width()) ? coded->transposed()
                                                                                : *coded;
}

Context newContext() {
  Context context(heif_context_alloc());
  if (context) {
    heif_context_set_maximum_image_size_limit(context.get(), kMaxSide);
    // Grid pictures (a phone's photographs are 512 x 512 tiles) decode their tiles on these threads.
    heif_context_set_max_decoding_threads(context.get(), std::max(1, QThread::idealThreadCount()));
  }
  return context;
}

Handle primaryImage(heif_context* context) {
  heif_image_handle* handle = nullptr;
  if (heif_context_get_primary_image_handle(context, &handle).code != heif_error_Ok) return nullptr;
  return Handle(handle);
}

bool isDisplayP3(const heif_color_profile_nclx* nclx) {
  return nclx && nclx->color_primaries == heif_color_primaries_SMPTE_EG_432_1 &&
         nclx->transfer_characteristics == heif_transfer_characteristic_IEC_61966_2_1;
}

// The colour space the file gives its pixels: an ICC profile, or Display P3 named by code points. Other
// code points are left alone: the common ones (BT.709 primaries, sRGB curve) are sRGB already.
QColorSpace colorSpace(const heif_image_handle* handle, const heif_image* image) {
  switch (heif_image_handle_get_color_profile_type(handle)) {
    case heif_color_profile_type_prof:
    case heif_color_profile_type_rICC: {
      const size_t bytes = heif_image_handle_get_raw_color_profile_size(handle);
      if (bytes == 0 || bytes > kMaxProfileBytes) return {};
      QByteArray profile(qsizetype(bytes), Qt::Uninitialized);
      if (heif_image_handle_get_raw_color_profile(handle, profile.data()).code != heif_error_Ok) return {};
      return QColorSpace::fromIccProfile(profile);
    }
    case heif_color_profile_type_nclx: {
      heif_color_profile_nclx* nclx = nullptr;
      if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok) return {};
      const bool p3 = isDisplayP3(nclx);
      heif_nclx_color_profile_free(nclx);
      return p3 ? QColorSpace(QColorSpace::DisplayP3) : QColorSpace();
    }
    default: {
      // No colr box: the coded stream may still name its colours.
      heif_color_profile_nclx* nclx = nullptr;
      if (heif_image_get_nclx_color_profile(image, &nclx).code != heif_error_Ok) return {};
      const bool p3 = isDisplayP3(nclx);
      heif_nclx_color_profile_free(nclx);
      return p3 ? QColorSpace(QColorSpace::DisplayP3) : QColorSpace();
    }
  }
}

void releaseImage(void* image) { heif_image_release(static_cast<heif_image*>(image)); }

ReadAt deviceReader(QIODevice& device) {
  return [&device](quint64 offset, qint64 length) {
    return offset <= quint64(device.size()) && device.seek(qint64(offset)) ? device.read(length)
                                                                           : QByteArray();
  };
}

QImage decode(const QByteArray& file, const std::function<bool(QSize)>& allowed) {
  QBuffer buffer;
  buffer.setData(file);  // shared, not copied
  if (!buffer.open(QIODevice::ReadOnly)) return {};
  const QByteArray metaBytes = metaBox(buffer);
  const std::optional<Meta> meta = parseMeta(metaBytes);
  if (!meta) return {};
  const QSize allowedSize = judgedSize(*meta, deviceReader(buffer));
  if (allowedSize.isEmpty() || !allowed(allowedSize)) return {};
  Context context = newContext();
  if (!context || heif_context_read_from_memory_without_copy(context.get(), file.constData(),
                                                             size_t(file.size()), nullptr)
                          .code != heif_error_Ok) {
    return {};
  }
  const Handle handle = primaryImage(context.get());
  if (!handle) return {};

  const bool alpha = heif_image_handle_has_alpha_channel(handle.get());
  const std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
  if (!options) return {};
  options->convert_hdr_to_8bit = 1;
  heif_image* decoded = nullptr;
  // Always four bytes a pixel: the drawing and the colour conversion are fastest on 32-bit pixels.
  if (heif_decode_image(handle.get(), &decoded, heif_colorspace_RGB, heif_chroma_interleaved_RGBA,
                        options.get())
          .code != heif_error_Ok) {
    return {};
  }
  Image image(decoded);
  // Checked again on what came out: one larger than the caller allowed is refused. A smaller one (a crop) or
  // one turned otherwise is taken: libheif 1.15's own writer stores "ispe" after the turn.
  const QSize size(heif_image_get_width(decoded, heif_channel_interleaved),
                   heif_image_get_height(decoded, heif_channel_interleaved));
  if (size.isEmpty() ||
      qint64(size.width()) * size.height() > qint64(allowedSize.width()) * allowedSize.height())
    return {};
  int stride = 0;
  uint8_t* pixels = heif_image_get_plane(decoded, heif_channel_interleaved, &stride);
  if (!pixels || stride < size.width() * 4) return {};

  QImage::Format format = QImage::Format_RGBX8888;
  if (alpha) {
    format = heif_image_handle_is_premultiplied_alpha(handle.get()) ? QImage::Format_RGBA8888_Premultiplied
                                                                    : QImage::Format_RGBA8888;
  }
  const QColorSpace space = colorSpace(handle.get(), decoded);
  const qsizetype rowBytes = qsizetype(size.width()) * 4;
  QImage result;
  if (stride == rowBytes) {
    // The image keeps libheif's pixels and lets them go with its last copy: no second copy of the picture.
    result = QImage(pixels, size.width(), size.height(), stride, format, releaseImage, image.get());
    if (result.isNull()) return {};
    image.release();
  } else {
    // libheif pads the rows of some widths (48 pixels: 256 bytes). Qt 6.4 converts RGBX8888 to RGBA8888 by
    // copying whole source rows, padding included, and so writes past the end of the converted image:
    // such pixels are copied into rows of their own.
    result = QImage(size, format);
    if (result.isNull()) return {};
    for (int y = 0; y < size.height(); ++y)
      memcpy(result.scanLine(y), pixels + qsizetype(y) * stride, rowBytes);
  }
  if (space.isValid()) result.setColorSpace(space);
  result.setDevicePixelRatio(1);
  return result;
}

}  // namespace

bool looksLikeHeif(const QByteArray& head) {
  if (head.size() < 12) return false;
  const auto* bytes = reinterpret_cast<const uint8_t*>(head.constData());
  // libheif says "supported" for its own brands only; AVIF's are named here in case the build it was given
  // lacks an AV1 decoder (then read() fails, as it should, instead of another reader guessing).
  switch (heif_check_filetype(bytes, int(head.size()))) {
    case heif_filetype_yes_supported:
      return true;
    case heif_filetype_no:
      return false;
    default:
      break;
  }
  static const char* const kBrands[] = {"heic", "heix", "hevc", "hevx", "heim",
                                        "heis", "mif1", "msf1", "avif", "avis"};
  return std::any_of(std::begin(kBrands), std::end(kBrands), [&](const char* brand) {
    return heif_has_compatible_brand(bytes, int(head.size()), brand) == 1;
  });
}

QSize size(QIODevice& device) {
  // The items are views into these bytes.
  const QByteArray metaBytes = metaBox(device);
  const std::optional<Meta> meta = parseMeta(metaBytes);
  return meta ? judgedSize(*meta, deviceReader(device)) : QSize();
}

QImage read(const QByteArray& file, const std::function<bool(QSize)>& allowed) {
  return decode(file, allowed);
}

}  // namespace heifimage
