// Folder and file navigation: the file-type box, stepping with wrap-around, clicks, the drive fallback.
#include "app/look.h"
#include "controls/dir_list.h"
#include "controls/drive_box.h"
#include "controls/file_list.h"
#include "controls/filter_box.h"
#include "main_window/frm_main.h"
#include "media/mmcontrol.h"
#include "menus/frm_dummy.h"
#include "preferences/frm_option.h"
#include "program_fixture.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

void touch(const QString& path) {
  QFile file(path);
  file.open(QIODevice::WriteOnly);
}

QStringList sent(const QSignalSpy& spy) {
  QStringList commands;
  for (const auto& args : spy) commands << args.at(0).toString();
  return commands;
}

}  // namespace

class TestNavigation : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir folder_;

 private slots:
  void initTestCase() {
    for (const char* name : {"a.bmp", "b.WAV", "c.dat", "d.txt", "e.jpg", "f.mid", "g.avi", "h.mov", "i.mpg",
                             "j.gif", "k.ico", "l.cur", "m.wmf", "n.dib"})
      touch(folder_.filePath(QString::fromLatin1(name)));
  }

  void filterEntries_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("listed");
    const QStringList known{"a.bmp", "b.WAV", "e.jpg", "f.mid", "g.avi", "h.mov",
                            "i.mpg", "j.gif", "k.ico", "l.cur", "m.wmf", "n.dib"};
    QTest::newRow("all files") << 1
                               << QStringList{"a.bmp", "b.WAV", "c.dat", "d.txt", "e.jpg", "f.mid", "g.avi",
                                              "h.mov", "i.mpg", "j.gif", "k.ico", "l.cur", "m.wmf", "n.dib"};
    QTest::newRow("all known formats, no .dat") << 2 << known;
    QTest::newRow("bmp") << 3 << QStringList{"a.bmp"};
    QTest::newRow("dib") << 4 << QStringList{"n.dib"};
    QTest::newRow("ico") << 5 << QStringList{"k.ico"};
    QTest::newRow("cur") << 6 << QStringList{"l.cur"};
    QTest::newRow("wmf") << 7 << QStringList{"m.wmf"};
    QTest::newRow("jpg") << 8 << QStringList{"e.jpg"};
    QTest::newRow("gif") << 9 << QStringList{"j.gif"};
    QTest::newRow("wav, any case") << 10 << QStringList{"b.WAV"};
    QTest::newRow("mid") << 11 << QStringList{"f.mid"};
    QTest::newRow("avi") << 12 << QStringList{"g.avi"};
    QTest::newRow("mov") << 13 << QStringList{"h.mov"};
    QTest::newRow("mpg") << 14 << QStringList{"i.mpg"};
    QTest::newRow("dat only under its own entry") << 15 << QStringList{"c.dat"};
  }

  void filterEntries() {
    QFETCH(int, index);
    QFETCH(QStringList, listed);
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    QVERIFY(m.Dir->setPath(folder_.path()));
    QCOMPARE(m.File->Path(), QDir::toNativeSeparators(folder_.path()));
    m.selectFilter(index);
    QStringList names;
    for (int i = 0; i < m.File->ListCount(); ++i) names << m.File->List(i);
    QCOMPARE(names, listed);
    QCOMPARE(m.File->ListIndex(), -1);
  }

  // Closed, the file-type box shows each entry in its designed width with the pattern whole, in either
  // language (the name before it shortened if need be, the font at most a pixel smaller); open, its list
  // is as wide as its longest entry.
  void fileTypeBoxShowsEveryPatternWhole_data() {
    QTest::addColumn<bool>("chinese");
    QTest::newRow("English") << false;
    QTest::newRow("Chinese") << true;
  }

  void fileTypeBoxShowsEveryPatternWhole() {
    QFETCH(bool, chinese);
    ProgramFixture fixture;
    Program& program = fixture.start();
    program.setUseChinese(chinese);
    program.ApplyInterface();
    auto* box = dynamic_cast<FilterBox*>(program.frm_main()->cmb_filter);
    QVERIFY(box);
    QCOMPARE(box->width(), look::px(1695));
    QCOMPARE(box->count(), 17);
    for (int i = 0; i < box->count(); ++i) {
      const QString entry = box->itemText(i);
      const QString shown = box->shownText(i);
      const QFont font = box->shownFont(i);
      QVERIFY2(QFontMetrics(font).horizontalAdvance(shown) <= box->textRoom(), qPrintable(shown));
      QVERIFY(font.pixelSize() >= box->font().pixelSize() - 1);
      const qsizetype open = entry.lastIndexOf(QLatin1Char('('));
      if (open > 0)
        QVERIFY2(shown.endsWith(entry.mid(open)), qPrintable(entry + QStringLiteral(" as ") + shown));
    }

    program.frm_main()->show();
    QVERIFY(QTest::qWaitForWindowExposed(program.frm_main()));
    // Also in a style whose combo boxes drop a list of their own width.
    std::unique_ptr<QStyle> plain(QStyleFactory::create(QStringLiteral("Windows")));
    QVERIFY(plain);
    box->setStyle(plain.get());
    box->showPopup();
    QTRY_VERIFY_WITH_TIMEOUT(box->view()->isVisible(), 5000);
    QVERIFY(box->view()->viewport()->width() >= box->view()->sizeHintForColumn(0));
    box->hidePopup();
    box->setStyle(nullptr);
  }

  void commandEntriesLeaveTheListAlone() {
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    QVERIFY(m.Dir->setPath(folder_.path()));
    m.selectFilter(3);
    QSignalSpy commands(m.MCI, &MMControl::commandSent);
    m.selectFilter(16);
    QCOMPARE(sent(commands), (QStringList{"Close", "Open", "Play"}));
    QCOMPARE(m.MCI->deviceType(), QStringLiteral("CDAudio"));
    QCOMPARE(m.File->Pattern(), QStringLiteral("*.bmp"));
    QVERIFY(!m.Timer->isActive());
    m.selectFilter(0);
    QCOMPARE(m.File->Pattern(), QStringLiteral("*.bmp"));
    QCOMPARE(m.File->ListCount(), 1);
  }

  void steppingWrapsAround_data() {
    QTest::addColumn<bool>("favourites");
    QTest::addColumn<int>("start");
    QTest::addColumn<bool>("next");
    QTest::addColumn<int>("expected");
    for (bool favourites : {false, true}) {
      const char* list = favourites ? "favourites" : "files";
      QTest::addRow("%s: next in the middle", list) << favourites << 1 << true << 2;
      QTest::addRow("%s: next on the last", list) << favourites << 3 << true << 0;
      QTest::addRow("%s: next with none", list) << favourites << -1 << true << 0;
      QTest::addRow("%s: previous in the middle", list) << favourites << 2 << false << 1;
      QTest::addRow("%s: previous on the first", list) << favourites << 0 << false << 3;
      QTest::addRow("%s: previous with none", list) << favourites << -1 << false << 3;
    }
  }

  void steppingWrapsAround() {
    QFETCH(bool, favourites);
    QFETCH(int, start);
    QFETCH(bool, next);
    QFETCH(int, expected);
    ProgramFixture fixture;
    fixture.writeFile(QStringLiteral("default.lst"), "/f/1.wav\r\n/f/2.wav\r\n/f/3.wav\r\n/f/4.wav\r\n");
    Program& program = fixture.start();
    FrmMain& m = *program.frm_main();
    program.frm_option()->setCheckValue(3, 0);  // select only, open nothing
    QVERIFY(m.Dir->setPath(folder_.path()));
    m.File->setPattern(QStringLiteral("*.bmp;*.jpg;*.gif;*.ico"));
    QCOMPARE(m.File->ListCount(), 4);
    m.from_favourites = favourites;
    if (favourites)
      m.List->setCurrentRow(start);
    else
      m.File->setListIndex(start);
    next ? m.cmd_next_Click() : m.cmd_prev_Click();
    QCOMPARE(favourites ? m.List->currentRow() : m.File->ListIndex(), expected);
  }

  void steppingAnEmptyListDoesNothing() {
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    QTemporaryDir empty;
    QVERIFY(m.Dir->setPath(empty.path()));
    m.cmd_next_Click();
    m.cmd_prev_Click();
    QCOMPARE(m.File->ListIndex(), -1);
    m.from_favourites = true;
    m.cmd_next_Click();
    m.cmd_prev_Click();
    QCOMPARE(m.List->currentRow(), -1);
  }

  void clickOpensWithOneSeparatorOnlyWhenAutoPlayIsOn() {
    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmMain& m = *program.frm_main();
    QVERIFY(m.Dir->setPath(folder_.path()));
    m.selectFilter(15);
    m.from_favourites = true;
    program.frm_option()->setCheckValue(3, 0);
    QSignalSpy commands(m.MCI, &MMControl::commandSent);
    m.File->setListIndex(0);
    QVERIFY(commands.isEmpty());
    QVERIFY(m.from_favourites);
    m.File->setListIndex(-1);
    program.frm_option()->setCheckValue(3, 1);
    m.File->setListIndex(0);
    QVERIFY(!m.from_favourites);
    QCOMPARE(m.MCI->fileName(), QDir::toNativeSeparators(folder_.path()) + QDir::separator() + "c.dat");
    QVERIFY(m.Timer->isActive());
  }

  void rightPressSetsTheFileMenuStates() {
    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmMain& m = *program.frm_main();
    QVERIFY(m.Dir->setPath(folder_.path()));
    m.File_MouseDown(2, 0, 5, 5);
    QCOMPARE(fixture.poppedMenus.size(), 1);
    QCOMPARE(fixture.poppedMenus[0], program.frm_dummy()->mnu_filelist);
    QVERIFY(!program.frm_dummy()->mnu_addflist->isEnabled());
    QVERIFY(!program.frm_dummy()->mnu_delete->isEnabled());
    program.frm_option()->setCheckValue(3, 0);
    m.File->setListIndex(1);
    m.File_MouseDown(2, 0, 5, 5);
    QVERIFY(program.frm_dummy()->mnu_addflist->isEnabled());
    QVERIFY(program.frm_dummy()->mnu_delete->isEnabled());
    m.File_MouseDown(1, 0, 5, 5);
    QCOMPARE(fixture.poppedMenus.size(), 2);
  }

  void driveThatCannotBeOpenedFallsBack() {
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    QVERIFY(m.Dir->setPath(folder_.path()));
    const QString drive = m.Drive->Drive();
    const QString path = m.Dir->Path();
    QCOMPARE(m.cur_drive, drive);
    m.Drive->setDrive(QStringLiteral("/no/such/volume/here"));
    QCOMPARE(m.Drive->Drive(), drive);
    QCOMPARE(m.Dir->Path(), path);
    QCOMPARE(m.cur_drive, drive);
  }

  void unreadableFolderKeepsTheFileList() {
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    QVERIFY(m.Dir->setPath(folder_.path()));
    QVERIFY(!m.Dir->setPath(folder_.filePath(QStringLiteral("missing"))));
    QCOMPARE(m.File->Path(), QDir::toNativeSeparators(folder_.path()));
  }
};

QTEST_MAIN(TestNavigation)
#include "test_navigation.moc"
