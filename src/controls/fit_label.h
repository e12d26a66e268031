#pragma once

#include <QLabel>

// A label whose one-line text is always whole: where the text is wider than the label, it is drawn in a
// smaller size of the same font (down to a floor) instead of being cut. For the small status and percentage
// labels, whose designed width holds the usual texts but not every one ("6000x4000", "100%" in some fonts).
class FitLabel : public QLabel {
 public:
  using QLabel::QLabel;

  // The font the text is drawn with now.
  QFont fittedFont() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};
