#include "pictures/picture.h"

#include "pictures/metafile/wmf_document.h"
#include "pictures/metafile/wmf_renderer.h"

#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

// Below this scale bilinear sampling skips most source pixels anyway, so nearest looks the same and is
// cheaper.
constexpr double kSmoothMinScale = 0.25;
// Source pixels kept around the visible part so that smooth sampling at the edge of an exposed strip sees the
// same neighbours as a full repaint would (no seams between strips).
constexpr int kSourceMargin = 2;

// The longest toImage() waits for a picture still being decoded.
constexpr int kDecodeWaitMs = 30000;

class MetafileDrawing final : public Drawing {
 public:
  explicit MetafileDrawing(std::shared_ptr<const wmf::Document> document) : document_(std::move(document)) {}
  QSize size() const override { return document_->size(); }
  void draw(QPainter& painter, const QRectF& target, const QRect& device,
            const std::function<bool()>& cancelled) const override {
    wmf::render(*document_, painter, target, device, cancelled);
  }

 private:
  std::shared_ptr<const wmf::Document> document_;
};

}  // namespace

void DecodeProgress::finish() {
  {
    const std::lock_guard lock(mutex_);
    finished_ = true;
  }
  finishedChanged_.notify_all();
}

bool DecodeProgress::finished() const {
  const std::lock_guard lock(mutex_);
  return finished_;
}

bool DecodeProgress::waitFinished(int ms) const {
  std::unique_lock lock(mutex_);
  return finishedChanged_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return finished_; });
}

Picture::Picture(QImage image) : image_(std::move(image)) {}

Picture::Picture(QImage image, std::shared_ptr<const DecodeProgress> progress)
    : image_(std::move(image)), progress_(std::move(progress)) {}

int Picture::rowsReady() const {
  if (drawing_) return drawing_->size().height();
  return progress_ ? std::clamp(progress_->rows(), 0, image_.height()) : image_.height();
}

Picture::Picture(std::shared_ptr<const wmf::Document> metafile) {
  if (metafile) drawing_ = std::make_shared<MetafileDrawing>(std::move(metafile));
}

Picture::Picture(std::shared_ptr<const Drawing> drawing) : drawing_(std::move(drawing)) {}

bool Picture::isNull() const { return drawing_ ? false : image_.isNull(); }

QSize Picture::size() const { return drawing_ ? drawing_->size() : image_.size(); }

QImage Picture::toImage() const {
  if (!drawing_) {
    if (progress_) progress_->waitFinished(kDecodeWaitMs);
    return image_;
  }
  QImage image(drawing_->size(), QImage::Format_RGB32);
  if (image.isNull()) return image;
  image.fill(Qt::white);
  QPainter painter(&image);
  paint(painter, QRectF(image.rect()), image.rect());
  return image;
}

void Picture::paint(QPainter& painter, const QRectF& target, const QRect& exposed,
                    const std::function<bool()>& cancelled) const {
  if (isNull() || target.isEmpty() || exposed.isEmpty()) return;

  // The paint device's coordinates, as a paint event gives them: only the caller's own transform lies between
  // them and the painter's. Not the window-viewport mapping either: on a scaled display that maps logical
  // pixels onto device pixels, and the exposed rectangle is in logical pixels.
  bool invertible = false;
  const QTransform toPainter = painter.worldTransform().inverted(&invertible);
  if (!invertible) return;
  const QRectF visible = target & toPainter.mapRect(QRectF(exposed));
  if (visible.isEmpty()) return;

  if (drawing_) {
    painter.save();
    painter.setClipRect(visible, Qt::IntersectClip);
    painter.fillRect(visible, Qt::white);
    // The device pixels the clip leaves, for the renderer to pass over what falls outside them.
    const QRect device = painter.combinedTransform().mapRect(visible).toAlignedRect();
    drawing_->draw(painter, target, device, cancelled);
    painter.restore();
    return;
  }

  // Picture pixels per target unit.
  const double sx = image_.width() / target.width();
  const double sy = image_.height() / target.height();
  const QRectF source((visible.left() - target.left()) * sx, (visible.top() - target.top()) * sy,
                      visible.width() * sx, visible.height() * sy);
  // Rows still being decoded are not read: they show black until they are there.
  const int ready = rowsReady();
  const QRect sourcePixels =
      source.toAlignedRect().adjusted(-kSourceMargin, -kSourceMargin, kSourceMargin, kSourceMargin) &
      QRect(0, 0, image_.width(), ready);
  if (ready < image_.height()) {
    const QRectF pending(target.left(), target.top() + ready / sy, target.width(),
                         target.height() - ready / sy);
    painter.fillRect(pending & visible, Qt::black);
  }
  if (sourcePixels.isEmpty()) return;
  // Where those whole source pixels land: the exact mapping, so the picture does not shift between strips.
  const QRectF destination(target.left() + sourcePixels.left() / sx, target.top() + sourcePixels.top() / sy,
                           sourcePixels.width() / sx, sourcePixels.height() / sy);

  const double scale = std::min(1.0 / sx, 1.0 / sy);
  const bool unscaled = std::abs(sx - 1.0) < 1e-9 && std::abs(sy - 1.0) < 1e-9;

  painter.save();
  painter.setClipRect(visible, Qt::IntersectClip);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, !unscaled && scale >= kSmoothMinScale);
  painter.drawImage(destination, image_, QRectF(sourcePixels));
  painter.restore();
}
