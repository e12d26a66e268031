// libFuzzer entry point: a favourites list file's bytes, cut into lines and read as paths. Nothing may crash,
// hang, allocate without bound or trip a sanitizer, and the list keeps its bounds.

#include "main_window/list_file.h"

#include <QByteArray>
#include <QDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
  const QStringList paths = listfile::parse(bytes);
  if (paths.size() > listfile::kMaxEntries) std::abort();
  for (const QString& path : paths)
    if (!path.contains(QDir::separator())) std::abort();
  return 0;
}
