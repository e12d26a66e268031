#include "controls/picture_box.h"

#include "controls/input_codes.h"
#include "pictures/metafile_tiles.h"

#include <QMouseEvent>
#include <QPainter>

PictureBox::PictureBox(QWidget* parent) : QWidget(parent), tiles_(std::make_unique<MetafileTiles>()) {
  setAttribute(Qt::WA_OpaquePaintEvent, false);
  setMouseTracking(true);
  connect(tiles_.get(), &MetafileTiles::tileReady, this, [this](const QRect& area) { update(area); });
}

// Out of line: MetafileTiles is complete here. Its destructor stops the jobs before the widget goes.
PictureBox::~PictureBox() = default;

bool PictureBox::tilesPending() const { return tiles_->pending(); }

void PictureBox::setPicture(const Picture& picture) {
  picture_ = picture;
  tiles_->setPicture(picture_);
  if (!Stretch) resize(picture_.isNull() ? QSize(0, 0) : picture_.size());
  update();
}

void PictureBox::paintEvent(QPaintEvent* event) {
  if (picture_.isNull() || width() <= 0 || height() <= 0) return;
  QPainter painter(this);
  if (picture_.isDrawing()) {
    // What shows of the control inside its window, and what this paint is for (a grab of a hidden one).
    tiles_->paint(painter, Stretch ? size() : picture_.size(), devicePixelRatioF(), event->rect(),
                  visibleRegion().boundingRect());
    return;
  }
  const QRectF target = Stretch ? QRectF(rect()) : QRectF(QPointF(0, 0), QSizeF(picture_.size()));
  picture_.paint(painter, target, event->rect());
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
  pressedInside_ = true;
  emit MouseDown(buttonCode(event->button()), shiftCode(event->modifiers()), event->position().x(),
                 event->position().y());
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
  emit MouseMove(buttonCode(event->buttons()), shiftCode(event->modifiers()), event->position().x(),
                 event->position().y());
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
  emit MouseUp(buttonCode(event->button()), shiftCode(event->modifiers()), event->position().x(),
               event->position().y());
  if (pressedInside_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
    emit Click();
  pressedInside_ = false;
}

void PictureBox::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit DblClick();
}
