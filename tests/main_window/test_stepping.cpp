// Stepping through pictures in the main window: the neighbours are decoded ahead in the direction of the
// steps, a big picture is decoded while the window goes on answering and reaches the pane only when it is
// there, a newer step supersedes it, and a file that only looks like a picture still goes to the media
// control.
#include "controls/dir_list.h"
#include "controls/file_list.h"
#include "controls/picture_box.h"
#include "main_window/frm_main.h"
#include "media/mmcontrol.h"
#include "picture_gen.h"
#include "pictures/picture_prefetch.h"
#include "program_fixture.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

using namespace picture_gen;

namespace {

constexpr int kFiles = 5;
constexpr int kWaitMs = 20000;

// The width names the file: p0.jpg is 400 wide, p1.jpg 401, ...
QSize sizeOf(int index) { return {400 + index, 300}; }
QString name(int index) { return QStringLiteral("p%1.jpg").arg(index); }

bool write(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A JPEG whose headers read well but whose frame names a quantisation table it never defines: it looks
// like a picture until it is decoded.
QByteArray brokenJpeg() {
  QByteArray bytes = MakeJpeg(Quadrants({64, 48}));
  const qsizetype frame = bytes.indexOf(QByteArray("\xFF\xC0", 2));
  if (frame < 0) return {};
  // Marker, length (2), precision, height (2), width (2), count, then three bytes a component: id,
  // sampling, table.
  bytes[frame + 2 + 2 + 6 + 2] = char(3);
  return bytes;
}

bool idle(FrmMain& m) {
  return QTest::qWaitFor([&] { return !m.prefetch->busy() && !m.picturePending(); }, kWaitMs);
}

}  // namespace

class TestStepping : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir folder_;

  FrmMain& mainOn(ProgramFixture& fixture) {
    FrmMain& m = *fixture.start().frm_main();
    m.Dir->setPath(folder_.path());
    return m;
  }

 private slots:
  void initTestCase() {
    for (int i = 0; i < kFiles; ++i)
      QVERIFY(write(folder_.filePath(name(i)), MakeJpeg(Quadrants(sizeOf(i)))));
    QVERIFY(write(folder_.filePath(QStringLiteral("z.jpg")), brokenJpeg()));
  }

  void neighboursAreDecodedAheadInTheStepsDirection() {
    ProgramFixture fixture;
    FrmMain& m = mainOn(fixture);
    QCOMPARE(m.File->ListCount(), kFiles + 1);
    m.File->setListIndex(2);
    QCOMPARE(m.Img->size(), sizeOf(2));
    QVERIFY(idle(m));
    // Both neighbours are there: the step to one decodes nothing on the UI thread.
    const int decodes = m.prefetch->decodedHere();
    m.File->setListIndex(3);
    QCOMPARE(m.Img->size(), sizeOf(3));
    QCOMPARE(m.cur_file, folder_.filePath(name(3)));
    QCOMPARE(m.prefetch->decodedHere(), decodes);

    // Going backwards (here two at once, so that neither neighbour is decoded yet), the one before is
    // decoded first.
    m.File->setListIndex(4);
    QVERIFY(idle(m));
    QSignalSpy ready(m.prefetch, &PicturePrefetch::ready);
    m.File->setListIndex(1);
    QCOMPARE(m.Img->size(), sizeOf(1));
    QVERIFY(idle(m));
    QCOMPARE(ready.size(), 2);
    QCOMPARE(ready.first().at(0).toString(), folder_.filePath(name(0)));

    // Next at the end of the list wraps to the first, which was decoded ahead.
    m.File->setListIndex(kFiles - 1);
    QVERIFY(idle(m));
    m.cmd_next_Click();
    QCOMPARE(m.File->ListIndex(), kFiles);  // z.jpg sorts last
    QVERIFY(idle(m));
    m.cmd_next_Click();
    QCOMPARE(m.File->ListIndex(), 0);
    QCOMPARE(m.Img->size(), sizeOf(0));
    QVERIFY(m.prefetch->peakHeld() <= PicturePrefetch::kMaxHeld);
  }

  void bigPicturesLeaveRoomForTheOneAheadOnly() {
    // Room for the picture on screen and one more: the one the steps go towards is decoded ahead, the one
    // behind gives up its place for it, and every step forwards finds its picture there.
    ProgramFixture fixture;
    FrmMain& m = mainOn(fixture);
    const qint64 room = 4LL * sizeOf(kFiles - 1).width() * sizeOf(0).height() * 5 / 2;
    m.prefetch->setBudgetBytes(room);
    m.File->setListIndex(0);
    QVERIFY(idle(m));
    for (int i = 1; i < kFiles; ++i) {
      const int decodes = m.prefetch->decodedHere();
      m.File->setListIndex(i);
      QCOMPARE(m.Img->size(), sizeOf(i));
      QCOMPARE(m.prefetch->decodedHere(), decodes);
      QVERIFY(idle(m));
      QVERIFY(m.prefetch->peakHeldBytes() <= room);
    }
  }

