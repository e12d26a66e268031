#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// What the settings file's lines say, before any of it is applied to the windows.
//   1     the folder shown by the main window's folder list, taken whole (commas and spaces included)
//   2-10  a run of fields across the lines (a comma ends a field as a line end does): the seven options as
//         whole numbers, then shortcut keys enabled and Chinese interface as "True" / "False" or numbers
// The reading stops at the first field that does not convert: every value after it stays unset.
struct SettingsFile {
  std::optional<QString> folder;  // unset only when the file has no line at all
  QList<int> checks;              // the options read, in order, up to seven
  std::optional<bool> shortcuts;  // set only when all seven options were read
  std::optional<bool> chinese;    // set only when shortcuts is
};

// The settings file's lines (textfile::ReadLines or SplitLines, at most 10) taken apart.
SettingsFile parseSettings(const QList<QByteArray>& lines);
