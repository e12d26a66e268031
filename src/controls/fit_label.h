#pragma once

#include <QLabel>
#include <QStyledItemDelegate>

// A label whose text is always whole: where a line of it is wider than the label, that line is drawn in a
// smaller size of the same font (down to a floor) instead of being cut. For the small status and percentage
// labels, whose designed width holds the usual texts but not every one ("6000x4000", "100%" in some fonts),
// and for the credits, whose longest line is wider than their box in some fonts. Lines keep the spacing of
// the label's own font.
class FitLabel : public QLabel {
 public:
  using QLabel::QLabel;

  // The font a line of the text is drawn with now; without one, the whole (one-line) text's.
  QFont fittedFont(const QString& line) const;
  QFont fittedFont() const { return fittedFont(text()); }
  // The text's lines, as drawn one under the other.
  QStringList lines() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// Rows of a list drawn the same way: each on one line, never wrapped or cut, a row too wide for the list in
// a smaller size of the list's font. Rows are one line high and as wide as the list (no sideways scrolling).
class FitRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  // The font row `index` is drawn with in the row `option` describes (its rectangle, widget and font).
  QFont fittedFont(const QStyleOptionViewItem& option, const QModelIndex& index) const;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// Rows no taller than their text (the favourites: three in the designed height). The styles centre a row's
// text by the font's line box, whose descent some fonts round below their underscore (DejaVu Sans at 10 px:
// descent 2, underscore down to 3): an underscore at the bottom of a row is then painted over by the row
// below. Here the text is centred by its letters' ink instead, the bottom of an underscore never below the
// row's last pixel.
class InkRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  // Where the text's baseline lies in the row `option` describes (its rectangle, widget and font).
  int baseline(const QStyleOptionViewItem& option, const QModelIndex& index) const;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The pixels the styles give an item's text in the row an initialised option describes.
int itemTextRoom(const QStyleOptionViewItem& row);
