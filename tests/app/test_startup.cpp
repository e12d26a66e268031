// Start-up: the splash's glance at the settings file, and the windows the tick loads.
#include "app/frm_splash.h"
#include "controls/file_list.h"
#include "fullscreen/frm_full.h"
#include "main_window/frm_main.h"
#include "menus/frm_dummy.h"
#include "preferences/frm_option.h"
#include "program_fixture.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

class TestStartup : public QObject {
  Q_OBJECT

 private slots:
  void splashGlance_data() {
    QTest::addColumn<QByteArray>("settings");  // empty: no file
    QTest::addColumn<int>("pointer");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("chinese");
    const QByteArray head = "/tmp\r\n 1 \r\n 1 \r\n 0 \r\n 1 \r\n";
    QTest::newRow("no file") << QByteArray() << 99 << true << false;
    QTest::newRow("own cursors off") << head + " 0 \r\n 1 \r\n 1 \r\nTrue\r\nFalse\r\n"
                                     << 11 << true << false;
    QTest::newRow("seven lines") << head + " 0 \r\n 0 \r\n" << 11 << false << false;
    QTest::newRow("splash off") << head + " 1 \r\n 0 \r\n 1 \r\nTrue\r\nFalse\r\n" << 99 << false << false;
    QTest::newRow("chinese") << head + " 1 \r\n 1 \r\n 1 \r\nFalse\r\nTrue\r\n" << 99 << true << true;
    QTest::newRow("chinese any case") << head + " 1 \r\n 1 \r\n 1 \r\nTrue\r\ntrue\r\n" << 99 << true << true;
    QTest::newRow("cursor line garbage") << head + "abc\r\n 0 \r\n" << 99 << true << false;
    QTest::newRow("cursor value 2") << head + " 2 \r\n 0 \r\n" << 99 << true << false;
    QTest::newRow("language garbage") << head + " 0 \r\n 1 \r\n 1 \r\nTrue\r\nyes\r\n" << 11 << true << false;
    QTest::newRow("binary junk") << QByteArray("\0\xff\r\r\n\x01", 6) << 99 << true << false;
  }

  void splashGlance() {
    QFETCH(QByteArray, settings);
    QFETCH(int, pointer);
    QFETCH(bool, visible);
    QFETCH(bool, chinese);
    ProgramFixture fixture;
    if (!settings.isEmpty()) fixture.writeFile(QStringLiteral("glview3.ini"), settings);
    Program program(fixture.appDir());
    FrmSplash splash(program);
    splash.Form_Load();
    QCOMPARE(splash.mousePointer, pointer);
    QCOMPARE(splash.shouldShow(), visible);
    QCOMPARE(program.use_chinese(), chinese);
    const auto& table = chinese ? program.tables().SplashText_zh : program.tables().SplashText_en;
    QCOMPARE(splash.Label2->text(), table[1]);
    QCOMPARE(splash.Label1->text(), table[2]);
  }

  void tickLoadsEveryWindowAndShowsTheMainWindow() {
    ProgramFixture fixture;
    Program& program = fixture.start();
    QVERIFY(program.frm_main() && program.frm_option() && program.frm_full() && program.frm_dummy());
    QVERIFY(program.frm_main()->isVisible());
    QVERIFY(!program.frm_splash()->isVisible());
    QVERIFY(program.frm_main()->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(program.frm_main()->size(), QSize(620, 357));
    // The file-type box holds its 17 entries with "All known formats" chosen, and the list filters by it.
    QCOMPARE(program.frm_main()->cmb_filter->count(), 17);
    QCOMPARE(program.frm_main()->cmb_filter->currentIndex(), 2);
    QCOMPARE(program.frm_main()->cmb_filter->currentText(), QStringLiteral("All known formats"));
    QCOMPARE(program.frm_main()->File->Pattern(),
             QStringLiteral("*.bmp;*.dib;*.ico;*.cur;*.wmf;*.jpg;*.gif;*.wav;*.mid;*.avi;*.mov;*.mpg"));
    QCOMPARE(program.frm_main()->cmd_min->text(), QStringLiteral("_"));
    QCOMPARE(program.frm_main()->cmd_close->text(), QStringLiteral("X"));
    // Options keep their design values without a settings file; nothing to apply yet.
    const int design[] = {1, 1, 0, 1, 1, 1, 1};
    for (int i = 0; i < 7; ++i) QCOMPARE(program.frm_option()->CheckValue(i), design[i]);
    QVERIFY(program.frm_option()->Option1Value());
    QVERIFY(!program.frm_option()->CMD_Apply->isEnabled());
  }

  void mainWindowIsCentred() {
    ProgramFixture fixture;
    Program& program = fixture.start();
    const QRect screen = program.frm_main()->screen()->geometry();
    const QRect window = program.frm_main()->frameGeometry();
    QVERIFY(qAbs(window.center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(window.center().y() - screen.center().y()) <= 1);
  }

  // The real start-up: the second stage waits until the splash is on screen and drawn, and the splash goes
  // only once the main window is on screen.
  void splashIsOnScreenBeforeTheSecondStage() {
    ProgramFixture fixture;
    Program program(fixture.appDir());
    program.endProgram = [] {};
    program.start();
    FrmSplash& splash = *program.frm_splash();
    QVERIFY(splash.isVisible());
    bool exposed_at_tick = false;
    connect(splash.Timer, &QTimer::timeout, this,
            [&] { exposed_at_tick = splash.windowHandle() && splash.windowHandle()->isExposed(); });
    QVERIFY(!program.frm_main());
    QTRY_VERIFY_WITH_TIMEOUT(program.frm_main() != nullptr, 5000);
    QVERIFY(exposed_at_tick);
    QTRY_VERIFY_WITH_TIMEOUT(!splash.isVisible(), 5000);
    QVERIFY(program.frm_main()->windowHandle()->isExposed());
  }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
