// Keys of the full-screen window: Esc, the panel's file list walked while the panel is hidden, and the shown
// panel's list taking them.
#include "controls/dir_list.h"
#include "controls/drive_box.h"
#include "controls/file_list.h"
#include "controls/picture_box.h"
#include "fullscreen/frm_full.h"
#include "main_window/frm_main.h"
#include "menus/frm_dummy.h"
#include "preferences/frm_option.h"
#include "program_fixture.h"

#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

namespace {

enum Key { Esc = 27, PageUp = 33, PageDown = 34, End = 35, Home = 36, Up = 38, Down = 40 };

// A full-screen window whose file list holds `count` entries (not pictures: nothing loads), panel hidden.
struct Full {
  ProgramFixture fixture;
  QTemporaryDir folder;
  FrmFull* full = nullptr;

  explicit Full(int count) {
    Program& program = fixture.start();
    full = program.frm_full();
    for (int i = 0; i < count; ++i) {
      QFile file(folder.filePath(QStringLiteral("f%1.bmp").arg(i, 2, 10, QLatin1Char('0'))));
      file.open(QIODevice::WriteOnly);
    }
    full->Dir->setPath(folder.path());
    full->setPanelVisible(false);
  }
};

}  // namespace

class TestFullKeys : public QObject {
  Q_OBJECT

 private slots:
  void walkWithThePanelHidden_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expected");
    QTest::newRow("page down 13 of 20") << 20 << 13 << int(PageDown) << 19;
    QTest::newRow("page down 12 of 20") << 20 << 12 << int(PageDown) << 18;
    QTest::newRow("page up 6") << 20 << 6 << int(PageUp) << 0;
    QTest::newRow("page up 7") << 20 << 7 << int(PageUp) << 1;
    QTest::newRow("up with none") << 20 << -1 << int(Up) << -1;
    QTest::newRow("down with none") << 20 << -1 << int(Down) << 0;
    QTest::newRow("home with none") << 20 << -1 << int(Home) << 0;
    QTest::newRow("end with none") << 20 << -1 << int(End) << 19;
    QTest::newRow("page up with none") << 20 << -1 << int(PageUp) << 0;
    QTest::newRow("page down with none, 7 or more") << 7 << -1 << int(PageDown) << 5;
    QTest::newRow("page down with none, fewer than 7") << 6 << -1 << int(PageDown) << 5;
    QTest::newRow("page down, fewer than 7") << 4 << 1 << int(PageDown) << 3;
    QTest::newRow("up on the first") << 5 << 0 << int(Up) << 0;
    QTest::newRow("down on the last") << 5 << 4 << int(Down) << 4;
    QTest::newRow("end, empty list") << 0 << -1 << int(End) << -1;
    QTest::newRow("home, empty list") << 0 << -1 << int(Home) << -1;
    QTest::newRow("page up, empty list") << 0 << -1 << int(PageUp) << -1;
    QTest::newRow("page down, empty list") << 0 << -1 << int(PageDown) << -1;
  }

  void walkWithThePanelHidden() {
    QFETCH(int, count);
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(int, expected);
    Full f(count);
    QCOMPARE(f.full->File->ListCount(), count);
    f.full->File->setListIndex(start);
    f.full->Form_KeyDown(key, 0);
    QCOMPARE(f.full->File->ListIndex(), expected);
  }

  void switchOffOrPanelShownLeavesTheSelection() {
    Full f(10);
    f.full->File->setListIndex(3);
    f.fixture.program->frm_option()->setOption1Value(false);
    f.full->Form_KeyDown(Down, 0);
    QCOMPARE(f.full->File->ListIndex(), 3);
    f.fixture.program->frm_option()->setOption1Value(true);
    f.full->setPanelVisible(true);
    f.full->Form_KeyDown(Down, 0);
    QCOMPARE(f.full->File->ListIndex(), 3);
  }

  void panelShownMovesOnceThroughTheList() {
    Full f(10);
    f.full->show();  // entering copies the main window's folder: walk back to ours
    f.full->Dir->setPath(f.folder.path());
    f.full->setPanelVisible(true);
    f.full->File->setListIndex(3);
    QTest::keyClick(f.full->File, Qt::Key_Down);
    QCOMPARE(f.full->File->ListIndex(), 4);
  }

  // Shown by a real click on the picture or by the menu's "Control panel", the panel's visible list takes
  // the keys at once: a real Up on the window moves its selection by one (the window's own walk is off).
  void shownPanelTakesTheKeys_data() {
    QTest::addColumn<bool>("byMenu");
    QTest::addColumn<int>("toggles");  // presses of the panel's button first: files, folders, drives
    QTest::newRow("files, by a click") << false << 0;
    QTest::newRow("files, by the menu") << true << 0;
    QTest::newRow("folders, by a click") << false << 1;
    QTest::newRow("drives, by the menu") << true << 2;
  }

  void shownPanelTakesTheKeys() {
    QFETCH(bool, byMenu);
    QFETCH(int, toggles);
    Full f(10);
    FrmFull& full = *f.full;
    full.show();
    QVERIFY(QTest::qWaitForWindowActive(&full));
    full.Dir->setPath(f.folder.path());  // entering copies the main window's folder: walk back to ours
    full.File->setListIndex(3);
    for (int i = 0; i < toggles; ++i) full.CMD_Toggle_Click();
    QImage image(200, 200, QImage::Format_RGB32);
    image.fill(Qt::gray);
    full.Img->setPicture(Picture(image));
    QWindow* window = full.windowHandle();
    if (byMenu) {
      f.fixture.chooseMenuItem = f.fixture.program->frm_dummy()->mnu_control->text();
      QTest::mousePress(window, Qt::RightButton, {}, QPoint(50, 50));
      QTest::mouseRelease(window, Qt::RightButton, {}, QPoint(50, 50));
    } else {
      QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(50, 50));
    }
    QVERIFY(full.panelVisible());
    const QList<QWidget*> lists{full.File, full.Dir, full.Drive};
    QCOMPARE(QApplication::focusWidget(), lists[toggles]);
    if (toggles < 2) {  // the drives are the machine's: no entry to count on
      const int folder = full.Dir->currentRow();
      QVERIFY(folder > 0);
      QTest::keyClick(window, Qt::Key_Up);
      QCOMPARE(full.File->ListIndex(), toggles == 0 ? 2 : 3);
      QCOMPARE(full.Dir->currentRow(), toggles == 1 ? folder - 1 : folder);
    }
    full.leave();
  }

  void escapeLeaves() {
    Full f(1);
    f.full->show();
    QVERIFY(!f.fixture.program->frm_main()->isEnabled());
    f.full->CDummy = true;
    QTest::keyClick(f.full, Qt::Key_Escape);
    QVERIFY(!f.full->isVisible());
    QVERIFY(!f.full->CDummy);
    QVERIFY(f.fixture.program->frm_main()->isEnabled());
  }

  void menuKeyOpensTheWindowsMenu() {
    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmFull& f = *program.frm_full();
    f.show();
    QTest::keyClick(&f, Qt::Key_Menu);
    QTest::keyClick(&f, Qt::Key_F10, Qt::ShiftModifier);
    QCOMPARE(fixture.poppedMenus,
             (QList<QMenu*>{program.frm_dummy()->mnu_full, program.frm_dummy()->mnu_full}));
    f.leave();
  }
};

QTEST_MAIN(TestFullKeys)
#include "test_full_keys.moc"
