// The main window's frame: the favourites of "default.lst" at load and at exit, the drag, the exit sequence,
// the logo and the title bar's buttons from the keyboard.
#include "main_window/frm_main.h"
#include "media/mmcontrol.h"
#include "platform/termination.h"
#include "preferences/frm_option.h"
#include "program_fixture.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QListWidget>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <csignal>

namespace {

QByteArray lines(int count, const QByteArray& end = "\r\n") {
  QByteArray bytes;
  for (int i = 0; i < count; ++i) bytes += "/music/song" + QByteArray::number(i) + ".wav" + end;
  return bytes;
}

QStringList listTexts(const QListWidget* list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
  return texts;
}

}  // namespace

class TestFrame : public QObject {
  Q_OBJECT

 private slots:
  void defaultListAtLoad_data() {
    QTest::addColumn<bool>("present");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("expected");
    const QStringList two{QStringLiteral("song0.wav"), QStringLiteral("song1.wav")};
    QTest::newRow("missing") << false << QByteArray() << QStringList();
    QTest::newRow("empty file") << true << QByteArray() << QStringList();
    QTest::newRow("two lines") << true << lines(2) << two;
    QTest::newRow("last line without end") << true << lines(2).chopped(2) << two;
    QTest::newRow("CR only") << true << lines(2, "\r") << two;
    QTest::newRow("line without separator ends the list")
        << true << lines(2) + "plain.wav\r\n" + lines(3) << two;
    QTest::newRow("blank line ends the list") << true << lines(2) + "\r\n" + lines(3) << two;
    QTest::newRow("lone LF ends a line too") << true << QByteArray("/a/b.wav\n/c/d.wav\r\n")
                                             << QStringList{QStringLiteral("b.wav"), QStringLiteral("d.wav")};
    QTest::newRow("trailing separator") << true << QByteArray("/music/\r\n") << QStringList{QString()};
  }

  void defaultListAtLoad() {
    QFETCH(bool, present);
    QFETCH(QByteArray, content);
    QFETCH(QStringList, expected);
    ProgramFixture fixture;
    if (present) fixture.writeFile(QStringLiteral("default.lst"), content);
    Program& program = fixture.start();
    QCOMPARE(listTexts(program.frm_main()->List), expected);
  }

  void sixtyLinesLoadFiftyOneAndWriteThemBack() {
    ProgramFixture fixture;
    fixture.writeFile(QStringLiteral("default.lst"), lines(60));
    Program& program = fixture.start();
    QCOMPARE(program.frm_main()->List->count(), 51);
    QCOMPARE(program.frm_main()->FavPath()[50], QStringLiteral("/music/song50.wav"));
    program.frm_main()->cmd_close_Click();
    QCOMPARE(fixture.readFile(QStringLiteral("default.lst")), lines(51));
    QCOMPARE(fixture.endCount, 1);
  }

  void hostileDefaultList() {
    ProgramFixture fixture;
    QByteArray bytes = "/ok/a.wav\r\n/bad/\xff\xfe\x80.wav\r\n";
    bytes += "/long/" + QByteArray(10 * 1024 * 1024, 'x') + "\r\n/after/c.wav\r\n";
    fixture.writeFile(QStringLiteral("default.lst"), bytes);
    Program& program = fixture.start();
    // The over-long line ends the reading; what came before stays.
    QCOMPARE(program.frm_main()->List->count(), 2);
    QCOMPARE(program.frm_main()->List->item(0)->text(), QStringLiteral("a.wav"));
  }

  void exitWritesTheFavouritesByteForByte() {
    ProgramFixture fixture;
    fixture.writeFile(QStringLiteral("default.lst"), "/x/one.wav\r\n/y/two\x01.jpg\r\n");
    Program& program = fixture.start();
    program.frm_main()->cmd_close_Click();
    QCOMPARE(fixture.readFile(QStringLiteral("default.lst")), QByteArray("/x/one.wav\r\n/y/two\x01.jpg\r\n"));
    QVERIFY(fixture.messageBoxes->calls.isEmpty());
  }

  void exitWithNoFavouritesWritesAnEmptyFile() {
    ProgramFixture fixture;
    Program& program = fixture.start();
    program.frm_main()->cmd_close_Click();
    QVERIFY(QFile::exists(fixture.path(QStringLiteral("default.lst"))));
    QCOMPARE(fixture.readFile(QStringLiteral("default.lst")), QByteArray());
  }

