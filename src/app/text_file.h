#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The program's small text files (settings, list files): 8-bit text in the local encoding, lines ended by CR
// LF.
namespace textfile {

// Longest line we take; no path or setting is longer, and a hostile file cannot make us hold more.
constexpr qsizetype kMaxLineBytes = 64 * 1024;

// Where a line ends: at CR or CR LF, a lone LF belonging to the line (the settings file), or also at a lone
// LF, as editors on Linux write (list files).
enum class LineEnds { CrOrCrLf, AlsoLf };

// Reads at most max_lines lines of path. A line ends as `ends` says; the last line may lack its end. A line
// longer than kMaxLineBytes ends the reading (it is not returned). nullopt when path is not a regular file
// (missing, a folder, a pipe that would block) or cannot be opened for reading. cut_short, when given, tells
// whether an overlong line ended the reading.
std::optional<QList<QByteArray>> readLines(const QString& path, int max_lines, bool* cut_short = nullptr,
                                           LineEnds ends = LineEnds::CrOrCrLf);
// The same lines cut from bytes in memory.
QList<QByteArray> splitLines(QByteArrayView bytes, int max_lines, bool* cut_short = nullptr,
                             LineEnds ends = LineEnds::CrOrCrLf);

// Writes each line followed by CR LF, atomically: on any failure (a full disk included) the old file stays
// byte for byte. Returns success; on failure `error` (when given) says why.
bool writeLines(const QString& path, const QList<QByteArray>& lines, QString* error = nullptr);

QString decode(const QByteArray& bytes);  // local 8-bit text to QString
QByteArray encode(const QString& text);   // QString to local 8-bit text

// The fields of a line as the settings reader takes them: a field ends at a comma or at the end of the line;
// spaces before and after it are not part of it. A line without commas is one field (an empty line too).
QList<QByteArray> fields(const QByteArray& line);
// A field made of a whole number (optional sign) that fits an int; nullopt otherwise.
std::optional<int> toNumber(const QByteArray& field);
// "True"/"False" in any letter case, or a number (non-zero is True); nullopt otherwise.
std::optional<bool> toBool(const QByteArray& field);

// The first field of a line, and its conversions.
QByteArray firstField(const QByteArray& line);
std::optional<int> numberField(const QByteArray& line);
std::optional<bool> boolField(const QByteArray& line);

}  // namespace textfile
