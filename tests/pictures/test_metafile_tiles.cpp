// The picture control's metafile tiles: drawn off the UI thread, the same pixels as a direct paint, stopped
// when no longer wanted, and gone cleanly with the control.
#include "controls/picture_box.h"
#include "pictures/metafile/wmf_document.h"
#include "pictures/metafile/wmf_renderer.h"
#include "pictures/metafile_tiles.h"
#include "pictures/picture.h"
#include "pictures/picture_loader.h"
#include "support/picture_gen.h"
#include "support/wmf_gen.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>

using namespace wmf;
using wmf_gen::Builder;

namespace {

constexpr int kWaitMs = 60000;

Picture load(const QByteArray& data) {
  const std::optional<Picture> picture = loadPictureFromData(data);
  return picture ? *picture : Picture();
}

// 800 x 600 units of twelve-character strings at scattered places, `count` of them.
QByteArray ManyTexts(int count) {
  Builder b;
  b.setMapMode(kMmAnisotropic).setWindowOrg(0, 0).setWindowExt(800, 600).setBkMode(kTransparent);
  b.createFont({.height = -12}).selectObject(b.lastSlot());
  for (qint64 i = 0; i < count; ++i) b.textOut(int(i * 7919 % 740), int(i * 104729 % 590), "abcdefghijkl");
  return b.standard();
}

// 300 x 200 units with something on every tile edge: shapes, a bitmap, hatching, text across the seams.
QByteArray Small() {
  Builder b;
  b.setMapMode(kMmAnisotropic).setWindowOrg(0, 0).setWindowExt(300, 200);
  b.createBrush(kBsSolid, 0xff3080c0).selectObject(b.lastSlot());
  b.createPen(kPsSolid, 3, 0xff202020).selectObject(b.lastSlot());
  b.ellipse({20, 10, 260, 180});
  b.createBrush(kBsHatched, 0xffc03030, kHsDiagCross).selectObject(b.lastSlot());
  b.polygon({{5, 190}, {150, 5}, {295, 190}});
  b.stretchDib({90, 40, 120, 80}, picture_gen::Quadrants({8, 8}), {0, 0, 8, 8});
  b.createPen(kPsDash, 0, 0xff00a000).selectObject(b.lastSlot());
  b.moveTo(0, 100).lineTo(300, 103);
  b.createFont({.height = -18}).selectObject(b.lastSlot());
  b.setBkMode(kTransparent).textOut(60, 95, "Tiles meet here");
  return b.standard();
}

// The picture painted directly, as the control used to, at `size`.
QImage Direct(const Picture& picture, const QSize& size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  picture.paint(painter, QRectF(QPointF(0, 0), QSizeF(size)), image.rect());
  return image;
}

// Where two pictures differ by more than a level or two in a channel (antialiased text cut at a seam).
QString Difference(const QImage& actual, const QImage& expected) {
  if (actual.size() != expected.size()) return QStringLiteral("sizes differ");
  for (int y = 0; y < expected.height(); ++y)
    for (int x = 0; x < expected.width(); ++x) {
      const QRgb a = actual.pixel(x, y), e = expected.pixel(x, y);
      if (qAbs(qRed(a) - qRed(e)) > 2 || qAbs(qGreen(a) - qGreen(e)) > 2 || qAbs(qBlue(a) - qBlue(e)) > 2)
        return QStringLiteral("pixel %1,%2 is %3, expected %4").arg(x).arg(y).arg(a, 8, 16).arg(e, 8, 16);
    }
  return {};
}

// A window with a picture control in it, as the picture pane has one.
struct Pane {
  explicit Pane(const QSize& size) {
    window.resize(size);
    box = new PictureBox(&window);
  }
  void show(const Picture& picture, const QSize& shown) {
    box->Stretch = false;
    box->setPicture(picture);
    box->Stretch = true;
    box->resize(shown);
  }
  // The window as it shows once every tile it needs has arrived.
  QImage settled() {
    window.grab();  // asks for the tiles
    if (!QTest::qWaitFor([this] { return !box->tilesPending(); }, kWaitMs)) return {};
    return window.grab().toImage().convertToFormat(QImage::Format_RGB32);
  }
  QWidget window;
  PictureBox* box = nullptr;
};

}  // namespace

class TestMetafileTiles : public QObject {
  Q_OBJECT

 private slots:
  void tilesDrawWhatADirectPaintDraws_data();
  void tilesDrawWhatADirectPaintDraws();
  void windowAnswersWhileTilesAreDrawn();
  void scaleChangeStopsTheOldJobs();
  void controlGoesWhileJobsRun();
  void rendererAsksToBeCancelled();
};

void TestMetafileTiles::tilesDrawWhatADirectPaintDraws_data() {
  QTest::addColumn<QSize>("shown");
  QTest::addColumn<QPoint>("scroll");
  QTest::newRow("100 %") << QSize(300, 200) << QPoint(0, 0);
  QTest::newRow("250 %") << QSize(750, 500) << QPoint(0, 0);
  QTest::newRow("250 %, scrolled across tile edges") << QSize(750, 500) << QPoint(-230, -170);
}