  void exitThatCannotWriteStillEndsAndSaysSoOnce() {
    ProgramFixture fixture;
    QDir(fixture.appDir()).mkdir(QStringLiteral("default.lst"));  // a folder where the file should go
    Program& program = fixture.start();
    program.frm_main()->cmd_close_Click();
    QCOMPARE(fixture.endCount, 1);
    QCOMPARE(fixture.messageBoxes->calls.size(), 1);
    QVERIFY(fixture.messageBoxes->calls[0].prompt.contains(QStringLiteral("default.lst")));
  }

  void stopCdAtExitOption_data() {
    QTest::addColumn<int>("option");
    QTest::addColumn<QStringList>("commands");
    QTest::newRow("off") << 0 << QStringList();
    QTest::newRow("on") << 1 << QStringList{QStringLiteral("Stop"), QStringLiteral("Close")};
  }

  void stopCdAtExitOption() {
    QFETCH(int, option);
    QFETCH(QStringList, commands);
    ProgramFixture fixture;
    Program& program = fixture.start();
    program.frm_option()->setCheckValue(2, option);
    QSignalSpy sent(program.frm_main()->MCI, &MMControl::commandSent);
    program.frm_main()->cmd_close_Click();
    QStringList seen;
    for (const auto& args : sent) seen << args.at(0).toString();
    QCOMPARE(seen, commands);
  }

  void closeRequestRunsTheExitSequence() {
    ProgramFixture fixture;
    Program& program = fixture.start();
    QCloseEvent event;
    QCoreApplication::sendEvent(program.frm_main(), &event);
    QVERIFY(!event.isAccepted());
    QCOMPARE(fixture.endCount, 1);
    QVERIFY(QFile::exists(fixture.path(QStringLiteral("default.lst"))));
  }

  // Logout or a kill from outside: SIGTERM runs the exit sequence (the favourites of this run are kept, the
  // CD is stopped when the option says so) without a question or a message, even when the write fails.
  void terminationRunsTheExitSequence_data() {
    QTest::addColumn<bool>("writable");
    QTest::newRow("default.lst written") << true;
    QTest::newRow("default.lst cannot be written") << false;
  }

  void terminationRunsTheExitSequence() {
    QFETCH(bool, writable);
    ProgramFixture fixture;
    fixture.writeFile(QStringLiteral("default.lst"), lines(2));
    Program& program = fixture.start();
    program.frm_main()->replaceFavourites(program.frm_main()->FavPath() +
                                          QStringList{QStringLiteral("/music/song2.wav")});
    if (!writable) {
      QFile::remove(fixture.path(QStringLiteral("default.lst")));
      QDir(fixture.appDir()).mkdir(QStringLiteral("default.lst"));
    }
    program.frm_option()->setCheckValue(2, 1);
    QSignalSpy sent(program.frm_main()->MCI, &MMControl::commandSent);
    TerminationRequests termination;
    connect(&termination, &TerminationRequests::requested, &program, [&program] { program.endSession(); });
    ::raise(SIGTERM);
    QTRY_COMPARE_WITH_TIMEOUT(fixture.endCount, 1, 5000);
    if (writable) QCOMPARE(fixture.readFile(QStringLiteral("default.lst")), lines(3));
    QVERIFY(fixture.messageBoxes->calls.isEmpty());
    QCOMPARE(sent.size(), 2);
    // A second request while ending changes nothing.
    program.endSession();
    QCOMPARE(fixture.endCount, 1);
  }

  void dragMovesOnlyWithTheLeftButtonAlone_data() {
    QTest::addColumn<int>("pressButton");
    QTest::addColumn<int>("moveButtons");
    QTest::addColumn<QPoint>("shift");
    QTest::newRow("left") << 1 << 1 << QPoint(25, -7);
    QTest::newRow("right") << 2 << 2 << QPoint(0, 0);
    QTest::newRow("both held while moving") << 1 << 3 << QPoint(0, 0);
    QTest::newRow("middle") << 4 << 4 << QPoint(0, 0);
  }

