// Double-clicking a line of the compiler's report that names a line number
// moves the caret to the start of that line of the document and centres it,
// for every default form and for a pattern set in KORVEX.INI; other lines
// leave the caret alone.
#include "CompileFixture.h"

#include "ReportLinks.h"

using namespace kxcompile;

namespace {

class ReportLines : public CompileTest {
protected:
  // Compiles a 400-line program with this failure report, then
  // double-clicks report line `index`.
  void CompileWithReport(const std::string &report) {
    std::string program;
    for (int i = 1; i <= 400; ++i)
      program += "x = " + std::to_string(i) + "\r\n";
    Open(Put("prog.bas", program));
    form->ConnectReportLines();
    SetEnv("KX_COMPILER_STATUS", "ERROR");
    SetEnv("KX_COMPILER_REPORT", report);
    MenuKey(Qt::Key_F9);
    ASSERT_TRUE(Report->isVisible());
  }
  void DoubleClick(int index) {
    TReportView *view = Report->Memo();
    const int h = view->fontMetrics().lineSpacing();
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {},
                       QPoint(20, (index - view->TopLine()) * h + h / 2));
    QApplication::processEvents();
  }
  int64_t CaretLine() { return Memo()->LineFromPos(Memo()->Caret()); }
};

TEST_F(ReportLines, EachDefaultFormMovesTheCaretAndCentresTheLine) {
  CompileWithReport("prog.bas line 120: bad\r\nLine 7: bad\r\nprog.bas(250) : bad\r\n"
                    "prog.bas:333: bad\r\nno line here\r\n");
  const int rows = Memo()->View()->VisibleRows();
  ASSERT_GT(rows, 4);
  const struct {
    int index;
    int64_t line; // 0-based
  } cases[] = {{0, 119}, {1, 6}, {2, 249}, {3, 332}};
  for (const auto &c : cases) {
    DoubleClick(c.index);
    EXPECT_EQ(CaretLine(), c.line) << c.index;
    EXPECT_EQ(Memo()->Caret(), Memo()->LineStart(c.line));
    EXPECT_EQ(Memo()->TopLine(), std::max<int64_t>(0, c.line - rows / 2)) << c.index;
    EXPECT_EQ(Panel(0).trimmed().section(QLatin1Char(':'), 0, 0).toLongLong(), c.line + 1);
  }
  // A line that names nothing leaves the caret where it is.
  DoubleClick(4);
  EXPECT_EQ(CaretLine(), 332);
}

TEST_F(ReportLines, APatternFromTheSettingsFileIsUsedAndABeyondTheEndLineIsClamped) {
  WriteFileAtomic(dir + "KX_INC/KORVEX.INI",
                  "[REPORT_FORM]\r\nLINE_PATTERN=at row (\\d+)\r\n");
  CompileWithReport("E12 at row 42\r\nLine 9: the default is not used now\r\nat row 9999\r\n");
  DoubleClick(0);
  EXPECT_EQ(CaretLine(), 41);
  DoubleClick(1);
  EXPECT_EQ(CaretLine(), 41);
  DoubleClick(2);
  EXPECT_EQ(CaretLine(), Memo()->LineCount() - 1);
}

} // namespace
