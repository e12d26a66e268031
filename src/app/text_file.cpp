#include "app/text_file.h"

#include <QFile>
#include <QSaveFile>

namespace textfile {

std::optional<QList<QByteArray>> ReadLines(const QString& path, int max_lines) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  QList<QByteArray> lines;
  QByteArray line;
  bool pending = false;  // a line has started (possibly empty after a CR)
  char buffer[64 * 1024];
  bool after_cr = false;
  while (lines.size() < max_lines) {
    const qint64 n = file.read(buffer, sizeof buffer);
    if (n <= 0) break;
    for (qint64 i = 0; i < n && lines.size() < max_lines; ++i) {
      const char c = buffer[i];
      if (after_cr) {
        after_cr = false;
        if (c == '\n') continue;  // the LF of a CR LF pair
      }
      if (c == '\r') {
        lines.append(line);
        line.clear();
        pending = false;
        after_cr = true;
        continue;
      }
      if (line.size() >= kMaxLineBytes) return lines;
      line.append(c);
      pending = true;
    }
  }
  if (pending && lines.size() < max_lines) lines.append(line);
  return lines;
}

bool WriteLines(const QString& path, const QList<QByteArray>& lines) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  for (const QByteArray& line : lines) {
    if (file.write(line) != line.size() || file.write("\r\n", 2) != 2) {
      file.cancelWriting();
      return false;
    }
  }
  return file.commit();
}

QString Decode(const QByteArray& bytes) { return QString::fromLocal8Bit(bytes); }

QByteArray Encode(const QString& text) { return text.toLocal8Bit(); }

QByteArray FirstField(const QByteArray& line) {
  qsizetype start = 0;
  while (start < line.size() && line[start] == ' ') ++start;
  qsizetype end = line.indexOf(',', start);
  if (end < 0) end = line.size();
  QByteArray field = line.mid(start, end - start);
  while (!field.isEmpty() && (field.back() == ' ' || field.back() == '\t')) field.chop(1);
  return field;
}

std::optional<int> NumberField(const QByteArray& line) {
  const QByteArray field = FirstField(line);
  bool ok = false;
  const int value = field.toInt(&ok);
  if (!ok) return std::nullopt;
  return value;
}

std::optional<bool> BoolField(const QByteArray& line) {
  const QByteArray field = FirstField(line).toLower();
  if (field == "true") return true;
  if (field == "false") return false;
  if (const auto number = NumberField(line)) return *number != 0;
  return std::nullopt;
}

}  // namespace textfile
