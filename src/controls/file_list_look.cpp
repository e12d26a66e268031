#include "controls/file_list_look.h"

#include <QColor>
#include <QPalette>
#include <QWidget>

void applyNavigationLook(QWidget* widget) {
  const QColor text(224, 224, 224);
  const QColor base(20, 20, 20);
  const QColor highlight(255, 192, 128);
  QPalette p = widget->palette();
  for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    p.setColor(group, QPalette::Window, Qt::black);
    p.setColor(group, QPalette::WindowText, text);
    p.setColor(group, QPalette::Base, base);
    p.setColor(group, QPalette::AlternateBase, QColor(28, 28, 28));
    p.setColor(group, QPalette::Text, text);
    p.setColor(group, QPalette::Button, QColor(36, 36, 36));
    p.setColor(group, QPalette::ButtonText, text);
    p.setColor(group, QPalette::Highlight, highlight);
    p.setColor(group, QPalette::HighlightedText, Qt::black);
  }
  // The selection stays readable when the window is not active, just quieter.
  p.setColor(QPalette::Inactive, QPalette::Highlight, QColor(150, 118, 84));
  p.setColor(QPalette::Disabled, QPalette::Window, Qt::black);
  p.setColor(QPalette::Disabled, QPalette::Base, base);
  p.setColor(QPalette::Disabled, QPalette::Button, QColor(28, 28, 28));
  p.setColor(QPalette::Disabled, QPalette::Text, QColor(110, 110, 110));
  p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(110, 110, 110));
  p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(110, 110, 110));
  p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(70, 70, 70));
  // Frame and arrow shading: greys that show on black without glaring.
  p.setColor(QPalette::Light, QColor(96, 96, 96));
  p.setColor(QPalette::Midlight, QColor(72, 72, 72));
  p.setColor(QPalette::Mid, QColor(60, 60, 60));
  p.setColor(QPalette::Dark, QColor(44, 44, 44));
  p.setColor(QPalette::Shadow, Qt::black);
  widget->setPalette(p);
}
