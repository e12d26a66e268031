#include "controls/key_buttons.h"

#include "controls/colours.h"

#include <QKeyEvent>
#include <QPainter>

namespace {

// Enter or Return, unmodified (the keypad's Enter carries KeypadModifier) and not held down: a held key
// would press the button again at every repeat.
bool pressesButton(const QKeyEvent* event) {
  return (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat() &&
         (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

void drawFocusFrame(QWidget& button) {
  if (!button.hasFocus()) return;
  QPainter painter(&button);
  painter.setPen(colours::kTitle);
  painter.drawRect(button.rect().adjusted(1, 1, -2, -2));
}

}  // namespace

void KeyPushButton::keyPressEvent(QKeyEvent* event) {
  if (!pressesButton(event)) return QPushButton::keyPressEvent(event);
  click();
}

void KeyPushButton::paintEvent(QPaintEvent* event) {
  QPushButton::paintEvent(event);
  drawFocusFrame(*this);
}

void PictureButton::setPixmap(const QPixmap& pixmap) {
  pixmap_ = pixmap;
  update();
}

QSize PictureButton::sizeHint() const { return pixmap_.deviceIndependentSize().toSize(); }

void PictureButton::keyPressEvent(QKeyEvent* event) {
  if (!pressesButton(event)) return QAbstractButton::keyPressEvent(event);
  click();
}

void PictureButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(QPoint(0, 0), pixmap_);
  if (!hasFocus()) return;
  // The logo is the title's colour itself: white around it on the black window, dots inside it.
  painter.setPen(Qt::white);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
  painter.drawRect(rect().adjusted(3, 3, -4, -4));
}