  void dragMovesOnlyWithTheLeftButtonAlone() {
    QFETCH(int, pressButton);
    QFETCH(int, moveButtons);
    QFETCH(QPoint, shift);
    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmMain& m = *program.frm_main();
    const QPoint before = m.pos();
    m.title_MouseDown(pressButton, 0, 40, 8);
    m.title_MouseMove(moveButtons, 0, 65, 1);
    QCOMPARE(m.pos(), before + shift);
    // The background drag shares the same arithmetic.
    const QPoint middle = m.pos();
    m.Form_MouseDown(pressButton, 0, 100, 100);
    m.Form_MouseMove(moveButtons, 0, 90, 104);
    QCOMPARE(m.pos(), middle + (shift.isNull() ? QPoint() : QPoint(-10, 4)));
  }

  void pressOnAGroupDoesNotDragTheWindow() {
    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmMain& m = *program.frm_main();
    const QPoint before = m.pos();
    QWidget* group = m.fr_status;
    const QPointF local(5, 30);
    QMouseEvent press(QEvent::MouseButtonPress, local, group->mapToGlobal(local), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(group, &press);
    const QPointF moved(45, 60);
    QMouseEvent move(QEvent::MouseMove, moved, group->mapToGlobal(moved), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(group, &move);
    QCOMPARE(m.pos(), before);
  }

  // With the shortcuts off, F3 opens nothing; Tab still reaches the logo, minimise and close, last in the
  // ring, Enter or Space presses them, and a screen reader presses them through their action.
  void titleButtonsAndLogoFromTheKeyboard_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("key");  // 0: the screen reader's press action
    QTest::newRow("logo, Enter") << "logo" << int(Qt::Key_Return);
    QTest::newRow("logo, Space") << "logo" << int(Qt::Key_Space);
    QTest::newRow("logo, screen reader") << "logo" << 0;
    QTest::newRow("minimise, Enter") << "minimise" << int(Qt::Key_Return);
    QTest::newRow("close, Space") << "close" << int(Qt::Key_Space);
    QTest::newRow("close, screen reader") << "close" << 0;
  }

  void titleButtonsAndLogoFromTheKeyboard() {
    QFETCH(QString, button);
    QFETCH(int, key);
    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmMain& m = *program.frm_main();
    program.frm_option()->setOption1Value(false);
    m.show();
    m.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&m));
    QWindow* window = m.windowHandle();
    QTest::keyClick(window, Qt::Key_F3);
    QVERIFY(!program.frm_option()->isVisible());

    // The window starts on its controls, and one lap of Tab ends with the three, in this order.
    QWidget* first = QApplication::focusWidget();
    QVERIFY(first && first != m.Logo && first != m.cmd_min && first != m.cmd_close);
    QList<QWidget*> lap;
    for (int i = 0; i < 60 && (lap.isEmpty() || lap.last() != first); ++i) {
      QTest::keyClick(window, Qt::Key_Tab);
      lap << QApplication::focusWidget();
    }
    QCOMPARE(lap.mid(lap.size() - 4), (QList<QWidget*>{m.Logo, m.cmd_min, m.cmd_close, first}));

    QWidget* target = button == "logo"       ? static_cast<QWidget*>(m.Logo)
                      : button == "minimise" ? m.cmd_min
                                             : m.cmd_close;
    for (int i = 0; i < 40 && QApplication::focusWidget() != target; ++i)
      QTest::keyClick(window, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), target);
    if (key) {
      QTest::keyClick(window, Qt::Key(key));
    } else {
      QAccessibleInterface* control = QAccessible::queryAccessibleInterface(target);
      QVERIFY(control->actionInterface());
      control->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    }
    if (button == "logo")
      QTRY_VERIFY_WITH_TIMEOUT(program.frm_option()->isVisible(), 2000);
    else if (button == "minimise")
      QTRY_VERIFY_WITH_TIMEOUT(m.isMinimized(), 2000);
    else
      QTRY_COMPARE_WITH_TIMEOUT(fixture.endCount, 1, 2000);
  }

  void pressHeightRoundsHalfToEven() {
    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmMain& m = *program.frm_main();
    m.title_MouseDown(1, 0, 3.25, 2.5);
    QCOMPARE(m.press_x, 3.25);
    QCOMPARE(m.press_y, 2);
    m.title_MouseDown(1, 0, 0, 3.5);
    QCOMPARE(m.press_y, 4);
  }
};

QTEST_MAIN(TestFrame)
#include "test_frame.moc"
