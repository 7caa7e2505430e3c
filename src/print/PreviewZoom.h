// The preview window's zoom list and the rules that turn a choice into a
// scale (1.0 shows a page at its natural size on the screen).
#pragma once

#include <QSize>
#include <QStringList>

// Items of the zoom list, in order.
QStringList ZoomItems();
constexpr int ziFitToPage = 0;
constexpr int ziFitToWidth = 1;
constexpr int ziCustom = 2;

// Keeps zooming by clicks within sizes a window can show.
constexpr double kMinScale = 0.05;
constexpr double kMaxScale = 16.0;

struct TZoomView {
  QSize Client;           // the scroll area's client size, without scroll bars
  int ScrollBarWidth = 0; // what a vertical scroll bar takes
  double PpiX = 96;       // the screen's pixels per inch
  double PpiY = 96;
  double PageWidth = 8.5; // inches
  double PageHeight = 11;
  double LastScale = 1.0; // the scale shown before
};

// The scale of a zoom-list item: Fit To Page and Fit To Width fill the client
// area less 20 pixels, Custom keeps the last scale, the percentages give 0.25
// to 4.0, anything else 1.0.
double ZoomScale(int item, const TZoomView &view);
// The size of a page's panel at a scale.
QSize PanelSize(double scale, const TZoomView &view);
