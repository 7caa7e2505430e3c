// Every message box, question and common dialog of the program goes through
// the prompter, so that tests can read the exact texts and script the answers.
// The windowed implementation lives with the windows; the recording one here
// writes what was asked to a log and answers from a script.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

// The program's title; also the caption of plain messages and error boxes.
inline constexpr const char *ApplicationTitle = "KORVEX Editor";

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

enum TMsgDlgBtn : unsigned {
  mbYes = 1,
  mbNo = 2,
  mbOK = 4,
  mbCancel = 8,
  mbAbort = 16,
  mbRetry = 32,
  mbIgnore = 64
};
using TMsgDlgButtons = unsigned;

enum class TModalResult { mrNone, mrOk, mrCancel, mrAbort, mrRetry, mrIgnore, mrYes, mrNo };

// Open and save dialogs. Filter is "Description|patterns|Description|patterns"
// with patterns separated by ";" (empty patterns ignored).
struct TFileDialogRequest {
  std::string Title;
  std::string Filter;
  std::string InitialDir;
  std::string FileName; // in: preset name; out: the chosen full path
  std::string DefaultExt;
  int FilterIndex = 1; // 1-based; the dialog object keeps the last choice
};

struct TFontChoice {
  std::string Name = "Courier New";
  int Size = 10; // points
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
  int Charset = 1;
  uint32_t Color = 0; // 0x00BBGGRR
};

struct TPrintChoice {
  int MinPage = 1;
  int MaxPage = 1;
  int FromPage = 1; // out: the range chosen, when AllPages is false
  int ToPage = 1;
  bool AllPages = true;
  int Copies = 1;
};

// Margins in thousandths of an inch.
struct TPageSetupChoice {
  int MarginLeft = 1000;
  int MarginTop = 1000;
  int MarginRight = 1000;
  int MarginBottom = 1000;
  bool Portrait = true;
};

class TPrompter {
public:
  virtual ~TPrompter() = default;
  // Shows text exactly as given (CR, CR LF and LF each break a line) and
  // returns the button pressed; closing the box counts as Cancel (or as the
  // only button). An empty caption gives the type's usual caption.
  virtual TModalResult Message(const std::string &text, TMsgDlgType type, TMsgDlgButtons buttons,
                               const std::string &caption = std::string()) = 0;
  virtual bool OpenFileDialog(TFileDialogRequest &request) = 0;
  virtual bool SaveFileDialog(TFileDialogRequest &request) = 0;
  virtual bool FontDialog(TFontChoice &font) = 0;
  virtual bool PrintDialog(TPrintChoice &choice) = 0;
  virtual bool PageSetupDialog(TPageSetupChoice &setup) = 0;
  // A question whose buttons carry their own captions; returns the index of
  // the button pressed. Closing the box, or Escape, picks `defaultButton` as
  // Enter does, so it must be the answer that loses nothing.
  virtual int Ask(const std::string &text, TMsgDlgType type,
                  const std::vector<std::string> &buttons, int defaultButton,
                  const std::string &caption = std::string());
  // A list with a check box before each item; `chosen` comes in with the
  // items checked at first and goes out with the user's choice. False when
  // the list was cancelled (then `chosen` is unchanged).
  virtual bool ChooseItems(const std::string &caption, const std::string &text,
                           const std::vector<std::string> &items, std::vector<bool> &chosen);
  // A program event tests want to observe (window shown, instance message);
  // only the recording prompter keeps it.
  virtual void Trace(const std::string &event) { (void)event; }
};

// The installed prompter (a recording one that answers with defaults until
// the program installs its own).
TPrompter &Prompter();
// Installs a prompter and returns the previous one.
std::unique_ptr<TPrompter> SetPrompter(std::unique_ptr<TPrompter> prompter);

// Message-box shortcuts in the style the commands are written in.
TModalResult MessageDlg(const std::string &text, TMsgDlgType type, TMsgDlgButtons buttons);
void ShowMessage(const std::string &text);

// The caption a message box of that type carries when none is given.
std::string DefaultCaption(TMsgDlgType type);
// "Warning", "Error", ... and "OK,Cancel", ...: the names used in the log.
std::string TypeName(TMsgDlgType type);
std::string ButtonNames(TMsgDlgButtons buttons);
std::string ResultName(TModalResult result);
TModalResult ResultFromName(const std::string &name);

// One question or dialog as the recording prompter saw it.
struct TPromptRecord {
  std::string Kind;    // "MESSAGE", "ASK", "CHOOSE", "OPEN", "SAVE", "FONT", "PRINT",
                       // "PAGESETUP", "EVENT"
  std::string Caption; // message caption or dialog title
  std::string Type;    // message type name; the filter for file dialogs
  std::string Buttons; // message buttons; the initial folder for file dialogs
  std::string Text;    // message text; the preset file name; the event
  std::string Answer;  // button name, chosen path, or "Cancel"
};

// Records every question and answers from a list. With a log path, each
// record is appended to that file at once as one line of tab-separated,
// escaped fields (so a real process can be observed while it runs, and what
// it asked survives its end). With a script path, the answers are the lines
// of that file in order. When the answers run out: the first of OK, Yes,
// Retry, Ignore, Abort, No, Cancel that the box offers; dialogs are cancelled.
//
// Answers: button names ("OK", "Yes", ...) for messages; a path (or
// "Cancel") for file dialogs; "Name,Size" (or "Cancel") for the font dialog;
// "OK" or "first-last" (or "Cancel") for the print dialog; "OK"/"Cancel" for
// page setup; a button caption for Ask (the default button when none
// matches); "All", "None", "Cancel" or 1-based item numbers such as "1,3"
// for ChooseItems (items recorded one per line, checked ones marked "[x] ").
class TRecordingPrompter : public TPrompter {
public:
  TRecordingPrompter() = default;
  TRecordingPrompter(std::string logPath, const std::string &scriptPath);

  TModalResult Message(const std::string &text, TMsgDlgType type, TMsgDlgButtons buttons,
                       const std::string &caption = std::string()) override;
  bool OpenFileDialog(TFileDialogRequest &request) override;
  bool SaveFileDialog(TFileDialogRequest &request) override;
  bool FontDialog(TFontChoice &font) override;
  bool PrintDialog(TPrintChoice &choice) override;
  bool PageSetupDialog(TPageSetupChoice &setup) override;
  int Ask(const std::string &text, TMsgDlgType type, const std::vector<std::string> &buttons,
          int defaultButton, const std::string &caption = std::string()) override;
  bool ChooseItems(const std::string &caption, const std::string &text,
                   const std::vector<std::string> &items, std::vector<bool> &chosen) override;
  void Trace(const std::string &event) override;

  std::vector<TPromptRecord> Records;
  std::deque<std::string> Answers;

  // The lines of a log written by a recording prompter (a missing file gives
  // none).
  static std::vector<TPromptRecord> ReadLog(const std::string &logPath);
  static std::string FormatRecord(const TPromptRecord &record);
  static TPromptRecord ParseRecord(const std::string &line);

private:
  bool NextAnswer(std::string &answer);
  void Record(TPromptRecord record);
  bool FileDialog(const char *kind, TFileDialogRequest &request);

  std::string logPath_;
};
