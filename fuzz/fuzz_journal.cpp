// Recovery journals are untrusted (a crash, a full disk or another program
// may have left anything): reading any bytes never crashes, never asks for
// more memory than the input holds, and leaves a text store whose invariants
// hold. Needs KX_FUZZ_NEEDS_JOURNAL.
#include "JournalReader.h"
#include "TextStore.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const TRecoveredJournal r = ReadJournal(reinterpret_cast<const char *>(data), size);
  if (r.LostBytes > size)
    __builtin_trap();
  if (r.Text) {
    if (!r.Text->CheckInvariants().empty())
      __builtin_trap();
    (void)r.Text->GetText(0, r.Text->CharCount());
  }
  return 0;
}
