#include "app/text_file.h"

#include "platform/atomic_file.h"
#include "platform/file_names.h"

#include <QFile>
#include <QFileInfo>

namespace textfile {

namespace {

// Cuts bytes into lines as they arrive, so that a file is read only as far as the lines wanted.
class LineSplitter {
 public:
  LineSplitter(int max_lines, LineEnds ends) : maxLines_(max_lines), lfEnds_(ends == LineEnds::AlsoLf) {}

  bool wantsMore() const { return !stopped_ && lines_.size() < maxLines_; }
  bool stoppedAtLongLine() const { return stopped_; }

  void feed(QByteArrayView bytes) {
    for (qsizetype i = 0; i < bytes.size() && wantsMore(); ++i) {
      const char c = bytes[i];
      if (afterCr_) {
        afterCr_ = false;
        if (c == '\n') continue;  // the LF of a CR LF pair
      }
      if (c == '\r' || (c == '\n' && lfEnds_)) {
        lines_.append(line_);
        line_.clear();
        pending_ = false;
        afterCr_ = c == '\r';
        continue;
      }
      if (line_.size() >= kMaxLineBytes) {
        stopped_ = true;  // the overlong line is dropped with everything after it
        return;
      }
      line_.append(c);
      pending_ = true;
    }
  }

  QList<QByteArray> finish() {
    if (wantsMore() && pending_) lines_.append(line_);
    return std::move(lines_);
  }

 private:
  const int maxLines_;
  const bool lfEnds_;  // a lone LF ends a line too
  QList<QByteArray> lines_;
  QByteArray line_;
  bool pending_ = false;  // the current line has bytes but no end yet
  bool afterCr_ = false;  // the byte before was a CR, so an LF now only completes its line end
  bool stopped_ = false;  // a line was too long
};

}  // namespace

std::optional<QList<QByteArray>> readLines(const QString& path, int max_lines, bool* cut_short,
                                           LineEnds ends) {
  if (cut_short) *cut_short = false;
  QFile file;
  if (!filenames::openForReading(file, path)) return std::nullopt;
  LineSplitter splitter(max_lines, ends);
  char buffer[64 * 1024];
  while (splitter.wantsMore()) {
    const qint64 n = file.read(buffer, sizeof buffer);
    if (n <= 0) break;
    splitter.feed(QByteArrayView(buffer, n));
  }
  if (cut_short) *cut_short = splitter.stoppedAtLongLine();
  return splitter.finish();
}

QList<QByteArray> splitLines(QByteArrayView bytes, int max_lines, bool* cut_short, LineEnds ends) {
  LineSplitter splitter(max_lines, ends);
  splitter.feed(bytes);
  if (cut_short) *cut_short = splitter.stoppedAtLongLine();
  return splitter.finish();
}

bool writeLines(const QString& path, const QList<QByteArray>& lines, QString* error) {
  QByteArray bytes;
  qsizetype total = 0;
  for (const QByteArray& line : lines) total += line.size() + 2;
  bytes.reserve(total);
  for (const QByteArray& line : lines) bytes.append(line).append("\r\n", 2);
  return writeFileAtomically(path, bytes, error);
}

// Paths in these files are file names: bytes that must come back exactly as they were read.
QString decode(const QByteArray& bytes) { return filenames::decode(bytes); }

QByteArray encode(const QString& text) { return filenames::encode(text); }

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

QList<QByteArray> fields(const QByteArray& line) {
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

std::optional<int> toNumber(const QByteArray& field) {
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

std::optional<bool> toBool(const QByteArray& field) {
  const QByteArray word = field.toLower();
  if (word == "true") return true;
  if (word == "false") return false;
  if (const auto number = toNumber(field)) return *number != 0;
  return std::nullopt;
}

QByteArray firstField(const QByteArray& line) { return fields(line).constFirst(); }

std::optional<int> numberField(const QByteArray& line) { return toNumber(firstField(line)); }

std::optional<bool> boolField(const QByteArray& line) { return toBool(firstField(line)); }

}  // namespace textfile
