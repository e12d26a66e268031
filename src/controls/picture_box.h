#pragma once

#include "pictures/picture.h"

#include <QWidget>

#include <memory>

class MetafileTiles;

// The picture control: shows a Picture at its natural size (Stretch off: the control takes the picture's size
// when one is assigned) or scaled to the control's own size (Stretch on). Only the exposed part is drawn, so
// a picture zoomed to many times the pane costs no more than the pane. Mouse events report positions relative
// to the picture's own top-left corner, with button codes 1 left, 2 right, 4 middle. A raster is sampled in
// the paint; a metafile is drawn off the UI thread in tiles (MetafileTiles), shown as they arrive.
class PictureBox : public QWidget {
  Q_OBJECT

 public:
  explicit PictureBox(QWidget* parent = nullptr);
  ~PictureBox() override;

  const Picture& picture() const { return picture_; }
  void setPicture(const Picture& picture);
  bool Stretch = false;

  // Tiles of a metafile that a paint asked for and that are not drawn yet; for tests, which wait for them.
  bool tilesPending() const;

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
  bool pressedInside_ = false;
  std::unique_ptr<MetafileTiles> tiles_;
};
