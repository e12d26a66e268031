// The help page: six topics in the current language, the chosen topic's text beside them.
#include "app/look.h"
#include "app/program.h"
#include "controls/fit_label.h"
#include "preferences/frm_option.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextDocument>

using look::twips;

void FrmOption::createHelpPage() {
  Label5 = new QLabel(QStringLiteral("Help"), Frame[3]);
  Label5->setGeometry(twips(120, 60, 4035, 300));
  QFont bold = Label5->font();
  bold.setBold(true);
  Label5->setFont(bold);

  lst_help = new QListWidget(Frame[3]);
  lst_help->setGeometry(twips(120, 600, 1515, 1815));
  // Six topics, six rows, every title whole: a long one is drawn smaller rather than wrapped or cut.
  lst_help->setItemDelegate(new FitRowDelegate(lst_help));
  lst_help->setWordWrap(false);
  lst_help->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  lst_help->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  lst_help->addItem(QStringLiteral("Introduction"));

  txt_help = new QPlainTextEdit(QStringLiteral("Help"), Frame[3]);
  txt_help->setGeometry(twips(1740, 600, 2475, 2655));
  txt_help->setReadOnly(true);
  txt_help->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  // Any change of the selection shows its topic, whether by mouse, keyboard or from code.
  connect(lst_help, &QListWidget::currentRowChanged, this, [this] { lst_help_Click(); });
}

namespace {

// A body's rule lines (the hyphens under its headings) cut to the width of the box: a rule wider than the
// box would wrap into a second, shorter rule. `room` is the width of a line in pixels.
QString fitRules(const QString& body, const QFontMetrics& metrics, int room) {
  static const QRegularExpression kRule(QStringLiteral("^-{3,}$"), QRegularExpression::MultilineOption);
  QString fitted = body;
  // Lines end at CR LF; the multi-line anchors know LF only, so the CRs are set aside first.
  fitted.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QRegularExpressionMatchIterator rules = kRule.globalMatch(fitted);
  QString out;
  qsizetype from = 0;
  while (rules.hasNext()) {
    const QRegularExpressionMatch rule = rules.next();
    QString line = rule.captured();
    while (line.size() > 3 && metrics.horizontalAdvance(line) > room) line.chop(1);
    out += fitted.mid(from, rule.capturedStart() - from) + line;
    from = rule.capturedEnd();
  }
  out += fitted.mid(from);
  return out.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}

}  // namespace

void FrmOption::lst_help_Click() {
  // The language is the one of this moment, which may already differ from the titles' until Apply.
  const int k = lst_help->currentRow() + 1;
  if (k < 1 || k > 10) return;  // emptied: nothing is selected
  const TextTables& tables = program_.tables();
  // A line's width: inside the frame, the scroll bar that is always on and the document's margins, less the
  // cursor's pixel. Known from the geometry before the box is first shown.
  const int room = txt_help->contentsRect().width() - txt_help->verticalScrollBar()->sizeHint().width() -
                   2 * int(txt_help->document()->documentMargin()) - 1;
  txt_help->setPlainText(fitRules(program_.use_chinese() ? tables.HelpBody_zh[k] : tables.HelpBody_en[k],
                                  txt_help->fontMetrics(), room));
}
