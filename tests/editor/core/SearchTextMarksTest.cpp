// The store's text marks: ordered insertion, removal by tag, the range query
// the painter uses, and random edits checked against a plain list that moves
// every mark by the same rules.
#include "CustomSyntaxMemo.h"
#include "TextMarks.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <tuple>

namespace {

using Key = std::tuple<int64_t, int64_t, int32_t>;

std::vector<Key> Sorted(const std::vector<TTextMark> &v) {
  std::vector<Key> out;
  for (const TTextMark &m : v)
    out.emplace_back(m.Start, m.End, m.Mark);
  std::sort(out.begin(), out.end());
  return out;
}

// The list the control kept before: every mark visited on every edit.
void ShiftPlain(std::vector<TTextMark> &marks, int64_t start, int64_t extent) {
  std::vector<TTextMark> kept;
  for (TTextMark m : marks) {
    if (extent > 0) {
      if (m.Start >= start)
        m.Start += extent;
      if (m.End > start)
        m.End += extent;
    } else {
      const int64_t end = start - extent;
      const bool hadText = m.End > m.Start;
      const bool inside = m.Start > start && m.Start < end;
      auto shift = [&](int64_t p) { return p >= end ? p + extent : p > start ? start : p; };
      m.Start = shift(m.Start);
      m.End = shift(m.End);
      if ((hadText && m.End <= m.Start) || (!hadText && inside))
        continue;
    }
    kept.push_back(m);
  }
  marks.swap(kept);
}

} // namespace

TEST(SearchTextMarks, AddKeepsStartOrderAndRemovalByTagLeavesTheOthers) {
  TTextMarks marks;
  EXPECT_EQ(marks.Add({10, 12, 7}), 0u);
  EXPECT_EQ(marks.Add({20, 25, 1}), 1u);
  EXPECT_EQ(marks.Add({5, 6, 7}), 0u);   // before the others
  EXPECT_EQ(marks.Add({10, 11, 1}), 2u); // after the mark that starts at the same place
  EXPECT_EQ(marks.Add({3, 1, 7}), 0u);   // an end before the start becomes an empty mark
  EXPECT_EQ(marks[0].End, 3);
  EXPECT_EQ(marks.CountTagged(7), 3u);
  EXPECT_EQ(marks.RemoveTagged(7), 3u);
  ASSERT_EQ(marks.Count(), 2u);
  EXPECT_EQ(marks[0].Start, 10);
  EXPECT_EQ(marks[1].Start, 20);
  EXPECT_EQ(marks.RemoveTagged(7), 0u);
  marks.Remove(5); // out of range: nothing
  marks.Remove(0);
  EXPECT_EQ(marks[0].Start, 20);
}

TEST(SearchTextMarks, RangeQuerySeesLongMarksThatStartFarBefore) {
  TTextMarks marks;
  marks.Add({0, 1000, 1}); // spans every row below
  for (int i = 0; i < 100; ++i)
    marks.Add({100 + i * 10, 103 + i * 10, 2});
  marks.Add({500, 500, 3}); // empty: never drawn
  std::vector<int64_t> seen;
  marks.ForEachOverlapping(500, 520, [&](const TTextMark &m) { seen.push_back(m.Start); });
  EXPECT_EQ(seen, (std::vector<int64_t>{0, 500, 510}));
  seen.clear();
  marks.ForEachOverlapping(1000, 1200, [&](const TTextMark &m) { seen.push_back(m.Start); });
  EXPECT_EQ(seen,
            (std::vector<int64_t>{1000, 1010, 1020, 1030, 1040, 1050, 1060, 1070, 1080, 1090}));
  // A mark that ends where the range starts does not overlap it.
  seen.clear();
  marks.ForEachOverlapping(103, 110, [&](const TTextMark &m) { seen.push_back(m.Start); });
  EXPECT_EQ(seen, (std::vector<int64_t>{0}));
}

TEST(SearchTextMarks, RandomEditsMoveMarksAsThePlainListDoes) {
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    std::mt19937 rng(seed);
    auto below = [&](int64_t n) { return static_cast<int64_t>(rng() % static_cast<uint32_t>(n)); };
    TTextMarks marks;
    std::vector<TTextMark> plain;
    int64_t size = 400;
    for (int step = 0; step < 300; ++step) {
      switch (below(4)) {
      case 0:
      case 1: {
        const int64_t s = below(size + 1);
        const int64_t len = below(4) == 0 ? below(60) : below(4);
        const TTextMark m{s, std::min(size, s + len), static_cast<int32_t>(below(3))};
        marks.Add(m);
        plain.push_back(m);
        break;
      }
      case 2: {
        const int64_t at = below(size + 1), n = 1 + below(20);
        marks.Shift(at, n);
        ShiftPlain(plain, at, n);
        size += n;
        break;
      }
      default: {
        if (size == 0)
          break;
        const int64_t at = below(size), n = 1 + below(std::min<int64_t>(30, size - at));
        marks.Shift(at, -n);
        ShiftPlain(plain, at, -n);
        size -= n;
      }
      }
      ASSERT_EQ(Sorted(marks.Items()), Sorted(plain)) << "seed " << seed << " step " << step;
      ASSERT_TRUE(
          std::is_sorted(marks.Items().begin(), marks.Items().end(),
                         [](const TTextMark &a, const TTextMark &b) { return a.Start < b.Start; }));
      // The painter's question against a scan of every mark.
      const int64_t a = below(size + 1), b = a + below(50);
      std::vector<TTextMark> got, want;
      marks.ForEachOverlapping(a, b, [&](const TTextMark &m) { got.push_back(m); });
      for (const TTextMark &m : plain)
        if (m.End > a && m.Start < b && m.End > m.Start)
          want.push_back(m);
      ASSERT_EQ(Sorted(got), Sorted(want)) << "seed " << seed << " step " << step;
    }
  }
}

TEST(SearchTextMarks, MarksBelongToTheirStore) {
  std::unique_ptr<TTextStore> firstOwned; // outlives the control that shows it at the end
  TCustomSyntaxMemo m;
  TTextStore other;
  m.Store()->TextMarks.Add({1, 3, 5});
  TTextStore *first = m.Store();
  firstOwned.reset(first);
  m.AttachStore(&other);
  EXPECT_TRUE(m.Store()->TextMarks.Empty());
  m.AttachStore(first);
  ASSERT_EQ(m.Store()->TextMarks.Count(), 1u);
  EXPECT_EQ(m.Store()->TextMarks[0].End, 3);
}
