// Every test process runs in a private environment: its own HOME, XDG
// folders and TMPDIR under a fresh folder, whoever starts it (ctest, a
// developer by hand, a debugger). Nothing a test writes reaches the user's
// own settings, and two checkouts can test side by side.
#pragma once

#include <string>

namespace kxtest {

// The private folder of this test process (set up before any test runs).
const std::string &PrivateRoot();

// A new empty folder inside the private root, named after `stem` and the
// running test, so each test case gets its own.
std::string FreshDir(const std::string &stem);

} // namespace kxtest
