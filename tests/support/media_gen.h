#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QSize>
#include <QString>

// Test media generated on the fly, usually into a test's QTemporaryDir. Every writer returns the path of
// the file to open (the .cue for a CD image), or an empty string if it could not write.

// Runs a gst-launch style description whose file sink is named "out" into path until its end, at most
// timeoutSeconds. path when the pipeline ended and wrote something, else "".
QString encodeToFile(const QString& description, const QString& path, int timeoutSeconds = 20);

// PCM WAV, 16-bit mono, a 440 Hz sine of ms milliseconds.
QString writeWav(const QString& path, int ms, int sampleRate = 8000);

// PCM WAV, mono, a 500 Hz sine of exactly frames samples of 8 (unsigned), 16 or 24 bits; a data chunk of
// odd length is followed by its pad byte, as sound editors write it.
QString writePcmWav(const QString& path, int frames, int bits, int sampleRate = 11025);

// ADPCM WAV as sound converters write it: a 440 Hz sine (a 660 Hz one on the right channel) of ms
// milliseconds in IMA ADPCM (format 0x11, 512-byte blocks a channel) or Microsoft ADPCM (0x02, 256-byte
// blocks a channel, the standard table of seven predictor pairs, each block on another pair), with the
// samples-per-block field and a fact chunk with the count of frames. The encoders follow their decoders.
enum class Adpcm { Ima, Ms };
QString writeAdpcmWav(const QString& path, Adpcm codec, int ms, int sampleRate = 22050, int channels = 1);
// The sample the ADPCM writer encodes at frame i of channel c (for comparing a decoding with it).
qint16 adpcmWavSample(int i, int channel, int sampleRate);

// Standard MIDI file (format 0): one piano note held for ms milliseconds.
QString writeMidi(const QString& path, int ms);

// A song as MIDI files hold them, in format 0 or 1 (the tempo map in a track of its own): a GM reset
// (SysEx), names and text (meta events), then eight legato quarter notes at 240 beats a minute and six at
// 120, note-offs in running status as note-ons of velocity 0: 2 s + 3 s = 5000 ms.
QString writeMidiTempoSong(const QString& path, int format);

// A file with exactly these bytes (a text file, a truncated medium).
QString writeBytes(const QString& path, const QByteArray& bytes);

// size pseudo-random bytes, the same for the same seed; size 0 gives a zero-byte file.
QString writeGarbage(const QString& path, int size, quint32 seed = 1);

// An audio CD image that libcdio opens as a drive: dir/disc.cue and dir/disc.bin (raw 2352-byte audio
// sectors, 44.1 kHz 16-bit stereo), one track of about trackMs[i] ms each (rounded up to whole sectors,
// 1/75 s), each a sine of its own pitch. Returns the .cue path.
QString writeCdImage(const QString& dir, const QList<int>& trackMs);

// Movies of ms milliseconds (whole frames at 25 per second, at least one) in one solid colour, encoded by a
// GStreamer pipeline run to its end with a bound. AVI: raw I420 video; MOV: JPEG frames in QuickTime.
QString writeAvi(const QString& path, int ms, QSize size = {64, 48}, QColor colour = Qt::red);
QString writeMov(const QString& path, int ms, QSize size = {64, 48}, QColor colour = Qt::green);
// A movie of ms milliseconds of colour bars moving sideways (every frame differs), 64x48 at 25 frames a
// second: raw I420 or JPEG frames in AVI, JPEG frames or H.264 (with B-frames) in QuickTime.
enum class Movie { RawAvi, MjpegAvi, JpegMov, H264Mov };
QString writeMovingMovie(const QString& path, Movie kind, int ms);
// A movie of ms milliseconds of colour bars (whole frames at 25 a second, at least one) in Matroska: JPEG
// frames, JPEG frames whose stream tells no frame rate (as a variable rate leaves it), or raw I420 frames.
// One JPEG frame is a still picture wrapped as a movie, as some converters write one.
enum class Mkv { Jpeg, JpegNoRate, Raw };
QString writeMkv(const QString& path, Mkv kind, int ms);
// The first third of an H.264 movie in QuickTime (colour bars, 320x240), as a download cut short leaves it:
// the movie header, which the muxer writes last, is missing.
QString writeTruncatedMov(const QString& path, int ms);

// Uncompressed AVI as common converters write it, built byte by byte: the OpenDML video properties
// ('vprp', a 4:3 frame) in the stream list, an 'odml' list with its 'dmlh', JUNK padding, the INFO list,
// the frames in '00dc' chunks and an 'idx1' index. 25 frames a second, the top half red and the bottom half
// blue. BI_RGB 24-bit rows are padded to four bytes; top-down rows have a negative height.
enum class RawAvi { RgbTopDown, RgbBottomUp, I420, Yuy2 };
QString writeRawAvi(const QString& path, RawAvi kind, int ms, QSize size = {64, 48});

// MPEG-1 video of moving colour bars (a solid colour would fit one pack, which leaves the demuxer no length
// to find) in an MPEG program stream (.mpg), and the same stream in the sectors of a video CD's .dat file
// (RIFF "CDXA", 2352-byte mode 2 sectors carrying 2324 bytes each).
QString writeMpeg(const QString& path, int ms, QSize size = {64, 48});
QString writeVcdDat(const QString& path, int ms, QSize size = {64, 48});

// A program stream as recorders and converters write it: MPEG-1 video and MPEG audio whose clock
// references start at scrStartMs and whose presentation times lead them by ptsLeadMs (real files show
// some 330 to 500 ms), rewritten from what the muxer gave. vcd = in the sectors of a video CD's .dat file.
QString writeMpegAt(const QString& path, int ms, int scrStartMs, int ptsLeadMs, bool vcd = false);
