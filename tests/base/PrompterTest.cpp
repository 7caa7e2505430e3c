// The recording prompter: texts, scripted and default answers, and the log
// that real processes write.
#include "Prompter.h"
#include "ScopedRecorder.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <random>

namespace {

TEST(RecordingPrompter, DefaultAnswerIsTheFirstOfferedInWindowsOrder) {
  TRecordingPrompter p;
  EXPECT_EQ(p.Message("q", TMsgDlgType::mtConfirmation, mbYes | mbNo | mbCancel),
            TModalResult::mrYes);
  EXPECT_EQ(p.Message("q", TMsgDlgType::mtConfirmation, mbOK | mbCancel), TModalResult::mrOk);
  EXPECT_EQ(p.Message("q", TMsgDlgType::mtConfirmation, mbNo | mbCancel), TModalResult::mrNo);
  EXPECT_EQ(p.Message("q", TMsgDlgType::mtWarning, 0), TModalResult::mrOk);
  ASSERT_EQ(p.Records.size(), 4u);
  EXPECT_EQ(p.Records[0].Buttons, "Yes,No,Cancel");
  EXPECT_EQ(p.Records[0].Caption, "Confirm");
  EXPECT_EQ(p.Records[0].Type, "Confirmation");
  EXPECT_EQ(p.Records[3].Caption, "Warning");
}

TEST(RecordingPrompter, ScriptedAnswersAreUsedInOrderWhenOffered) {
  TRecordingPrompter p;
  p.Answers = {"No", "Cancel", "Retry", "Yes"};
  EXPECT_EQ(p.Message("a", TMsgDlgType::mtConfirmation, mbYes | mbNo | mbCancel),
            TModalResult::mrNo);
  EXPECT_EQ(p.Message("b", TMsgDlgType::mtConfirmation, mbOK | mbCancel), TModalResult::mrCancel);
  // An answer the box does not offer falls back to the default.
  EXPECT_EQ(p.Message("c", TMsgDlgType::mtError, mbOK), TModalResult::mrOk);
  EXPECT_EQ(p.Message("d", TMsgDlgType::mtConfirmation, mbYes | mbNo), TModalResult::mrYes);
  EXPECT_EQ(p.Records[2].Answer, "OK");
}

TEST(RecordingPrompter, FileFontAndPrintDialogs) {
  TRecordingPrompter p;
  p.Answers = {"/tmp/a.bas", "Cancel", "Liberation Mono,12", "2-3", "OK"};
  TFileDialogRequest open{"Open", "TARNIC files|*.bas;|All files|*.*", "/w", "", "", 1};
  EXPECT_TRUE(p.OpenFileDialog(open));
  EXPECT_EQ(open.FileName, "/tmp/a.bas");
  TFileDialogRequest save{"", "", "", "No_name.bas", "", 1};
  EXPECT_FALSE(p.SaveFileDialog(save));
  EXPECT_EQ(save.FileName, "No_name.bas");
  TFontChoice font;
  EXPECT_TRUE(p.FontDialog(font));
  EXPECT_EQ(font.Name, "Liberation Mono");
  EXPECT_EQ(font.Size, 12);
  TPrintChoice print{1, 5, 1, 5, true, 1};
  EXPECT_TRUE(p.PrintDialog(print));
  EXPECT_FALSE(print.AllPages);
  EXPECT_EQ(print.FromPage, 2);
  EXPECT_EQ(print.ToPage, 3);
  TPageSetupChoice setup;
  EXPECT_TRUE(p.PageSetupDialog(setup));
  // Answers ran out: dialogs are cancelled.
  EXPECT_FALSE(p.OpenFileDialog(open));
  EXPECT_EQ(p.Records[0].Kind, "OPEN");
  EXPECT_EQ(p.Records[0].Type, "TARNIC files|*.bas;|All files|*.*");
  EXPECT_EQ(p.Records[0].Buttons, "/w");
  EXPECT_EQ(p.Records[1].Answer, "Cancel");
}

TEST(RecordingPrompter, LogLinesRoundTripAnyText) {
  std::mt19937 rng(7);
  // The characters the log escapes, a NUL among them.
  const std::string chars("ab\\\t\r\n\"x", 9);
  for (int i = 0; i < 500; ++i) {
    TPromptRecord r;
    for (std::string *f : {&r.Kind, &r.Caption, &r.Type, &r.Buttons, &r.Text, &r.Answer}) {
      const int n = static_cast<int>(rng() % 12);
      for (int j = 0; j < n; ++j)
        *f += chars[rng() % chars.size()];
    }
    const std::string line = TRecordingPrompter::FormatRecord(r);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    const TPromptRecord back = TRecordingPrompter::ParseRecord(line);
    EXPECT_EQ(back.Kind, r.Kind);
    EXPECT_EQ(back.Caption, r.Caption);
    EXPECT_EQ(back.Type, r.Type);
    EXPECT_EQ(back.Buttons, r.Buttons);
    EXPECT_EQ(back.Text, r.Text);
    EXPECT_EQ(back.Answer, r.Answer);
  }
}

TEST(RecordingPrompter, LogFileAndScriptFile) {
  QTemporaryDir dir;
  const std::string log = dir.filePath(QStringLiteral("log")).toStdString();
  const std::string script = dir.filePath(QStringLiteral("script")).toStdString();
  std::ofstream(script) << "Cancel\r\n/path/with\\ttab\n";
  {
    TRecordingPrompter p(log, script);
    EXPECT_EQ(p.Message("line 1\rline 2", TMsgDlgType::mtCustom, mbOK | mbCancel, "FATAL ERROR!"),
              TModalResult::mrCancel);
    TFileDialogRequest r;
    EXPECT_TRUE(p.SaveFileDialog(r));
    EXPECT_EQ(r.FileName, "/path/with\ttab");
    p.Trace("shown");
  }
  const auto records = TRecordingPrompter::ReadLog(log);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].Kind, "MESSAGE");
  EXPECT_EQ(records[0].Caption, "FATAL ERROR!");
  EXPECT_EQ(records[0].Type, "None");
  EXPECT_EQ(records[0].Text, "line 1\rline 2");
  EXPECT_EQ(records[0].Answer, "Cancel");
  EXPECT_EQ(records[1].Answer, "/path/with\ttab");
  EXPECT_EQ(records[2].Kind, "EVENT");
  EXPECT_EQ(records[2].Text, "shown");
  EXPECT_TRUE(TRecordingPrompter::ReadLog(log + ".missing").empty());
}

TEST(MessageHelpers, ShowMessageAndMessageDlgGoThroughThePrompter) {
  ScopedRecorder rec;
  rec.recorder->Answers = {"No"};
  EXPECT_EQ(MessageDlg("File \"a.bas\" has been modified\r\nSave changes ?",
                       TMsgDlgType::mtConfirmation, mbYes | mbNo | mbCancel),
            TModalResult::mrNo);
  ShowMessage("\"x\" not found");
  ASSERT_EQ(rec.recorder->Records.size(), 2u);
  EXPECT_EQ(rec.recorder->Records[0].Text, "File \"a.bas\" has been modified\r\nSave changes ?");
  EXPECT_EQ(rec.recorder->Records[1].Type, "None");
  EXPECT_EQ(rec.recorder->Records[1].Caption, "KORVEX Editor");
}

} // namespace
