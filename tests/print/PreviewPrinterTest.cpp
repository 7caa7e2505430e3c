// The print engine: start values, the order its operations must come in,
// progress reports, dropped empty pages, unit conversion, pagination of the
// editor's text and printing ranges and copies.
#include "PrintTestUtil.h"
#include "Prompter.h"
#include "SyntaxMemoParser.h"

#include <gtest/gtest.h>

using namespace kxprint;

TEST(PreviewPrinter, HeadingShowsOnARecordedPage) {
  auto m = MakeEditor(Lines(20), smoPrintFilename | smoPrintDate);
  m->Title = "HEADING.BAS";
  TSyntaxMemoParser parser;
  parser.CompileFile(std::string(KX_SOURCE_DIR) + "/resources/schemes/tarnic.scheme");
  m->SetParser(&parser);
  TPreviewPrinter pp;
  pp.PaginateEditor(*m);
  const QImage img = PlayPage(pp, 0);
  const QRect heading(96, 96, 624, 16);
  EXPECT_GT(InkBox(img, QRect(96, 96, 200, 16)).width(), 40);
}
