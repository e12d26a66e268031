#include "pictures/picture_prefetch.h"
#include "support/picture_gen.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// The read-ahead's worker thread against the UI thread, without a window: what the worker decodes is handed
// over whole, a superseded request still ends in the one wanted, and clearing or destroying the read-ahead
// while a decode runs is safe. The ThreadSanitizer run (scripts/tsan.sh) runs this test.
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
