#include "controls/key_preview.h"

#include <QCoreApplication>
#include <QKeyEvent>

KeyPreview::KeyPreview(QWidget* window, std::function<void(QKeyEvent*)> onKey)
    : QObject(window), window_(window), onKey_(std::move(onKey)) {
  QCoreApplication::instance()->installEventFilter(this);
}

bool KeyPreview::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyRelease || event->type() == QEvent::ShortcutOverride) {
    reached_ = nullptr;
    return false;
  }
  if (event->type() != QEvent::KeyPress) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != window_ || !window_->isEnabled()) return false;
  // A key the focused control leaves travels up to its parents, one at a time; preview it once, where it
  // starts.
  const auto* key = static_cast<QKeyEvent*>(event);
  const Press press{key->key(), key->modifiers(), key->text(), key->isAutoRepeat(), key->timestamp()};
  const bool travelling = reached_ && widget == reached_->parentWidget() && press == lastPress_;
  lastPress_ = press;
  reached_ = widget;
  if (travelling) return false;
  const QPointer<QWidget> start(widget);
  onKey_(static_cast<QKeyEvent*>(event));
  // The handling may have run an event loop of its own (a popup menu, a message box) whose keys and
  // releases cleared the mark: this press still travels on to the parents, and is still the same press.
  lastPress_ = press;
  reached_ = start;
  return false;
}
