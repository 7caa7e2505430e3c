// The BASIC scheme in the editor: a label on the first line is one from the
// start (the scan there starts at the text's start state, also after an
// edit), and a last line without a line break is code, not a label.
#include "WidgetTestUtil.h"

#include "SyntaxMemoParser.h"

#include <gtest/gtest.h>

using namespace kxwidget;

namespace {

std::vector<int> RowValues(TSyntaxMemo &m, int64_t row) {
  m.FinishHighlighting();
  TLineNode *n = m.Store()->LocateLine(row).Node;
  std::vector<int> v;
  for (int i = 0; i < n->TextLength(); ++i)
    v.push_back(n->Attributes() ? n->Attributes()[i] : -1);
  return v;
}

} // namespace

TEST(SchemeLabels, FirstLineLabelAndLastLineStatementThroughEdits) {
  TSyntaxMemoParser scheme;
  scheme.CompileFile(std::string(KX_SOURCE_DIR) + "/resources/schemes/tarnic.scheme");
  auto m = MakeMemo("Main:\rGOTO Main\rEND");
  m->SetParser(&scheme);
  const int label = RowValues(*m, 0).front();
  EXPECT_EQ(scheme.Settings.StyleOf(static_cast<uint8_t>(label)), 8); // the label style
  for (int v : RowValues(*m, 0))
    EXPECT_EQ(v, label);
  for (int v : RowValues(*m, 2))
    EXPECT_EQ(v, 7) << "END at the end of the text is a statement";
  // Editing the first line scans it again from the start of the text.
  m->SetSelection(2, 2);
  QTest::keyClicks(m.get(), "in");
  EXPECT_EQ(m->LineText(0), "Mainin:");
  for (int v : RowValues(*m, 0))
    EXPECT_EQ(v, label);
  // Typing at the end of the last line keeps it a statement until it is one.
  m->SetSelection(m->TextLength(), m->TextLength());
  QTest::keyClicks(m.get(), "IF");
  for (int v : RowValues(*m, 2))
    EXPECT_EQ(v, 7);
  m->SetParser(nullptr);
}

TEST(SchemeLabels, AStatementAfterALineThatStartedWithANameIsStillOne) {
  TSyntaxMemoParser scheme;
  scheme.CompileFile(std::string(KX_SOURCE_DIR) + "/resources/schemes/tarnic.scheme");
  for (const char *br : {"\r", "\n", "\r\n"}) {
    const std::string b = br;
    auto m = MakeMemo("DelayMS 500" + b + "    low led" + b + "PAUSE 500" + b + "    low x" + b);
    m->SetParser(&scheme);
    for (int row : {1, 3}) {
      const std::vector<int> v = RowValues(*m, row);
      ASSERT_GE(v.size(), 7u) << m->LineText(row);
      for (int i = 4; i < 7; ++i)
        EXPECT_EQ(v[static_cast<size_t>(i)], 7)
            << "row " << row << " column " << i << " break " << int(b.back());
    }
    m->SetParser(nullptr);
  }
}
