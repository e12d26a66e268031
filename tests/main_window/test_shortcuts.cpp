// Keyboard shortcuts of the main window, gated by the shortcut switch, never consuming the key.
#include "controls/dir_list.h"
#include "controls/file_list.h"
#include "main_window/frm_main.h"
#include "media/mmcontrol.h"
#include "menus/frm_dummy.h"
#include "preferences/frm_option.h"
#include "program_fixture.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList sent(const QSignalSpy& spy) {
  QStringList commands;
  for (const auto& args : spy) commands << args.at(0).toString();
  return commands;
}

}  // namespace

class TestShortcuts : public QObject {
  Q_OBJECT

 private slots:
  void lettersDriveTheTransport_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QStringList>("commands");
    QTest::newRow("x plays") << int(Qt::Key_X) << Qt::KeyboardModifiers() << QStringList{"Play"};
    QTest::newRow("shift-x plays too")
        << int(Qt::Key_X) << Qt::KeyboardModifiers(Qt::ShiftModifier) << QStringList{"Play"};
    QTest::newRow("c pauses") << int(Qt::Key_C) << Qt::KeyboardModifiers() << QStringList{"Pause"};
    QTest::newRow("v stops and rewinds")
        << int(Qt::Key_V) << Qt::KeyboardModifiers() << QStringList{"Stop", "Prev"};
    QTest::newRow("ctrl-c pauses") << int(Qt::Key_C) << Qt::KeyboardModifiers(Qt::ControlModifier)
                                   << QStringList{"Pause"};
    QTest::newRow("f7 does not act") << int(Qt::Key_F7) << Qt::KeyboardModifiers() << QStringList();
    QTest::newRow("f9 does not act") << int(Qt::Key_F9) << Qt::KeyboardModifiers() << QStringList();
    QTest::newRow("keypad 3 does not act")
        << int(Qt::Key_3) << Qt::KeyboardModifiers(Qt::KeypadModifier) << QStringList();
  }

  void lettersDriveTheTransport() {
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QStringList, commands);
    for (bool enabled : {true, false}) {
      ProgramFixture fixture;
      Program& program = fixture.start();
      program.frm_option()->setOption1Value(enabled);
      QSignalSpy spy(program.frm_main()->MCI, &MMControl::commandSent);
      QTest::keyClick(program.frm_main(), Qt::Key(key), modifiers);
      QCOMPARE(sent(spy), enabled ? commands : QStringList());
    }
  }

  void ctrlXPlaysThenExits() {
    ProgramFixture fixture;
    Program& program = fixture.start();
    QSignalSpy spy(program.frm_main()->MCI, &MMControl::commandSent);
    QTest::keyClick(program.frm_main(), Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(sent(spy), QStringList{"Play"});
    QCOMPARE(fixture.endCount, 1);
  }

  void functionKeys() {
    ProgramFixture fixture;
    Program& program = fixture.start();
    QTest::keyClick(program.frm_main(), Qt::Key_F2);
    QCOMPARE(fixture.launcher->startedPrograms.size(), 1);
    QVERIFY(fixture.launcher->startedPrograms[0].startsWith(fixture.appDir()));
    QTest::keyClick(program.frm_main(), Qt::Key_F3);
    QVERIFY(program.frm_option()->isVisible());
    program.frm_option()->hide();
    for (Qt::Key key : {Qt::Key_F11, Qt::Key_F12}) {
      program.frm_main()->showNormal();
      QTest::keyClick(program.frm_main(), key);
      QVERIFY(program.frm_main()->windowState() & Qt::WindowMinimized);
    }
    program.frm_option()->setOption1Value(false);
    QTest::keyClick(program.frm_main(), Qt::Key_F2);
    QCOMPARE(fixture.launcher->startedPrograms.size(), 1);
    QTest::keyClick(program.frm_main(), Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(fixture.endCount, 0);
  }

  void ctrlDGoesToTheDesktopWhenThereIsOne() {
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    ProgramFixture fixture;
    Program& program = fixture.start();
    const QString before = program.frm_main()->Dir->Path();
    QTest::keyClick(program.frm_main(), Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(program.frm_main()->Dir->Path(), before);  // no desktop folder: nothing happens
    QVERIFY(QDir(home.path()).mkdir(QStringLiteral("Desktop")));
    QTest::keyClick(program.frm_main(), Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(program.frm_main()->Dir->Path(),
             QDir::toNativeSeparators(home.path() + QStringLiteral("/Desktop")));

    // A localised desktop, as the user's folder settings name it.
    const QString chinese = home.path() + QStringLiteral("/桌面");
    QVERIFY(QDir().mkpath(chinese));
    QVERIFY(QDir().mkpath(fixture.configHome()));
    QFile dirs(fixture.configHome() + QStringLiteral("/user-dirs.dirs"));
    QVERIFY(dirs.open(QIODevice::WriteOnly));
    dirs.write(QStringLiteral("XDG_DESKTOP_DIR=\"$HOME/桌面\"\n").toUtf8());
    dirs.close();
    QTest::keyClick(program.frm_main(), Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(program.frm_main()->Dir->Path(), QDir::toNativeSeparators(chinese));
    qputenv("HOME", oldHome);
  }

  void listKeysWorkWhateverTheSwitch() {
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("inner")));
    QFile file(folder.filePath(QStringLiteral("inner/a.dat")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmMain& m = *program.frm_main();
    program.frm_option()->setOption1Value(false);
    QVERIFY(m.Dir->setPath(folder.path()));
    // Enter opens the highlighted folder.
    m.Dir->setCurrentRow(m.Dir->count() - 1);
    QTest::keyClick(m.Dir, Qt::Key_Return);
    QCOMPARE(m.Dir->Path(), QDir::toNativeSeparators(folder.filePath(QStringLiteral("inner"))));
    // The file list's own navigation opens each newly selected file when auto play is on.
    m.selectFilter(1);
    QSignalSpy spy(m.MCI, &MMControl::commandSent);
    QTest::keyClick(m.File, Qt::Key_Down);
    QCOMPARE(m.File->FileName(), QStringLiteral("a.dat"));
    QVERIFY(sent(spy).contains(QStringLiteral("Open")));
  }

  void keysStillReachTheFocusedList() {
    QTemporaryDir folder;
    for (const char* name : {"a.wav", "b.wav", "c.wav"}) {
      QFile file(folder.filePath(QString::fromLatin1(name)));
      file.open(QIODevice::WriteOnly);
    }
    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmMain& m = *program.frm_main();
    program.frm_option()->setCheckValue(3, 0);
    QVERIFY(m.Dir->setPath(folder.path()));
    m.File->setListIndex(0);
    m.activateWindow();
    m.File->setFocus();
    QSignalSpy spy(m.MCI, &MMControl::commandSent);
    QTest::keyClick(m.File, Qt::Key_Down);
    QCOMPARE(m.File->ListIndex(), 1);
    // B steps to the next file (c.wav), then the list still sees the letter for its own type-ahead (b.wav).
    QSignalSpy clicks(m.File, &FileList::Click);
    QTest::keyClick(m.File, Qt::Key_B);
    QCOMPARE(clicks.count(), 2);
    QCOMPARE(m.File->FileName(), QStringLiteral("b.wav"));
  }

  // The menus without a mouse: the Menu key or Shift+F10 opens the menu of the focused control; Delete on the
  // file list asks to delete, as the menu's command does, and the answer is heeded.
  void menusFromTheKeyboard() {
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("a.bmp")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmMain& m = *program.frm_main();
    m.show();
    QVERIFY(QTest::qWaitForWindowActive(&m));
    program.frm_option()->setCheckValue(3, 0);
    QVERIFY(m.Dir->setPath(folder.path()));
    m.File->setPattern(QStringLiteral("*.*"));
    m.File->setListIndex(0);
    FrmDummy& d = *program.frm_dummy();

    m.File->setFocus();
    QTest::keyClick(m.File, Qt::Key_Menu);
    QCOMPARE(fixture.poppedMenus, QList<QMenu*>{d.mnu_filelist});
    QVERIFY(d.mnu_delete->isEnabled());
    m.List->setFocus();
    QTest::keyClick(m.List, Qt::Key_F10, Qt::ShiftModifier);
    QCOMPARE(fixture.poppedMenus.last(), d.mnu_list);
    m.cmd_play->setFocus();
    QTest::keyClick(m.cmd_play, Qt::Key_Menu);
    QCOMPARE(fixture.poppedMenus.last(), d.mnu_img);
    QCOMPARE(fixture.poppedMenus.size(), 3);

    m.File->setFocus();
    fixture.messageBoxes->answers.push_back(QMessageBox::Cancel);
    QTest::keyClick(m.File, Qt::Key_Delete);
    QCOMPARE(fixture.messageBoxes->calls.size(), 1);
    QVERIFY(QFile::exists(folder.filePath(QStringLiteral("a.bmp"))));
    QTest::keyClick(m.File, Qt::Key_Delete);  // OK, the default answer
    QCOMPARE(fixture.messageBoxes->calls.size(), 2);
    QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("a.bmp"))));
    QCOMPARE(m.File->ListCount(), 0);
  }
};

QTEST_MAIN(TestShortcuts)
#include "test_shortcuts.moc"
