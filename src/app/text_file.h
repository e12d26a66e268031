#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The program's small text files (settings, list files): 8-bit text in the local encoding, lines ended by CR
// LF.
namespace textfile {

// Longest line we take; no path or setting is longer, and a hostile file cannot make us hold more.
constexpr qsizetype kMaxLineBytes = 64 * 1024;

// Reads at most max_lines lines of path. A line ends at CR or CR LF (a lone LF belongs to the line); the last
// line may lack its end. A line longer than kMaxLineBytes ends the reading (it is not returned). nullopt when
// the file cannot be opened for reading.
std::optional<QList<QByteArray>> ReadLines(const QString& path, int max_lines);

// Writes each line followed by CR LF, atomically: on any failure the old file stays whole. Returns success.
bool WriteLines(const QString& path, const QList<QByteArray>& lines);

QString Decode(const QByteArray& bytes);  // local 8-bit text to QString
QByteArray Encode(const QString& text);   // QString to local 8-bit text

// One field of a line as the settings reader takes it: leading spaces skipped, the field ends at a comma or
// the end of the line, spaces after it ignored.
QByteArray FirstField(const QByteArray& line);
// A field made of a whole number (optional sign); nullopt otherwise.
std::optional<int> NumberField(const QByteArray& line);
// "True"/"False" in any letter case, or a number (non-zero is True); nullopt otherwise.
std::optional<bool> BoolField(const QByteArray& line);

}  // namespace textfile
