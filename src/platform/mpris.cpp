#include "platform/mpris.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QVariantMap>

namespace {

constexpr auto kRootInterface = "org.mpris.MediaPlayer2";
constexpr auto kPlayerInterface = "org.mpris.MediaPlayer2.Player";
const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");

QString playbackText(MprisStatus::Playback playback) {
  switch (playback) {
    case MprisStatus::Playback::Playing:
      return QStringLiteral("Playing");
    case MprisStatus::Playback::Paused:
      return QStringLiteral("Paused");
    default:
      return QStringLiteral("Stopped");
  }
}

QVariantMap metadataOf(const MprisStatus& status) {
  QVariantMap map;
  map.insert(QStringLiteral("mpris:trackid"),
             QVariant::fromValue(QDBusObjectPath(status.trackId.isEmpty() ? kNoTrack : status.trackId)));
  if (status.trackId.isEmpty()) return map;
  map.insert(QStringLiteral("xesam:title"), status.title);
  if (status.lengthUs > 0) map.insert(QStringLiteral("mpris:length"), qlonglong(status.lengthUs));
  return map;
}

// org.mpris.MediaPlayer2: the application.
class RootAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ canQuit)
  Q_PROPERTY(bool CanRaise READ canRaise)
  Q_PROPERTY(bool HasTrackList READ hasTrackList)
  Q_PROPERTY(QString Identity READ identity)
  Q_PROPERTY(QString DesktopEntry READ desktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ uriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ mimeTypes)

 public:
  RootAdaptor(QObject* object, MprisService& service) : QDBusAbstractAdaptor(object), service_(service) {}

  bool canQuit() const { return service_.player().status().canQuit; }
  bool canRaise() const { return service_.player().status().canRaise; }
  bool hasTrackList() const { return false; }
  QString identity() const { return service_.identity().identity; }
  QString desktopEntry() const { return service_.identity().desktopEntry; }
  QStringList uriSchemes() const { return service_.identity().uriSchemes; }
  QStringList mimeTypes() const { return service_.identity().mimeTypes; }

 public slots:
  // The D-Bus interface's own names, here and below.
  // NOLINTBEGIN(readability-identifier-naming)
  void Raise() { service_.player().raise(); }
  void Quit() { service_.player().quit(); }
  // NOLINTEND(readability-identifier-naming)

 private:
  MprisService& service_;
};

// org.mpris.MediaPlayer2.Player: the transport.
class PlayerAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
  Q_PROPERTY(double Rate READ rate WRITE setRate)
  Q_PROPERTY(QVariantMap Metadata READ metadata)
  Q_PROPERTY(double Volume READ volume WRITE setVolume)
  Q_PROPERTY(qlonglong Position READ position)
  Q_PROPERTY(double MinimumRate READ rate)
  Q_PROPERTY(double MaximumRate READ rate)
  Q_PROPERTY(bool CanGoNext READ canGoNext)
  Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
  Q_PROPERTY(bool CanPlay READ canPlay)
  Q_PROPERTY(bool CanPause READ canPause)
  Q_PROPERTY(bool CanSeek READ canSeek)
  Q_PROPERTY(bool CanControl READ canControl)

 public:
  PlayerAdaptor(QObject* object, MprisService& service) : QDBusAbstractAdaptor(object), service_(service) {}

  QString playbackStatus() const { return playbackText(status().playback); }
  double rate() const { return 1.0; }  // the player has one speed
  void setRate(double) {}
  QVariantMap metadata() const { return metadataOf(status()); }
  double volume() const { return status().volume; }
  void setVolume(double volume) { service_.player().setVolume(volume); }
  qlonglong position() const { return service_.player().positionUs(); }
  bool canGoNext() const { return status().canGoNext; }
  bool canGoPrevious() const { return status().canGoPrevious; }
  bool canPlay() const { return status().canPlay; }
  bool canPause() const { return status().canPause; }
  bool canSeek() const { return status().canSeek; }
  bool canControl() const { return true; }

 public slots:
  // NOLINTBEGIN(readability-identifier-naming)
  void Next() { service_.player().next(); }
  void Previous() { service_.player().previous(); }
  void Pause() { service_.player().pause(); }
  void PlayPause() { service_.player().playPause(); }
  void Stop() { service_.player().stop(); }
  void Play() { service_.player().play(); }
  void Seek(qlonglong Offset) {
    const MprisStatus now = status();
    if (!now.canSeek) return;
    const qint64 target = std::max<qint64>(service_.player().positionUs() + Offset, 0);
    // Past the end is the next track, as MPRIS has it.
    if (now.lengthUs > 0 && target > now.lengthUs) return service_.player().next();
    seekTo(target);
  }
  void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position) {
    const MprisStatus now = status();
    // A request for another track (one that has ended meanwhile, say) or beyond this one is stale.
    if (!now.canSeek || TrackId.path() != now.trackId || Position < 0 || Position > now.lengthUs) return;
    seekTo(Position);
  }
  void OpenUri(const QString& Uri) { service_.player().openUri(Uri); }

 signals:
  void Seeked(qlonglong Position);
  // NOLINTEND(readability-identifier-naming)

 private:
  MprisStatus status() const { return service_.player().status(); }
  void seekTo(qint64 us) {
    service_.player().setPositionUs(us);
    emit Seeked(us);
  }

  MprisService& service_;
};

}  // namespace

