// Repaints a Windows metafile of 10,000 records, as clip art is made (filled polygons with outlines, lines,
// ellipses, rectangles, some text, objects selected in between), and prints the medians in milliseconds:
//   (a) zoomed to 400 %, the 341 x 265 pane scrolled to the middle of the picture (goal <= 16 ms);
//   (b) the same pane scrolled to the top left corner;
//   (c) the whole picture shrunk into the pane, where every record draws;
//   (d) parsing the file;
// and, in a whole program on the offscreen platform, a metafile of 100,000 TextOut records (2.4 MB):
//   (e) open: FileOpen until the pane shows the whole picture, and the longest the window was unanswering;
//   (f) one zoom step (100 % -> 110 %) until the pane is complete again.
// The metafiles are written here, record by record.

#include "app/program.h"
#include "controls/picture_box.h"
#include "main_window/frm_main.h"
#include "pictures/metafile/wmf_document.h"
#include "pictures/picture.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QRandomGenerator>
#include <QSlider>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kRecords = 10000;
constexpr int kRepetitions = 31;
const QSize kPane(341, 265);
constexpr int kZoom = 4;

class Writer {
 public:
  void record(quint16 function, const std::vector<qint16>& words) {
    put32(quint32(3 + words.size()));
    put16(function);
    for (qint16 w : words) put16(quint16(w));
    ++count;
  }
  QByteArray file(int objects) const {
    QByteArray out;
    const auto p16 = [&out](quint16 v) { out.append(char(v & 0xff)).append(char(v >> 8)); };
    const auto p32 = [&](quint32 v) {
      p16(quint16(v & 0xffff));
      p16(quint16(v >> 16));
    };
    // Placeable header: 12000 x 9000 units at 1440 an inch, 800 x 600 pixels.
    p32(wmf::kPlaceableKey);
    for (quint16 v : {0, 0, 0, 12000, 9000, 1440}) p16(v);
    p32(0);
    p16(0);
    p16(1);
    p16(9);
    p16(0x0300);
    p32(quint32((wmf::kHeaderBytes + body_.size() + 6) / 2));
    p16(quint16(objects));
    p32(64);
    p16(0);
    out.append(body_);
    p32(3);
    p16(wmf::kEof);
    return out;
  }
  int count = 0;

 private:
  void put16(quint16 v) { body_.append(char(v & 0xff)).append(char(v >> 8)); }
  void put32(quint32 v) {
    put16(quint16(v & 0xffff));
    put16(quint16(v >> 16));
  }
  QByteArray body_;
};

QByteArray ClipArt() {
  using namespace wmf;
  QRandomGenerator random(42);
  Writer w;
  w.record(kSetMapMode, {kMmAnisotropic});
  w.record(kSetWindowOrg, {0, 0});
  w.record(kSetWindowExt, {9000, 12000});
  w.record(kSetPolyFillMode, {kWinding});
  w.record(kSetBkMode, {kTransparent});
  const int kBrushes = 8;
  for (int i = 0; i < kBrushes; ++i) {
    const quint32 c = random.generate() & 0xffffff;
    w.record(kCreateBrushIndirect, {kBsSolid, qint16(c & 0xffff), qint16(c >> 16), 0});
  }
  w.record(kCreatePenIndirect, {kPsSolid, 15, 0, 0, 0});
  w.record(kCreatePenIndirect, {kPsSolid, 45, 0, 0x3030, 0x30});
  w.record(kCreateFontIndirect, {-240, 0, 0, 0, 700, 0, 0, 0, 0, 'A' | 'r' << 8, 'i' | 'a' << 8, 'l'});
  w.record(kSelectObject, {qint16(kBrushes + 2)});
  const auto point = [&](int cx, int cy, int spread) {
    return std::pair<qint16, qint16>(qint16(std::clamp(cx + random.bounded(-spread, spread), 0, 12000)),
                                     qint16(std::clamp(cy + random.bounded(-spread, spread), 0, 9000)));
  };
  while (w.count < kRecords) {
    const int cx = random.bounded(12000), cy = random.bounded(9000);
    switch (w.count % 10) {
      case 0:
        w.record(kSelectObject, {qint16(random.bounded(kBrushes))});
        break;
      case 1:
        w.record(kSelectObject, {qint16(kBrushes + random.bounded(2))});
        break;
      case 2:
      case 3:
      case 4: {
        std::vector<qint16> words = {12};
        for (int i = 0; i < 12; ++i) {
          const auto [x, y] = point(cx, cy, 600);
          words.push_back(x);
          words.push_back(y);
        }
        w.record(kPolygon, words);
        break;
      }
      case 5: {
        std::vector<qint16> words = {8};
        for (int i = 0; i < 8; ++i) {
          const auto [x, y] = point(cx, cy, 900);
          words.push_back(x);
          words.push_back(y);
        }
        w.record(kPolyline, words);
        break;
      }
      case 6:
        w.record(kEllipse, {qint16(std::min(cy + 400, 9000)), qint16(std::min(cx + 500, 12000)), qint16(cy),
                            qint16(cx)});
        break;
      case 7:
        w.record(kRectangle, {qint16(std::min(cy + 300, 9000)), qint16(std::min(cx + 300, 12000)), qint16(cy),
                              qint16(cx)});
        break;
      case 8:
        w.record(kMoveTo, {qint16(cy), qint16(cx)});
        break;
      default:
        if (w.count % 50 == 9)
          w.record(kTextOut, {6, 'C' | 'l' << 8, 'i' | 'p' << 8, 'a' | 'r' << 8, qint16(cy), qint16(cx)});
        else
          w.record(kLineTo, {qint16(point(cx, cy, 900).second), qint16(point(cx, cy, 900).first)});
        break;
    }
  }
  return w.file(kBrushes + 3);
}

