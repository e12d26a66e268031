// The settings file beside the program: ten lines, CR LF after each.
//   1     the folder shown by the main window's folder list
//   2-8   the seven options, as " 1 " / " 0 "
//   9     shortcut keys enabled, "True" / "False"
//   10    Chinese interface, "True" / "False"
#include "app/program.h"

#include "app/settings_file.h"
#include "app/text_file.h"
#include "main_window/frm_main.h"
#include "platform/file_names.h"
#include "preferences/frm_option.h"

#include <QFileInfo>

namespace {

QByteArray numberText(int value) {
  // A sign position (a space for zero and positive values), the digits, one space.
  return (value < 0 ? QByteArray("-") : QByteArray(" ")) + QByteArray::number(qAbs(value)) + ' ';
}

QByteArray boolText(bool value) { return value ? QByteArrayLiteral("True") : QByteArrayLiteral("False"); }

}  // namespace

QString Program::settingsPath() const { return writePath(QStringLiteral("glview3.ini")); }

void Program::LoadSettings(int keep_folder) {
  // Any failure ends the reading at that point; what was already applied stays.
  [&] {
    const auto lines = textfile::readLines(readPath(QStringLiteral("glview3.ini")), 10);
    if (!lines) return;
    const SettingsFile settings = parseSettings(*lines);
    if (!settings.folder) return;
    if (keep_folder == 0) {
      // The folder must exist here: one that has gone (or was never on this machine, such as a drive-letter
      // path) leaves the main window where it is.
      if (!QFileInfo(*settings.folder).isAbsolute() || !filenames::isDir(*settings.folder)) return;
      if (!main_->goToFolder(*settings.folder)) return;
    }
    for (int index = 0; index <= 6; ++index) {
      if (index >= settings.checks.size() || !option_->setCheckValue(index, settings.checks[index])) return;
    }
    if (!settings.shortcuts) return;
    option_->setOption1Value(*settings.shortcuts);
    if (!settings.chinese) return;
    useChinese_ = *settings.chinese;
  }();
  ApplyInterface();
  option_->markApplied();
}

bool Program::SaveSettings(QString* error) {
  QList<QByteArray> lines;
  lines << textfile::encode(main_->shownFolder());
  for (int index = 0; index <= 6; ++index) lines << numberText(options().CheckValue(index));
  lines << boolText(options().Option1Value());
  lines << boolText(useChinese_);
  // A folder that could not be made is the reason, not the write that then finds no folder.
  QString folderError;
  const QString path = writePath(QStringLiteral("glview3.ini"), &folderError);
  if (!folderError.isEmpty()) {
    if (error) *error = folderError;
    return false;
  }
  // Atomic: a failed write leaves the previous file whole.
  return textfile::writeLines(path, lines, error);
}
