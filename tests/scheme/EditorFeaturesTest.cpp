// Stored forms of key maps, templates and auto-replace lists: round trips and
// refusal of truncated or lying input.
#include "EditorFeatures.h"

#include <gtest/gtest.h>

TEST(EditorFeaturesStoredForm, KeyMapRoundTripsAndTruncationFails) {
  TSM_KeyMapData d;
  d.Commands = {{0, "Cursor left"}, {17, "Indent selected block"}};
  d.Bindings = {{0x25, 0, 0}, {scCtrl | 'K', 'I', 17}};
  TMemoryStream m;
  d.WriteTo(m);
  const std::string bytes = m.Bytes();
  m.SetPosition(0);
  TSM_KeyMapData back;
  back.ReadFrom(m);
  EXPECT_EQ(back, d);
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    TMemoryStream t(bytes.substr(0, cut));
    TSM_KeyMapData x;
    EXPECT_THROW(x.ReadFrom(t), EReadError) << cut;
  }
}

TEST(EditorFeaturesStoredForm, TemplatesAndAutoReplaceRoundTrip) {
  std::vector<TSM_CodeTemplate> t = {{"forn", "FOR loop", "FOR | = 0 TO 10\rNEXT"}, {"x", "", ""}};
  std::vector<TSM_AutoReplace> a = {{"teh", "the"}};
  TMemoryStream m;
  WriteTemplates(m, t);
  WriteAutoReplace(m, a);
  m.SetPosition(0);
  EXPECT_EQ(ReadTemplates(m), t);
  EXPECT_EQ(ReadAutoReplace(m), a);
}

TEST(EditorFeaturesStoredForm, HugeCountIsRefusedWithoutAllocating) {
  TMemoryStream m;
  kxio::WriteI32(m, 0x7FFFFFFF);
  m.SetPosition(0);
  EXPECT_THROW(ReadTemplates(m), EReadError);
  TMemoryStream n;
  kxio::WriteI32(n, -5);
  n.SetPosition(0);
  EXPECT_THROW(ReadAutoReplace(n), EReadError);
}
