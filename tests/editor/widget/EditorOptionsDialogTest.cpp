// The editor-options dialog: live preview of a style change, the key map copy
// with the duplicate-sequence error, tab-column validation, and OK handing the
// settings to every control that shows the scheme; the editor's starting
// font against a scheme's default one.
#include "WidgetTestUtil.h"

#include "EditorOptionsDialog.h"
#include "Prompter.h"
#include "SyntaxMemoParser.h"

#include <QLineEdit>
#include <QTabWidget>

#include <gtest/gtest.h>

using namespace kxwidget;

namespace {

std::unique_ptr<TSyntaxMemoParser> BasicScheme() {
  auto p = std::make_unique<TSyntaxMemoParser>();
  p->CompileFile(std::string(KX_SOURCE_DIR) + "/resources/schemes/tarnic.scheme");
  return p;
}

struct RecordingPrompter {
  TRecordingPrompter *rec = nullptr;
  std::unique_ptr<TPrompter> old;
  RecordingPrompter() {
    auto r = std::make_unique<TRecordingPrompter>();
    rec = r.get();
    old = SetPrompter(std::move(r));
  }
  ~RecordingPrompter() { SetPrompter(std::move(old)); }
};

int FindStyle(const TSM_Settings &s, const std::string &name) {
  for (size_t i = 0; i < s.EditableStyles.size(); ++i)
    if (s.EditableStyles[i].Name == name)
      return static_cast<int>(i);
  return -1;
}

} // namespace

TEST(EditorOptionsDialog, StyleChangeShowsInTheLivePreview) {
  App();
  auto parser = BasicScheme();
  TEditorOptionsDialog d(parser.get(), parser->Settings);
  d.resize(700, 600);
  d.show();
  d.Pages()->setCurrentIndex(1);
  QApplication::processEvents();
  TSyntaxMemo *preview = d.Preview();
  ASSERT_NE(preview, nullptr);
  EXPECT_EQ(preview->LineText(0).substr(0, 6), "' Blin");
  const QRect firstRow(preview->TextLeft(), 0, 20 * preview->CharWidth(), preview->LineHeight());
  EXPECT_GT(CountColour(Shot(*preview), firstRow, QColor(0, 128, 0), 40), 5); // green comment
  const int comment = FindStyle(d.Settings(), "Comment");
  ASSERT_GE(comment, 0);
  d.SelectStyle(comment);
  d.SetStyleForeground(0x0000FF); // red
  const QImage after = Shot(*preview);
  EXPECT_GT(CountColour(after, firstRow, QColor(255, 0, 0), 40), 5);
  EXPECT_EQ(CountColour(after, firstRow, QColor(0, 128, 0), 20), 0);
  // The scheme itself is untouched until OK.
  EXPECT_NE(parser->Settings.Styles[1].Foreground, 0x0000FF);
}

TEST(EditorOptionsDialog, KeyMapCopyReportsDuplicateSequences) {
  App();
  RecordingPrompter prompts;
  auto parser = BasicScheme();
  TEditorOptionsDialog d(parser.get(), parser->Settings);
  // Ctrl+K alone collides with Ctrl+K, I (and the other Ctrl+K sequences).
  EXPECT_FALSE(d.AddBinding(ecDocEnd, scCtrl | 'K', 0));
  ASSERT_EQ(prompts.rec->Records.size(), 1u);
  EXPECT_EQ(prompts.rec->Records[0].Text.rfind("Duplicate key sequence definition for\r\n\"", 0),
            0u);
  EXPECT_EQ(prompts.rec->Records[0].Type, "Error");
  // The copy is unchanged and still takes a fresh binding.
  EXPECT_TRUE(d.AddBinding(ecDocEnd, scCtrl | scAlt | 'E', 0));
  uint16_t first = 0, second = 0;
  EXPECT_TRUE(d.KeyMap().FindBinding(ecDocEnd, 1, first, second));
  EXPECT_EQ(first, scCtrl | scAlt | 'E');
  EXPECT_TRUE(d.Collect());
  EXPECT_EQ(d.Settings().KeyMap.Bindings.size(), DefaultKeyMap().ToData().Bindings.size() + 1);
  // The key-assignment dialog reads a two-key sequence without the second's modifiers.
  TKeyAssignDialog k("Indent selected block");
  k.TakeKey(scCtrl | 'K');
  k.TakeKey(scCtrl | 'I');
  EXPECT_EQ(k.First(), scCtrl | 'K');
  EXPECT_EQ(k.Second(), 'I');
}

