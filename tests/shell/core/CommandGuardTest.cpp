// The command guard: whatever escapes a command is shown and ends it.
#include "CommandGuard.h"
#include "KorvexError.h"
#include "Prompter.h"
#include "ScopedRecorder.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(CommandGuard, EscapingExceptionsAreShownAndEndTheCommand) {
  ScopedRecorder rec;
  int after = 0;
  EXPECT_TRUE(RunCommand([] {}));
  EXPECT_FALSE(RunCommand([&] {
    throw EKorvexError("Problem Running /no/such/TERM.EXE");
    ++after;
  }));
  EXPECT_FALSE(RunCommand([] { throw std::runtime_error("plain failure"); }));
  EXPECT_FALSE(RunCommand([] { throw 42; }));
  EXPECT_FALSE(RunCommand([] { throw std::bad_alloc(); }));
  EXPECT_EQ(after, 0);
  ASSERT_EQ(rec.recorder->Records.size(), 4u);
  const TPromptRecord &r = rec.recorder->Records[0];
  EXPECT_EQ(r.Text, "Problem Running /no/such/TERM.EXE");
  EXPECT_EQ(r.Type, "Error");
  EXPECT_EQ(r.Buttons, "OK");
  EXPECT_EQ(r.Caption, "KORVEX Editor");
  EXPECT_EQ(rec.recorder->Records[1].Text, "plain failure");
  EXPECT_FALSE(rec.recorder->Records[2].Text.empty());
  EXPECT_EQ(rec.recorder->Records[3].Text, "Out of memory");
}

TEST(CommandGuard, AFailingPrompterDoesNotEscapeEither) {
  struct Throwing : TRecordingPrompter {
    TModalResult Message(const std::string &, TMsgDlgType, TMsgDlgButtons,
                         const std::string &) override {
      throw std::runtime_error("cannot show");
    }
  };
  auto previous = SetPrompter(std::make_unique<Throwing>());
  EXPECT_FALSE(RunCommand([] { throw EKorvexError("x"); }));
  SetPrompter(std::move(previous));
}

TEST(CommandGuard, GuardedCallableRunsTheCommand) {
  ScopedRecorder rec;
  int runs = 0;
  auto f = Guarded([&] {
    if (++runs == 2)
      throw EKorvexError("second run fails");
  });
  f();
  f();
  f();
  EXPECT_EQ(runs, 3);
  ASSERT_EQ(rec.recorder->Records.size(), 1u);
  EXPECT_EQ(rec.recorder->Records[0].Text, "second run fails");
}

} // namespace
