#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Test media generated on the fly, usually into a test's QTemporaryDir. Every writer returns the path of
// the file to open (the .cue for a CD image), or an empty string if it could not write.

// PCM WAV, 16-bit mono, a 440 Hz sine of ms milliseconds.
QString writeWav(const QString& path, int ms, int sampleRate = 8000);

// Standard MIDI file (format 0): one piano note held for ms milliseconds.
QString writeMidi(const QString& path, int ms);

// A file with exactly these bytes (a text file, a truncated medium).
QString writeBytes(const QString& path, const QByteArray& bytes);

// size pseudo-random bytes, the same for the same seed; size 0 gives a zero-byte file.
QString writeGarbage(const QString& path, int size, quint32 seed = 1);

// An audio CD image that libcdio opens as a drive: dir/disc.cue and dir/disc.bin (raw 2352-byte audio
// sectors, 44.1 kHz 16-bit stereo), one track of about trackMs[i] ms each (rounded up to whole sectors,
// 1/75 s), each a sine of its own pitch. Returns the .cue path.
QString writeCdImage(const QString& dir, const QList<int>& trackMs);
