// libFuzzer entry point: loads an input that starts like a metafile as a picture (the loader sniffs it, the
// metafile parser reads it)
// and paints whatever loads, whole into a small canvas and zoomed to 400 % with only a pane of it exposed.
// Nothing may crash, hang, allocate without bound or trip a sanitizer.

#include "pictures/metafile/wmf_document.h"
#include "pictures/picture.h"
#include "pictures/picture_loader.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // Fonts need an application; no display is needed.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
  // Other formats have their own decoders; the fuzzer's time goes to metafiles.
  if (!wmf::Document::looksLikeMetafile(bytes)) return 0;
  const std::optional<Picture> picture = loadPictureFromData(bytes);
  if (!picture || !picture->isDrawing()) return 0;

  QImage canvas(64, 48, QImage::Format_RGB32);
  canvas.fill(Qt::gray);
  QPainter painter(&canvas);
  picture->paint(painter, QRectF(canvas.rect()), canvas.rect());
  // 400 %, the pane in the middle of the picture.
  const QSizeF zoomed = QSizeF(picture->size()) * 4;
  painter.translate(-(zoomed.width() - canvas.width()) / 2, -(zoomed.height() - canvas.height()) / 2);
  picture->paint(painter, QRectF(QPointF(0, 0), zoomed), canvas.rect());
  return 0;
}