// 12000 x 9000 units (800 x 600 pixels), text of twelve characters in a small face at random places.
QByteArray ManyTexts(int records) {
  using namespace wmf;
  QRandomGenerator random(7);
  Writer w;
  w.record(kSetMapMode, {kMmAnisotropic});
  w.record(kSetWindowOrg, {0, 0});
  w.record(kSetWindowExt, {9000, 12000});
  w.record(kSetBkMode, {kTransparent});
  w.record(kCreateFontIndirect, {-180, 0, 0, 0, 400, 0, 0, 0, 0, 'A' | 'r' << 8, 'i' | 'a' << 8, 'l'});
  w.record(kSelectObject, {0});
  while (w.count < records) {
    std::vector<qint16> words = {12};
    for (int i = 0; i < 6; ++i)
      words.push_back(qint16(('a' + random.bounded(26)) | ('a' + random.bounded(26)) << 8));
    words.push_back(qint16(random.bounded(9000)));
    words.push_back(qint16(random.bounded(11000)));
    w.record(kTextOut, words);
  }
  return w.file(1);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double TimeMs(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Median time of painting `picture` into the pane, with the picture's top left corner at `origin` (pane
// coordinates) and the picture `scale` times its natural size.
double PaneRepaint(const Picture& picture, QPointF origin, double scale) {
  QImage pane(kPane, QImage::Format_RGB32);
  std::vector<double> times;
  for (int i = 0; i < kRepetitions; ++i) {
    times.push_back(TimeMs([&] {
      QPainter painter(&pane);
      picture.paint(painter, QRectF(origin, QSizeF(picture.size()) * scale), pane.rect());
    }));
  }
  return Median(times);
}

// The pane's picture is complete: every tile of it that shows is drawn.
bool PaneComplete(const FrmMain& m) { return !m.Img->tilesPending(); }

struct Timing {
  double total = 0;    // ms until the pane is complete
  double blocked = 0;  // ms of the longest stretch without the event loop running
};

// Runs `step` (which repaints the pane), then the event loop until the pane is complete.
Timing UntilComplete(FrmMain& m, const std::function<void()>& step) {
  Timing t;
  const auto start = std::chrono::steady_clock::now();
  t.blocked = TimeMs(step);
  while (!PaneComplete(m))
    t.blocked =
        std::max(t.blocked, TimeMs([] { QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5); }));
  t.total = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return t;
}

void ManyTextsInTheProgram() {
  const QByteArray data = ManyTexts(100000);
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("texts.wmf"));
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) {
    std::fprintf(stderr, "cannot write the metafile\n");
    return;
  }
  file.close();
  Program program(dir.path());
  program.startNow();
  FrmMain& m = *program.frm_main();
  m.show();
  QApplication::processEvents();

  constexpr int kRuns = 3;
  std::vector<double> parses, opens, openBlocks, zooms, zoomBlocks;
  for (int i = 0; i < kRuns; ++i) {
    parses.push_back(TimeMs([&] { wmf::Document::parse(data); }));
    m.Img->setPicture(Picture());
    QApplication::processEvents();
    const Timing open = UntilComplete(m, [&] {
      m.FileOpen(path);
      m.border->repaint();
    });
    opens.push_back(open.total);
    openBlocks.push_back(open.blocked);
    const Timing zoom = UntilComplete(m, [&] {
      m.Slider->setValue(11);
      m.border->repaint();
    });
    zooms.push_back(zoom.total);
    zoomBlocks.push_back(zoom.blocked);
  }
  std::printf("metafile: 100000 TextOut records, %lld bytes; medians of %d runs\n",
              static_cast<long long>(data.size()), kRuns);
  std::printf("(e) open + complete pane: %.0f ms, window unanswering at most %.0f ms (parse alone %.0f ms)\n",
              Median(opens), Median(openBlocks), Median(parses));
  std::printf("(f) zoom step + complete pane: %.0f ms, window unanswering at most %.0f ms\n", Median(zooms),
              Median(zoomBlocks));
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QByteArray data = ClipArt();
  std::vector<double> parses;
  std::shared_ptr<const wmf::Document> document;
  for (int i = 0; i < kRepetitions; ++i)
    parses.push_back(TimeMs([&] { document = wmf::Document::parse(data); }));
  if (!document || document->records().size() < kRecords) {
    std::fprintf(stderr, "the benchmark's metafile did not parse\n");
    return 1;
  }
  const Picture picture(document);
  const QSizeF zoomed = QSizeF(picture.size()) * kZoom;
  const QPointF middle(-(zoomed.width() - kPane.width()) / 2, -(zoomed.height() - kPane.height()) / 2);
  const double fit = std::min(kPane.width() / double(picture.size().width()),
                              kPane.height() / double(picture.size().height()));

  std::printf("metafile: %d records, %lld bytes, %dx%d natural\n", int(document->records().size()),
              static_cast<long long>(data.size()), picture.size().width(), picture.size().height());
  std::printf("(a) 400 %%, pane in the middle:   median %.2f ms per repaint (goal <= 16 ms)\n",
              PaneRepaint(picture, middle, kZoom));
  std::printf("(b) 400 %%, pane at the top left: median %.2f ms per repaint\n",
              PaneRepaint(picture, QPointF(0, 0), kZoom));
  std::printf("(c) whole picture in the pane:  median %.2f ms per repaint\n",
              PaneRepaint(picture, QPointF(0, 0), fit));
  std::printf("(d) parse:                      median %.2f ms\n", Median(parses));
  ManyTextsInTheProgram();
  return 0;
}
