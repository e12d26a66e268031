#include "platform/common_dialog.h"

#include "platform/file_names.h"
#include "platform/seams.h"

#include <QFileInfo>
#include <QStringList>

QString CommonDialog::desktopFilter(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList entries;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    const QString description = parts[i].trimmed();
    QString patterns = parts[i + 1].trimmed();
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    // A description that already shows its pattern keeps it; the desktop dialog reads the one in brackets.
    if (description.contains(QLatin1Char('(')))
      entries << description.left(description.indexOf(QLatin1Char('('))).trimmed() + QStringLiteral(" (") +
                     patterns + QLatin1Char(')');
    else
      entries << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
  }
  return entries.join(QStringLiteral(";;"));
}

QString CommonDialog::initialPath() const {
  // A pattern such as "*.lst" only chooses the filter; it is not a name to offer.
  if (FileName.contains(QLatin1Char('*')) || FileName.contains(QLatin1Char('?'))) return QString();
  return FileName;
}

bool CommonDialog::ShowOpen() {
  const auto chosen = dialogs_.getOpenFileName(owner_, DialogTitle, initialPath(), desktopFilter(Filter));
  if (!chosen) return false;
  FileName = *chosen;
  return true;
}

bool CommonDialog::ShowSave() {
  const auto chosen = dialogs_.getSaveFileName(owner_, DialogTitle, initialPath(), desktopFilter(Filter));
  if (!chosen) return false;
  QString name = *chosen;
  if (!DefaultExt.isEmpty() && QFileInfo(name).suffix().isEmpty()) {
    name += DefaultExt.startsWith(QLatin1Char('.')) ? DefaultExt : QLatin1Char('.') + DefaultExt;
  }
  // Asked here, not by the desktop's dialog: only now is the name known with its added extension, and the
  // question is in the program's words and language.
  if (boxes_ && !overwritePrompt.isEmpty() && filenames::stat(name)) {
    const auto reply = boxes_->show(owner_, QMessageBox::Warning, overwriteTitle, overwritePrompt.arg(name),
                                    QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (reply != QMessageBox::Yes) return false;
  }
  FileName = name;
  return true;
}
