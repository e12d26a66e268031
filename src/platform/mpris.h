#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>

// The desktop's media controls (media keys, the panel's player applet) reach a player through MPRIS:
// org.mpris.MediaPlayer2 and org.mpris.MediaPlayer2.Player on the session bus. MprisService only
// translates between D-Bus and an MprisPlayer, which says what the player shows and carries out what
// the desktop asks. All of it runs on the UI thread (Qt D-Bus delivers calls there).

// What the player shows, as the desktop sees it.
struct MprisStatus {
  enum class Playback { Stopped, Playing, Paused };
  Playback playback = Playback::Stopped;
  QString trackId;      // a D-Bus object path naming the open medium; empty when nothing is open
  QString title;        // the medium's name
  qint64 lengthUs = 0;  // 0 while not known
  double volume = 1.0;
  bool canPlay = false;
  bool canPause = false;
  bool canGoNext = false;
  bool canGoPrevious = false;
  bool canSeek = false;
  bool canQuit = false;
  bool canRaise = false;

  bool operator==(const MprisStatus&) const = default;
};

class MprisPlayer {
 public:
  virtual ~MprisPlayer() = default;
  virtual MprisStatus status() const = 0;
  virtual qint64 positionUs() const = 0;
  // Each does nothing where status() says it cannot.
  virtual void play() = 0;
  virtual void pause() = 0;
  virtual void playPause() = 0;
  virtual void stop() = 0;
  virtual void next() = 0;
  virtual void previous() = 0;
  virtual void setPositionUs(qint64 us) = 0;
  virtual void setVolume(double volume) = 0;
  virtual void openUri(const QString& uri) = 0;
  virtual void raise() = 0;
  virtual void quit() = 0;
};

// Fixed facts about the player for the desktop.
struct MprisIdentity {
  QString busName;       // e.g. "org.mpris.MediaPlayer2.glview3"
  QString identity;      // the name shown, e.g. "Glintview"
  QString desktopEntry;  // the desktop entry's id without ".desktop"
  QStringList mimeTypes;
  QStringList uriSchemes;
};

// Offers an MprisPlayer on a bus. Owned by whoever owns the player; leaves the bus when destroyed.
class MprisService : public QObject {
  Q_OBJECT
 public:
  static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";

  MprisService(MprisPlayer& player, MprisIdentity identity, QObject* parent = nullptr);
  ~MprisService() override;

  // Registers on the bus (by default the session bus) under the identity's name, or, when another copy of
  // the program holds it, that name with ".instance" and the process id. False, and nothing registered,
  // when there is no bus to reach.
  bool publish(QDBusConnection connection = QDBusConnection::sessionBus());
  QString serviceName() const { return service_; }  // empty until published

  // Compares what the player shows with what the bus was told last and sends PropertiesChanged for each
  // interface where something differs. Cheap enough to run on every position tick.
  void refresh();

  MprisPlayer& player() { return player_; }
  const MprisIdentity& identity() const { return identity_; }
  const MprisStatus& told() const { return told_; }

 private:
  MprisPlayer& player_;
  MprisIdentity identity_;
  QObject* root_ = nullptr;  // the exported object; the two adaptors are its children
  QDBusConnection connection_{QString()};
  QString service_;
  MprisStatus told_;  // what the bus has been told
};
