#include "app/text_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace textfile {

std::optional<QList<QByteArray>> ReadLines(const QString& path, int max_lines) {
  if (!QFileInfo(path).isFile()) return std::nullopt;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  QList<QByteArray> lines;
  QByteArray line;
  bool pending = false;   // the current line has bytes but no end yet
  bool after_cr = false;  // the byte before was a CR, so an LF now only completes its line end
  char buffer[64 * 1024];
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

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

QByteArray trimmed(QByteArrayView text) {
  qsizetype start = 0;
  qsizetype end = text.size();
  while (start < end && isBlank(text[start])) ++start;
  while (end > start && isBlank(text[end - 1])) --end;
  return text.sliced(start, end - start).toByteArray();
}

}  // namespace

QList<QByteArray> Fields(const QByteArray& line) {
  QList<QByteArray> fields;
  qsizetype start = 0;
  for (;;) {
    const qsizetype comma = line.indexOf(',', start);
    if (comma < 0) break;
    fields << trimmed(QByteArrayView(line).sliced(start, comma - start));
    start = comma + 1;
  }
  fields << trimmed(QByteArrayView(line).sliced(start));
  return fields;
}

std::optional<int> ToNumber(const QByteArray& field) {
  // Only digits with an optional sign: toInt alone would also take "0x10" style or blanks inside.
  if (field.isEmpty()) return std::nullopt;
  const qsizetype first = (field[0] == '-' || field[0] == '+') ? 1 : 0;
  if (first == field.size()) return std::nullopt;
  for (qsizetype i = first; i < field.size(); ++i)
    if (field[i] < '0' || field[i] > '9') return std::nullopt;
  bool ok = false;
  const int value = field.toInt(&ok);
  if (!ok) return std::nullopt;
  return value;
}

std::optional<bool> ToBool(const QByteArray& field) {
  const QByteArray word = field.toLower();
  if (word == "true") return true;
  if (word == "false") return false;
  if (const auto number = ToNumber(field)) return *number != 0;
  return std::nullopt;
}

QByteArray FirstField(const QByteArray& line) { return Fields(line).constFirst(); }

std::optional<int> NumberField(const QByteArray& line) { return ToNumber(FirstField(line)); }

std::optional<bool> BoolField(const QByteArray& line) { return ToBool(FirstField(line)); }

}  // namespace textfile
