// libFuzzer entry point: any bytes as a picture, through the loader's dispatch over the format readers with
// its size limits, then whatever loads painted once into a small canvas. Nothing may crash, hang, allocate
// without bound or trip a sanitizer.

#include "pictures/picture.h"
#include "pictures/picture_loader.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // Fonts (metafile text) need an application; no display is needed.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
  const std::optional<Picture> picture = loadPictureFromData(bytes);
  if (!picture) return 0;
  const QSize pictureSize = picture->size();
  if (qint64(pictureSize.width()) * pictureSize.height() > kMaxPixels) std::abort();

  QImage canvas(64, 48, QImage::Format_RGB32);
  canvas.fill(Qt::gray);
  QPainter painter(&canvas);
  picture->paint(painter, QRectF(canvas.rect()), canvas.rect());
  return 0;
}
