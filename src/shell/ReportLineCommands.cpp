// TEditorMainForm: a double-click on a report line that names a line number
// puts the caret at the start of that line of the document and centres it.
// The pattern that finds the number is [REPORT_FORM] LINE_PATTERN in the
// settings file, read afresh at each double-click like every setting.
#include "EditorMainForm.h"

#include "CommandGuard.h"
#include "IniFile.h"
#include "ProcessPaths.h"
#include "ReportForm.h"
#include "ReportLinks.h"
#include "ReportView.h"
#include "SyntaxMemo.h"

#include <algorithm>

void TEditorMainForm::ConnectReportLines() {
  if (Report)
    connect(Report, &TReport::LineDoubleClicked, this,
            [this](int index) { RunCommand([this, index] { ReportLineDoubleClicked(index); }); });
}

void TEditorMainForm::ReportLineDoubleClicked(int index) {
  if (!CurrentFile || !Report)
    return;
  const std::vector<std::string> &lines = Report->Memo()->Lines();
  if (index < 0 || static_cast<size_t>(index) >= lines.size())
    return;
  const std::string pattern = TIniFile(SettingsFilePath())
                                  .ReadString(ReportLinePatternSection, ReportLinePatternKey,
                                              DefaultReportLinePattern);
  const int64_t number = ReportLineNumber(lines[static_cast<size_t>(index)], pattern);
  if (number <= 0)
    return;
  TSyntaxMemo *memo = SyntaxMemo1;
  const int64_t line = std::clamp<int64_t>(number - 1, 0, std::max<int64_t>(0, memo->LineCount() - 1));
  const int64_t pos = memo->LineStart(line);
  memo->SetSelection(pos, pos);
  const int64_t rows = std::max(1, memo->View()->VisibleRows());
  memo->SetTopLine(std::max<int64_t>(0, line - rows / 2));
  FocusMainWindow();
  SyntaxMemo1Change(this);
}
