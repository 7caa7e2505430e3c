// Key map: default bindings, two-key sequences with the pending state,
// ambiguity errors and the stored form.
#include "KeyMap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace {

// Runs a sequence of keystrokes; returns the recognised code, -2 when the last
// keystroke left the sequence pending, -3 for no match.
int32_t Press(TKeyboardActionContoller &k, std::initializer_list<uint16_t> keys) {
  int32_t code = -1;
  TKeyLookup r = TKeyLookup::klNoMatch;
  for (uint16_t key : keys)
    r = k.Keys().LookUp(key, code);
  if (r == TKeyLookup::klPending)
    return -2;
  if (r == TKeyLookup::klNoMatch)
    return -3;
  return code;
}

} // namespace

TEST(KeyMapDefaults, EveryCommandHasItsNameAndDefaultKey) {
  TKeyboardActionContoller k;
  k.LoadDefaults();
  EXPECT_EQ(k.Commands().size(), 48u);
  EXPECT_EQ(k.GetCommandName(0), "Cursor left");
  EXPECT_EQ(k.GetCommandName(19), "Toggle insert/overwrite mode");
  EXPECT_EQ(k.GetCommandName(27), "Set Bookmark 7");
  EXPECT_EQ(k.GetCommandName(39), "Goto Bookmark 9");
  EXPECT_EQ(k.GetCommandName(47), "Scroll display down one line");
  EXPECT_EQ(k.GetCommandName(48), "");
  EXPECT_EQ(k.Keys().BindingCount(), 48);
  for (int32_t code = 0; code < kEditorCommandCount; ++code) {
    uint16_t first = 0, second = 0;
    ASSERT_TRUE(k.FindBinding(code, 0, first, second)) << code;
    // Every binding leads back to its command.
    k.Keys().ResetLookUp();
    EXPECT_EQ(second ? Press(k, {first, second}) : Press(k, {first}), code) << code;
  }
  uint16_t f = 1, s = 1;
  EXPECT_FALSE(k.FindBinding(0, 1, f, s));
  EXPECT_EQ(f, 0);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(Press(k, {scShift | scCtrl | 'Z'}), ecRedo);
  EXPECT_EQ(Press(k, {scCtrl | 'Z'}), ecUndo);
  EXPECT_EQ(Press(k, {scCtrl | vk::Back}), ecDeleteWordBack);
}

TEST(KeyMapDefaults, DefaultMapIsBuiltOnce) {
  EXPECT_EQ(&DefaultKeyMap(), &DefaultKeyMap());
  EXPECT_EQ(DefaultKeyMap().Keys().BindingCount(), 48);
}

TEST(KeyMapLookUp, SecondKeyMatchesWithoutModifiersAndAbandonsOnOtherKeys) {
  TKeyboardActionContoller k;
  k.LoadDefaults();
  EXPECT_EQ(Press(k, {scCtrl | 'K'}), -2);
  EXPECT_TRUE(k.Keys().Pending());
  EXPECT_EQ(Press(k, {'I'}), ecIndent);
  EXPECT_FALSE(k.Keys().Pending());
  EXPECT_EQ(Press(k, {scCtrl | 'K', scCtrl | 'I'}), ecIndent);
  EXPECT_EQ(Press(k, {scCtrl | 'K', scShift | 'I'}), ecIndent);
  EXPECT_EQ(Press(k, {scCtrl | 'Q', '5'}), ecGotoBookmark0 + 5);
  EXPECT_EQ(Press(k, {scCtrl | 'Q', scCtrl | '5'}), ecGotoBookmark0 + 5);
  // Ctrl+K, X: no match, the cursor is back at the top level.
  EXPECT_EQ(Press(k, {scCtrl | 'K', 'X'}), -3);
  EXPECT_FALSE(k.Keys().Pending());
  EXPECT_EQ(Press(k, {vk::Left}), ecLeft);
  // Shifted keys are distinct at the first level.
  EXPECT_EQ(Press(k, {scShift | vk::Left}), -3);
  EXPECT_EQ(Press(k, {'A'}), -3);
}

TEST(KeyMapBindings, ConflictsRaiseWithBothNamesAndKeepEarlierBindings) {
  TKeyboardActionContoller k;
  k.LoadDefaults();
  try {
    k.AddBinding(scCtrl | 'K', 0, ecDeleteLine);
    FAIL() << "no error";
  } catch (const EAmbigiousKeyPair &e) {
    EXPECT_EQ(std::string(e.what()),
              "Duplicate key sequence definition for\r\n\"Indent selected block\" and \"Delete "
              "current line\"");
  }
  EXPECT_THROW(k.AddBinding(vk::Left, 'A', ecRight), EAmbigiousKeyPair); // Left ends a binding
  EXPECT_THROW(k.AddBinding(vk::Left, 0, ecRight), EAmbigiousKeyPair);
  EXPECT_THROW(k.AddBinding(scCtrl | 'K', scAlt | 'I', ecRight), EAmbigiousKeyPair);
  EXPECT_EQ(k.Keys().BindingCount(), 48);
  EXPECT_EQ(Press(k, {scCtrl | 'K', 'I'}), ecIndent);
  // A new unrelated binding still works after the failures.
  k.AddBinding(scAlt | 'X', 'Y', ecCut);
  EXPECT_EQ(Press(k, {scAlt | 'X', scCtrl | 'Y'}), ecCut);
  uint16_t f = 0, s = 0;
  ASSERT_TRUE(k.FindBinding(ecCut, 1, f, s));
  EXPECT_EQ(f, scAlt | 'X');
  EXPECT_EQ(s, 'Y');
}