MprisService::MprisService(MprisPlayer& player, MprisIdentity identity, QObject* parent)
    : QObject(parent), player_(player), identity_(std::move(identity)) {}

MprisService::~MprisService() {
  if (service_.isEmpty()) return;
  connection_.unregisterObject(QLatin1String(kObjectPath));
  connection_.unregisterService(service_);
}

bool MprisService::publish(QDBusConnection connection) {
  if (!service_.isEmpty() || !connection.isConnected()) return false;
  root_ = new QObject(this);
  new RootAdaptor(root_, *this);
  new PlayerAdaptor(root_, *this);
  if (!connection.registerObject(QLatin1String(kObjectPath), root_, QDBusConnection::ExportAdaptors)) {
    delete root_;
    root_ = nullptr;
    return false;
  }
  QString name = identity_.busName;
  // A second copy of the program (F2 starts one) offers itself beside the first.
  if (!connection.registerService(name)) {
    name += QStringLiteral(".instance") + QString::number(QCoreApplication::applicationPid());
    if (!connection.registerService(name)) {
      connection.unregisterObject(QLatin1String(kObjectPath));
      delete root_;
      root_ = nullptr;
      return false;
    }
  }
  connection_ = connection;
  service_ = name;
  told_ = player_.status();
  return true;
}

void MprisService::refresh() {
  if (service_.isEmpty()) return;
  const MprisStatus now = player_.status();
  if (now == told_) return;
  QVariantMap root;
  QVariantMap player;
  if (now.canQuit != told_.canQuit) root.insert(QStringLiteral("CanQuit"), now.canQuit);
  if (now.canRaise != told_.canRaise) root.insert(QStringLiteral("CanRaise"), now.canRaise);
  if (now.playback != told_.playback)
    player.insert(QStringLiteral("PlaybackStatus"), playbackText(now.playback));
  if (now.trackId != told_.trackId || now.title != told_.title || now.lengthUs != told_.lengthUs)
    player.insert(QStringLiteral("Metadata"), metadataOf(now));
  if (now.volume != told_.volume) player.insert(QStringLiteral("Volume"), now.volume);
  if (now.canPlay != told_.canPlay) player.insert(QStringLiteral("CanPlay"), now.canPlay);
  if (now.canPause != told_.canPause) player.insert(QStringLiteral("CanPause"), now.canPause);
  if (now.canGoNext != told_.canGoNext) player.insert(QStringLiteral("CanGoNext"), now.canGoNext);
  if (now.canGoPrevious != told_.canGoPrevious)
    player.insert(QStringLiteral("CanGoPrevious"), now.canGoPrevious);
  if (now.canSeek != told_.canSeek) player.insert(QStringLiteral("CanSeek"), now.canSeek);
  told_ = now;
  const auto send = [this](const char* interface, const QVariantMap& changed) {
    if (changed.isEmpty()) return;
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(kObjectPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(interface) << changed << QStringList();
    connection_.send(signal);
  };
  send(kRootInterface, root);
  send(kPlayerInterface, player);
}

#include "mpris.moc"
