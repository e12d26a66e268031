#include "pictures/picture_prefetch.h"
#include "support/picture_gen.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

// The read-ahead's worker thread against the UI thread, without a window: what the worker decodes is handed
// over whole, a superseded request still ends in the one wanted, a big picture comes in parts and in the
// memory the last one let go, and clearing or destroying the read-ahead while a decode runs is safe. The
// ThreadSanitizer run (scripts/tsan.sh) runs this test.
class TestPrefetchWorker : public QObject {
  Q_OBJECT

  QTemporaryDir folder_;
  QStringList files_;

  QString file(int i) const { return files_.at(i); }

 private slots:
  void initTestCase() {
    QVERIFY(folder_.isValid());
    for (int i = 0; i < 4; ++i) {
      QImage picture = picture_gen::Quadrants({640 + 16 * i, 480});
      const QString path = folder_.filePath(QStringLiteral("p%1.jpg").arg(i));
      QVERIFY(picture_gen::WriteFile(path, picture_gen::MakeJpeg(picture)));
      files_ << path;
    }
  }

  // Neighbours decoded on the worker reach the UI thread as the pictures they are.
  void neighboursDecodedAheadAreWhole() {
    PicturePrefetch prefetch;
    QSignalSpy ready(&prefetch, &PicturePrefetch::ready);
    QVERIFY(prefetch.take(file(1), {file(2), file(0)}));
    QTRY_VERIFY_WITH_TIMEOUT(!prefetch.busy(), 20000);
    for (int i : {2, 0}) {
      const auto picture = prefetch.take(file(i), {file(1), file(2 - i)});
      QVERIFY(picture);
      QCOMPARE(picture->toImage().size(), QSize(640 + 16 * i, 480));
    }
    QCOMPARE(prefetch.decodedHere(), 1);  // only the first, which nothing had read ahead
  }

  // A request superseded while the worker decodes ends in the picture of the last request.
  void theLastRequestWins() {
    PicturePrefetch prefetch;
    QSignalSpy ready(&prefetch, &PicturePrefetch::ready);
    for (int i = 0; i < 4; ++i) prefetch.request(file(i), {});
    QTRY_VERIFY_WITH_TIMEOUT(ready.contains(QVariantList{file(3)}), 20000);
    const PicturePrefetch::Found found = prefetch.request(file(3), {});
    QVERIFY(found.ready);
    QVERIFY(found.picture);
    QCOMPARE(found.picture->toImage().size(), QSize(640 + 48, 480));
  }

  // A big JPEG waited for: its top rows first, then the whole, decoded in two parts on two threads; the
  // next one of its size goes into the memory the first let go on this thread.
  void bigRequestComesEarlyThenWholeInKeptMemory() {
    QStringList big;
    for (int i = 0; i < 2; ++i) {
      const QString path = folder_.filePath(QStringLiteral("big%1.jpg").arg(i));
      QVERIFY(picture_gen::WriteFile(path, picture_gen::MakeJpeg(picture_gen::Quadrants({3600, 2400}))));
      big << path;
    }
    PicturePrefetch prefetch;
    prefetch.setEarlyRows(200);
    QSignalSpy ready(&prefetch, &PicturePrefetch::ready);
    QSignalSpy early(&prefetch, &PicturePrefetch::early);
    const uchar* firstBits = nullptr;
    for (int i = 0; i < 2; ++i) {
      QVERIFY(!prefetch.request(big[i], {}).ready);
      QTRY_VERIFY_WITH_TIMEOUT(ready.contains(QVariantList{big[i]}), 30000);
      QCOMPARE(early.size(), 1);
      const Picture shown = early.takeFirst().at(1).value<Picture>();
      const PicturePrefetch::Found found = prefetch.request(big[i], {});
      QVERIFY(found.ready && found.picture);
      const QImage whole = found.picture->toImage();
      QCOMPARE(whole.size(), QSize(3600, 2400));
      QCOMPARE(shown.toImage().constBits(), whole.constBits());
      QCOMPARE(shown.rowsReady(), 2400);
      if (i == 0) {
        firstBits = whole.constBits();
        prefetch.clear();  // the only other holder: the first picture is let go here
      } else {
        QCOMPARE(whole.constBits(), firstBits);
      }
    }
  }

  // A neighbour decoded ahead, then replaced by a rename with a file of the same size and modification time
  // (as cp -p, rsync -t or unzip leave it): stepping to it shows the new picture, not the one held.
  void neighbourReplacedByRenameShowsTheNewPicture() {
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("s1.bmp"));
    const QString second = dir.filePath(QStringLiteral("s2.bmp"));
    const QString staged = dir.filePath(QStringLiteral(".t"));
    const QImage old = picture_gen::Quadrants({64, 48});
    QImage replacement = old;
    replacement.fill(Qt::white);
    QVERIFY(picture_gen::WriteFile(first, picture_gen::MakeBmp(old)));
    QVERIFY(picture_gen::WriteFile(second, picture_gen::MakeBmp(old)));
    PicturePrefetch prefetch;
    QVERIFY(prefetch.take(first, {second}));
    QTRY_VERIFY_WITH_TIMEOUT(!prefetch.busy() && prefetch.held() == 2, 20000);

    QVERIFY(picture_gen::WriteFile(staged, picture_gen::MakeBmp(replacement)));
    {
      QFile file(staged);
      QVERIFY(file.open(QIODevice::ReadWrite));
      QVERIFY(file.setFileTime(QFileInfo(second).lastModified(), QFileDevice::FileModificationTime));
    }
    QCOMPARE(QFileInfo(staged).size(), QFileInfo(second).size());
    QCOMPARE(QFileInfo(staged).lastModified(), QFileInfo(second).lastModified());
    QVERIFY(std::rename(QFile::encodeName(staged).constData(), QFile::encodeName(second).constData()) == 0);

    const auto picture = prefetch.take(second, {first});
    QVERIFY(picture);
    QCOMPARE(picture->toImage().pixel(0, 0), QColor(Qt::white).rgb());
  }

  // Clearing while a decode runs, and destroying the read-ahead while one runs.
  void clearAndDestroyWhileDecoding() {
    for (int round = 0; round < 3; ++round) {
      auto prefetch = std::make_unique<PicturePrefetch>();
      prefetch->request(file(round), {file(round + 1)});
      prefetch->clear();
      prefetch->request(file(round + 1), {file(round)});
      prefetch.reset();
    }
    PicturePrefetch prefetch;
    prefetch.request(file(0), {file(1), file(2)});
    prefetch.clear();
    QTRY_VERIFY_WITH_TIMEOUT(!prefetch.busy(), 20000);
    QCOMPARE(prefetch.held(), 0);
  }
};

QTEST_MAIN(TestPrefetchWorker)
#include "test_prefetch_worker.moc"
