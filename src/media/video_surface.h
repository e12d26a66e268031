#pragma once

#include <QImage>
#include <QWidget>

// Shows the frames of the open movie inside the picture pane: scaled to fit with the aspect ratio kept,
// centred on black. A child of the pane that always covers it; MMControl creates it and shows it only
// while a movie is open. Mouse events pass through to the pane underneath.
class VideoSurface : public QWidget {
 public:
  explicit VideoSurface(QWidget* pane);

  // displaySize is the frame's size in square pixels (it differs from the image size for anamorphic
  // video); empty means the image's own size.
  void setFrame(const QImage& frame, QSize displaySize = {});
  void clear();
  const QImage& frame() const { return frame_; }

  // Where the frame lands inside the widget; empty when there is no frame.
  QRect frameRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QImage frame_;
  QSize displaySize_;
};
