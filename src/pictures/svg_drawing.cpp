#include "pictures/svg_drawing.h"

#include "pictures/picture_loader.h"

#include <QIODevice>
#include <QPainter>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <optional>

namespace {

// How much of a file's start is looked at for its first element: room for an XML declaration, a DOCTYPE
// with its internal subset and a licence comment.
constexpr qint64 kSniffBytes = 64 * 1024;
// A drawing with neither a size nor a view box is drawn at the size a web page gives one.
constexpr QSize kDefaultSize(300, 150);

bool isSvgRoot(const QXmlStreamReader& xml) { return xml.name() == QLatin1String("svg"); }

// An <image> whose picture is not inside the document: Qt Svg would open and read the file it names (a
// pipe or a device would hang the reading thread for ever).
bool refersToFile(const QXmlStreamReader& xml) {
  if (xml.name() != QLatin1String("image")) return false;
  for (const QXmlStreamAttribute& attribute : xml.attributes()) {
    if (attribute.name() != QLatin1String("href")) continue;
    if (!attribute.value().trimmed().startsWith(QLatin1String("data:"), Qt::CaseInsensitive)) return true;
  }
  return false;
}

// The document without the elements above, or the bytes as they are when it has none (nearly always).
QByteArray withoutFileReferences(const QByteArray& bytes) {
  {
    QXmlStreamReader xml(bytes);
    bool any = false;
    while (!any && !xml.atEnd())
      if (xml.readNext() == QXmlStreamReader::StartElement) any = refersToFile(xml);
    if (!any) return bytes;
  }
  QByteArray cleaned;
  QXmlStreamReader xml(bytes);
  QXmlStreamWriter out(&cleaned);
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.hasError()) break;
    if (xml.isStartElement() && refersToFile(xml)) {
      xml.skipCurrentElement();
      continue;
    }
    out.writeCurrentToken(xml);
  }
  return cleaned;
}

// A length attribute in CSS pixels (96 to the inch, as every browser has it; Qt Svg counts 90); nothing for
// lengths relative to a page or a font, and for junk.
std::optional<double> cssPixels(QStringView text) {
  static const std::pair<const char*, double> kUnits[] = {
      {"px", 1.0}, {"pt", 96.0 / 72}, {"pc", 16.0}, {"in", 96.0}, {"cm", 96.0 / 2.54}, {"mm", 96.0 / 25.4}};
  text = text.trimmed();
  double scale = 1.0;
  for (const auto& [unit, pixels] : kUnits) {
    if (text.endsWith(QLatin1String(unit), Qt::CaseInsensitive)) {
      text.chop(2);
      scale = pixels;
      break;
    }
  }
  bool ok = false;
  const double value = text.trimmed().toDouble(&ok);
  if (!ok || !std::isfinite(value) || value <= 0) return std::nullopt;
  return value * scale;
}

struct RootSize {
  std::optional<double> width, height;
  bool viewBox = false;
};

// The width, height and whether a view box, as the <svg> element declares them.
RootSize declaredSize(const QByteArray& bytes) {
  QXmlStreamReader xml(bytes);
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    const QXmlStreamAttributes attributes = xml.attributes();
    RootSize size;
    if (attributes.hasAttribute(QLatin1String("width")))
      size.width = cssPixels(attributes.value(QLatin1String("width")));
    if (attributes.hasAttribute(QLatin1String("height")))
      size.height = cssPixels(attributes.value(QLatin1String("height")));
    size.viewBox = attributes.hasAttribute(QLatin1String("viewBox"));
    return size;
  }
  return {};
}

// The natural size as a browser sizes the drawing: its width and height, the missing one (or both) from
// the view box's shape, and without either 300 x 150.
QSizeF naturalSize(const RootSize& declared, const QRectF& viewBox) {
  const bool box = viewBox.width() > 0 && viewBox.height() > 0;
  if (declared.width && declared.height) return QSizeF(*declared.width, *declared.height);
  if (box && declared.width)
    return QSizeF(*declared.width, *declared.width * viewBox.height() / viewBox.width());
  if (box && declared.height)
    return QSizeF(*declared.height * viewBox.width() / viewBox.height(), *declared.height);
  if (box) return viewBox.size();
  return QSizeF(kDefaultSize);
}

// That size in whole pixels, within what a picture may be: a drawing declared bigger keeps its shape at the
// largest size allowed.
QSize wholePixels(QSizeF size) {
  const double pixels = size.width() * size.height();
  if (pixels > double(kMaxPixels)) size *= std::sqrt(double(kMaxPixels) / pixels);
  constexpr double kMaxSide = 1 << 20;  // far beyond any screen; a sliver stays drawable
  const int width = int(std::clamp(std::round(size.width()), 1.0, kMaxSide));
  const int height = int(std::clamp(std::round(size.height()), 1.0, kMaxSide));
  return qint64(width) * height <= kMaxPixels ? QSize(width, height) : QSize();
}

class SvgDrawing final : public Drawing {
 public:
  SvgDrawing(std::unique_ptr<QSvgRenderer> renderer, QSize size)
      : renderer_(std::move(renderer)), size_(size) {}
  QSize size() const override { return size_; }

  // Qt Svg keeps drawing state in the document, so one tile is drawn at a time.
  void draw(QPainter& painter, const QRectF& target, const QRect&,
            const std::function<bool()>& cancelled) const override {
    const std::lock_guard lock(mutex_);
    if (cancelled && cancelled()) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    renderer_->render(&painter, target);
    painter.restore();
  }

 private:
  mutable std::mutex mutex_;
  std::unique_ptr<QSvgRenderer> renderer_;
  QSize size_;
};

}  // namespace

namespace svgdrawing {

bool looksLikeSvg(QIODevice& device) {
  if (!device.seek(0)) return false;
  const QByteArray start = device.read(kSniffBytes);
  // XML starts with '<' after an optional byte order mark and white space; anything else is not read on.
  qsizetype at = start.startsWith("\xEF\xBB\xBF") ? 3 : 0;
  while (at < start.size() &&
         (start[at] == ' ' || start[at] == '\t' || start[at] == '\r' || start[at] == '\n'))
    ++at;
  if (at >= start.size() || start[at] != '<') return false;
  QXmlStreamReader xml(start);
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement) return isSvgRoot(xml);
    if (xml.hasError()) return false;
  }
  return false;
}

std::shared_ptr<const Drawing> parse(const QByteArray& bytes) {
  const QByteArray document = withoutFileReferences(bytes);
  auto renderer = std::make_unique<QSvgRenderer>();
  // No animation: nothing would drive it, and its timer would belong to the reading thread.
  renderer->setFramesPerSecond(0);
  if (!renderer->load(document) || !renderer->isValid()) return nullptr;
  const RootSize declared = declaredSize(document);
  const QSizeF natural = naturalSize(declared, declared.viewBox ? renderer->viewBoxF() : QRectF());
  const QSize size = wholePixels(natural);
  if (size.isEmpty()) return nullptr;
  // Without a view box of its own Qt Svg makes one of the size it reads (at 90 to the inch); user units
  // are CSS pixels, so the view box is the natural size.
  if (!declared.viewBox) renderer->setViewBox(QRectF(QPointF(0, 0), natural));
  // Drawn from the tiles' threads under a lock, never through events: it belongs to no thread, so that the
  // thread that read it may end.
  renderer->moveToThread(nullptr);
  return std::make_shared<SvgDrawing>(std::move(renderer), size);
}

}  // namespace svgdrawing
