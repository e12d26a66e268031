#include "pictures/jxl_image.h"

#include <QColorSpace>
#include <QIODevice>
#include <QThread>

#include <jxl/decode_cxx.h>
#include <jxl/resizable_parallel_runner_cxx.h>

#include <algorithm>
#include <climits>
#include <new>

namespace jxlimage {
namespace {

// Real colour profiles are a few kilobytes, rarely a megabyte.
constexpr size_t kMaxProfileBytes = 4 * 1024 * 1024;
// size() feeds the decoder this much at a time: the headers sit at the start of the codestream, behind at
// most the container's metadata boxes.
constexpr qint64 kHeaderChunkBytes = 16 * 1024;
// The headers are a few hundred bytes: input the decoder keeps asking more of without using is no header.
constexpr qsizetype kMaxHeaderInputBytes = 1024 * 1024;

// Eight bits of R, G, B and A a pixel, the bytes in that order: what QImage's RGBA8888 formats hold.
constexpr JxlPixelFormat kRgba8 = {4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};

// libjxl gives the size as shown: with the orientation applied (the default), it swaps the sides itself.
QSize shownSize(const JxlBasicInfo& info) {
  if (info.xsize == 0 || info.ysize == 0 || info.xsize > INT_MAX || info.ysize > INT_MAX) return {};
  return {int(info.xsize), int(info.ysize)};
}

// The colour space of the decoded pixels. sRGB (and grey on the sRGB curve) is left unset: it is what the
// caller converts to. Anything but that and Display P3 comes from the profile libjxl gives for the pixels
// (grey ones too: their pixels come out as RGB, and Qt applies a grey profile's curve to each channel).
QColorSpace dataColorSpace(const JxlDecoder* decoder) {
  JxlColorEncoding encoding{};
  if (JxlDecoderGetColorAsEncodedProfile(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &encoding) ==
          JXL_DEC_SUCCESS &&
      encoding.white_point == JXL_WHITE_POINT_D65 &&
      encoding.transfer_function == JXL_TRANSFER_FUNCTION_SRGB) {
    if (encoding.color_space == JXL_COLOR_SPACE_GRAY) return {};
    if (encoding.color_space == JXL_COLOR_SPACE_RGB && encoding.primaries == JXL_PRIMARIES_SRGB) return {};
    if (encoding.color_space == JXL_COLOR_SPACE_RGB && encoding.primaries == JXL_PRIMARIES_P3)
      return QColorSpace(QColorSpace::DisplayP3);
  }
  size_t bytes = 0;
  if (JxlDecoderGetICCProfileSize(decoder, &kRgba8, JXL_COLOR_PROFILE_TARGET_DATA, &bytes) !=
          JXL_DEC_SUCCESS ||
      bytes == 0 || bytes > kMaxProfileBytes) {
    return {};
  }
  QByteArray profile(qsizetype(bytes), Qt::Uninitialized);
  if (JxlDecoderGetColorAsICCProfile(decoder, &kRgba8, JXL_COLOR_PROFILE_TARGET_DATA,
                                     reinterpret_cast<uint8_t*>(profile.data()), bytes) != JXL_DEC_SUCCESS) {
    return {};
  }
  return QColorSpace::fromIccProfile(profile);
}

QImage decode(const QByteArray& file, const std::function<bool(QSize)>& allowed) {
  const JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
  const JxlResizableParallelRunnerPtr runner = JxlResizableParallelRunnerMake(nullptr);
  if (!decoder || !runner ||
      JxlDecoderSetParallelRunner(decoder.get(), JxlResizableParallelRunner, runner.get()) !=
          JXL_DEC_SUCCESS ||
      JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING |
                                                   JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
      JxlDecoderSetInput(decoder.get(), reinterpret_cast<const uint8_t*>(file.constData()),
                         size_t(file.size())) != JXL_DEC_SUCCESS) {
    return {};
  }
  JxlDecoderCloseInput(decoder.get());

  JxlBasicInfo info{};
  QImage image;
  for (;;) {
    switch (JxlDecoderProcessInput(decoder.get())) {
      case JXL_DEC_BASIC_INFO: {
        if (JxlDecoderGetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS) return {};
        const QSize size = shownSize(info);
        if (size.isEmpty() || !allowed(size)) return {};
        const uint32_t threads =
            std::min<uint32_t>(JxlResizableParallelRunnerSuggestThreads(info.xsize, info.ysize),
                               uint32_t(std::max(1, QThread::idealThreadCount())));
        JxlResizableParallelRunnerSetThreads(runner.get(), std::max<uint32_t>(threads, 1));
        break;
      }
      case JXL_DEC_COLOR_ENCODING:
        // A lossy picture whose file holds an ICC profile would otherwise come out in linear sRGB, which at
        // eight bits bands in the shadows; sRGB is what the caller converts to anyway.
        if (!info.uses_original_profile &&
            JxlDecoderGetColorAsEncodedProfile(decoder.get(), nullptr, JXL_COLOR_PROFILE_TARGET_ORIGINAL,
                                               nullptr) != JXL_DEC_SUCCESS) {
          JxlColorEncoding srgb{};
          srgb.color_space = info.num_color_channels == 1 ? JXL_COLOR_SPACE_GRAY : JXL_COLOR_SPACE_RGB;
          srgb.white_point = JXL_WHITE_POINT_D65;
          srgb.primaries = JXL_PRIMARIES_SRGB;
          srgb.transfer_function = JXL_TRANSFER_FUNCTION_SRGB;
          srgb.rendering_intent = JXL_RENDERING_INTENT_PERCEPTUAL;
          JxlDecoderSetPreferredColorProfile(decoder.get(), &srgb);
        }
        break;
      case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
        QImage::Format format = QImage::Format_RGBX8888;
        if (info.alpha_bits > 0) {
          format = info.alpha_premultiplied ? QImage::Format_RGBA8888_Premultiplied : QImage::Format_RGBA8888;
        }
        image = QImage(shownSize(info), format);
        size_t bytes = 0;
        // Four bytes a pixel keep QImage's rows contiguous, so libjxl writes straight into the image.
        if (image.isNull() || image.bytesPerLine() != qsizetype(image.width()) * 4 ||
            JxlDecoderImageOutBufferSize(decoder.get(), &kRgba8, &bytes) != JXL_DEC_SUCCESS ||
            bytes != size_t(image.sizeInBytes()) ||
            JxlDecoderSetImageOutBuffer(decoder.get(), &kRgba8, image.bits(), bytes) != JXL_DEC_SUCCESS) {
          return {};
        }
        break;
      }
      case JXL_DEC_FULL_IMAGE: {
        // The first frame is the picture; an animation stops here.
        if (image.isNull()) return {};
        const QColorSpace space = dataColorSpace(decoder.get());
        if (space.isValid()) image.setColorSpace(space);
        image.setDevicePixelRatio(1);
        return image;
      }
      default:
        // An error, or input that ends before the first frame (it was all given and closed).
        return {};
    }
  }
}

}  // namespace

