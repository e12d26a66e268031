#pragma once

#include <QtGlobal>

// Numbers of the Windows metafile format: record functions and the values their parameters take. Shared by
// the parser, the renderer and the test builder.
namespace wmf {

// The record functions. The low byte alone identifies a record; the high byte usually holds the number of
// parameter words, which some writers get wrong.
enum Function : quint16 {
  kEof = 0x0000,
  kRealizePalette = 0x0035,
  kSetPalEntries = 0x0037,
  kSetBkMode = 0x0102,
  kSetMapMode = 0x0103,
  kSetRop2 = 0x0104,
  kSetRelAbs = 0x0105,
  kSetPolyFillMode = 0x0106,
  kSetStretchBltMode = 0x0107,
  kSetTextCharExtra = 0x0108,
  kRestoreDc = 0x0127,
  kInvertRegion = 0x012A,
  kPaintRegion = 0x012B,
  kSelectClipRegion = 0x012C,
  kSelectObject = 0x012D,
  kSetTextAlign = 0x012E,
  kResizePalette = 0x0139,
  kDibCreatePatternBrush = 0x0142,
  kSetLayout = 0x0149,
  kDeleteObject = 0x01F0,
  kCreatePatternBrush = 0x01F9,
  kSetBkColor = 0x0201,
  kSetTextColor = 0x0209,
  kSetTextJustification = 0x020A,
  kSetWindowOrg = 0x020B,
  kSetWindowExt = 0x020C,
  kSetViewportOrg = 0x020D,
  kSetViewportExt = 0x020E,
  kOffsetWindowOrg = 0x020F,
  kOffsetViewportOrg = 0x0211,
  kLineTo = 0x0213,
  kMoveTo = 0x0214,
  kOffsetClipRgn = 0x0220,
  kFillRegion = 0x0228,
  kSetMapperFlags = 0x0231,
  kSelectPalette = 0x0234,
  kCreatePenIndirect = 0x02FA,
  kCreateFontIndirect = 0x02FB,
  kCreateBrushIndirect = 0x02FC,
  kPolygon = 0x0324,
  kPolyline = 0x0325,
  kScaleWindowExt = 0x0410,
  kScaleViewportExt = 0x0412,
  kExcludeClipRect = 0x0415,
  kIntersectClipRect = 0x0416,
  kEllipse = 0x0418,
  kFloodFill = 0x0419,
  kRectangle = 0x041B,
  kSetPixel = 0x041F,
  kFrameRegion = 0x0429,
  kAnimatePalette = 0x0436,
  kTextOut = 0x0521,
  kPolyPolygon = 0x0538,
  kExtFloodFill = 0x0548,
  kRoundRect = 0x061C,
  kPatBlt = 0x061D,
  kEscape = 0x0626,
  kCreateRegion = 0x06FF,
  kArc = 0x0817,
  kPie = 0x081A,
  kChord = 0x0830,
  kBitBlt = 0x0922,
  kDibBitBlt = 0x0940,
  kExtTextOut = 0x0A32,
  kStretchBlt = 0x0B23,
  kDibStretchBlt = 0x0B41,
  kSetDibToDev = 0x0D33,
  kStretchDib = 0x0F43,
  kCreatePalette = 0x00F7,
  kSaveDc = 0x001E,
};

constexpr quint32 kPlaceableKey = 0x9AC6CDD7;
constexpr int kPlaceableHeaderBytes = 22;
constexpr int kHeaderBytes = 18;

enum MapMode : quint16 {
  kMmText = 1,
  kMmLoMetric = 2,
  kMmHiMetric = 3,
  kMmLoEnglish = 4,
  kMmHiEnglish = 5,
  kMmTwips = 6,
  kMmIsotropic = 7,
  kMmAnisotropic = 8,
};

enum BkMode : quint16 { kTransparent = 1, kOpaque = 2 };
enum PolyFillMode : quint16 { kAlternate = 1, kWinding = 2 };

// SetROP2 drawing modes.
enum Rop2 : quint16 {
  kR2Black = 1,
  kR2NotMergePen = 2,
  kR2MaskNotPen = 3,
  kR2NotCopyPen = 4,
  kR2MaskPenNot = 5,
  kR2Not = 6,
  kR2XorPen = 7,
  kR2NotMaskPen = 8,
  kR2MaskPen = 9,
  kR2NotXorPen = 10,
  kR2Nop = 11,
  kR2MergeNotPen = 12,
  kR2CopyPen = 13,
  kR2MergePenNot = 14,
  kR2MergePen = 15,
  kR2White = 16,
};

// Ternary raster operations, as full codes; the renderer looks at the index in bits 16..23 only.
enum Rop3 : quint32 {
  kSrcCopy = 0x00CC0020,
  kSrcPaint = 0x00EE0086,
  kSrcAnd = 0x008800C6,
  kSrcInvert = 0x00660046,
  kSrcErase = 0x00440328,
  kNotSrcCopy = 0x00330008,
  kNotSrcErase = 0x001100A6,
  kMergeCopy = 0x00C000CA,
  kMergePaint = 0x00BB0226,
  kPatCopy = 0x00F00021,
  kPatPaint = 0x00FB0A09,
  kPatInvert = 0x005A0049,
  kDstInvert = 0x00550009,
  kBlackness = 0x00000042,
  kWhiteness = 0x00FF0062,
};

enum PenStyle : quint16 {
  kPsSolid = 0,
  kPsDash = 1,
  kPsDot = 2,
  kPsDashDot = 3,
  kPsDashDotDot = 4,
  kPsNull = 5,
  kPsInsideFrame = 6,
  kPsStyleMask = 0x000F,
  kPsEndCapSquare = 0x0100,
  kPsEndCapFlat = 0x0200,
  kPsEndCapMask = 0x0F00,
  kPsJoinBevel = 0x1000,
  kPsJoinMiter = 0x2000,
  kPsJoinMask = 0xF000,
};

enum BrushStyle : quint16 {
  kBsSolid = 0,
  kBsNull = 1,
  kBsHatched = 2,
  kBsPattern = 3,
  kBsDibPattern = 5,
  kBsDibPatternPt = 6,
};

enum HatchStyle : quint16 {
  kHsHorizontal = 0,
  kHsVertical = 1,
  kHsFDiagonal = 2,  // top left to bottom right
  kHsBDiagonal = 3,  // bottom left to top right
  kHsCross = 4,
  kHsDiagCross = 5,
};

enum TextAlign : quint16 {
  kTaTop = 0x0000,  // and left, without updating the current position
  kTaUpdateCp = 0x0001,
  kTaRight = 0x0002,
  kTaCenter = 0x0006,
  kTaHorizontalMask = 0x0006,
  kTaBottom = 0x0008,
  kTaBaseline = 0x0018,
  kTaVerticalMask = 0x0018,
};

enum ExtTextOutOption : quint16 { kEtoOpaque = 0x0002, kEtoClipped = 0x0004 };

enum ColorUsage : quint16 { kDibRgbColors = 0, kDibPalColors = 1 };

// The CharSet field of a font: which code page its text bytes are in.
enum CharSet : quint8 {
  kAnsiCharset = 0,
  kDefaultCharset = 1,
  kSymbolCharset = 2,
  kMacCharset = 77,
  kShiftJisCharset = 128,
  kHangulCharset = 129,
  kJohabCharset = 130,
  kGb2312Charset = 134,
  kChineseBig5Charset = 136,
  kGreekCharset = 161,
  kTurkishCharset = 162,
  kVietnameseCharset = 163,
  kHebrewCharset = 177,
  kArabicCharset = 178,
  kBalticCharset = 186,
  kRussianCharset = 204,
  kThaiCharset = 222,
  kEastEuropeCharset = 238,
  kOemCharset = 255,
};

}  // namespace wmf
