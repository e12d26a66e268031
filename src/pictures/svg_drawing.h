#pragma once

#include "pictures/picture.h"

#include <QByteArray>

#include <memory>

class QIODevice;

// SVG drawings, rendered by Qt Svg afresh at every size they are shown.
namespace svgdrawing {

// Whether the file is XML whose first element is <svg>. Reads at most a little of its start.
bool looksLikeSvg(QIODevice& device);

// The drawing in `bytes`, or null when Qt Svg cannot render it or it has no size. Pictures the drawing
// refers to by file name are left out: a document is drawn from its own bytes alone.
std::shared_ptr<const Drawing> parse(const QByteArray& bytes);

}  // namespace svgdrawing
