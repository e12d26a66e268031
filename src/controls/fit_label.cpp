#include "controls/fit_label.h"

#include <QApplication>
#include <QPainter>
#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr int kSmallestPixels = 7;

// The largest size of `font`, down to the floor, at which `text` takes at most `room` pixels.
QFont fitted(QFont font, const QString& text, int room) {
  if (QFontMetrics(font).horizontalAdvance(text) <= room) return font;
  if (font.pixelSize() <= 0) font.setPixelSize(QFontInfo(font).pixelSize());
  while (font.pixelSize() > kSmallestPixels && QFontMetrics(font).horizontalAdvance(text) > room)
    font.setPixelSize(font.pixelSize() - 1);
  return font;
}

const QStyle* styleOf(const QStyleOptionViewItem& row) {
  return row.widget ? row.widget->style() : QApplication::style();
}

}  // namespace

QFont FitLabel::fittedFont(const QString& line) const {
  // Most texts fit as they are; the widget's own metrics are at hand, a smaller font's are not.
  if (fontMetrics().horizontalAdvance(line) <= contentsRect().width()) return font();
  return fitted(font(), line, contentsRect().width());
}

QStringList FitLabel::lines() const {
  static const QRegularExpression kLineEnd(QStringLiteral("\r\n|\r|\n"));
  return text().split(kLineEnd);
}

void FitLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
  const QRect area = contentsRect();
  const QStringList all = lines();
  if (all.size() == 1) {
    painter.setFont(fittedFont(all.first()));
    painter.drawText(area, int(alignment()) | Qt::TextSingleLine, all.first());
    return;
  }
  const int step = fontMetrics().lineSpacing();
  const Qt::Alignment across = alignment() & Qt::AlignHorizontal_Mask;
  int top = area.top();
  if (alignment() & Qt::AlignBottom)
    top = area.bottom() + 1 - step * int(all.size());
  else if (alignment() & Qt::AlignVCenter)
    top = area.top() + (area.height() - step * int(all.size())) / 2;
  for (const QString& line : all) {
    painter.setFont(fittedFont(line));
    painter.drawText(QRect(area.left(), top, area.width(), step),
                     int(across | Qt::AlignVCenter) | Qt::TextSingleLine, line);
    top += step;
  }
}

int itemTextRoom(const QStyleOptionViewItem& row) {
  const QStyle* style = styleOf(row);
  // The styles draw an item's text inside a margin of the focus frame's width and a pixel at each side.
  const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, row.widget) + 1;
  return style->subElementRect(QStyle::SE_ItemViewItemText, &row, row.widget).width() - 2 * margin;
}

QFont FitRowDelegate::fittedFont(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyleOptionViewItem row = option;
  initStyleOption(&row, index);
  row.features &= ~QStyleOptionViewItem::WrapText;
  return fitted(row.font, row.text, itemTextRoom(row));
}

void FitRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
  QStyleOptionViewItem row = option;
  initStyleOption(&row, index);
  row.features &= ~QStyleOptionViewItem::WrapText;
  row.font = fitted(row.font, row.text, itemTextRoom(row));
  row.fontMetrics = QFontMetrics(row.font);
  styleOf(row)->drawControl(QStyle::CE_ItemViewItem, &row, painter, row.widget);
}

QSize FitRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyleOptionViewItem row = option;
  row.features &= ~QStyleOptionViewItem::WrapText;
  QSize size = QStyledItemDelegate::sizeHint(row, index);
  size.setWidth(1);
  return size;
}

namespace {

// The letters that reach highest and lowest in a Latin text: an ascender, a descender, an underscore.
const QString kInkSample = QStringLiteral("Hdg_");

QRect textArea(const QStyleOptionViewItem& row) {
  const int margin = styleOf(row)->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, row.widget) + 1;
  return styleOf(row)
      ->subElementRect(QStyle::SE_ItemViewItemText, &row, row.widget)
      .adjusted(margin, 0, -margin, 0);
}

}  // namespace

int InkRowDelegate::baseline(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyleOptionViewItem row = option;
  initStyleOption(&row, index);
  const QRect area = textArea(row);
  const QRect ink = row.fontMetrics.boundingRect(kInkSample);
  const int centred = area.top() + (area.height() - ink.height()) / 2 - ink.top();
  return std::min(centred, area.bottom() - ink.bottom());
}

void InkRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
  QStyleOptionViewItem row = option;
  initStyleOption(&row, index);
  const QString text = row.text;
  // The row's background, selection and focus as the style draws them; the text after, by its ink.
  row.text.clear();
  styleOf(row)->drawControl(QStyle::CE_ItemViewItem, &row, painter, row.widget);
  row.text = text;
  const QRect area = textArea(row);
  const QPalette::ColorGroup group = !(row.state & QStyle::State_Enabled) ? QPalette::Disabled
                                     : (row.state & QStyle::State_Active) ? QPalette::Active
                                                                          : QPalette::Inactive;
  painter->save();
  painter->setFont(row.font);
  painter->setPen(row.palette.color(
      group, (row.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text));
  painter->drawText(QPoint(area.left(), baseline(option, index)),
                    row.fontMetrics.elidedText(text, row.textElideMode, area.width()));
  painter->restore();
}
