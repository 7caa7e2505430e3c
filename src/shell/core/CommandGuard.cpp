// The command guard: the program's default handler for escaping exceptions.
#include "CommandGuard.h"

#include "KorvexError.h"
#include "Prompter.h"

#include <exception>
#include <new>

void ShowCurrentException() noexcept {
  std::string text;
  try {
    throw;
  } catch (const std::bad_alloc &) {
    text = "Out of memory";
  } catch (const std::exception &e) {
    text = e.what();
  } catch (...) {
    text = "Unexpected error";
  }
  try {
    Prompter().Message(text, TMsgDlgType::mtError, mbOK, ApplicationTitle);
  } catch (...) {
    // Nothing more can be shown; the command has ended either way.
  }
}

bool RunCommand(const std::function<void()> &command) noexcept {
  try {
    if (command)
      command();
    return true;
  } catch (...) {
    ShowCurrentException();
    return false;
  }
}
