#include "media/video_surface.h"

#include <QTest>
#include <QWidget>

namespace {

QImage solid(QSize size, QColor colour) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

}  // namespace

class TestVideoSurface : public QObject {
  Q_OBJECT

 private slots:
  void frameFitsWithAspectKeptAndCentred_data() {
    QTest::addColumn<QSize>("pane");
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QSize>("display");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("wide pane") << QSize(200, 100) << QSize(64, 48) << QSize() << QRect(33, 0, 133, 100);
    QTest::newRow("tall pane") << QSize(100, 200) << QSize(64, 48) << QSize() << QRect(0, 62, 100, 75);
    QTest::newRow("larger frame") << QSize(200, 100) << QSize(800, 400) << QSize() << QRect(0, 0, 200, 100);
    QTest::newRow("anamorphic") << QSize(200, 100) << QSize(64, 48) << QSize(128, 48)
                                << QRect(0, 12, 200, 75);
  }
  void frameFitsWithAspectKeptAndCentred() {
    QFETCH(QSize, pane);
    QFETCH(QSize, frame);
    QFETCH(QSize, display);
    QFETCH(QRect, expected);
    QWidget parent;
    parent.resize(pane);
    VideoSurface surface(&parent);
    QCOMPARE(surface.frameRect(), QRect());
    surface.setFrame(solid(frame, Qt::green), display);
    QCOMPARE(surface.geometry(), QRect(QPoint(), pane));
    QCOMPARE(surface.frameRect(), expected);
  }

  void paintsFrameOnBlack() {
    QWidget parent;
    parent.resize(200, 100);
    VideoSurface surface(&parent);
    QImage shot = surface.grab().toImage();
    QCOMPARE(shot.pixelColor(100, 50), QColor(Qt::black));  // no frame yet: all black

    surface.setFrame(solid({64, 48}, Qt::green));
    shot = surface.grab().toImage();
    QCOMPARE(shot.pixelColor(100, 50), QColor(Qt::green));
    QCOMPARE(shot.pixelColor(34, 1), QColor(Qt::green));
    QCOMPARE(shot.pixelColor(10, 50), QColor(Qt::black));
    QCOMPARE(shot.pixelColor(190, 50), QColor(Qt::black));

    surface.clear();
    QCOMPARE(surface.grab().toImage().pixelColor(100, 50), QColor(Qt::black));
  }

  void followsThePane() {
    QWidget parent;
    parent.resize(200, 100);
    parent.show();
    VideoSurface surface(&parent);
    surface.setFrame(solid({64, 48}, Qt::green));
    parent.resize(100, 200);
    QCOMPARE(surface.geometry(), QRect(0, 0, 100, 200));
    QCOMPARE(surface.frameRect(), QRect(0, 62, 100, 75));
  }
};

QTEST_MAIN(TestVideoSurface)
#include "test_video_surface.moc"
