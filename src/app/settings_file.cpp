#include "app/settings_file.h"

#include "app/text_file.h"

SettingsFile parseSettings(const QList<QByteArray>& lines) {
  SettingsFile settings;
  if (lines.isEmpty()) return settings;
  settings.folder = textfile::decode(lines.constFirst());
  QList<QByteArray> fields;
  for (qsizetype i = 1; i < lines.size(); ++i) fields << textfile::fields(lines.at(i));
  qsizetype next = 0;
  auto field = [&]() -> std::optional<QByteArray> {
    if (next >= fields.size()) return std::nullopt;
    return fields[next++];
  };
  while (settings.checks.size() < 7) {
    const auto text = field();
    const auto value = text ? textfile::toNumber(*text) : std::nullopt;
    if (!value) return settings;
    settings.checks << *value;
  }
  auto text = field();
  settings.shortcuts = text ? textfile::toBool(*text) : std::nullopt;
  if (!settings.shortcuts) return settings;
  text = field();
  settings.chinese = text ? textfile::toBool(*text) : std::nullopt;
  return settings;
}
