#pragma once

#include "pictures/metafile/wmf_document.h"

#include <QRect>
#include <QRectF>

#include <functional>

class QPainter;

namespace wmf {

// Plays a parsed metafile onto a painter, afresh at the size asked for: the document's frame lands on
// `target` (painter coordinates) and only `exposed` (device pixels, where the caller has already clipped the
// painter) is drawn; records wholly outside it are passed over. GDI's device context is kept as it would be
// (objects, mapping, clipping, colours and modes), starting from the player's defaults at every call. The
// painter's state is restored afterwards.
//
// The work is bounded: every record is counted at what it costs (a string by its glyphs, a fill by the
// pixels it covers), and playing ends when one paint's budget is spent. `cancelled`, when given, is asked
// on the painting thread every few hundred records (and after costly ones); true ends playing there.
enum class Played { Whole, OverBudget, Cancelled };
Played render(const Document& doc, QPainter& painter, const QRectF& target, const QRect& exposed,
              const std::function<bool()>& cancelled = {});

}  // namespace wmf
