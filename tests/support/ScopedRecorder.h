// A fresh recording prompter for one test; the previous prompter comes back
// when the test's scope ends.
#pragma once

#include "Prompter.h"

#include <memory>

struct ScopedRecorder {
  TRecordingPrompter *recorder;
  std::unique_ptr<TPrompter> previous;
  ScopedRecorder() {
    auto r = std::make_unique<TRecordingPrompter>();
    recorder = r.get();
    previous = SetPrompter(std::move(r));
  }
  ~ScopedRecorder() { SetPrompter(std::move(previous)); }
  ScopedRecorder(const ScopedRecorder &) = delete;
  ScopedRecorder &operator=(const ScopedRecorder &) = delete;
};
