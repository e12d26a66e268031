#pragma once

#include "platform/picture.h"

#include <QWidget>

// The picture control: shows a Picture at its natural size (Stretch off: the control takes the picture's size
// when one is assigned) or scaled to the control's own size (Stretch on). Only the exposed part is drawn, so
// a picture zoomed to many times the pane costs no more than the pane. Mouse events report positions relative
// to the picture's own top-left corner, with button codes 1 left, 2 right, 4 middle.
class PictureBox : public QWidget {
  Q_OBJECT

 public:
  explicit PictureBox(QWidget* parent = nullptr);

  const Picture& picture() const { return picture_; }
  void setPicture(const Picture& picture);
  bool Stretch = false;

 signals:
  void MouseDown(int button, int shift, double x, double y);
  void MouseMove(int button, int shift, double x, double y);
  void MouseUp(int button, int shift, double x, double y);
  void Click();
  void DblClick();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  Picture picture_;
  bool pressed_inside_ = false;
};
