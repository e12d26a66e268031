#include "controls/filter_box.h"

#include <QAbstractItemView>
#include <QScrollBar>
#include <QStyleOptionComboBox>
#include <QStylePainter>

#include <algorithm>

namespace {

// Smaller than the box's own font by this much at most: the text stays as readable as its neighbours'.
constexpr int kShrinkPixels = 1;

}  // namespace

int FilterBox::textRoom() const {
  QStyleOptionComboBox option;
  initStyleOption(&option);
  // The styles draw the label in the edit field less a pixel at each side.
  return style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this).width() -
         2;
}

QFont FilterBox::shownFont(int index) const {
  QFont shown = font();
  const QString text = itemText(index);
  const int room = textRoom();
  if (QFontMetrics(shown).horizontalAdvance(text) <= room) return shown;
  if (shown.pixelSize() <= 0) shown.setPixelSize(QFontInfo(shown).pixelSize());
  const int smallest = shown.pixelSize() - kShrinkPixels;
  while (shown.pixelSize() > smallest && QFontMetrics(shown).horizontalAdvance(text) > room)
    shown.setPixelSize(shown.pixelSize() - 1);
  return shown;
}

QString FilterBox::shownText(int index) const {
  const QString text = itemText(index);
  const int room = textRoom();
  const QFontMetrics metrics(shownFont(index));
  if (metrics.horizontalAdvance(text) <= room) return text;
  const qsizetype open = text.lastIndexOf(QLatin1Char('('));
  if (open <= 0 || !text.endsWith(QLatin1Char(')'))) return metrics.elidedText(text, Qt::ElideRight, room);
  const QString pattern = text.mid(open);
  const QString name = text.left(open).trimmed();
  const int nameRoom = room - metrics.horizontalAdvance(QLatin1Char(' ') + pattern);
  // Where even the pattern hardly fits, it is still the part kept.
  if (nameRoom < metrics.horizontalAdvance(QChar(0x2026))) return pattern;
  return metrics.elidedText(name, Qt::ElideRight, nameRoom) + QLatin1Char(' ') + pattern;
}

void FilterBox::paintEvent(QPaintEvent*) {
  // As the combo box paints itself, with the current entry's shown text and font.
  QStylePainter painter(this);
  painter.setPen(palette().color(QPalette::Text));
  QStyleOptionComboBox option;
  initStyleOption(&option);
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  if (currentIndex() >= 0) {
    option.currentText = shownText(currentIndex());
    painter.setFont(shownFont(currentIndex()));
  }
  painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void FilterBox::showPopup() {
  // The list takes at least the room its widest entry needs; the box itself keeps its designed width.
  QAbstractItemView* list = view();
  int width = list->sizeHintForColumn(0) + 2 * list->frameWidth();
  if (count() > maxVisibleItems()) width += list->verticalScrollBar()->sizeHint().width();
  list->setMinimumWidth(std::max(width, this->width()));
  QComboBox::showPopup();
}
