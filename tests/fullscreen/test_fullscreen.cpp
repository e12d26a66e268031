// The full-screen view: entering and leaving, the control panel, the picture's move and the full-screen menu.
#include "controls/dir_list.h"
#include "controls/drive_box.h"
#include "controls/file_list.h"
#include "controls/picture_box.h"
#include "fullscreen/frm_full.h"
#include "main_window/frm_main.h"
#include "menus/frm_dummy.h"
#include "picture_gen.h"
#include "pictures/picture_prefetch.h"
#include "preferences/frm_option.h"
#include "program_fixture.h"

#include <QAction>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

namespace {

QByteArray bmp(QSize size) { return picture_gen::MakeBmp(picture_gen::Quadrants(size)); }

Picture blank(QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::darkCyan);
  return Picture(image);
}

QStringList names(const FileList& list) {
  QStringList all;
  for (int i = 0; i < list.ListCount(); ++i) all << list.List(i);
  return all;
}

}  // namespace

class TestFullScreen : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir folder_;
  QTemporaryDir empty_;

  QString file(const char* name) const { return folder_.filePath(QString::fromLatin1(name)); }

  // A running program whose main window shows folder_ with every known format listed, nothing playing on a
  // click, and `selected` chosen in its file list ("" for none).
  FrmMain& mainOn(ProgramFixture& fixture, const QString& selected) {
    Program& program = fixture.start();
    program.frm_option()->setCheckValue(3, 0);
    FrmMain& m = *program.frm_main();
    m.Dir->setPath(folder_.path());
    m.selectFilter(2);
    for (int i = 0; i < m.File->ListCount(); ++i)
      if (m.File->List(i) == selected) m.File->setListIndex(i);
    return m;
  }

 private slots:
  void initTestCase() {
    QVERIFY(folder_.isValid() && empty_.isValid());
    QVERIFY(picture_gen::WriteFile(file("a.bmp"), bmp(QSize(40, 30))));
    QVERIFY(picture_gen::WriteFile(file("b.bmp"), bmp(QSize(50, 20))));
    QVERIFY(picture_gen::WriteFile(file("c.wmf"), "not really a metafile"));
    QVERIFY(picture_gen::WriteFile(file("d.wav"), "RIFF"));
    QVERIFY(picture_gen::WriteFile(file("e.jpg"), picture_gen::MakeJpeg(picture_gen::Quadrants({24, 16}))));
    QVERIFY(picture_gen::WriteFile(file("f.gif"), "GIF89a, then nothing"));
  }

  void activationCopiesTheMainWindow() {
    ProgramFixture fixture;
    FrmMain& m = mainOn(fixture, QStringLiteral("b.bmp"));
    FrmFull& f = *fixture.program->frm_full();
    m.Img->setPicture(blank({70, 10}));
    // The full-screen window reads the file again: a change on disk since the main window loaded it shows.
    QTemporaryDir own;
    QVERIFY(picture_gen::WriteFile(own.filePath("b.bmp"), bmp(QSize(60, 25))));
    m.Dir->setPath(own.path());
    m.File->setListIndex(0);
    QCOMPARE(m.File->FileName(), QStringLiteral("b.bmp"));
    f.Img->move(-5, -5);

    f.Form_Activate();
    QVERIFY(!m.isEnabled());
    QCOMPARE(f.Drive->Drive(), m.Drive->Drive());
    QCOMPARE(f.cur_drive, m.Drive->Drive());
    QCOMPARE(f.Dir->Path(), QDir::toNativeSeparators(own.path()));
    QCOMPARE(f.File->Path(), QDir::toNativeSeparators(own.path()));
    QCOMPARE(f.File->FileName(), QStringLiteral("b.bmp"));
    QCOMPARE(f.Img->size(), QSize(60, 25));
    QCOMPARE(f.Img->pos(), QPoint(0, 0));
    QVERIFY(!f.CDummy);
  }

  void unlistedSelectionKeepsTheMainPicture_data() {
    QTest::addColumn<QString>("selected");
    QTest::newRow("a metafile") << QStringLiteral("c.wmf");
    QTest::newRow("a sound") << QStringLiteral("d.wav");
    QTest::newRow("nothing selected") << QString();
  }

  void unlistedSelectionKeepsTheMainPicture() {
    QFETCH(QString, selected);
    ProgramFixture fixture;
    FrmMain& m = mainOn(fixture, selected);
    QCOMPARE(m.File->FileName(), selected);
    FrmFull& f = *fixture.program->frm_full();
    // A selection left from an earlier visit does not survive.
    f.Dir->setPath(folder_.path());
    f.File->setListIndex(0);
    m.Img->setPicture(blank({70, 10}));

    f.Form_Activate();
    QCOMPARE(f.File->ListIndex(), -1);
    QCOMPARE(f.Img->size(), QSize(70, 10));
    QCOMPARE(f.Img->picture().toImage().pixel(0, 0), QColor(Qt::darkCyan).rgb());
  }

  void enterAndReturn() {
    ProgramFixture fixture;
    FrmMain& m = mainOn(fixture, QStringLiteral("a.bmp"));
    Program& program = *fixture.program;
    FrmFull& f = *program.frm_full();
    FrmDummy& d = *program.frm_dummy();
    m.show();
    m.Img->setPicture(blank({70, 10}));

    m.Img_DblClick();
    QVERIFY(f.isVisible());
    QVERIFY(!m.isEnabled());
    QCOMPARE(f.geometry(), m.screen()->geometry());
    QCOMPARE(f.File->FileName(), QStringLiteral("a.bmp"));
    QVERIFY(!f.panelVisible());

    // The user walks on, shows the panel and cycles the lists; a menu closing re-activates nothing.
    f.File->setListIndex(1);
    f.setPanelVisible(true);
    f.CMD_Toggle_Click();
    fixture.chooseMenuItem = d.mnu_prev->text();
    f.Img_MouseDown(2, 0, 1, 1);
    QVERIFY(f.CDummy);
    QCOMPARE(f.File->FileName(), QStringLiteral("a.bmp"));
    f.Form_Activate();
    QCOMPARE(f.File->FileName(), QStringLiteral("a.bmp"));

    fixture.chooseMenuItem = d.mnu_return->text();
    f.Form_MouseDown(2, 0, 1, 1);
    QVERIFY(!f.isVisible());
    QVERIFY(!f.CDummy);
    QVERIFY(m.isEnabled());
    QVERIFY(m.isVisible());

    // Entering again synchronises once more and finds the panel as it was left.
    m.File->setListIndex(1);
    d.mnu_fullscr_Click();
    QVERIFY(f.isVisible());
    QCOMPARE(f.File->FileName(), QStringLiteral("b.bmp"));
    QCOMPARE(f.Img->size(), QSize(50, 20));
    QVERIFY(f.panelVisible());
    QVERIFY(f.File->isHidden());
    QCOMPARE(f.CMD_Toggle->text(), QStringLiteral("&Drive"));

    // Closed by the window system: left the same way.
    f.close();
    QVERIFY(!f.isVisible());
    QVERIFY(m.isEnabled());
  }

  void toggleCycle_data() {
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<QStringList>("captions");
    QTest::newRow("English") << false << QStringList{"&Drive", "&File", "&Folder"};
    QTest::newRow("Chinese") << true << QStringList{"磁碟機 (&D)", "檔案 (&F)", "資料夾 (&F)"};
  }

  void toggleCycle() {
    QFETCH(bool, chinese);
    QFETCH(QStringList, captions);
    ProgramFixture fixture;
    Program& program = fixture.start();
    program.setUseChinese(chinese);
    FrmFull& f = *program.frm_full();
    const QList<QPair<bool, bool>> shown{{false, true}, {false, false}, {true, true}};
    for (int press = 0; press < 3; ++press) {
      f.CMD_Toggle_Click();
      QCOMPARE(f.CMD_Toggle->text(), captions[press]);
      QCOMPARE(!f.File->isHidden(), shown[press].first);
      QCOMPARE(!f.Dir->isHidden(), shown[press].second);
      QVERIFY(!f.Drive->isHidden());
    }
  }

  void releaseOverToggleFocusesTheFileList() {
    ProgramFixture fixture;
    FrmFull& f = *fixture.start().frm_full();
    f.show();
    f.setPanelVisible(true);
    f.CMD_Toggle->setFocus();
    f.CMD_Toggle_MouseUp(1, 0, 1, 1);
    QCOMPARE(f.focusWidget(), static_cast<QWidget*>(f.File));

    // Real clicks still cycle; the list takes the focus only when it was shown at the release and still is.
    const QPoint centre = f.CMD_Toggle->rect().center();
    const QList<QPair<QString, bool>> steps{{"&Drive", true}, {"&File", true}, {"&Folder", false}};
    for (const auto& [caption, listHidden] : steps) {
      f.CMD_Toggle->setFocus();
      QTest::mouseClick(f.CMD_Toggle, Qt::LeftButton, {}, centre);
      QCOMPARE(f.CMD_Toggle->text(), caption);
      QCOMPARE(f.File->isHidden(), listHidden);
      QCOMPARE(f.focusWidget(), static_cast<QWidget*>(f.CMD_Toggle));
    }

    // Pressed on the button, released beside it: no click, and the shown list takes the focus.
    QTest::mousePress(f.CMD_Toggle, Qt::LeftButton, {}, centre);
    QTest::mouseRelease(f.CMD_Toggle, Qt::LeftButton, {}, QPoint(-20, -20));
    QCOMPARE(f.CMD_Toggle->text(), QStringLiteral("&Folder"));
    QCOMPARE(f.focusWidget(), static_cast<QWidget*>(f.File));
    f.leave();
  }

  // Leaving full screen lets go of the pictures decoded there; the next visit reads its picture again.
  // The picture the main window shows is not decoded again, nor held twice, unless its file changed since.
  void activationSharesTheMainWindowsPicture() {
    QTemporaryDir own;
    const QString path = own.filePath(QStringLiteral("b.bmp"));
    QVERIFY(picture_gen::WriteFile(path, bmp(QSize(50, 20))));
    ProgramFixture fixture;
    FrmMain& m = mainOn(fixture, QString());
    FrmFull& f = *fixture.program->frm_full();
    m.Dir->setPath(own.path());
    m.File->setListIndex(0);
    m.FileOpen(path);
    QCOMPARE(m.Img->picture().size(), QSize(50, 20));

    f.Form_Activate();
    QCOMPARE(f.File->FileName(), QStringLiteral("b.bmp"));
    QCOMPARE(f.prefetch->decodes(), 0);
    QCOMPARE(f.Img->picture().toImage().constBits(), m.Img->picture().toImage().constBits());
    f.leave();

    m.FileOpen(path);
    QVERIFY(picture_gen::WriteFile(path, bmp(QSize(60, 25))));  // changed on disk since
    f.Form_Activate();
    QCOMPARE(f.prefetch->decodes(), 1);
    QCOMPARE(f.Img->size(), QSize(60, 25));
    f.leave();

    // A big picture (here every one) is not held twice while full screen shows another: the main window
    // lets its pixels go, keeping its pane, and gets them back on the way out, without a decode when full
    // screen holds the same file.
    QVERIFY(picture_gen::WriteFile(own.filePath(QStringLiteral("c.bmp")), bmp(QSize(30, 40))));
    m.Dir->setPath(own.path());
    m.File->setListIndex(0);
    m.waitFreeBytes = 0;
    f.waitFreeBytes = 0;
    m.FileOpen(path);
    QTRY_VERIFY_WITH_TIMEOUT(!m.Img->picture().isNull(), 10000);
    const QSize pane = m.Img->size();
    f.Form_Activate();
    f.File->setListIndex(1);
    QTRY_COMPARE_WITH_TIMEOUT(f.Img->size(), QSize(30, 40), 10000);
    QVERIFY(m.pictureParked());
    QVERIFY(m.Img->picture().isNull());
    QCOMPARE(m.Img->size(), pane);
    f.File->setListIndex(0);
    QTRY_COMPARE_WITH_TIMEOUT(f.Img->size(), QSize(60, 25), 10000);
    const int decodes = m.prefetch->decodes();
    f.leave();
    QVERIFY(!m.pictureParked());
    QCOMPARE(m.Img->picture().size(), QSize(60, 25));
    QCOMPARE(m.Img->size(), pane);
    QCOMPARE(m.prefetch->decodes(), decodes);
    // Left on another file, the main window decodes its own again.
    f.Form_Activate();
    f.File->setListIndex(1);
    QTRY_COMPARE_WITH_TIMEOUT(f.Img->size(), QSize(30, 40), 10000);
    QVERIFY(m.pictureParked());
    f.leave();
    QCOMPARE(m.Img->picture().size(), QSize(60, 25));
    QCOMPARE(m.cur_file, path);
  }

  // A big picture clicked in full screen is decoded off the UI thread: its top rows show while the rest
  // comes, the window answers meanwhile, a newer click wins, and a move made before the rest arrives stays.
  void aBigPictureShowsItsTopFirstAndTheWindowAnswers() {
    QTemporaryDir big;
    QImage photo(3600, 2400, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
      for (int x = 0; x < photo.width(); ++x) line[x] = qRgb((x * 7) & 0xff, (y * 3) & 0xff, (x + y) & 0xff);
    }
    QVERIFY(picture_gen::WriteFile(big.filePath("a.jpg"), picture_gen::MakeJpeg(photo, {.quality = 80})));
    QVERIFY(picture_gen::WriteFile(big.filePath("b.bmp"), bmp(QSize(50, 20))));
    QVERIFY(picture_gen::WriteFile(big.filePath("c.bmp"), bmp(QSize(60, 25))));
    ProgramFixture fixture;
    FrmMain& m = mainOn(fixture, QString());
    FrmFull& f = *fixture.program->frm_full();
    m.Dir->setPath(big.path());
    f.show();
    f.prefetch->setEnabled(false);
    f.waitFreeBytes = 0;  // every picture counts as big
    bool openedEarly = false;
    connect(f.prefetch, &PicturePrefetch::early, this, [&] {
      openedEarly = f.picturePending() && f.Img->picture().size() == QSize(3600, 2400) &&
                    f.Img->picture().rowsReady() > 0;
      f.Img->move(-100, -50);
    });
    bool answered = false;
    QTimer::singleShot(0, this, [&] { answered = f.picturePending(); });
    f.File->setListIndex(0);
    QVERIFY(f.picturePending());
    QTRY_VERIFY_WITH_TIMEOUT(!f.picturePending(), 20000);
    QVERIFY(answered);
    QVERIFY(openedEarly);
    QCOMPARE(f.Img->picture().rowsReady(), 2400);
    QCOMPARE(f.Img->pos(), QPoint(-100, -50));

    // Two clicks faster than the decodes: the last one shows.
    f.File->setListIndex(1);
    f.File->setListIndex(2);
    QTRY_VERIFY_WITH_TIMEOUT(!f.picturePending(), 20000);
    QCOMPARE(f.Img->size(), QSize(60, 25));
    QCOMPARE(f.Img->pos(), QPoint(0, 0));

    // Leaving while one is on its way: nothing arrives later, the pointer is not left busy.
    f.busyDelayMs = 0;
    f.File->setListIndex(0);
    QVERIFY(f.picturePending());
    f.leave();
    QVERIFY(!f.picturePending());
    QTRY_VERIFY_WITH_TIMEOUT(!f.prefetch->busy(), 20000);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    QVERIFY(f.Img->picture().isNull());
  }

  void leavingReleasesThePictures() {
    ProgramFixture fixture;
    FrmMain& m = mainOn(fixture, QStringLiteral("b.bmp"));
    FrmFull& f = *fixture.program->frm_full();
    f.show();
    QVERIFY(!f.Img->picture().isNull());
    f.File->setListIndex(f.File->ListIndex() == 0 ? 1 : 0);  // a picture of its own, decoded here
    f.leave();
    QVERIFY(f.Img->picture().isNull());
    QTRY_COMPARE_WITH_TIMEOUT(f.prefetch->held(), 0, 10000);  // a decode in flight ends unseen
    QVERIFY(m.isEnabled());
    f.show();
    QVERIFY(!f.Img->picture().isNull());  // the selection is read again
    f.leave();
  }

  void clickTogglesThePanelUnlessDragged_data() {
    QTest::addColumn<QList<QPointF>>("moves");  // with the left button held
    QTest::addColumn<bool>("toggles");
    QTest::newRow("plain click") << QList<QPointF>{} << true;
    QTest::newRow("drag of one unit") << QList<QPointF>{{11, 10}} << false;
    QTest::newRow("drag and back") << QList<QPointF>{{15, 10}, {10, 10}} << false;
  }

  void clickTogglesThePanelUnlessDragged() {
    QFETCH(QList<QPointF>, moves);
    QFETCH(bool, toggles);
    ProgramFixture fixture;
    FrmFull& f = *fixture.start().frm_full();
    f.Img->setPicture(blank({100, 100}));
    for (bool before : {false, true}) {
      f.setPanelVisible(before);
      f.Img_MouseDown(1, 0, 10, 10);
      f.Img_MouseMove(0, 0, 12, 12);  // a move without a button is no drag
      for (const QPointF& p : moves) f.Img_MouseMove(1, 0, p.x(), p.y());
      f.Img_MouseUp(1, 0, 10, 10);
      f.Img_Click();
      QCOMPARE(f.panelVisible(), toggles ? !before : before);
    }
  }

  void realClicksOnTheWindow() {
    ProgramFixture fixture;
    FrmFull& f = *fixture.start().frm_full();
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    f.Img->setPicture(blank({100, 100}));
    QTest::mouseClick(&f, Qt::LeftButton, {}, QPoint(300, 50));
    QVERIFY(f.panelVisible());
    QTest::mouseClick(f.Img, Qt::LeftButton, {}, QPoint(50, 50));
    QVERIFY(!f.panelVisible());
    QTest::mousePress(f.Img, Qt::LeftButton, {}, QPoint(50, 50));
    QTest::mouseMove(f.Img, QPoint(51, 50));
    QTest::mouseRelease(f.Img, Qt::LeftButton, {}, QPoint(51, 50));
    QVERIFY(!f.panelVisible());
    f.leave();
  }

  void pictureDrag_data() {
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QPoint>("start");
    QTest::addColumn<QList<QPoint>>(
        "pointer");  // in the window: the press, then the moves with the left button
    QTest::addColumn<QPoint>("expected");
    // The window is 400 x 300.
    QTest::newRow("smaller than the screen never moves")
        << QSize(300, 200) << QPoint(0, 0) << QList<QPoint>{{100, 100}, {50, 50}, {150, 150}} << QPoint(0, 0);
    QTest::newRow("pointer right and down: picture left, not taller: never up")
        << QSize(1000, 200) << QPoint(0, 0) << QList<QPoint>{{300, 100}, {310, 90}, {330, 120}}
        << QPoint(-30, 0);
    QTest::newRow("left edge: the step that would pass it is dropped")
        << QSize(1000, 1000) << QPoint(-25, 0)
        << QList<QPoint>{{300, 100}, {290, 100}, {280, 100}, {270, 100}} << QPoint(-5, 0);
    QTest::newRow("left edge may be reached")
        << QSize(1000, 1000) << QPoint(-20, 0)
        << QList<QPoint>{{300, 100}, {290, 100}, {280, 100}, {270, 100}} << QPoint(0, 0);
    QTest::newRow("right edge stays beyond the screen's")
        << QSize(1000, 1000) << QPoint(-595, 0)
        << QList<QPoint>{{100, 100}, {110, 100}, {114, 100}, {115, 100}} << QPoint(-599, 0);
    QTest::newRow("bottom edge stays beyond the screen's")
        << QSize(200, 1000) << QPoint(0, -695)
        << QList<QPoint>{{100, 100}, {100, 110}, {100, 114}, {100, 115}} << QPoint(0, -699);
    QTest::newRow("both directions in one step")
        << QSize(1000, 1000) << QPoint(-50, -50) << QList<QPoint>{{100, 100}, {110, 120}} << QPoint(-60, -70);
    QTest::newRow("one direction dropped, the other taken")
        << QSize(1000, 1000) << QPoint(0, -50) << QList<QPoint>{{100, 100}, {90, 110}} << QPoint(0, -60);
    // The hand's travel on the screen counts, not its position on a picture that has moved meanwhile.
    QList<QPoint> small{{100, 100}};
    for (int i = 1; i <= 10; ++i) small << QPoint(100 + 5 * i, 100 + 3 * i);
    QTest::newRow("many small steps") << QSize(2600, 2000) << QPoint(0, 0) << small << QPoint(-50, -30);
    QTest::newRow("one big step") << QSize(2600, 2000) << QPoint(0, 0) << QList<QPoint>{{50, 50}, {350, 250}}
                                  << QPoint(-300, -200);
    QList<QPoint> there_and_back{{200, 100}};
    for (int i = 1; i <= 15; ++i) there_and_back << QPoint(200 + 10 * i, 100 + 10 * i);
    for (int i = 1; i <= 20; ++i) there_and_back << QPoint(350 - 10 * i, 250 - 10 * i);
    QTest::newRow("there and back, stopped by the edge")
        << QSize(2600, 2000) << QPoint(0, 0) << there_and_back << QPoint(0, 0);
  }

  // Real presses and moves on the window: the picture's move changes where the pointer is on it.
  void pictureDrag() {
    QFETCH(QSize, picture);
    QFETCH(QPoint, start);
    QFETCH(QList<QPoint>, pointer);
    QFETCH(QPoint, expected);
    ProgramFixture fixture;
    FrmFull& f = *fixture.start().frm_full();
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    f.setWindowState(Qt::WindowNoState);
    f.resize(400, 300);
    QTRY_COMPARE_WITH_TIMEOUT(f.size(), QSize(400, 300), 5000);
    f.Img->setPicture(blank(picture));
    f.Img->move(start);
    QWindow* window = f.windowHandle();
    QTest::mousePress(window, Qt::LeftButton, {}, pointer[0]);
    for (qsizetype i = 1; i < pointer.size(); ++i) {
      QTest::mouseMove(window, pointer[i]);
      const QRect shown = f.Img->geometry();
      QVERIFY(picture.width() <= 400 || (shown.left() <= 0 && shown.right() >= 400));
      QVERIFY(picture.height() <= 300 || (shown.top() <= 0 && shown.bottom() >= 300));
    }
    QTest::mouseRelease(window, Qt::LeftButton, {}, pointer.last());
    QCOMPARE(f.Img->pos(), expected);
    f.leave();
  }

  void panelComesBackWhenWhollyOffScreen_data() {
    QTest::addColumn<QPoint>("dragged");
    QTest::addColumn<QPoint>("shown");
    QTest::newRow("partly off stays") << QPoint(-50, 250) << QPoint(-50, 250);
    QTest::newRow("off to the left") << QPoint(-500, 100) << QPoint(0, 100);
    QTest::newRow("off to the bottom right") << QPoint(900, 700) << QPoint(400 - 105, 300 - 149);
  }

  void panelComesBackWhenWhollyOffScreen() {
    QFETCH(QPoint, dragged);
    QFETCH(QPoint, shown);
    ProgramFixture fixture;
    FrmFull& f = *fixture.start().frm_full();
    f.resize(400, 300);
    QCOMPARE(f.fr_control->size(), QSize(105, 149));
    f.setPanelVisible(true);
    f.fr_control->move(dragged);
    f.Form_Click();
    QCOMPARE(f.fr_control->pos(), dragged);  // hiding moves nothing
    f.Form_Click();
    QVERIFY(f.panelVisible());
    QCOMPARE(f.fr_control->pos(), shown);
  }

  void fileClick_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("position");
    QTest::newRow("a picture, placed at the top left")
        << QStringLiteral("e.jpg") << QSize(24, 16) << QPoint(0, 0);
    QTest::newRow("not a picture: the previous one stays")
        << QStringLiteral("f.gif") << QSize(500, 500) << QPoint(-7, -9);
  }

  void fileClick() {
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(QPoint, position);
    ProgramFixture fixture;
    mainOn(fixture, QString());
    FrmFull& f = *fixture.program->frm_full();
    QVERIFY(f.Dir->setPath(folder_.path()));
    f.Img->setPicture(blank({500, 500}));
    f.Img->move(-7, -9);
    // Loads whatever the auto-play option says (switched off here).
    f.File->setListIndex(names(*f.File).indexOf(name));
    QCOMPARE(f.File->FileName(), name);
    QCOMPARE(f.Img->size(), size);
    QCOMPARE(f.Img->pos(), position);
  }

  void menuStates_data() {
    QTest::addColumn<bool>("empty");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("onPicture");
    QTest::addColumn<bool>("prev");
    QTest::addColumn<bool>("next");
    QTest::newRow("first") << false << 0 << false << false << true;
    QTest::newRow("middle") << false << 1 << true << true << true;
    QTest::newRow("last") << false << 3 << false << true << false;
    QTest::newRow("no selection") << false << -1 << true << true << true;
    QTest::newRow("empty list") << true << -1 << false << true << false;
  }

  void menuStates() {
    QFETCH(bool, empty);
    QFETCH(int, index);
    QFETCH(bool, onPicture);
    QFETCH(bool, prev);
    QFETCH(bool, next);
    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmFull& f = *program.frm_full();
    FrmDummy& d = *program.frm_dummy();
    QVERIFY(f.Dir->setPath(empty ? empty_.path() : folder_.path()));
    QCOMPARE(f.File->ListCount(), empty ? 0 : 4);
    f.File->setListIndex(index);
    for (bool panel : {true, false}) {
      f.setPanelVisible(panel);
      f.CDummy = false;
      if (onPicture)
        f.Img_MouseDown(2, 0, 1, 1);
      else
        f.Form_MouseDown(2, 0, 1, 1);
      QCOMPARE(fixture.poppedMenus.size(), panel ? 1 : 2);
      QCOMPARE(fixture.poppedMenus.last(), d.mnu_full);
      QVERIFY(f.CDummy);
      QCOMPARE(d.mnu_prev->isEnabled(), prev);
      QCOMPARE(d.mnu_Next->isEnabled(), next);
      QCOMPARE(d.mnu_control->isChecked(), panel);
    }
    f.Form_MouseDown(1, 0, 1, 1);  // only the right button pops the menu
    f.Img_MouseDown(4, 0, 1, 1);
    QCOMPARE(fixture.poppedMenus.size(), 2);
  }

  void previousAndNext_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("forward");
    QTest::addColumn<int>("expected");
    QTest::newRow("next in the middle") << 1 << true << 2;
    QTest::newRow("next on the last does nothing") << 3 << true << 3;
    QTest::newRow("next with none selects the first") << -1 << true << 0;
    QTest::newRow("previous in the middle") << 2 << false << 1;
    QTest::newRow("previous on the first does nothing") << 0 << false << 0;
    QTest::newRow("previous with none does nothing") << -1 << false << -1;
  }

  void previousAndNext() {
    QFETCH(int, index);
    QFETCH(bool, forward);
    QFETCH(int, expected);
    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmFull& f = *program.frm_full();
    FrmDummy& d = *program.frm_dummy();
    QVERIFY(f.Dir->setPath(folder_.path()));
    f.File->setListIndex(index);
    f.Img->setPicture(blank({3, 3}));
    forward ? d.mnu_Next_Click() : d.mnu_prev_Click();
    QCOMPARE(f.File->ListIndex(), expected);
  }

  void controlPanelCommandTogglesTwiceBack() {
    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmFull& f = *program.frm_full();
    fixture.chooseMenuItem = program.frm_dummy()->mnu_control->text();
    f.Form_MouseDown(2, 0, 1, 1);
    QVERIFY(f.panelVisible());
    f.Img_MouseDown(2, 0, 1, 1);
    QVERIFY(!f.panelVisible());
  }
};

QTEST_MAIN(TestFullScreen)
#include "test_fullscreen.moc"