TEST(KeyMapBindings, CommandNamesReplaceEarlierNames) {
  TKeyboardActionContoller k;
  k.SetCommandName(3, "a");
  k.SetCommandName(3, "b");
  EXPECT_EQ(k.GetCommandName(3), "b");
  EXPECT_EQ(k.Commands().size(), 1u);
  k.Clear();
  EXPECT_EQ(k.GetCommandName(3), "");
}

TEST(KeyMapStoredForm, RoundTripKeepsEveryBindingAndOrder) {
  TKeyboardActionContoller k;
  k.LoadDefaults();
  TMemoryStream m;
  k.WriteTo(m);
  m.SetPosition(0);
  TKeyboardActionContoller back;
  back.ReadFrom(m);
  auto sorted = [](std::vector<TSM_KeyBinding> v) {
    std::sort(v.begin(), v.end(), [](const auto &a, const auto &b) {
      return std::tie(a.First, a.Second, a.Command) < std::tie(b.First, b.Second, b.Command);
    });
    return v;
  };
  EXPECT_EQ(back.Commands(), k.Commands());
  EXPECT_EQ(sorted(back.ToData().Bindings), sorted(k.ToData().Bindings));
  // Writing what was read gives the same bytes again.
  TMemoryStream again;
  back.WriteTo(again);
  TMemoryStream third;
  TKeyboardActionContoller back2;
  again.SetPosition(0);
  back2.ReadFrom(again);
  back2.WriteTo(third);
  EXPECT_EQ(third.Bytes(), again.Bytes());
  for (int32_t code = 0; code < kEditorCommandCount; ++code) {
    uint16_t f1, s1, f2, s2;
    k.FindBinding(code, 0, f1, s1);
    back.FindBinding(code, 0, f2, s2);
    EXPECT_EQ(f1, f2);
    EXPECT_EQ(s1, s2);
  }
  // Siblings before children: every top-level binding precedes the two-key ones.
  const auto b = k.ToData().Bindings;
  bool seenTwo = false;
  for (const auto &x : b) {
    if (x.Second)
      seenTwo = true;
    else
      EXPECT_FALSE(seenTwo) << ShortcutToText(x.First);
  }
  // Byte layout: count, then code and a length-prefixed name.
  const std::string &bytes = m.Bytes();
  ASSERT_GE(bytes.size(), 20u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x30\0\0\0", 4));
  EXPECT_EQ(bytes.substr(4, 4), std::string("\0\0\0\0", 4));
  EXPECT_EQ(bytes.substr(8, 12), std::string("\x0b"
                                             "Cursor left"));
  // A copy is independent of the original.
  TKeyboardActionContoller copy = k;
  copy.AddBinding(scAlt | 'Q', 0, 1);
  EXPECT_EQ(copy.Keys().BindingCount(), 49);
  EXPECT_EQ(k.Keys().BindingCount(), 48);
}

TEST(KeyMapStoredForm, ConflictingStoredBindingsAreRefused) {
  TSM_KeyMapData d;
  d.Commands = {{1, "one"}, {2, "two"}};
  d.Bindings = {{scCtrl | 'A', 0, 1}, {scCtrl | 'A', 'B', 2}};
  TMemoryStream m;
  d.WriteTo(m);
  m.SetPosition(0);
  TKeyboardActionContoller k;
  try {
    k.ReadFrom(m);
    FAIL();
  } catch (const EAmbigiousKeyPair &e) {
    EXPECT_EQ(std::string(e.what()),
              "Duplicate key sequence definition for\r\n\"one\" and \"two\"");
  }
}

TEST(KeyNames, SortedListMapsSchemeNamesToVirtualKeys) {
  const auto &n = KeyNames();
  EXPECT_EQ(n.size(), 26u);
  EXPECT_TRUE(std::is_sorted(n.begin(), n.end()));
  EXPECT_EQ(KeyNameToVirtualKey("backspace"), 8);
  EXPECT_EQ(KeyNameToVirtualKey("PageDown"), 34);
  EXPECT_EQ(KeyNameToVirtualKey("f1"), 112);
  EXPECT_EQ(KeyNameToVirtualKey("f12"), 123);
  EXPECT_EQ(KeyNameToVirtualKey("tab"), 9);
  EXPECT_EQ(KeyNameToVirtualKey("return"), 13);
  EXPECT_EQ(KeyNameToVirtualKey("f13"), 0);
  EXPECT_EQ(ShortcutToText(scShift | scCtrl | vk::Left), "Shift+Ctrl+Left");
  EXPECT_EQ(ShortcutToText(scCtrl | 'K'), "Ctrl+K");
}