void TestMetafileTiles::tilesDrawWhatADirectPaintDraws() {
  QFETCH(QSize, shown);
  QFETCH(QPoint, scroll);
  const Picture picture = load(Small());
  QVERIFY(picture.isDrawing());
  Pane pane(QSize(400, 300));
  pane.show(picture, shown);
  pane.window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&pane.window));
  if (!scroll.isNull()) {
    // First where it was, then scrolled: the tiles already drawn are reused, the new ones arrive.
    QVERIFY(!pane.settled().isNull());
    pane.box->move(scroll);
  }
  const QImage shot = pane.settled();
  QVERIFY(!shot.isNull());
  const QRect onWindow = QRect(scroll, shown) & pane.window.rect();
  const QImage expected = Direct(picture, shown).copy(onWindow.translated(-scroll));
  const QString mismatch = Difference(shot.copy(onWindow), expected);
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestMetafileTiles::windowAnswersWhileTilesAreDrawn() {
  // 100,000 strings take far longer to draw than one answer may wait: a zero timer keeps being served while
  // they are drawn. Measured as a share of its gaps, with slack for a busy machine.
  const Picture picture = load(ManyTexts(100000));
  QVERIFY(picture.isDrawing());
  Pane pane(QSize(700, 500));
  pane.show(picture, QSize(800, 600));
  QElapsedTimer sinceTick;
  QList<qint64> gaps;
  QTimer tick;
  tick.setInterval(0);
  connect(&tick, &QTimer::timeout, &tick, [&] { gaps.append(sinceTick.restart()); });
  sinceTick.start();
  tick.start();
  pane.window.show();
  QTRY_VERIFY_WITH_TIMEOUT(pane.box->tilesPending(), kWaitMs);
  QTRY_VERIFY_WITH_TIMEOUT(!pane.box->tilesPending(), kWaitMs);
  tick.stop();
  QVERIFY2(gaps.size() > 20, qPrintable(QString::number(gaps.size())));
  const qsizetype slow = std::count_if(gaps.begin(), gaps.end(), [](qint64 gap) { return gap > 50; });
  const qint64 worst = *std::max_element(gaps.begin(), gaps.end());
  QVERIFY2(
      slow * 20 <= gaps.size() && worst < 1000,
      qPrintable(
          QStringLiteral("%1 of %2 gaps over 50 ms, worst %3 ms").arg(slow).arg(gaps.size()).arg(worst)));
}

void TestMetafileTiles::scaleChangeStopsTheOldJobs() {
  // Asked for at twice the size, then at the natural size before those are drawn: only tiles of the new
  // scale arrive, and they show the picture at that scale.
  const Picture picture = load(ManyTexts(20000));
  MetafileTiles tiles;
  tiles.setPicture(picture);
  QSignalSpy arrived(&tiles, &MetafileTiles::tileReady);
  QImage canvas(1600, 1200, QImage::Format_RGB32);
  {
    QPainter painter(&canvas);
    tiles.paint(painter, QSize(1600, 1200), 1, canvas.rect(), canvas.rect());
  }
  QVERIFY(tiles.pending());
  const QSize natural(800, 600);
  const auto paintNatural = [&] {
    canvas.fill(0xffff00ff);
    QPainter painter(&canvas);
    tiles.paint(painter, natural, 1, QRect(QPoint(0, 0), natural), QRect(QPoint(0, 0), natural));
  };
  paintNatural();
  QTRY_VERIFY_WITH_TIMEOUT(!tiles.pending(), kWaitMs);
  const int natureTiles = 4 * 3;  // 800 x 600 in tiles of 256
  QCOMPARE(arrived.size(), natureTiles);
  for (const QList<QVariant>& signal : arrived) {
    const QRect area = signal.at(0).toRect();
    QVERIFY2(QRect(QPoint(0, 0), natural).contains(area), "a tile of the old scale arrived");
    QCOMPARE(area, QRect(area.topLeft(), QSize(256, 256)) & QRect(QPoint(0, 0), natural));
  }
  paintNatural();
  const QString mismatch = Difference(canvas.copy(QRect(QPoint(0, 0), natural)), Direct(picture, natural));
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestMetafileTiles::controlGoesWhileJobsRun() {
  // The jobs hold their own reference to the document: it lives on while they stop, and nothing they
  // finish reaches the control that is gone.
  std::weak_ptr<const Document> document;
  {
    const QByteArray data = ManyTexts(100000);
    std::shared_ptr<const Document> parsed = Document::parse(data);
    QVERIFY(parsed);
    document = parsed;
    auto pane = std::make_unique<Pane>(QSize(800, 600));
    pane->show(Picture(parsed), QSize(1600, 1200));
    pane->window.grab();
    QVERIFY(pane->box->tilesPending());
    // A new picture while jobs run, then the control goes with more running. The test keeps its own
    // reference up to here: the stopped jobs may already have let theirs go.
    pane->box->setPicture(load(Small()));
    pane->box->setPicture(Picture(parsed));
    parsed.reset();
    pane->window.grab();
    QVERIFY(pane->box->tilesPending());
  }
  QVERIFY(document.expired());
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents();
}

void TestMetafileTiles::rendererAsksToBeCancelled() {
  const std::shared_ptr<const Document> doc = Document::parse(ManyTexts(5000));
  QVERIFY(doc);
  QImage canvas(800, 600, QImage::Format_RGB32);
  QPainter painter(&canvas);
  int asked = 0;
  QCOMPARE(render(*doc, painter, canvas.rect(), canvas.rect(), [&] { return ++asked == 3; }),
           Played::Cancelled);
  QCOMPARE(asked, 3);
  asked = 0;
  QCOMPARE(render(*doc, painter, canvas.rect(), canvas.rect(), [&] { return ++asked < 0; }), Played::Whole);
  // Every few hundred records at least.
  QVERIFY2(asked >= 5000 / 256, qPrintable(QString::number(asked)));
}

QTEST_MAIN(TestMetafileTiles)
#include "test_metafile_tiles.moc"
