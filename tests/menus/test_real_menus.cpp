// The popup menus as the user meets them: real menus opened by real keys and clicks, answered by keys sent to
// the open menu, so that the menu's own event loop runs and the focus comes back to the list afterwards.
#include "controls/dir_list.h"
#include "controls/file_list.h"
#include "main_window/frm_main.h"
#include "menus/frm_dummy.h"
#include "preferences/frm_option.h"
#include "program_fixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// Lets the program pop its real menus and answers each one, once it is open, with the next key given
// (Escape when none is left), recording every menu that opened.
class MenuAnswers {
 public:
  MenuAnswers(ProgramFixture& fixture, FrmDummy& d) {
    d.popupMenu = fixture.realPopupMenu;
    for (QMenu* menu : {d.mnu_filelist, d.mnu_list, d.mnu_img, d.mnu_full}) {
      QObject::connect(menu, &QMenu::aboutToShow, &context_, [this, menu] {
        shown << menu;
        const int key = keys.isEmpty() ? int(Qt::Key_Escape) : keys.takeFirst();
        // Once the menu is on screen and its own loop runs.
        QTimer::singleShot(0, menu, [menu, key] { QTest::keyClick(menu, Qt::Key(key)); });
      });
    }
  }
  QList<QMenu*> shown;
  QList<int> keys;

 private:
  QObject context_;
};

QString listBytes(const QStringList& paths) {
  QString text;
  for (const QString& path : paths) text += path + QStringLiteral("\r\n");
  return text;
}

// A real left click on row `row` of a list.
void clickRow(QAbstractItemView* list, int row, Qt::MouseButton button = Qt::LeftButton) {
  const QRect rect = list->visualRect(list->model()->index(row, 0));
  QTest::mouseClick(list->viewport(), button, {}, rect.center());
}

}  // namespace

class TestRealMenus : public QObject {
  Q_OBJECT

 private slots:
  // One press of the Menu key (or Shift+F10) opens the menu once: the key that goes on to the list's parents
  // after the menu closed is the same press, not a new one. An item chosen from the keyboard runs once.
  void menuKeyOpensEachMenuOnce() {
    QTemporaryDir folder;
    for (const char* name : {"a.bmp", "b.wav"}) {
      QFile file(folder.filePath(QString::fromLatin1(name)));
      QVERIFY(file.open(QIODevice::WriteOnly));
    }
    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmMain& m = *program.frm_main();
    FrmDummy& d = *program.frm_dummy();
    program.frm_option()->setCheckValue(3, 0);  // a click selects and opens nothing
    QVERIFY(m.Dir->setPath(folder.path()));
    m.File->setPattern(QStringLiteral("*.*"));
    m.show();
    QVERIFY(QTest::qWaitForWindowActive(&m));
    MenuAnswers menus(fixture, d);

    clickRow(m.File, 0);
    QCOMPARE(m.File->ListIndex(), 0);
    QVERIFY(m.File->hasFocus());
    menus.keys << Qt::Key_A;  // "&Add to favourite"
    QTest::keyClick(m.windowHandle(), Qt::Key_Menu);
    QCOMPARE(menus.shown, QList<QMenu*>{d.mnu_filelist});
    QCOMPARE(m.List->count(), 1);

    // The offscreen platform gives the window back no activation when a popup closes; a desktop does.
    m.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&m));
    m.List->setFocus();
    QTest::keyClick(m.windowHandle(), Qt::Key_F10, Qt::ShiftModifier);
    QCOMPARE(menus.shown, (QList<QMenu*>{d.mnu_filelist, d.mnu_list}));

    m.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&m));
    m.cmd_play->setFocus();
    QTest::keyClick(m.windowHandle(), Qt::Key_Menu);
    QCOMPARE(menus.shown, (QList<QMenu*>{d.mnu_filelist, d.mnu_list, d.mnu_img}));
    QCOMPARE(m.List->count(), 1);
  }

  // The favourites list makes its first row current (unselected) when the focus comes back to it from a
  // closed menu. That is no selection: with none, "Remove" is greyed and does nothing, and Up and Down move
  // nothing and open nothing; after a list file was opened too.
  void favouritesWithoutSelectionAreLeftAlone() {
    QTemporaryDir folder;
    const QStringList paths{folder.filePath(QStringLiteral("one.bmp")),
                            folder.filePath(QStringLiteral("two.bmp"))};
    const QString listFile = folder.filePath(QStringLiteral("other.lst"));
    {
      QFile file(listFile);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(QFile::encodeName(listBytes(paths)));
    }
    ProgramFixture fixture;
    fixture.writeFile(QStringLiteral("default.lst"), QFile::encodeName(listBytes(paths)));
    Program& program = fixture.start();
    FrmMain& m = *program.frm_main();
    FrmDummy& d = *program.frm_dummy();
    m.show();
    QVERIFY(QTest::qWaitForWindowActive(&m));
    MenuAnswers menus(fixture, d);
    const QPoint empty(m.List->viewport()->width() / 2, m.List->viewport()->height() - 2);
    QVERIFY(!m.List->indexAt(empty).isValid());

    const auto checkNothingSelected = [&] {
      for (int i = 0; i < 2; ++i) {
        QTest::mouseClick(m.List->viewport(), Qt::RightButton, {}, empty);
        QCOMPARE(menus.shown.last(), d.mnu_list);
        QVERIFY(!d.mnu_removelist->isEnabled());
        QVERIFY(d.mnu_newlist->isEnabled());
      }
      m.RemoveFList();
      QTest::mouseClick(m.cmd_down, Qt::LeftButton);
      QTest::mouseClick(m.cmd_up, Qt::LeftButton);
      QCOMPARE(m.FavPath(), paths);
      QCOMPARE(m.List->item(0)->text(), QStringLiteral("one.bmp"));
      QVERIFY(m.cur_file.isEmpty());
    };
    checkNothingSelected();

    // "Open favourite" chosen from the real menu loads the list file (the question first: No).
    fixture.messageBoxes->answers.push_back(QMessageBox::No);
    fixture.fileDialogs->answers.push_back(listFile);
    menus.keys << Qt::Key_O;
    QTest::mouseClick(m.List->viewport(), Qt::RightButton, {}, empty);
    QCOMPARE(fixture.fileDialogs->calls.size(), 1);
    checkNothingSelected();

    // A favourite the user selects is what they act on.
    clickRow(m.List, 1);
    QTest::mouseClick(m.List->viewport(), Qt::RightButton, {}, empty);
    QVERIFY(d.mnu_removelist->isEnabled());
    QTest::mouseClick(m.cmd_up, Qt::LeftButton);
    QCOMPARE(m.FavPath(), (QStringList{paths[1], paths[0]}));
  }
};

QTEST_MAIN(TestRealMenus)
#include "test_real_menus.moc"
