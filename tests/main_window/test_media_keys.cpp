// The desktop's media controls over MPRIS, on a private session bus (ctest runs this under dbus-run-session):
// a client on its own connection calls the methods and reads the properties as a panel applet would; the
// transport buttons' handlers run, only while they would take a click, and PropertiesChanged follows. The
// media keys pressed in the focused window run the same commands.
#include "controls/dir_list.h"
#include "controls/file_list.h"
#include "main_window/frm_main.h"
#include "main_window/media_keys.h"
#include "media/mmcontrol.h"
#include "media_gen.h"
#include "platform/file_names.h"
#include "preferences/frm_option.h"
#include "program_fixture.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <future>
#include <optional>

namespace {

constexpr auto kPath = "/org/mpris/MediaPlayer2";
constexpr auto kRoot = "org.mpris.MediaPlayer2";
constexpr auto kPlayer = "org.mpris.MediaPlayer2.Player";

QVariantMap asMap(const QVariant& value) {
  if (value.canConvert<QDBusArgument>()) return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
  return value.toMap();
}

// A key without text through the window system's path, as the X server's media keys arrive (QTest's
// keyClick takes only keys that have a character).
void press(QWindow* window, Qt::Key key) {
  QTest::sendKeyEvent(QTest::Press, window, key, QString(), Qt::NoModifier);
  QTest::sendKeyEvent(QTest::Release, window, key, QString(), Qt::NoModifier);
}

QStringList sent(const QSignalSpy& spy) {
  QStringList commands;
  for (const auto& args : spy) commands << args.at(0).toString();
  return commands;
}

}  // namespace

// Records the PropertiesChanged signals of the player, as the desktop receives them.
class ChangeRecorder : public QObject {
  Q_OBJECT
 public:
  QList<QPair<QString, QVariantMap>> changes;

  // The last value a signal carried for the property, if any did.
  std::optional<QVariant> last(const QString& name) const {
    for (auto it = changes.crbegin(); it != changes.crend(); ++it)
      if (it->second.contains(name)) return it->second.value(name);
    return std::nullopt;
  }
  bool saw(const QString& name, const QVariant& value) const {
    const auto got = last(name);
    return got && *got == value;
  }
  bool everSaw(const QString& name, const QVariant& value) const {
    for (const auto& change : changes)
      if (change.second.contains(name) && change.second.value(name) == value) return true;
    return false;
  }
  QString title() const {
    const auto metadata = last(QStringLiteral("Metadata"));
    return metadata ? asMap(*metadata).value(QStringLiteral("xesam:title")).toString() : QString();
  }

 public slots:
  void changed(const QString& interface, const QVariantMap& properties, const QStringList&) {
    changes.append({interface, properties});
  }
};

