#include "pictures/jpeg_rows.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace jpegrows {
namespace {

struct Failure {
  jpeg_error_mgr manager;
  std::jmp_buf back;
};

[[noreturn]] void leave(j_common_ptr info) {
  std::longjmp(static_cast<Failure*>(info->client_data)->back, 1);
}

void quiet(j_common_ptr, int) {}

// What the band needs beyond its pixels, read once the header is in. Kept apart from the function that sets
// the jump so that no object with a destructor lives across it.
void readBand(jpeg_decompress_struct& info, Band& band) {
  JOCTET* profile = nullptr;
  unsigned int length = 0;
  if (jpeg_read_icc_profile(&info, &profile, &length) && profile) {
    band.colorSpace =
        QColorSpace::fromIccProfile(QByteArray(reinterpret_cast<const char*>(profile), qsizetype(length)));
    std::free(profile);
  }
  if (info.saw_JFIF_marker && info.X_density > 0 && info.Y_density > 0) {
    // As Qt's reader converts them: dots per inch or per centimetre.
    if (info.density_unit == 1) {
      band.dotsPerMeterX = int(100. * info.X_density / 2.54);
      band.dotsPerMeterY = int(100. * info.Y_density / 2.54);
    } else if (info.density_unit == 2) {
      band.dotsPerMeterX = int(100. * info.X_density);
      band.dotsPerMeterY = int(100. * info.Y_density);
    }
  }
}

// The decode proper, in plain C terms: libjpeg leaves by longjmp on a fatal error.
bool decode(const unsigned char* data, unsigned long size, int top, uchar* bits, qsizetype stride, int width,
            int rows, bool grey, Band* band) {
  jpeg_decompress_struct info{};
  Failure failure{};
  info.err = jpeg_std_error(&failure.manager);
  failure.manager.error_exit = leave;
  failure.manager.emit_message = quiet;
  info.client_data = &failure;
  if (setjmp(failure.back)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, size);
  if (band) jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
  jpeg_read_header(&info, TRUE);
  const bool colour = info.jpeg_color_space == JCS_YCbCr || info.jpeg_color_space == JCS_RGB;
  const bool greyFile = info.jpeg_color_space == JCS_GRAYSCALE;
  if ((grey ? !greyFile : !colour) || int(info.image_width) != width || info.progressive_mode ||
      info.image_height < JDIMENSION(top + rows)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  if (band) readBand(info, *band);
  info.out_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGRX;  // BGRX with X = 0xFF is Qt's RGB32
  info.dct_method = JDCT_ISLOW;
  info.do_fancy_upsampling = TRUE;
  jpeg_start_decompress(&info);
  if (top > 0 && jpeg_skip_scanlines(&info, JDIMENSION(top)) != JDIMENSION(top)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  while (info.output_scanline < JDIMENSION(top + rows)) {
    JSAMPROW row = bits + stride * (qsizetype(info.output_scanline) - top);
    if (jpeg_read_scanlines(&info, &row, 1) != 1) break;
  }
  const bool whole = info.output_scanline == JDIMENSION(top + rows);
  jpeg_destroy_decompress(&info);  // the rows below the band are never decoded
  return whole;
}

}  // namespace

bool read(const QByteArray& bytes, int top, QImage& part, Band* band) {
  const bool grey = part.format() == QImage::Format_Grayscale8;
  if ((!grey && part.format() != QImage::Format_RGB32) || part.isNull() || top < 0 || bytes.isEmpty())
    return false;
  return decode(reinterpret_cast<const unsigned char*>(bytes.constData()),
                static_cast<unsigned long>(bytes.size()), top, part.bits(), part.bytesPerLine(), part.width(),
                part.height(), grey, band);
}

}  // namespace jpegrows
