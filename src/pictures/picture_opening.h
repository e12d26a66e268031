#pragma once

#include "pictures/picture.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class PicturePrefetch;
class QTimer;

// Opens pictures for a window without holding it up: a big picture that is not decoded ahead is requested
// from the window's read-ahead and shown when its top rows, then the rest, arrive, while the window goes on
// answering; each open supersedes the last. After a short wait the pointer is busy. Used on the UI thread.
class PictureOpening : public QObject {
  Q_OBJECT

 public:
  // What the window does with what arrives.
  struct Handlers {
    // A new picture for the pane: opened now, or arrived (perhaps only its top rows so far).
    std::function<void(const QString& path, const Picture& picture)> show;
    // The whole of a picture whose top rows `show` had: the same pixels, only repainted.
    std::function<void(const Picture& picture)> complete;
    // A file waited for turned out to be no picture.
    std::function<void(const QString& path)> noPicture;
  };
  enum class Opened { Picture, Later, NoPicture };

  PictureOpening(PicturePrefetch& prefetch, Handlers handlers, QObject* parent);
  ~PictureOpening() override;

  // Shows the picture at `path` at once (Picture) when it is small or decoded ahead; a bigger one than
  // `waitFreeBytes` is decoded on the read-ahead's worker (Later), the busy pointer after `busyDelayMs`.
  // NoPicture: the file does not load, and nothing changed.
  Opened open(const QString& path, const QStringList& neighbours, qint64 waitFreeBytes, int busyDelayMs);
  // Whatever was on its way is no longer wanted.
  void cancel();
  // A picture is on its way.
  bool pending() const { return !pending_.isEmpty(); }

 private:
  void decoded(const QString& path);
  void arrivedEarly(const QString& path, const Picture& picture);
  void showBusy();
  void stopWaiting();

  PicturePrefetch& prefetch_;
  Handlers handlers_;
  QString pending_;
  QStringList neighbours_;
  QTimer* busyDelay_ = nullptr;
  bool busyShown_ = false;
  bool earlyShown_ = false;  // the pending picture's top rows are shown
};
