#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
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
  // What tells one press from another: never the event's address, which a later event may reuse.
  struct Press {
    int key = 0;
    Qt::KeyboardModifiers modifiers;
    QString text;
    bool autoRepeat = false;
    quint64 timestamp = 0;
    bool operator==(const Press&) const = default;
  };

  QWidget* window_ = nullptr;
  std::function<void(QKeyEvent*)> onKey_;
  // The press last seen and the widget it reached; cleared by any release or shortcut override, which
  // come between two presses but never while one press travels up to the parents.
  Press lastPress_;
  QPointer<QWidget> reached_;
};
