#include "controls/file_list_look.h"

#include "controls/colours.h"

#include <QColor>
#include <QFontMetrics>
#include <QPalette>
#include <QWidget>

#include <algorithm>

void applyNavigationLook(QWidget* widget) {
  const QColor text(224, 224, 224);
  const QColor base(20, 20, 20);
  const QColor highlight = colours::kTitle;
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

namespace {

// An extension is the short part from the last dot of a name that has something before it.
constexpr qsizetype kLongestExtension = 8;

// A cut never splits a character written as two UTF-16 units.
qsizetype cutAt(const QString& text, qsizetype at) {
  if (at > 0 && at < text.size() && text.at(at).isLowSurrogate() && text.at(at - 1).isHighSurrogate())
    return at - 1;
  return at;
}

// The most characters, up to `count`, that `part` turns into a text of at most `room` pixels (a longer
// part is never narrower).
template <typename Part>
qsizetype mostWithin(qsizetype count, const QFontMetrics& metrics, int room, Part part) {
  qsizetype low = 0, high = count;
  while (low < high) {
    const qsizetype mid = (low + high + 1) / 2;
    if (metrics.horizontalAdvance(part(mid)) <= room)
      low = mid;
    else
      high = mid - 1;
  }
  return low;
}

// The longest start of `text` that takes at most `room` pixels.
QString headWithin(const QString& text, const QFontMetrics& metrics, int room) {
  const qsizetype n = mostWithin(text.size(), metrics, room, [&text](qsizetype k) { return text.left(k); });
  return text.left(cutAt(text, n));
}

// The longest end of `text` that takes at most `room` pixels.
QString tailWithin(const QString& text, const QFontMetrics& metrics, int room) {
  const qsizetype n = mostWithin(text.size(), metrics, room, [&text](qsizetype k) { return text.right(k); });
  const qsizetype start = text.size() - n;
  return text.mid(start < text.size() && text.at(start).isLowSurrogate() ? start + 1 : start);
}

}  // namespace

QString elideFileName(const QString& name, const QFontMetrics& metrics, int width) {
  if (metrics.horizontalAdvance(name) <= width) return name;
  const QString ellipsis(QChar(0x2026));
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  const QString extension = dot > 0 && name.size() - dot <= kLongestExtension ? name.mid(dot) : QString();
  const QString stem = name.left(name.size() - extension.size());
  const int room = width - metrics.horizontalAdvance(extension + ellipsis);
  if (room <= 0) return metrics.elidedText(name, Qt::ElideRight, width);
  // The end of the stem first: at least its number whole (what tells img_09999 from img_19999), and two
  // thirds of the room; the start gets what the end leaves.
  qsizetype digits = stem.size();
  while (digits > 0 && stem.at(digits - 1).isDigit()) --digits;
  const int number = metrics.horizontalAdvance(stem.mid(digits));
  const int headRoom = std::min(room / 3, number < room ? room - number : 0);
  QString head = headWithin(stem, metrics, headRoom);
  const QString tail = tailWithin(stem, metrics, room - metrics.horizontalAdvance(head));
  head = headWithin(stem, metrics, room - metrics.horizontalAdvance(tail));
  if (head.size() + tail.size() >= stem.size()) return metrics.elidedText(name, Qt::ElideMiddle, width);
  QString shown = head + ellipsis + tail + extension;
  // Kerning across the joins can add a pixel: the start gives it up.
  while (!head.isEmpty() && metrics.horizontalAdvance(shown) > width) {
    head.chop(head.size() > 1 && head.back().isLowSurrogate() ? 2 : 1);
    shown = head + ellipsis + tail + extension;
  }
  return shown;
}
