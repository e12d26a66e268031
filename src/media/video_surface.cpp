#include "media/video_surface.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

VideoSurface::VideoSurface(QWidget* pane) : QWidget(pane) {
  // Every pixel is painted by paintEvent, so Qt need not clear the background first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  hide();
  if (pane) {
    setGeometry(pane->rect());
    pane->installEventFilter(this);
  }
}

void VideoSurface::setFrame(const QImage& frame, QSize displaySize) {
  if (displaySize.isEmpty()) displaySize = frame.size();
  const QRect before = frameRect();
  frame_ = frame;
  displaySize_ = displaySize;
  const QRect after = frameRect();
  // Most frames land exactly where the previous one did: repaint only that area, not the black bars.
  if (before == after)
    update(after);
  else
    update();
}

void VideoSurface::clear() {
  frame_ = QImage();
  displaySize_ = QSize();
  update();
}

QRect VideoSurface::frameRect() const {
  if (frame_.isNull() || displaySize_.isEmpty() || width() <= 0 || height() <= 0) return {};
  const QSize fitted = displaySize_.scaled(size(), Qt::KeepAspectRatio);
  return {QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted};
}

void VideoSurface::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect target = frameRect();
  for (const QRect& bar : event->region() - QRegion(target)) painter.fillRect(bar, Qt::black);
  if (!target.isEmpty() && event->region().intersects(target)) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, frame_);
  }
}

bool VideoSurface::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
  return QWidget::eventFilter(watched, event);
}
