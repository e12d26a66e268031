#include "app/look.h"

#include <QGuiApplication>
#include <QScreen>

namespace look {

QString darkStyleSheet() {
  return QStringLiteral(
      "QWidget { color: rgb(224,224,224); }"
      "QGroupBox { border: 1px solid rgb(110,110,110); border-radius: 2px; margin-top: 7px; }"
      "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 7px; padding: 0 "
      "2px; }"
      "QPushButton { background: rgb(40,40,40); border: 1px solid rgb(120,120,120); border-radius: 2px; }"
      "QPushButton:hover { border-color: rgb(255,192,128); }"
      "QPushButton:pressed { background: rgb(70,70,70); }"
      "QPushButton:disabled { color: rgb(110,110,110); border-color: rgb(70,70,70); }"
      "QListView, QListWidget { background: rgb(16,16,16); border: 1px solid rgb(90,90,90);"
      "  selection-background-color: rgb(200,120,50); selection-color: black; }"
      "QComboBox { background: rgb(24,24,24); border: 1px solid rgb(90,90,90); padding: 0 1px 0 3px; }"

      "QComboBox QAbstractItemView { background: rgb(24,24,24); selection-background-color: rgb(200,120,50);"
      "  selection-color: black; }"
      "QListWidget#List::item { padding: 0px; margin: 0px; height: 11px; }"
      "QScrollBar { background: rgb(30,30,30); }");
}

void centreOnScreen(QWidget& window) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->geometry();
  window.move(area.x() + static_cast<int>(std::nearbyint((area.width() - window.width()) / 2.0)),
              area.y() + static_cast<int>(std::nearbyint((area.height() - window.height()) / 2.0)));
}

void applyDarkWindow(QWidget& window) {
  window.setAutoFillBackground(true);
  QPalette pal = window.palette();
  pal.setColor(QPalette::Window, Qt::black);
  pal.setColor(QPalette::WindowText, kText);
  window.setPalette(pal);
  QFont small = window.font();
  small.setPixelSize(11);
  window.setFont(small);
  window.setStyleSheet(darkStyleSheet());
}

}  // namespace look
