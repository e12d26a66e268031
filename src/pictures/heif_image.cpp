#include "pictures/heif_image.h"

#include <QColorSpace>
#include <QIODevice>
#include <QThread>

#include <libheif/heif.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace heifimage {
namespace {

// The whole file is read into memory; a real HEIF photograph is a few megabytes.
constexpr qint64 kMaxFileBytes = qint64(1) << 30;
// libheif refuses a side of this many pixels or more before anything is allocated; the caller's own bound
// (a number of pixels) is the one that matters, this only keeps libheif from taking nonsense on trust.
constexpr int kMaxSide = 1 << 16;
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

// libheif reading the device itself for size(). It reads every top-level box, the coded data too (it checks
// the items' extents against the file), but decodes nothing.
struct DeviceReader {
  QIODevice* device = nullptr;
  qint64 size = 0;
};

int64_t readerPosition(void* userData) { return static_cast<DeviceReader*>(userData)->device->pos(); }

int readerRead(void* data, size_t size, void* userData) {
  QIODevice* device = static_cast<DeviceReader*>(userData)->device;
  return device->read(static_cast<char*>(data), qint64(size)) == qint64(size) ? 0 : -1;
}

int readerSeek(int64_t position, void* userData) {
  return static_cast<DeviceReader*>(userData)->device->seek(position) ? 0 : -1;
}

heif_reader_grow_status readerWait(int64_t targetSize, void* userData) {
  return targetSize <= static_cast<DeviceReader*>(userData)->size ? heif_reader_grow_status_size_reached
                                                                  : heif_reader_grow_status_size_beyond_eof;
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

// The handle's size is the shown one: libheif swaps the sides for a quarter turn and applies the crop.
QSize shownSize(const heif_image_handle* handle) {
  return {heif_image_handle_get_width(handle), heif_image_handle_get_height(handle)};
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

QImage decode(const QByteArray& file, const std::function<bool(QSize)>& allowed) {
  Context context = newContext();
  if (!context || heif_context_read_from_memory_without_copy(context.get(), file.constData(),
                                                             size_t(file.size()), nullptr)
                          .code != heif_error_Ok) {
    return {};
  }
  const Handle handle = primaryImage(context.get());
  if (!handle) return {};
  const QSize size = shownSize(handle.get());
  if (size.isEmpty() || !allowed(size)) return {};

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
  // The coded stream decides what is decoded; a picture larger than the one the caller allowed is refused.
  const QSize decodedSize(heif_image_get_width(decoded, heif_channel_interleaved),
                          heif_image_get_height(decoded, heif_channel_interleaved));
  if (decodedSize != size) return {};
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
  const qint64 bytes = device.size();
  if (bytes <= 0 || bytes > kMaxFileBytes) return {};
  const qint64 start = device.pos();
  QSize result;
  try {
    DeviceReader state{&device, bytes};
    heif_reader reader{};
    reader.reader_api_version = 1;
    reader.get_position = readerPosition;
    reader.read = readerRead;
    reader.seek = readerSeek;
    reader.wait_for_file_size = readerWait;
    Context context = newContext();
    if (context && device.seek(0) &&
        heif_context_read_from_reader(context.get(), &reader, &state, nullptr).code == heif_error_Ok) {
      if (const Handle handle = primaryImage(context.get())) result = shownSize(handle.get());
    }
  } catch (const std::bad_alloc&) {
    result = QSize();
  }
  device.seek(start);
  return result.isEmpty() ? QSize() : result;
}

QImage read(QIODevice& device, const std::function<bool(QSize)>& allowed) {
  const qint64 bytes = device.size();
  if (bytes <= 0 || bytes > kMaxFileBytes || !device.seek(0)) return {};
  try {
    const QByteArray file = device.read(bytes);
    if (file.size() != bytes) return {};
    return decode(file, allowed);
  } catch (const std::bad_alloc&) {
    return {};
  }
}

}  // namespace heifimage
