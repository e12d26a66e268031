// Windows metafiles: parsed once into a document that the renderer plays at every paint.
#include "pictures/metafile/wmf_document.h"
#include "pictures/picture.h"
#include "pictures/picture_loader_internal.h"

#include <QIODevice>

#include <memory>
#include <optional>
#include <utility>

namespace pictureloader {

std::optional<Picture> readMetafile(QIODevice& device) {
  if (device.size() > kMaxMetafileBytes || !device.seek(0)) return std::nullopt;
  std::shared_ptr<const wmf::Document> metafile = wmf::Document::parse(device.readAll());
  if (!metafile) return std::nullopt;
  return Picture(std::move(metafile));
}

}  // namespace pictureloader
