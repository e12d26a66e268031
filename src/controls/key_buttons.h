#pragma once

#include <QAbstractButton>
#include <QPixmap>
#include <QPushButton>

// Buttons a keyboard user reaches with Tab and presses with Space, Enter or Return, framed in the title's
// colour while they have the focus. Qt's push buttons take Enter only inside a dialog; the main window is
// none. A screen reader sees a button with a press action (Qt's accessible button).

// The title bar's minimise and close buttons.
class KeyPushButton : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
};

// A button that is only its picture: the logo that opens the preferences.
class PictureButton : public QAbstractButton {
 public:
  using QAbstractButton::QAbstractButton;

  QPixmap pixmap() const { return pixmap_; }
  void setPixmap(const QPixmap& pixmap);
  QSize sizeHint() const override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap pixmap_;
};
