// libFuzzer entry point: the settings file's bytes, cut into lines and taken apart as the program does at
// start. Nothing may crash, hang, allocate without bound or trip a sanitizer, and the result keeps the
// reading's order: no value after one that was not read.

#include "app/settings_file.h"
#include "app/text_file.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
  const QList<QByteArray> lines = textfile::splitLines(bytes, 10);
  if (lines.size() > 10) std::abort();
  const SettingsFile settings = parseSettings(lines);
  if (settings.folder.has_value() != !lines.isEmpty()) std::abort();
  if (settings.checks.size() > 7) std::abort();
  if (settings.shortcuts && settings.checks.size() != 7) std::abort();
  if (settings.chinese && !settings.shortcuts) std::abort();
  return 0;
}
