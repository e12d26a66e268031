// The help page: six topics in the current language, the chosen topic's text beside them.
#include "app/look.h"
#include "app/program.h"
#include "preferences/frm_option.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>

using look::twips;

void FrmOption::createHelpPage() {
  Label5 = new QLabel(QStringLiteral("Help"), Frame[3]);
  Label5->setGeometry(twips(120, 60, 4035, 300));
  QFont bold = Label5->font();
  bold.setBold(true);
  Label5->setFont(bold);

  lst_help = new QListWidget(Frame[3]);
  lst_help->setGeometry(twips(120, 600, 1515, 1815));
  // Every title whole: a long one wraps onto a second line instead of scrolling out of sight.
  lst_help->setWordWrap(true);
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

void FrmOption::lst_help_Click() {
  // The language is the one of this moment, which may already differ from the titles' until Apply.
  const int k = lst_help->currentRow() + 1;
  if (k < 1 || k > 10) return;  // emptied: nothing is selected
  const TextTables& tables = program_.tables;
  txt_help->setPlainText(program_.use_chinese ? tables.HelpBody_zh[k] : tables.HelpBody_en[k]);
}
