#pragma once

#include <QComboBox>

// The file-type box. Its entries name a kind of file and its pattern in brackets ("JPEG pictures (*.jpg)"),
// and the pattern is what tells them apart. Closed, the box shows the current entry whole where its width
// allows, if need be a pixel smaller; else the pattern stays whole and the name before it is shortened (an
// entry without a pattern is shortened at its end). Open, its list is as wide as its longest entry. The
// window that shows it fills and drives it like any combo box. Screen readers on Linux announce it by its
// current entry, as Qt presents every combo box there.
class FilterBox : public QComboBox {
 public:
  using QComboBox::QComboBox;

  // What the closed box shows when entry `index` is current, and in which font.
  QString shownText(int index) const;
  QFont shownFont(int index) const;
  // The pixels the closed box has for its text.
  int textRoom() const;

  void showPopup() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};
