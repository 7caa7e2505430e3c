// The gutter's images, drawn here rather than loaded: "SEM_GUTTER" (one 15 by
// 16 bookmark glyph per bookmark number), "SEM_WRAPPED" (the glyph of a row
// that continues a wrapped line) and the default gutter-mark images.
#pragma once

#include <QImage>

constexpr int kGutterImageWidth = 15;
constexpr int kGutterImageHeight = 16;

// Bookmark glyph n (0..9) of "SEM_GUTTER".
const QImage &BookmarkGlyph(int n);
// The "SEM_WRAPPED" glyph.
const QImage &WrappedGlyph();
// Default gutter-mark image for bit n (0..15), drawn at its first use.
const QImage &DefaultGutterMarkImage(int n);
// The body colour of the bookmark glyphs (tests look for it).
QColor BookmarkGlyphColor();
