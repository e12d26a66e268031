// Decoding the full-screen neighbours ahead: the right picture at every step however fast the steps come,
// never more than three decoded pictures held, files changed on disk read again, wishes dropped in time.
#include "controls/dir_list.h"
#include "controls/file_list.h"
#include "controls/picture_box.h"
#include "fullscreen/frm_full.h"
#include "picture_gen.h"
#include "pictures/picture_prefetch.h"
#include "program_fixture.h"

#include <QDateTime>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kFiles = 7;
constexpr int kIdleMs = 10000;

// Noisy enough that a decode takes a while, so that steps can overtake the worker; the width names the file.
QImage noisy(int index) {
  QImage image(1600 + index, 1000, QImage::Format_RGB32);
  quint32 noise = 977u * quint32(index + 1);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      noise = noise * 1664525u + 1013904223u;
      line[x] = qRgb(int(noise >> 24), (x + index * 40) & 0xff, (y * 3) & 0xff);
    }
  }
  return image;
}

QString name(int index) { return QStringLiteral("p%1.jpg").arg(index); }

QSize sizeOf(int index) { return {1600 + index, 1000}; }

}  // namespace

class TestPrefetch : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir folder_;

  // The full-screen window of a running program on `folder`, nothing selected.
  FrmFull& fullOn(ProgramFixture& fixture, const QString& folder) {
    FrmFull& f = *fixture.start().frm_full();
    f.Dir->setPath(folder);
    return f;
  }

  static bool settle(FrmFull& f) {
    QElapsedTimer timer;
    timer.start();
    while (f.prefetch->busy() && timer.elapsed() < kIdleMs) QTest::qWait(5);
    return !f.prefetch->busy();
  }

 private slots:
  void initTestCase() {
    QVERIFY(folder_.isValid());
    for (int i = 0; i < kFiles; ++i)
      QVERIFY(picture_gen::WriteFile(folder_.filePath(name(i)), picture_gen::MakeJpeg(noisy(i), {80})));
  }

  void steppingShowsTheRightPictureAndHoldsAtMostThree_data() {
    QTest::addColumn<QList<int>>("walk");
    QTest::addColumn<bool>("look");   // the event loop runs until the neighbours are decoded, between steps
    QTest::addColumn<bool>("ahead");  // decoding ahead switched on
    const QList<int> forward = {0, 1, 2, 3, 4, 5, 6};
    const QList<int> mixed = {3, 4, 3, 2, 6, 0, 1, 5, 4, 2, 1};
    QTest::newRow("forward, looking at each") << forward << true << true;
    QTest::newRow("forward, as fast as the keys repeat") << forward << false << true;
    QTest::newRow("back, forth and jumps, looking") << mixed << true << true;
    QTest::newRow("back, forth and jumps, fast") << mixed << false << true;
    // The picture on screen, the neighbour kept, the next one in flight and the one decoded on the step would
    // be four: the kept neighbour gives way.
    QTest::newRow("a jump back while the next one decodes") << QList<int>{2, 3, 1} << false << true;
    QTest::newRow("switched off") << mixed << true << false;
  }

  void steppingShowsTheRightPictureAndHoldsAtMostThree() {
    QFETCH(QList<int>, walk);
    QFETCH(bool, look);
    QFETCH(bool, ahead);
    ProgramFixture fixture;
    FrmFull& f = fullOn(fixture, folder_.path());
    QCOMPARE(f.File->ListCount(), kFiles);
    f.prefetch->setEnabled(ahead);
    for (const int index : walk) {
      f.Img->move(-3, -4);
      f.File->setListIndex(index);
      QCOMPARE(f.Img->size(), sizeOf(index));
      QCOMPARE(f.Img->pos(), QPoint(0, 0));
      QVERIFY(f.prefetch->held() <= PicturePrefetch::kMaxHeld);
      if (look) {
        QVERIFY(settle(f));
        // The current picture and each neighbour it has.
        const int neighbours = (index > 0) + (index + 1 < kFiles);
        QCOMPARE(f.prefetch->held(), ahead ? 1 + neighbours : 1);
      }
    }
    QVERIFY(settle(f));
    QVERIFY2(f.prefetch->peakHeld() <= PicturePrefetch::kMaxHeld,
             qPrintable(QString::number(f.prefetch->peakHeld())));
    // However fast the steps came, no file was decoded a second time beside the worker's decode of it.
    QCOMPARE(f.prefetch->decodedTwice(), 0);

    f.leave();
    QVERIFY(settle(f));
    QCOMPARE(f.prefetch->held(), 0);
  }

  void aStepTakesTheNeighbourDecodedAhead() {
    ProgramFixture fixture;
    FrmFull& f = fullOn(fixture, folder_.path());
    QSignalSpy ready(f.prefetch, &PicturePrefetch::ready);
    f.File->setListIndex(3);
    QVERIFY(settle(f));
    QCOMPARE(ready.size(), 2);
    // The next one first: walking forwards is the common way.
    QCOMPARE(ready.at(0).at(0).toString(), folder_.filePath(name(4)));
    QCOMPARE(ready.at(1).at(0).toString(), folder_.filePath(name(2)));
    ready.clear();

    // Only the new far neighbour is decoded: the step itself was decoded ahead and 3 is kept.
    f.File->setListIndex(4);
    QCOMPARE(f.Img->size(), sizeOf(4));
    QVERIFY(settle(f));
    QCOMPARE(ready.size(), 1);
    QCOMPARE(ready.at(0).at(0).toString(), folder_.filePath(name(5)));
  }

  // Pictures of 6.4 MB with room for two: the one on screen and the next; the previous one is not read
  // ahead, yet shows when stepped to.
  void aNeighbourOverTheBudgetIsNotReadAhead() {
    ProgramFixture fixture;
    FrmFull& f = fullOn(fixture, folder_.path());
    const qint64 budget = 14 * 1024 * 1024;
    f.prefetch->setBudgetBytes(budget);
    QSignalSpy ready(f.prefetch, &PicturePrefetch::ready);
    f.File->setListIndex(3);
    QVERIFY(settle(f));
    QCOMPARE(ready.size(), 1);
    QCOMPARE(ready.at(0).at(0).toString(), folder_.filePath(name(4)));
    QVERIFY(f.prefetch->peakHeldBytes() <= budget);
    f.File->setListIndex(2);
    QCOMPARE(f.Img->size(), sizeOf(2));
    QVERIFY(settle(f));
    QVERIFY(f.prefetch->heldBytes() <= budget);
  }

  void aNeighbourNoLongerWantedIsDropped() {
    ProgramFixture fixture;
    FrmFull& f = fullOn(fixture, folder_.path());
    QSignalSpy ready(f.prefetch, &PicturePrefetch::ready);
    // The second selection comes before the worker's first result can be handed over.
    f.File->setListIndex(0);
    f.File->setListIndex(6);
    QVERIFY(settle(f));
    for (const QList<QVariant>& arguments : ready)
      QCOMPARE(arguments.at(0).toString(), folder_.filePath(name(5)));
    QCOMPARE(f.prefetch->held(), 2);
  }

  void aChangedFileIsReadAgain_data() {
    QTest::addColumn<QSize>("newSize");
    QTest::addColumn<QRgb>("newColor");
    // A bitmap's bytes depend only on its size: the same size leaves the modification time alone to tell.
    QTest::newRow("another size") << QSize(50, 20) << qRgb(0, 0, 255);
    QTest::newRow("same size, later time") << QSize(40, 30) << qRgb(0, 0, 255);
  }

  void aChangedFileIsReadAgain() {
    QFETCH(QSize, newSize);
    QFETCH(QRgb, newColor);
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("a.bmp"));
    const QString second = dir.filePath(QStringLiteral("b.bmp"));
    QImage red(40, 30, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    QVERIFY(picture_gen::WriteFile(first, picture_gen::MakeBmp(red)));
    QVERIFY(picture_gen::WriteFile(second, picture_gen::MakeBmp(red)));
    const QDateTime written = QDateTime::currentDateTime().addSecs(-60);
    for (const QString& path : {first, second}) {
      QFile file(path);
      QVERIFY(file.open(QIODevice::ReadWrite));
      QVERIFY(file.setFileTime(written, QFileDevice::FileModificationTime));
    }

    ProgramFixture fixture;
    FrmFull& f = fullOn(fixture, dir.path());
    QSignalSpy ready(f.prefetch, &PicturePrefetch::ready);
    f.File->setListIndex(0);
    QVERIFY(settle(f));
    QCOMPARE(ready.size(), 1);  // b.bmp, as it was

    QImage changed(newSize, QImage::Format_RGB32);
    changed.fill(newColor);
    QVERIFY(picture_gen::WriteFile(second, picture_gen::MakeBmp(changed)));
    f.File->setListIndex(1);
    QCOMPARE(f.Img->size(), newSize);
    QCOMPARE(f.Img->picture().toImage().pixel(0, 0), newColor);
  }

  void aFileThatFailsKeepsThePreviousPicture_data() {
    QTest::addColumn<bool>("look");
    QTest::newRow("found broken ahead") << true;
    QTest::newRow("found broken on the step") << false;
  }

  void aFileThatFailsKeepsThePreviousPicture() {
    QFETCH(bool, look);
    QTemporaryDir dir;
    QVERIFY(picture_gen::WriteFile(dir.filePath(QStringLiteral("a.jpg")), picture_gen::MakeJpeg(noisy(0))));
    QVERIFY(picture_gen::WriteFile(dir.filePath(QStringLiteral("b.jpg")),
                                   "\xFF\xD8\xFF then nothing a decoder uses"));
    QVERIFY(picture_gen::WriteFile(dir.filePath(QStringLiteral("c.jpg")), picture_gen::MakeJpeg(noisy(2))));
    ProgramFixture fixture;
    FrmFull& f = fullOn(fixture, dir.path());
    f.File->setListIndex(0);
    if (look) QVERIFY(settle(f));
    f.Img->move(-3, -4);

    f.File->setListIndex(1);
    QCOMPARE(f.Img->size(), sizeOf(0));
    QCOMPARE(f.Img->pos(), QPoint(-3, -4));
    if (look) QVERIFY(settle(f));
    // The picture still on screen counts among the three.
    QVERIFY(f.prefetch->held() <= PicturePrefetch::kMaxHeld);

    f.File->setListIndex(2);
    QCOMPARE(f.Img->size(), sizeOf(2));
    QVERIFY(settle(f));
    QVERIFY(f.prefetch->peakHeld() <= PicturePrefetch::kMaxHeld);
  }
};

QTEST_MAIN(TestPrefetch)
#include "test_prefetch.moc"
