// The root of every exception the program raises; a command guard in the shell
// shows what() in a message box and ends the command.
#pragma once

#include <stdexcept>
#include <string>

class EKorvexError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Declares an exception class that derives from a given base and keeps its message.
#define KX_DECLARE_ERROR(Name, Base)                                                               \
  class Name : public Base {                                                                       \
  public:                                                                                          \
    using Base::Base;                                                                              \
  }

// Stream and file errors, with the runtime library's texts.
KX_DECLARE_ERROR(EStreamError, EKorvexError);
KX_DECLARE_ERROR(EFOpenError, EStreamError);   // "Cannot open file ..." / "File '%s' cannot be opened for reading"
KX_DECLARE_ERROR(EFCreateError, EStreamError); // "Cannot create file ..."
KX_DECLARE_ERROR(EReadError, EStreamError);    // "Stream read error"
KX_DECLARE_ERROR(EWriteError, EStreamError);   // "Stream write error"
