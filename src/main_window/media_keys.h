#pragma once

#include "platform/mpris.h"

#include <QObject>

class FrmMain;
class KeyPreview;
class Program;
class QKeyEvent;

// The main window's player as the desktop's media controls (media keys, the panel's player) see it over
// MPRIS: what is open and whether it plays, and which transport buttons would act. The desktop's commands
// run those buttons' handlers, and only while the button would take a click. The media keys pressed while
// the main window has the focus are the same commands, for desktops where nothing forwards them over MPRIS.
// Program owns it.
class MediaKeys : public QObject, public MprisPlayer {
  Q_OBJECT
 public:
  static constexpr const char* kBusName = "org.mpris.MediaPlayer2.glview3";

  explicit MediaKeys(Program& program);
  ~MediaKeys() override;

  // On the session bus unless another is given; false (and nothing shown to anyone) when there is none.
  bool publish(QDBusConnection connection = QDBusConnection::sessionBus());
  MprisService& service() { return service_; }

  MprisStatus status() const override;
  qint64 positionUs() const override;
  void play() override;
  void pause() override;
  void playPause() override;
  void stop() override;
  void next() override;
  void previous() override;
  void setPositionUs(qint64 us) override;
  void setVolume(double volume) override;
  void openUri(const QString& uri) override;
  void raise() override;
  void quit() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void followCommand(const QString& command);
  void mediaKey(const QKeyEvent* key);
  void scheduleRefresh();

  Program& program_;
  FrmMain& m_;
  MprisService service_;
  KeyPreview* keys_ = nullptr;  // the main window's child, let go with this object
  bool refreshPending_ = false;
  quint64 track_ = 0;  // counts the opens, so each medium has its own track id
  // How the medium stands when no play is under way: paused by "Pause", else stopped.
  MprisStatus::Playback halted_ = MprisStatus::Playback::Stopped;
};
