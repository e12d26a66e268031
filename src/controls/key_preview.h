#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class QKeyEvent;

// Key preview for a window: sees every key pressed in the window (on whichever control has the focus) once,
// before that control, and never consumes it. Owned by the window it watches.
class KeyPreview : public QObject {
  Q_OBJECT

 public:
  KeyPreview(QWidget* window, std::function<void(QKeyEvent*)> onKey);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_ = nullptr;
  std::function<void(QKeyEvent*)> on_key_;
  const QEvent* previewed_event_ = nullptr;  // the key event last previewed, and where it started
  QPointer<QWidget> previewed_receiver_;
};
