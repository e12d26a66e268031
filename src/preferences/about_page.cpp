// The about page: the product title, the credits that scroll inside their box while the page is shown, and
// the link to the maker's web site.
#include "app/artwork.h"
#include "app/look.h"
#include "app/program.h"
#include "controls/fit_label.h"
#include "preferences/frm_option.h"

#include <QLabel>
#include <QUrl>

using look::twips;

void FrmOption::createAboutPage() {
  QWidget* page = Frame[4];
  Label2 = new QLabel(QStringLiteral("About"), page);
  Label2->setGeometry(twips(120, 60, 4035, 300));
  QFont bold = Label2->font();
  bold.setBold(true);
  Label2->setFont(bold);

  lb_about = new QLabel(TextTables::ProductTitle, page);
  lb_about->setGeometry(twips(180, 540, 3915, 360));
  lb_about->setAlignment(Qt::AlignCenter);
  QFont product = lb_about->font();
  product.setPixelSize(13);
  product.setBold(true);
  lb_about->setFont(product);

  // The box clips the panel: only the part of the credits inside it shows.
  border = new QWidget(page);
  border->setGeometry(twips(180, 1020, 3915, 1875));
  border->setStyleSheet(QStringLiteral("border: 1px solid rgb(110,110,110);"));
  scroll = new QWidget(border);
  scroll->setGeometry(twips(0, 1740, 3855, 4695));
  scroll->setStyleSheet(QStringLiteral("border: none;"));
  auto* logo = new QLabel(scroll);
  logo->setGeometry((scroll->width() - 100) / 2, 8, 100, 24);
  logo->setPixmap(artwork::logo(logo->size()));
  // Each line whole: one wider than the box (the credits' request for reports, in some fonts) is drawn
  // smaller.
  txt_about = new FitLabel(scroll);
  txt_about->setGeometry(0, 40, scroll->width(), scroll->height() - 48);
  txt_about->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

  Label3 = new QLabel(QStringLiteral("Visit TARNWELL Web Site!!"), page);
  Label3->setGeometry(twips(180, 2940, 3915, 210));
  lb_homepage = new FitLabel(TextTables::WebAddress, page);
  lb_homepage->setGeometry(twips(330, 3150, 1995, 195));
  lb_homepage->setCursor(Qt::PointingHandCursor);
  setHomepageFore(QColor(0, 0, 255));
  // The whole address must show, whatever the font: as wide as its text with the style it will have (a
  // little more, for fonts the hint underrates), and drawn smaller should it still not fit.
  lb_homepage->ensurePolished();
  lb_homepage->resize(lb_homepage->size().expandedTo(lb_homepage->sizeHint() + QSize(12, 0)));
  lb_homepage->installEventFilter(this);
}

void FrmOption::Timer_Timer() {
  // One pixel (15 twips) a tick; once the panel has left the box at the top it re-enters from below.
  if (scroll->y() + scroll->height() > 0)
    scroll->move(scroll->x(), scroll->y() - 1);
  else
    scroll->move(scroll->x(), border->height());
}

void FrmOption::setHomepageFore(const QColor& color) {
  if (color == homepageFore_ && !lb_homepage->styleSheet().isEmpty()) return;
  homepageFore_ = color;
  // A style sheet of the label's own: the window's style sheet would win over a palette colour.
  lb_homepage->setStyleSheet(QStringLiteral("color: %1; text-decoration: underline;").arg(color.name()));
}

void FrmOption::lb_homepage_MouseDown(int, int, double, double) { setHomepageFore(QColor(255, 0, 0)); }

void FrmOption::lb_homepage_MouseMove(int button, int, double x, double y) {
  if (button != 1) return;
  const bool outside = x < 0 || y < 0 || x > lb_homepage->width() || y > lb_homepage->height();
  setHomepageFore(outside ? QColor(0, 0, 255) : QColor(255, 0, 0));
}

void FrmOption::lb_homepage_MouseUp(int, int, double, double) { setHomepageFore(QColor(0, 0, 255)); }

void FrmOption::lb_homepage_Click() {
  // A browser that cannot be started costs the user nothing but the page; the dialog stays as it was.
  program_.seams.launcher->openUrl(QUrl(TextTables::WebAddress));
}