class TestMediaKeys : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir media_;
  std::optional<QDBusConnection> client_;
  QString service_;

  // Calls as a desktop applet does, through a QDBusInterface on the client's own connection, from a thread
  // of its own: the program answers from its event loop, which keeps running here meanwhile.
  QDBusMessage call(const char* interface, const char* method, const QVariantList& args = {}) {
    auto answer = std::async(std::launch::async, [this, interface, method, args] {
      QDBusInterface remote(service_, kPath, QString::fromLatin1(interface), *client_);
      return remote.callWithArgumentList(QDBus::Block, QString::fromLatin1(method), args);
    });
    using namespace std::chrono_literals;
    if (!QTest::qWaitFor([&] { return answer.wait_for(0ms) == std::future_status::ready; }, 10000)) return {};
    return answer.get();
  }
  QVariant property(const char* interface, const char* name) {
    const QDBusMessage reply = call("org.freedesktop.DBus.Properties", "Get",
                                    {QString::fromLatin1(interface), QString::fromLatin1(name)});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return reply.arguments().first().value<QDBusVariant>().variant();
  }
  bool called(const char* method, const QVariantList& args = {}) {
    return call(kPlayer, method, args).type() == QDBusMessage::ReplyMessage;
  }

  // A started program whose player is on the bus, its folder on the test's media, and a recorder of the
  // player's PropertiesChanged.
  struct Started {
    ProgramFixture fixture;
    FrmMain* m = nullptr;
    ChangeRecorder changes;
  };
  std::unique_ptr<Started> start() {
    auto s = std::make_unique<Started>();
    s->fixture.sessionBus = true;
    Program& p = s->fixture.start();
    s->m = p.frm_main();
    p.frm_option()->setCheckValue(0, 0);  // neither slideshow nor loop: a medium that ends stops
    p.frm_option()->setCheckValue(1, 0);
    if (!p.mediaKeys()) return nullptr;
    service_ = p.mediaKeys()->service().serviceName();
    client_->connect(service_, kPath, "org.freedesktop.DBus.Properties", "PropertiesChanged", &s->changes,
                     SLOT(changed(QString, QVariantMap, QStringList)));
    if (!s->m->Dir->setPath(media_.path())) return nullptr;
    return s;
  }

 private slots:
  void initTestCase() {
    client_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("mpris-client"));
    if (!client_->isConnected()) QSKIP("no session bus: ctest runs this test under dbus-run-session");
    QVERIFY(!writeWav(media_.filePath("a.wav"), 4000).isEmpty());
    QVERIFY(!writeWav(media_.filePath("b.wav"), 4000).isEmpty());
    QVERIFY(!writeWav(media_.filePath("c short.wav"), 200).isEmpty());
  }

  void cleanupTestCase() {
    if (client_) QDBusConnection::disconnectFromBus(QStringLiteral("mpris-client"));
  }

  void theApplication() {
    auto s = start();
    QVERIFY(s);
    QCOMPARE(service_, QString("org.mpris.MediaPlayer2.glview3"));
    QVERIFY(client_->interface()->isServiceRegistered(service_));
    QCOMPARE(property(kRoot, "Identity").toString(), QString("Glintview"));
    QCOMPARE(property(kRoot, "DesktopEntry").toString(), QString("com.example.glintview"));
    const QStringList types = property(kRoot, "SupportedMimeTypes").toStringList();
    QVERIFY(types.contains("audio/x-wav") && types.contains("image/bmp"));

    // Nothing open: stopped, no track, nothing to play or pause, and Play does nothing.
    QCOMPARE(property(kPlayer, "PlaybackStatus").toString(), QString("Stopped"));
    QCOMPARE(asMap(property(kPlayer, "Metadata")).value("mpris:trackid").value<QDBusObjectPath>().path(),
             QString("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
    QCOMPARE(property(kPlayer, "CanPlay").toBool(), false);
    QCOMPARE(property(kPlayer, "CanGoNext").toBool(), true);  // the folder has files to step to
    QSignalSpy commands(s->m->MCI, &MMControl::commandSent);
    QVERIFY(called("Play"));
    QVERIFY(called("Pause"));
    QVERIFY(commands.isEmpty());

    // Off the bus when the program ends.
    s.reset();
    QVERIFY(!client_->interface()->isServiceRegistered(service_));
  }

  void transportRunsTheButtons() {
    auto s = start();
    QVERIFY(s);
    FrmMain& m = *s->m;
    QSignalSpy commands(m.MCI, &MMControl::commandSent);
    m.File->setListIndex(0);  // a click on a.wav
    QCOMPARE(sent(commands), (QStringList{"Open", "Play"}));

    // Playing, with the file's name and its length once known.
    QTRY_VERIFY_WITH_TIMEOUT(s->changes.saw("PlaybackStatus", "Playing"), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(asMap(*s->changes.last("Metadata")).contains("mpris:length"), 5000);
    const QVariantMap metadata = asMap(property(kPlayer, "Metadata"));
    QCOMPARE(metadata.value("xesam:title").toString(), QString("a.wav"));
    QVERIFY(qAbs(metadata.value("mpris:length").toLongLong() - 4'000'000) <= 50'000);
    const QString track = metadata.value("mpris:trackid").value<QDBusObjectPath>().path();
    QVERIFY(track.startsWith("/org/mpris/MediaPlayer2/glview3/track/"));
    QCOMPARE(property(kPlayer, "CanPause").toBool(), true);
    QCOMPARE(property(kPlayer, "CanSeek").toBool(), true);

    commands.clear();
    QVERIFY(called("Pause"));
    QCOMPARE(sent(commands), QStringList{"Pause"});
    QTRY_VERIFY_WITH_TIMEOUT(s->changes.saw("PlaybackStatus", "Paused"), 5000);

    commands.clear();
    QVERIFY(called("PlayPause"));
    QCOMPARE(sent(commands), QStringList{"Play"});
    QTRY_VERIFY_WITH_TIMEOUT(s->changes.saw("PlaybackStatus", "Playing"), 5000);

    commands.clear();
    QVERIFY(called("Stop"));
    QCOMPARE(sent(commands), (QStringList{"Stop", "Prev"}));
    QTRY_VERIFY_WITH_TIMEOUT(s->changes.saw("PlaybackStatus", "Stopped"), 5000);

    // A seek within this track: the start point, then the play button's "Play".
    commands.clear();
    QVERIFY(called("SetPosition", {QVariant::fromValue(QDBusObjectPath(track)), qlonglong(2'500'000)}));
    QCOMPARE(sent(commands), QStringList{"Play"});
    QTRY_VERIFY_WITH_TIMEOUT(property(kPlayer, "Position").toLongLong() >= 2'400'000, 5000);
    // One for a track that is no longer current is stale.
    commands.clear();
    QVERIFY(called("SetPosition", {QVariant::fromValue(QDBusObjectPath("/old/track")), qlonglong(0)}));
    QVERIFY(commands.isEmpty());

    // Next and previous step through the file list as the buttons do, opening what they select.
    QVERIFY(called("Next"));
    QCOMPARE(m.File->FileName(), QString("b.wav"));
    QTRY_COMPARE_WITH_TIMEOUT(s->changes.title(), QString("b.wav"), 5000);
    QVERIFY(called("Previous"));
    QCOMPARE(m.File->FileName(), QString("a.wav"));
    QTRY_COMPARE_WITH_TIMEOUT(s->changes.title(), QString("a.wav"), 5000);

    // The volume is the speaker button: off and on.
    QCOMPARE(call("org.freedesktop.DBus.Properties", "Set",
                  {QString(kPlayer), QString("Volume"), QVariant::fromValue(QDBusVariant(0.0))})
                 .type(),
             QDBusMessage::ReplyMessage);
    QVERIFY(!m.speaker_on);
    QVERIFY(m.MCI->silent());
    QTRY_VERIFY_WITH_TIMEOUT(s->changes.saw("Volume", 0.0), 5000);
  }

  void heldBackTakesNoCommands() {
    auto s = start();
    QVERIFY(s);
    FrmMain& m = *s->m;
    Program& p = *s->fixture.program;
    m.File->setListIndex(0);
    QTRY_VERIFY_WITH_TIMEOUT(s->changes.saw("PlaybackStatus", "Playing"), 5000);

    // The preferences hold the main window back: its buttons take no click, and the desktop is told so.
    p.frm_option()->show();
    p.frm_option()->Form_Activate();
    QVERIFY(!m.isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(s->changes.saw("CanPause", false), 5000);
    QVERIFY(s->changes.saw("CanGoNext", false));
    QSignalSpy commands(m.MCI, &MMControl::commandSent);
    for (const char* method : {"Pause", "PlayPause", "Stop", "Next", "Previous"}) QVERIFY(called(method));
    QVERIFY(
        called("OpenUri", {QString::fromLatin1(filenames::fileUrl(media_.filePath("b.wav")).toEncoded())}));
    QVERIFY(commands.isEmpty());
    QCOMPARE(m.File->FileName(), QString("a.wav"));

    p.frm_option()->CMD_Cancel_Click();
    QVERIFY(m.isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(s->changes.saw("CanPause", true), 5000);
    QVERIFY(called("Pause"));
    QCOMPARE(sent(commands), QStringList{"Pause"});
  }

  // The media keys pressed while the main window has the focus, on a desktop where nothing forwards them over
  // MPRIS: the same commands through the same buttons. The play key toggles, as most keyboards have one
  // play/pause key that sends it.
  void mediaKeysOfTheFocusedWindow() {
    auto s = start();
    QVERIFY(s);
    FrmMain& m = *s->m;
    m.show();
    m.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m.windowHandle()));
    QWindow* window = m.windowHandle();
    QSignalSpy commands(m.MCI, &MMControl::commandSent);
    m.File->setListIndex(0);
    QTRY_VERIFY_WITH_TIMEOUT(m.MCI->isPlaying(), 5000);

    commands.clear();
    press(window, Qt::Key_MediaPause);
    QCOMPARE(sent(commands), QStringList{"Pause"});
    QTRY_VERIFY_WITH_TIMEOUT(!m.MCI->isPlaying(), 5000);
    commands.clear();
    press(window, Qt::Key_MediaPlay);
    QCOMPARE(sent(commands), QStringList{"Play"});
    QTRY_VERIFY_WITH_TIMEOUT(m.MCI->isPlaying(), 5000);
    commands.clear();
    press(window, Qt::Key_MediaTogglePlayPause);
    QCOMPARE(sent(commands), QStringList{"Pause"});

    press(window, Qt::Key_MediaNext);
    QCOMPARE(m.File->FileName(), QString("b.wav"));
    press(window, Qt::Key_MediaPrevious);
    QCOMPARE(m.File->FileName(), QString("a.wav"));
    commands.clear();
    press(window, Qt::Key_MediaStop);
    QCOMPARE(sent(commands).value(0), QString("Stop"));
  }

  void openUriAndTheEnd() {
    auto s = start();
    QVERIFY(s);
    FrmMain& m = *s->m;
    // OpenUri shows the file as a drop would: its folder, selected, played.
    QVERIFY(m.Dir->setPath(QDir::homePath()));
    const QByteArray uri = filenames::fileUrl(media_.filePath("c short.wav")).toEncoded();
    QVERIFY(called("OpenUri", {QString::fromLatin1(uri)}));
    QCOMPARE(m.Dir->Path(), QDir::toNativeSeparators(media_.path()));
    QCOMPARE(m.File->FileName(), QString("c short.wav"));
    QTRY_VERIFY_WITH_TIMEOUT(s->changes.everSaw("PlaybackStatus", "Playing"), 5000);
    QCOMPARE(s->changes.title(), QString("c short.wav"));
    // Played to its end with neither slideshow nor loop: stopped.
    QSignalSpy done(m.MCI, &MMControl::Done);
    QTRY_VERIFY_WITH_TIMEOUT(!done.isEmpty() && s->changes.saw("PlaybackStatus", "Stopped"), 5000);
    QCOMPARE(done.first().at(0).toInt(), 1);
  }
};

QTEST_MAIN(TestMediaKeys)
#include "test_media_keys.moc"
