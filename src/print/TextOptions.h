// The print engine's text options: margins, header and footer placement,
// page numbering and fonts, with the values a new print engine starts with.
#pragma once

#include <QFont>

#include <string>

enum TDrawStyle { dsStandard };
enum TTextAlign { taLeftJustify, taRightJustify, taCenter };
enum TPageNumberPos { pnNone, pnTop, pnBottom };

inline QFont MakeFont(const char *family, int points, bool bold = false, bool italic = false) {
  QFont f(QString::fromLatin1(family), points);
  f.setBold(bold);
  f.setItalic(italic);
  return f;
}

struct TTextOptions {
  TDrawStyle DrawStyle = dsStandard;
  // In the print engine's Units.
  double MarginLeft = 1.0;
  double MarginTop = 1.0;
  double MarginRight = 1.0;
  double MarginBottom = 1.0;
  double HeaderMargin = 0.5;
  double FooterMargin = 0.75;
  TTextAlign HeaderAlign = taCenter;
  TTextAlign FooterAlign = taCenter;
  TPageNumberPos PrintPageNumber = pnBottom;
  TTextAlign PageNumAlign = taRightJustify;
  std::string PageNumText = "Page %d";
  QFont BodyFont = MakeFont("Arial", 10);
  QFont HeaderFont = MakeFont("Times New Roman", 18, true);
  QFont FooterFont = MakeFont("Times New Roman", 10, false, true);
  QFont PageNumFont = FooterFont;
};
