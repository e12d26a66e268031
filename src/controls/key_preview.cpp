#include "controls/key_preview.h"

#include <QCoreApplication>
#include <QKeyEvent>

KeyPreview::KeyPreview(QWidget* window, std::function<void(QKeyEvent*)> onKey)
    : QObject(window), window_(window), on_key_(std::move(onKey)) {
  QCoreApplication::instance()->installEventFilter(this);
}

bool KeyPreview::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != window_ || !window_->isEnabled()) return false;
  // A key the focused control leaves travels up to its parents; preview it once, where it starts.
  if (event == previewed_event_ && previewed_receiver_ && previewed_receiver_ != widget &&
      widget->isAncestorOf(previewed_receiver_))
    return false;
  previewed_event_ = event;
  previewed_receiver_ = widget;
  on_key_(static_cast<QKeyEvent*>(event));
  return false;
}
