#pragma once

#include <QGroupBox>
#include <QPixmap>

// A group box that lays out and draws its border and caption once, then copies them. The slider and the
// percentage inside the controls frame change at the media tick's pace, and neither is opaque, so each of
// their repaints repaints the box beneath them: through the style sheet's border and a caption shaped anew,
// most of what a playing sound costs the program. Drawn anew when its size, caption, state or look change.
class GroupFrame : public QGroupBox {
 public:
  using QGroupBox::QGroupBox;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  struct Drawn {
    QSize size;
    qreal ratio = 0;
    QString title;
    bool enabled = false;
    bool operator==(const Drawn&) const = default;
  };

  QPixmap pixmap_;
  Drawn drawn_;
};
