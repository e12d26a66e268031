// The picture pane: layout against the pane, zoom, the scroll bars, the free-hand move, the cursors, the
// picture menu and what the pane really shows.
#include "controls/picture_box.h"
#include "fullscreen/frm_full.h"
#include "main_window/frm_main.h"
#include "menus/frm_dummy.h"
#include "picture_gen.h"
#include "preferences/frm_option.h"
#include "program_fixture.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

using namespace picture_gen;

namespace {

// Opens a four-colour picture of the given size (a 4-bit bitmap, small even when huge).
bool openPicture(FrmMain& m, const QTemporaryDir& dir, QSize size) {
  const QString path = QDir::toNativeSeparators(
      dir.filePath(QStringLiteral("p%1x%2.bmp").arg(size.width()).arg(size.height())));
  if (!WriteFile(path, MakeBmp(Quadrants(size), {.bitsPerPixel = 4}))) return false;
  m.FileOpen(path);
  // A big one arrives from the decoding thread.
  return QTest::qWaitFor([&] { return !m.picturePending(); }, 20000) && m.cur_file == path;
}

void sendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
  QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, held, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

QRgb pixelAt(const QImage& image, QPoint at) { return image.pixel(at) | 0xff000000; }

}  // namespace

class TestPictureView : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

 private slots:
  void layout_data() {
    QTest::addColumn<QSize>("overhang");  // picture size minus pane size
    QTest::addColumn<bool>("hsVisible");
    QTest::addColumn<int>("hsMax");
    QTest::addColumn<bool>("vsVisible");
    QTest::addColumn<int>("vsMax");
    QTest::newRow("smaller") << QSize(-20, -30) << false << 0 << false << 0;
    QTest::newRow("exactly the pane") << QSize(0, 0) << false << 0 << false << 0;
    QTest::newRow("100 px wider") << QSize(100, -10) << true << 100 << false << 0;
    QTest::newRow("37 px taller") << QSize(-10, 37) << false << 0 << true << 37;
    QTest::newRow("1 px larger both ways") << QSize(1, 1) << true << 1 << true << 1;
    QTest::newRow("wider by more than the range") << QSize(40000, -200) << true << 32767 << false << 0;
    QTest::newRow("taller by more than the range") << QSize(-300, 33000) << false << 0 << true << 32767;
  }

  void layout() {
    QFETCH(QSize, overhang);
    QFETCH(bool, hsVisible);
    QFETCH(int, hsMax);
    QFETCH(bool, vsVisible);
    QFETCH(int, vsMax);
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    const QSize size = m.border->size() + overhang;
    QVERIFY(openPicture(m, dir_, size));
    QCOMPARE(m.Img->geometry(), QRect(QPoint(0, 0), size));
    QCOMPARE(m.HS->isVisibleTo(m.fr_picture), hsVisible);
    QCOMPARE(m.VS->isVisibleTo(m.fr_picture), vsVisible);
    QCOMPARE(m.HS->maximum(), hsMax);
    QCOMPARE(m.VS->maximum(), vsMax);
    QCOMPARE(m.HS->value(), 0);
    QCOMPARE(m.VS->value(), 0);
    QCOMPARE(m.lb_size->text(), QStringLiteral("%1x%2").arg(size.width()).arg(size.height()));

    // The bars move the picture: arrow step 50, page step 100, never past the bounded range.
    m.HS->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    m.VS->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(m.HS->value(), std::min(50, hsMax));
    QCOMPARE(m.VS->value(), std::min(100, vsMax));
    QCOMPARE(m.Img->pos(), QPoint(-m.HS->value(), -m.VS->value()));
    m.HS->setValue(hsMax);
    m.VS->setValue(vsMax);
    QCOMPARE(m.Img->pos(), QPoint(-hsMax, -vsMax));
  }

  void zoom_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QSize>("shown");
    QTest::addColumn<QString>("percent");
    // 333 x 211: the halves of 15 and 25 steps fall on ties, which go to the even neighbour.
    QTest::newRow("0") << 0 << QSize(0, 0) << "0%";
    QTest::newRow("1") << 1 << QSize(33, 21) << "10%";
    QTest::newRow("10, natural") << 10 << QSize(333, 211) << "100%";
    QTest::newRow("15") << 15 << QSize(500, 316) << "150%";
    QTest::newRow("25") << 25 << QSize(832, 528) << "250%";
    QTest::newRow("40") << 40 << QSize(1332, 844) << "400%";
  }

  void zoom() {
    QFETCH(int, value);
    QFETCH(QSize, shown);
    QFETCH(QString, percent);
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    QVERIFY(openPicture(m, dir_, QSize(333, 211)));
    m.Slider->setValue(30);
    m.HS->setValue(m.HS->maximum());
    m.VS->setValue(m.VS->maximum() / 2);
    QVERIFY(m.Img->pos() != QPoint(0, 0));

    m.Slider->setValue(value);
    QCOMPARE(m.Img->geometry(), QRect(QPoint(0, 0), shown));
    QCOMPARE(m.lb_percent->text(), percent);
    QCOMPARE(m.lb_size->text(), QStringLiteral("333x211"));
    QCOMPARE(m.HS->value(), 0);
    QCOMPARE(m.VS->value(), 0);
    const QSize pane = m.border->size();
    QCOMPARE(m.HS->isVisibleTo(m.fr_picture), shown.width() > pane.width());
    QCOMPARE(m.VS->isVisibleTo(m.fr_picture), shown.height() > pane.height());
    QCOMPARE(m.HS->maximum(), std::max(0, shown.width() - pane.width()));
    QCOMPARE(m.VS->maximum(), std::max(0, shown.height() - pane.height()));
  }

  // A left press anywhere on the slider's track beside the thumb pages the zoom towards the pointer, over the
  // thin groove as well as over the tick marks below it; the zoom follows.
  void clickOnTheSliderTrackPagesTheZoom() {
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    m.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m));
    QVERIFY(openPicture(m, dir_, QSize(100, 80)));
    QCOMPARE(m.Slider->value(), 10);
    const int right = m.Slider->width() - 3;
    for (const int y : {1, m.Slider->height() / 2, m.Slider->height() - 2}) {
      m.Slider->setValue(10);
      sendMouse(m.Slider, QEvent::MouseButtonPress, QPoint(right, y), Qt::LeftButton, Qt::LeftButton);
      sendMouse(m.Slider, QEvent::MouseButtonRelease, QPoint(right, y), Qt::LeftButton, Qt::NoButton);
      QCOMPARE(m.Slider->value(), 10 + m.Slider->pageStep());
      QCOMPARE(m.Img->size(), QSize(150, 120));
      sendMouse(m.Slider, QEvent::MouseButtonPress, QPoint(2, y), Qt::LeftButton, Qt::LeftButton);
      sendMouse(m.Slider, QEvent::MouseButtonRelease, QPoint(2, y), Qt::LeftButton, Qt::NoButton);
      QCOMPARE(m.Slider->value(), 10);
    }
  }

  // The wheel over the picture scrolls it (Shift: sideways) and with Ctrl zooms it, through the scroll bars
  // and the slider.
  void wheelScrollsAndZooms() {
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    m.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m));
    QVERIFY(openPicture(m, dir_, QSize(2000, 1500)));
    const auto wheel = [&](QPoint delta, Qt::KeyboardModifiers modifiers) {
      const QPointF at(m.Img->width() / 2.0, 50);
      QWheelEvent event(at, m.Img->mapToGlobal(at), QPoint(), delta, Qt::NoButton, modifiers,
                        Qt::NoScrollPhase, false);
      QApplication::sendEvent(m.Img, &event);
    };
    wheel({0, -120}, Qt::NoModifier);  // one notch towards the user: down
    QVERIFY(m.VS->value() > 0);
    QCOMPARE(m.Img->y(), -m.VS->value());
    const int down = m.VS->value();
    wheel({0, 120}, Qt::NoModifier);
    QCOMPARE(m.VS->value(), 0);
    wheel({0, -120}, Qt::ShiftModifier);
    QCOMPARE(m.HS->value(), down);
    QCOMPARE(m.VS->value(), 0);
    wheel({0, 120}, Qt::ControlModifier);
    QCOMPARE(m.Slider->value(), 11);
    QCOMPARE(m.Img->size(), QSize(2200, 1650));
  }

  void zoomBeyondTheScrollRange() {
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    QVERIFY(openPicture(m, dir_, QSize(9000, 9000)));
    QCOMPARE(m.HS->maximum(), 9000 - m.border->width());
    m.Slider->setValue(40);
    QCOMPARE(m.Img->size(), QSize(36000, 36000));
    QCOMPARE(m.HS->maximum(), 32767);
    QCOMPARE(m.VS->maximum(), 32767);
    m.Slider->setValue(0);
    QCOMPARE(m.HS->maximum(), 0);
    QVERIFY(m.HS->isHidden());
  }

  // Each point after the first is one move of the pointer (relative to where the picture was at the press)
  // with `held`; the first is where the button went down.
  void drag_data() {
    QTest::addColumn<int>("held");
    QTest::addColumn<QPoint>("start");  // HS and VS values before the drag
    QTest::addColumn<QList<QPointF>>("pointer");
    QTest::addColumn<QPoint>("expected");
    using P = QList<QPointF>;
    QTest::newRow("right 200 px, vertical step to 0 dropped")
        << 1 << QPoint(0, 0) << P{{50, 50}, {250, 50}} << QPoint(10, 0);
    QTest::newRow("down 200 px") << 1 << QPoint(0, 0) << P{{50, 50}, {50, 250}} << QPoint(0, 10);
    QTest::newRow("up and left from the middle")
        << 1 << QPoint(50, 50) << P{{0, 0}, {-100, -60}} << QPoint(45, 47);
    QTest::newRow("step onto the right end dropped")
        << 1 << QPoint(95, 0) << P{{0, 0}, {200, 0}} << QPoint(95, 0);
    QTest::newRow("within half a pixel of the right end")
        << 1 << QPoint(99, 0) << P{{0, 0}, {19, 0}} << QPoint(100, 0);
    QTest::newRow("rounded onto the bottom end dropped")
        << 1 << QPoint(0, 99) << P{{0, 0}, {0, 19}} << QPoint(0, 99);
    QTest::newRow("onto 0 dropped") << 1 << QPoint(5, 5) << P{{0, 0}, {-100, -100}} << QPoint(5, 5);
    QTest::newRow("within half a pixel of 0") << 1 << QPoint(1, 1) << P{{0, 0}, {-19, -19}} << QPoint(0, 1);
    QTest::newRow("ties go to even") << 1 << QPoint(10, 10) << P{{0, 0}, {10, 10}} << QPoint(10, 10);
    QTest::newRow("ties go to even, two steps")
        << 1 << QPoint(10, 10) << P{{0, 0}, {10, 10}, {40, 40}} << QPoint(12, 12);
    P long_drag{{0, 0}};
    for (int i = 1; i <= 15; ++i) long_drag << QPointF(200.0 * i, 200.0 * i);
    QTest::newRow("a long drag stops short of the end") << 1 << QPoint(0, 0) << long_drag << QPoint(90, 90);
    P back_drag{{0, 0}};
    for (int i = 1; i <= 15; ++i) back_drag << QPointF(-200.0 * i, -200.0 * i);
    QTest::newRow("a long drag back stops short of 0") << 1 << QPoint(95, 95) << back_drag << QPoint(5, 5);
    QTest::newRow("both buttons move nothing")
        << 3 << QPoint(50, 50) << P{{0, 0}, {200, 200}} << QPoint(50, 50);
    QTest::newRow("right button moves nothing")
        << 2 << QPoint(50, 50) << P{{0, 0}, {200, 200}} << QPoint(50, 50);
    QTest::newRow("no button moves nothing")
        << 0 << QPoint(50, 50) << P{{0, 0}, {200, 200}} << QPoint(50, 50);
  }

  void drag() {
    QFETCH(int, held);
    QFETCH(QPoint, start);
    QFETCH(QList<QPointF>, pointer);
    QFETCH(QPoint, expected);
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    QVERIFY(openPicture(m, dir_, m.border->size() + QSize(100, 100)));
    QCOMPARE(m.HS->maximum(), 100);
    QCOMPARE(m.VS->maximum(), 100);
    m.HS->setValue(start.x());
    m.VS->setValue(start.y());
    m.Img_MouseDown(1, 0, pointer.first().x(), pointer.first().y());
    // The control reports positions on the picture, which has scrolled meanwhile.
    const QPoint origin = m.Img->pos();
    for (qsizetype i = 1; i < pointer.size(); ++i) {
      const QPointF on_picture = pointer[i] + QPointF(origin - m.Img->pos());
      m.Img_MouseMove(held, 0, on_picture.x(), on_picture.y());
    }
    QCOMPARE(QPoint(m.HS->value(), m.VS->value()), expected);
    QCOMPARE(m.Img->pos(), -expected);
    QVERIFY(fixture.poppedMenus.isEmpty());
  }

  void smallPictureDoesNotMove() {
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    QVERIFY(openPicture(m, dir_, m.border->size() - QSize(1, 1)));
    m.Img_MouseDown(1, 0, 100, 100);
    for (const QPointF p : {QPointF(300, 300), QPointF(-400, -400), QPointF(101, 99)})
      m.Img_MouseMove(1, 0, p.x(), p.y());
    QCOMPARE(m.Img->pos(), QPoint(0, 0));
    QCOMPARE(m.HS->value(), 0);
    QCOMPARE(m.VS->value(), 0);
  }

  // Real presses and moves on the window: the view goes a twentieth of the hand's travel on the screen
  // however the travel is cut up, although the picture scrolls under the pointer at every step.
  void dragByRealMoves_data() {
    QTest::addColumn<int>("moves");
    QTest::addColumn<QPoint>("step");  // the pointer's travel at each move
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("one big move") << 1 << QPoint(200, 100) << QPoint(10, 5);
    QTest::newRow("many small moves") << 100 << QPoint(2, 1) << QPoint(10, 5);
    QTest::newRow("ten moves of 30 px") << 10 << QPoint(30, 0) << QPoint(15, 0);
  }

  void dragByRealMoves() {
    QFETCH(int, moves);
    QFETCH(QPoint, step);
    QFETCH(QPoint, expected);
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    m.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m));
    QVERIFY(openPicture(m, dir_, m.border->size() + QSize(1000, 1000)));
    const QPoint press = m.border->mapTo(&m, QPoint(10, 10));
    QVERIFY(m.rect().contains(press + step * moves));
    QWindow* window = m.windowHandle();
    QTest::mousePress(window, Qt::LeftButton, {}, press);
    for (int i = 1; i <= moves; ++i) QTest::mouseMove(window, press + step * i);
    QTest::mouseRelease(window, Qt::LeftButton, {}, press + step * moves);
    QCOMPARE(QPoint(m.HS->value(), m.VS->value()), expected);
    QCOMPARE(m.Img->pos(), -expected);
  }

  // Events as "down|move|up <button code>"; the cursor before them is a cross, so "unchanged" shows.
  void cursors_data() {
    QTest::addColumn<bool>("own");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QString>("expected");  // "move", "pointer" or "unchanged"
    for (bool own : {true, false}) {
      const char* option = own ? "own cursors" : "platform cursors";
      QTest::addRow("%s: left down", option) << own << QStringList{"down 1"} << "move";
      QTest::addRow("%s: dragging", option) << own << QStringList{"down 1", "move 1", "move 1"} << "move";
      QTest::addRow("%s: released", option) << own << QStringList{"down 1", "move 1", "up 1"} << "pointer";
      QTest::addRow("%s: hovering", option) << own << QStringList{"move 0"} << "pointer";
      QTest::addRow("%s: both buttons while moving", option)
          << own << QStringList{"down 1", "move 3"} << "move";
      QTest::addRow("%s: both buttons from rest", option) << own << QStringList{"move 3"} << "unchanged";
      QTest::addRow("%s: right button", option) << own << QStringList{"down 2", "move 2"} << "unchanged";
      QTest::addRow("%s: right released", option) << own << QStringList{"down 2", "up 2"} << "pointer";
    }
  }

  void cursors() {
    QFETCH(bool, own);
    QFETCH(QStringList, events);
    QFETCH(QString, expected);
    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmMain& m = *program.frm_main();
    QVERIFY(program.frm_option()->setCheckValue(4, own ? 1 : 0));
    QVERIFY(openPicture(m, dir_, m.border->size() + QSize(100, 100)));
    m.Img->setCursor(Qt::CrossCursor);
    for (const QString& event : events) {
      const QStringList parts = event.split(QLatin1Char(' '));
      const int button = parts[1].toInt();
      if (parts[0] == QLatin1String("down"))
        m.Img_MouseDown(button, 0, 10, 10);
      else if (parts[0] == QLatin1String("move"))
        m.Img_MouseMove(button, 0, 20, 20);
      else
        m.Img_MouseUp(button, 0, 20, 20);
    }
    const FrmDummy& dummy = *program.frm_dummy();
    QVERIFY(!(dummy.cur_move == dummy.cur_pointer));
    QCursor want(Qt::CrossCursor);
    if (expected == QLatin1String("move")) want = own ? dummy.cur_move : QCursor(Qt::SizeAllCursor);
    if (expected == QLatin1String("pointer")) want = own ? dummy.cur_pointer : QCursor(Qt::ArrowCursor);
    QVERIFY2(m.Img->cursor() == want,
             qPrintable(QStringLiteral("cursor shape %1").arg(m.Img->cursor().shape())));
  }

  void rightPressPopsThePictureMenu_data() {
    QTest::addColumn<QString>("curFile");
    QTest::addColumn<bool>("openWith");
    QTest::newRow("no current file") << "" << false;
    QTest::newRow("a current file") << "/pics/a.jpg" << true;
  }

  void rightPressPopsThePictureMenu() {
    QFETCH(QString, curFile);
    QFETCH(bool, openWith);
    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmMain& m = *program.frm_main();
    m.cur_file = curFile;
    program.frm_dummy()->mnu_openwith->setEnabled(!openWith);
    m.Img_MouseDown(1, 0, 5, 5);
    QVERIFY(fixture.poppedMenus.isEmpty());
    m.Img_MouseDown(2, 0, 7, 8);
    QCOMPARE(fixture.poppedMenus, QList<QMenu*>{program.frm_dummy()->mnu_img});
    QCOMPARE(program.frm_dummy()->mnu_openwith->isEnabled(), openWith);
    // The right press starts no drag.
    QCOMPARE(QPointF(m.drag_x, m.drag_y), m.Img->mapToGlobal(QPointF(5, 5)));
  }

  // With no picture (at start, after pasting an empty clipboard) the picture is 0 x 0: a right press on the
  // empty pane pops the picture menu all the same, so "Paste from clipboard" is within reach; a left press
  // there pops nothing.
  void rightPressOnTheEmptyPanePopsThePictureMenu() {
    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmMain& m = *program.frm_main();
    m.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m));
    QCOMPARE(m.Img->size(), QSize(0, 0));
    const QPoint middle = m.border->rect().center();
    sendMouse(m.border, QEvent::MouseButtonPress, middle, Qt::LeftButton, Qt::LeftButton);
    sendMouse(m.border, QEvent::MouseButtonRelease, middle, Qt::LeftButton, Qt::NoButton);
    QVERIFY(fixture.poppedMenus.isEmpty());
    sendMouse(m.border, QEvent::MouseButtonPress, middle, Qt::RightButton, Qt::RightButton);
    QCOMPARE(fixture.poppedMenus, QList<QMenu*>{program.frm_dummy()->mnu_img});
    QVERIFY(!program.frm_dummy()->mnu_openwith->isEnabled());  // nothing opened, nothing to open with
    QVERIFY(program.frm_dummy()->mnu_paste->isEnabled());
  }

  // Through the control's own events: positions relative to the picture, button codes, the double click.
  void mouseEventsOfTheControl() {
    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmMain& m = *program.frm_main();
    QVERIFY(program.frm_option()->setCheckValue(4, 0));
    QVERIFY(openPicture(m, dir_, m.border->size() + QSize(100, 100)));
    m.HS->setValue(20);
    sendMouse(m.Img, QEvent::MouseButtonPress, {30, 40}, Qt::LeftButton, Qt::LeftButton);
    QCOMPARE(QPointF(m.drag_x, m.drag_y), m.Img->mapToGlobal(QPointF(30, 40)));
    QCOMPARE(m.Img->cursor().shape(), Qt::SizeAllCursor);
    sendMouse(m.Img, QEvent::MouseMove, {230, 140}, Qt::NoButton, Qt::LeftButton);
    QCOMPARE(m.HS->value(), 30);
    QCOMPARE(m.VS->value(), 5);
    QCOMPARE(m.Img->pos(), QPoint(-30, -5));
    sendMouse(m.Img, QEvent::MouseMove, {250, 160}, Qt::NoButton, Qt::LeftButton | Qt::RightButton);
    QCOMPARE(m.HS->value(), 30);
    sendMouse(m.Img, QEvent::MouseButtonRelease, {230, 140}, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(m.Img->cursor().shape(), Qt::ArrowCursor);
    sendMouse(m.Img, QEvent::MouseButtonPress, {10, 10}, Qt::RightButton, Qt::RightButton);
    QCOMPARE(fixture.poppedMenus, QList<QMenu*>{program.frm_dummy()->mnu_img});
    sendMouse(m.Img, QEvent::MouseButtonRelease, {10, 10}, Qt::RightButton, Qt::NoButton);

    QVERIFY(!program.frm_full()->isVisible());
    sendMouse(m.Img, QEvent::MouseButtonDblClick, {10, 10}, Qt::LeftButton, Qt::LeftButton);
    QVERIFY(program.frm_full()->isVisible());
  }

  // What the pane shows after zooming and scrolling, read back from the screen's copy of the pane.
  void paneShowsTheVisiblePart_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("scrolledToEnd");
    QTest::addColumn<QList<QPoint>>("points");  // pane pixels, counted from the bottom-right when negative
    QTest::addColumn<QList<QRgb>>("colors");
    const QRgb red = kQuadrantColors[0], green = kQuadrantColors[1], blue = kQuadrantColors[2],
               white = kQuadrantColors[3], pane = qRgb(8, 8, 8);
    QTest::newRow("100%, top-left") << 10 << false
                                    << QList<QPoint>{{5, 5}, {150, 5}, {5, 80}, {150, 80}, {-5, -5}}
                                    << QList<QRgb>{red, green, blue, white, pane};
    QTest::newRow("400%, top-left") << 40 << false << QList<QPoint>{{5, 5}, {-5, 5}, {5, -5}}
                                    << QList<QRgb>{red, red, blue};
    QTest::newRow("400%, bottom-right")
        << 40 << true << QList<QPoint>{{5, 5}, {-5, -5}, {5, -5}} << QList<QRgb>{green, white, white};
    QTest::newRow("10%") << 1 << false << QList<QPoint>{{4, 2}, {15, 2}, {4, 7}, {15, 7}, {40, 40}}
                         << QList<QRgb>{red, green, blue, white, pane};
    QTest::newRow("0%") << 0 << false << QList<QPoint>{{0, 0}, {5, 5}, {-5, -5}}
                        << QList<QRgb>{pane, pane, pane};
  }

  void paneShowsTheVisiblePart() {
    QFETCH(int, value);
    QFETCH(bool, scrolledToEnd);
    QFETCH(QList<QPoint>, points);
    QFETCH(QList<QRgb>, colors);
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    QVERIFY(openPicture(m, dir_, QSize(200, 100)));
    m.Slider->setValue(value);
    if (scrolledToEnd) {
      m.HS->setValue(m.HS->maximum());
      m.VS->setValue(m.VS->maximum());
    }
    const QImage shown = m.border->grab().toImage();
    QCOMPARE(shown.size(), m.border->size());
    for (qsizetype i = 0; i < points.size(); ++i) {
      QPoint p = points[i];
      if (p.x() < 0) p.rx() += shown.width();
      if (p.y() < 0) p.ry() += shown.height();
      QCOMPARE(QString::number(pixelAt(shown, p), 16), QString::number(colors[i], 16));
    }
  }
};

QTEST_MAIN(TestPictureView)
#include "test_picture_view.moc"
