// A scaled display (QT_SCALE_FACTOR 2, as on a HiDPI laptop): the picture control and the main window keep
// working in logical pixels (a picture shows whole at its natural size in logical pixels, the pane's scroll
// range follows), and the drawing covers the whole picture in device pixels.
#include "controls/picture_box.h"
#include "main_window/frm_main.h"
#include "picture_gen.h"
#include "pictures/picture.h"
#include "pictures/picture_loader.h"
#include "program_fixture.h"
#include "wmf_gen.h"

#include <QApplication>
#include <QDir>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

namespace {

QImage fourColours(QSize size) {
  return picture_gen::Quadrants(size, {0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffff00});
}

// The colour at a logical point of a widget grabbed on the scaled display.
QRgb at(const QImage& grabbed, qreal dpr, QPointF logical) {
  return grabbed.pixel(int(logical.x() * dpr), int(logical.y() * dpr)) | 0xff000000;
}

}  // namespace

class TestScaledDisplay : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QCOMPARE(qApp->devicePixelRatio(), 2.0); }

  void rasterShowsWholeAtItsNaturalSize() {
    QWidget window;
    window.resize(400, 300);
    PictureBox box(&window);
    box.setPicture(Picture(fourColours(QSize(300, 200))));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(box.size(), QSize(300, 200));
    const QImage grabbed = box.grab().toImage();
    QCOMPARE(grabbed.size(), QSize(600, 400));
    QCOMPARE(at(grabbed, 2, {10, 10}), 0xffff0000);
    QCOMPARE(at(grabbed, 2, {290, 10}), 0xff00ff00);
    QCOMPARE(at(grabbed, 2, {10, 190}), 0xff0000ff);
    QCOMPARE(at(grabbed, 2, {290, 190}), 0xffffff00);
  }

  void metafileTilesCoverThePicture() {
    wmf_gen::Builder b;
    b.setMapMode(wmf::kMmAnisotropic).setWindowOrg(0, 0).setWindowExt(300, 200);
    b.createBrush(wmf::kBsSolid, 0xff0000ff).selectObject(b.lastSlot());
    b.createPen(wmf::kPsNull, 0, 0).selectObject(b.lastSlot());
    b.rectangle({150, 100, 300, 200});
    const auto picture = loadPictureFromData(b.placeable(QRect(0, 0, 300, 200), 96));
    QVERIFY(picture);
    QWidget window;
    window.resize(700, 500);
    PictureBox box(&window);
    box.Stretch = true;
    box.setPicture(*picture);
    box.resize(picture->size() * 2);  // zoomed to 200 %
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY_WITH_TIMEOUT(!box.tilesPending(), 30000);
    const QImage grabbed = box.grab().toImage();
    const QSize shown = box.size();
    QCOMPARE(at(grabbed, 2, {shown.width() * 0.9, shown.height() * 0.9}), 0xff0000ff);
    QCOMPARE(at(grabbed, 2, {shown.width() * 0.1, shown.height() * 0.1}), 0xffffffff);
  }

  void windowPicturesAreDrawnAtTheScreensPixels() {
    // Drawn at the logical size and magnified, the logo and the glyphs would be soft.
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    const QPixmap logo = m.Logo->pixmap();
    QCOMPARE(logo.devicePixelRatio(), 2.0);
    QCOMPARE(logo.size(), m.Logo->size() * 2);
    const QIcon icon = m.cmd_play->icon();
    const QImage sharp = icon.pixmap(m.cmd_play->iconSize(), 2.0).toImage();
    QCOMPARE(sharp.size(), m.cmd_play->iconSize() * 2);
    const QImage magnified = icon.pixmap(m.cmd_play->iconSize(), 1.0)
                                 .toImage()
                                 .scaled(sharp.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QVERIFY(sharp.convertToFormat(QImage::Format_ARGB32) != magnified.convertToFormat(QImage::Format_ARGB32));
  }

  void mainWindowPaneInLogicalPixels() {
    QTemporaryDir dir;
    const QString path = QDir::toNativeSeparators(dir.filePath(QStringLiteral("p.bmp")));
    QVERIFY(picture_gen::WriteFile(path,
                                   picture_gen::MakeBmp(fourColours(QSize(640, 480)), {.bitsPerPixel = 8})));
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    m.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m));
    m.FileOpen(path);
    QCOMPARE(m.Img->size(), QSize(640, 480));
    QCOMPARE(m.HS->maximum(), 640 - m.border->width());
    QCOMPARE(m.VS->maximum(), 480 - m.border->height());
    // The pane shows the picture to its edges, not a corner of it: each point of the pane has the colour of
    // the picture's quadrant under it.
    const QSize size = m.border->size();
    const auto expected = [](QPoint p) -> QRgb {
      return p.y() < 240 ? (p.x() < 320 ? 0xffff0000 : 0xff00ff00) : (p.x() < 320 ? 0xff0000ff : 0xffffff00);
    };
    for (const bool scrolled : {false, true}) {
      if (scrolled) {
        m.HS->setValue(m.HS->maximum());
        m.VS->setValue(m.VS->maximum());
      }
      const QImage pane = m.border->grab().toImage();
      const QPoint offset(scrolled ? m.HS->maximum() : 0, scrolled ? m.VS->maximum() : 0);
      for (const QPoint p : {QPoint(3, 3), QPoint(size.width() - 3, 3), QPoint(3, size.height() - 3),
                             QPoint(size.width() - 3, size.height() - 3)})
        QCOMPARE(at(pane, 2, p), expected(p + offset));
    }
  }
};

int main(int argc, char** argv) {
  // Before the application exists: the scale is read once.
  qputenv("QT_SCALE_FACTOR", "2");
  QApplication app(argc, argv);
  TestScaledDisplay test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_scaled_display.moc"