TEST(EditorOptionsDialog, BadTabColumnsAreRefusedWithTheirMessage) {
  App();
  RecordingPrompter prompts;
  auto parser = BasicScheme();
  TEditorOptionsDialog d(parser.get(), parser->Settings);
  QLineEdit *columns = d.TabColumnsField();
  columns->setText("9 5");
  EXPECT_FALSE(d.Collect());
  ASSERT_EQ(prompts.rec->Records.size(), 1u);
  EXPECT_EQ(prompts.rec->Records[0].Text, "Tab columns must be in order and unique");
  columns->setText("5;9 13");
  EXPECT_TRUE(d.Collect());
  EXPECT_EQ(d.Settings().TabColumns[0], 4);
  EXPECT_EQ(d.Settings().TabColumns[2], 12);
  EXPECT_EQ(d.Settings().TabColumns[3], -1);
}

TEST(EditorOptionsDialog, OkHandsTheSettingsToEveryControlOfTheScheme) {
  App();
  auto parser = BasicScheme();
  auto a = MakeMemo("' one\rHIGH PORTB.0");
  auto b = MakeMemo("two");
  a->SetParser(parser.get());
  b->SetParser(parser.get());
  EXPECT_EQ(a->RightMargin, 80);
  TEditorOptionsDialog d(parser.get(), parser->Settings);
  ASSERT_TRUE(d.Collect());
  d.Settings().Numeric[nsRightMargin] = 72;
  d.Settings().Options &= ~static_cast<int32_t>(smoLineNumbers);
  d.Settings().Templates.push_back({"sub", "GOSUB target", "GOSUB |"});
  const int comment = FindStyle(d.Settings(), "Comment");
  d.SelectStyle(comment);
  d.SetStyleForeground(0x0000FF);
  ApplyEditedSettings(*parser, d.Settings());
  for (TSyntaxMemo *m : {a.get(), b.get()}) {
    EXPECT_EQ(m->RightMargin, 72);
    EXPECT_FALSE(m->OptionsMask() & smoLineNumbers);
    EXPECT_EQ(m->CodeTemplates.back().Name, "sub");
  }
  a->SetSelection(0, 0);
  const QImage img = Shot(*a);
  EXPECT_GT(CountColour(img, QRect(a->TextLeft(), 0, 5 * a->CharWidth(), a->LineHeight()),
                        QColor(255, 0, 0), 40),
            3);
}

TEST(EditorOptionsDialog, ASchemesTabColumnsAreTheColumnsTheEditorStopsAt) {
  App();
  TSyntaxMemoParser p;
  p.CompileText("%%language name = 'T' tabcolumns = (5, 9) tabdefault = 4 indentstep = 3\n");
  TSyntaxMemo m;
  m.SetParser(&p);
  EXPECT_EQ(m.TabColumns(), "5 9");
  EXPECT_EQ(m.IndentStep(), 3);
  // The options dialog shows the same numbers the script wrote.
  TEditorOptionsDialog d(&p, p.Settings);
  EXPECT_EQ(d.TabColumnsField()->text(), QStringLiteral("5 9"));
  m.SetParser(nullptr);
}

// The editor starts with the font a scheme with the default font settings
// asks for, the shipped BASIC scheme among them: attaching one keeps the font
// and its measures, so the window's first scheme loads no second font.
TEST(EditorOptionsDialog, ASchemeWithTheDefaultFontKeepsTheEditorsStartingFont) {
  App();
  TSyntaxMemoParser plain;
  plain.CompileText("%%language name = 'T'\n");
  const auto basic = BasicScheme();
  for (TSyntaxMemoParser *p : {&plain, basic.get()}) {
    TSyntaxMemo m;
    const QFont start = m.Font();
    const int width = m.CharWidth(), height = m.LineHeight();
    m.SetParser(p);
    EXPECT_EQ(p->Settings.FontName, "Courier New") << p->Settings.LanguageName;
    EXPECT_EQ(p->Settings.FontSize, 10) << p->Settings.LanguageName;
    EXPECT_TRUE(m.Font() == start)
        << m.Font().toString().toStdString() << " against " << start.toString().toStdString();
    EXPECT_EQ(m.CharWidth(), width);
    EXPECT_EQ(m.LineHeight(), height);
    m.SetParser(nullptr);
  }
}
