#pragma once

#include "media/video_surface.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>

typedef struct _GstElement GstElement;
typedef struct _GstMessage GstMessage;

// The multimedia control: plays sounds, movies and the audio CD through a GStreamer playbin. The main
// window owns one. Every member is used on the UI thread only; GStreamer's threads hand their news to
// that thread through queued calls, and the calls that may block (state changes, seeks, the drive) run
// in order on a worker thread of the control, so no command ever waits for a decoder or a drive. Only the
// destructor waits: for the teardown of the open pipeline.
//
// Length, Position and From are milliseconds. For the audio CD they cover the whole disc (track 1 starts
// at 0); while the disc's table of contents is not known yet they cover the current track.
class MMControl : public QObject {
  Q_OBJECT
 public:
  explicit MMControl(QObject* parent = nullptr);
  ~MMControl() override;

  // GStreamer's start (reading its plugin registry) takes tens of milliseconds: a program begins it on a
  // thread of its own while its windows are made, and the first control waits only for what is left.
  static void prepareGStreamer();

  // "Open", "Play", "Pause", "Stop", "Back", "Step", "Prev", "Eject", "Close"; others are ignored.
  void setCommand(const QString& command);
  void setDeviceType(const QString& type);  // "" = chosen from the file, "CDAudio" = the audio CD
  QString deviceType() const { return deviceType_; }
  void setFileName(const QString& path) { fileName_ = path; }
  QString fileName() const { return fileName_; }
  void setFrom(qint32 ms) { from_ = ms; }               // start of the next command if it is "Play"
  std::optional<qint32> from() const { return from_; }  // set and not yet consumed by a command
  qint32 Length() const;  // 0 while nothing is open or the length is not known yet
  qint32 Position() const;
  void setSilent(bool silent);  // mutes; stays in force across later opens
  // A medium (a file or the disc) is open; a "Play" of it has not reached its Done yet.
  bool isOpen() const { return session_ != nullptr; }
  bool isPlaying() const { return session_ != nullptr && playPending_; }
  bool silent() const { return silent_; }
  void setHWndDisplay(QWidget* pane);  // movies are drawn inside this widget
  QWidget* hWndDisplay() const { return pane_; }
  void setCdDevice(const QString& device) { cdDevice_ = device; }  // "" = libcdio's default drive
  QString cdDevice() const { return cdDevice_; }
  // Whether sound can be heard: false once a medium was opened while no audio output of the machine
  // opened, so that it plays into a fake output that only keeps time. noSoundOutput tells it once.
  bool soundAudible() const { return soundAudible_; }
  // For tests: use this audio output instead of the one probed for the machine; "" = none opens.
  void setAudioOutputOverride(std::optional<std::string> factory) {
    audioOutputOverride_ = std::move(factory);
  }

  // For diagnostics and tests: the open pipeline (a playbin), or null.
  GstElement* pipeline() const;
  // The widget that shows movies inside the pane, or null before setHWndDisplay.
  VideoSurface* videoSurface() const { return surface_; }

 signals:
  void Done(int NotifyCode);  // 1 successful, 2 superseded, 4 aborted, 8 failure; always queued
  void commandSent(const QString& command);  // every setCommand, before it runs
  void noSoundOutput();  // once per control, queued: the first medium that found no audio output to play on

 private:
  struct Session;
  class Worker;
  enum NotifyCode { Successful = 1, Superseded = 2, Aborted = 4, Failure = 8 };

  bool eventFilter(QObject* watched, QEvent* event) override;
  QSize shownArea() const;  // where movies are shown, in device pixels

  void open();
  void play(std::optional<qint32> from);
  void pause();
  void prev();
  void step(int direction);
  void eject();
  void close();

  void openSession(bool cd);
  void closeSession();
  void setState(int state);  // a GstState
  void seekTo(qint64 ms);
  void finishPlay(NotifyCode code);
  qint64 lengthMs() const;
  qint64 positionMs() const;
  qint64 trackOffsetMs(int track) const;
  int trackAt(qint64 ms) const;

  // UI-thread ends of the GStreamer callbacks; gen tells which session the news belongs to.
  void handleMessage(quint64 gen, quint64 seekSerial, GstMessage* message);
  void handleEos(quint64 seekSerial);
  void handleFailure(quint64 gen);
  void handleSeekDone(quint64 gen, quint64 serial);
  void handleNoSoundOutput();
  void handleFrame(quint64 gen);
  void showSurface();    // shows the movie's surface once it has a frame
  void checkProgress();  // fails a play whose position stands still
  void checkPreroll();   // fails a medium whose demuxer gave up unheard before it prerolled

  QString deviceType_;
  QString fileName_;
  QString cdDevice_;
  std::optional<qint32> from_;
  bool silent_ = false;
  bool soundAudible_ = true;
  std::optional<std::string> audioOutputOverride_;
  QPointer<QWidget> pane_;
  QPointer<VideoSurface> surface_;

  std::shared_ptr<Session> session_;  // the open medium, or null
  quint64 generation_ = 0;            // bumped for every session, so news of a closed one is dropped
  bool refused_ = false;              // the last Open refused its file (not a regular file)
  bool playPending_ = false;          // a "Play" waits for its Done
  bool atEnd_ = false;                // the medium played to its end
  // Target of the last seek until the pipeline reports from there; Position returns it meanwhile.
  mutable std::optional<qint64> pendingSeekMs_;
  quint64 pendingSeekSerial_ = 0;
  bool pendingSeekFinished_ = false;   // the worker has carried that seek out
  mutable qint64 lastPositionMs_ = 0;  // for the moments the pipeline cannot tell
  // Watches a pending play for a position that no longer moves.
  QTimer progressCheck_{};
  qint64 stillPosition_ = -1;   // the pipeline's position, ns, when it was last seen to move
  QElapsedTimer stillSince_{};  // invalid while standing still is not counted
  QTimer prerollCheck_{};       // runs from the open of a medium until it has prerolled

  std::unique_ptr<Worker> worker_;  // declared last: destroyed first, after it has run every queued task
};