  void aBigPictureArrivesWhenDecodedAndANewerStepWins() {
    ProgramFixture fixture;
    FrmMain& m = mainOn(fixture);
    m.prefetch->setEnabled(false);
    m.waitFreeBytes = 0;  // every picture counts as big
    m.File->setListIndex(0);
    QVERIFY(m.picturePending());
    // Nothing has changed yet but the selection.
    QCOMPARE(m.File->ListIndex(), 0);
    QVERIFY(m.cur_file.isEmpty());
    QCOMPARE(m.Img->size(), QSize(0, 0));
    QTRY_VERIFY_WITH_TIMEOUT(!m.picturePending(), kWaitMs);
    QCOMPARE(m.Img->size(), sizeOf(0));
    QCOMPARE(m.lb_size->text(), QStringLiteral("400x300"));
    QCOMPARE(m.cur_file, folder_.filePath(name(0)));

    // Steps faster than the decodes: only the last one reaches the pane, and no file is decoded twice.
    const int before = m.prefetch->decodes();
    for (int i = 1; i < kFiles; ++i) m.File->setListIndex(i);
    QCOMPARE(m.Img->size(), sizeOf(0));
    QTRY_VERIFY_WITH_TIMEOUT(!m.picturePending(), kWaitMs);
    QVERIFY(idle(m));
    QCOMPARE(m.Img->size(), sizeOf(kFiles - 1));
    QCOMPARE(m.cur_file, folder_.filePath(name(kFiles - 1)));
    QVERIFY2(m.prefetch->decodes() - before <= kFiles - 1,
             qPrintable(QString::number(m.prefetch->decodes())));
    QCOMPARE(m.prefetch->decodedTwice(), 0);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
  }

  void theBusyPointerShowsOnlyWhileWaiting() {
    ProgramFixture fixture;
    FrmMain& m = mainOn(fixture);
    m.prefetch->setEnabled(false);
    m.waitFreeBytes = 0;
    m.busyDelayMs = 0;
    m.File->setListIndex(1);
    QVERIFY(m.picturePending());
    // The pointer may only show while the picture is on its way, and is gone once it is there.
    bool busy_seen_after_arrival = false;
    (void)QTest::qWaitFor(
        [&] {
          const QCursor* cursor = QGuiApplication::overrideCursor();
          if (cursor && !m.picturePending()) busy_seen_after_arrival = true;
          return !m.picturePending();
        },
        kWaitMs);
    QVERIFY(!m.picturePending());
    QVERIFY(!busy_seen_after_arrival);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);

    // Pasting while a picture is on its way: the pasted one stays, the pointer goes.
    m.File->setListIndex(2);
    QVERIFY(m.picturePending());
    QTRY_VERIFY_WITH_TIMEOUT(QGuiApplication::overrideCursor() != nullptr || !m.picturePending(), kWaitMs);
    QGuiApplication::clipboard()->setImage(Quadrants({33, 22}));
    m.Paste();
    QVERIFY(!m.picturePending());
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    QVERIFY(idle(m));
    QCoreApplication::processEvents();
    QCOMPARE(m.Img->size(), QSize(33, 22));
    QVERIFY(m.cur_file.isEmpty());
  }

  void aFileThatOnlyLooksLikeAPictureGoesToTheMediaControl() {
    for (const qint64 threshold : {qint64(0), qint64(1) << 40}) {
      ProgramFixture fixture;
      FrmMain& m = mainOn(fixture);
      m.waitFreeBytes = threshold;
      m.File->setListIndex(0);
      QVERIFY(idle(m));
      const QString broken = folder_.filePath(QStringLiteral("z.jpg"));
      m.File->setListIndex(kFiles);
      QTRY_VERIFY_WITH_TIMEOUT(m.MCI->fileName() == broken, kWaitMs);
      // The picture stays as it was, as for any file that does not load.
      QCOMPARE(m.Img->size(), sizeOf(0));
      QCOMPARE(m.cur_file, folder_.filePath(name(0)));
    }
  }

  void aBigPicturesTopShowsFirstAndTheRestKeepsTheUsersZoom() {
    QTemporaryDir big;
    QImage photo(3600, 2400, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
      for (int x = 0; x < photo.width(); ++x)
        line[x] = qRgb((x * 7) & 0xff, (y * 3) & 0xff, ((x + y) >> 5) & 0xff);
    }
    const QString path = big.filePath(QStringLiteral("big.jpg"));
    QVERIFY(write(path, MakeJpeg(photo, {.quality = 80})));
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    m.prefetch->setEnabled(false);
    // The top rows arrive while the picture is still on its way; the user zooms in at once.
    bool opened_early = false;
    connect(m.prefetch, &PicturePrefetch::early, this, [&] {
      // Still waiting for the whole picture (its rows may all be there already on a slow UI thread).
      opened_early = m.picturePending() && m.cur_file == path &&
                     m.lb_size->text() == QStringLiteral("3600x2400") && m.Img->picture().rowsReady() > 0;
      m.Slider->setValue(20);
    });
    m.Dir->setPath(big.path());
    m.File->setListIndex(0);
    QVERIFY(m.picturePending());
    QTRY_VERIFY_WITH_TIMEOUT(!m.picturePending(), kWaitMs);
    QVERIFY(opened_early);
    QCOMPARE(m.Slider->value(), 20);
    QCOMPARE(m.Img->size(), QSize(7200, 4800));
    QCOMPARE(m.Img->picture().rowsReady(), 2400);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
  }

  void fullScreenTakesTheMemoryOfTheNeighbours() {
    ProgramFixture fixture;
    FrmMain& m = mainOn(fixture);
    m.File->setListIndex(2);
    QVERIFY(idle(m));
    QVERIFY(m.prefetch->held() > 1);
    m.Img_DblClick();
    QCOMPARE(m.prefetch->held(), 0);
  }
};

QTEST_MAIN(TestStepping)
#include "test_stepping.moc"