bool looksLikeJxl(const QByteArray& head) {
  const JxlSignature signature =
      JxlSignatureCheck(reinterpret_cast<const uint8_t*>(head.constData()), size_t(head.size()));
  return signature == JXL_SIG_CODESTREAM || signature == JXL_SIG_CONTAINER;
}

QSize size(QIODevice& device) {
  const JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
  if (!decoder || !device.seek(0) ||
      JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO) != JXL_DEC_SUCCESS)
    return {};
  // The unread rest of the last chunk stays in front of the next one, as libjxl asks.
  QByteArray input;
  for (bool closed = false; !closed && input.size() <= kMaxHeaderInputBytes;) {
    input += device.read(kHeaderChunkBytes);
    if (JxlDecoderSetInput(decoder.get(), reinterpret_cast<const uint8_t*>(input.constData()),
                           size_t(input.size())) != JXL_DEC_SUCCESS)
      return {};
    closed = device.atEnd();
    if (closed) JxlDecoderCloseInput(decoder.get());
    const JxlDecoderStatus status = JxlDecoderProcessInput(decoder.get());
    if (status == JXL_DEC_BASIC_INFO) {
      JxlBasicInfo info{};
      return JxlDecoderGetBasicInfo(decoder.get(), &info) == JXL_DEC_SUCCESS ? shownSize(info) : QSize();
    }
    if (status != JXL_DEC_NEED_MORE_INPUT) return {};
    input = input.right(qsizetype(JxlDecoderReleaseInput(decoder.get())));
  }
  return {};
}

QImage read(const QByteArray& file, const std::function<bool(QSize)>& allowed) {
  return decode(file, allowed);
}

}  // namespace jxlimage
