// The line store: node layout invariants, look-up, insertion and deletion at
// every node boundary, columns and tab stops, and the lists that follow edits.
#include "TextStore.h"
#include "CustomSyntaxMemo.h"
#include "RichExport.h"
#include "Streams.h"
#include "SyntaxMemoStrings.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::string Norm(const std::string &s) {
  return NormaliseText(s.data(), s.size());
}

void Load(TCustomSyntaxMemo &m, const std::string &bytes) {
  TMemoryStream s(bytes);
  m.LoadFromStream(s);
}

std::vector<int> NodeLengths(const TTextStore &st) {
  std::vector<int> v;
  for (TLineNode *n = st.First(); n; n = n->Next)
    v.push_back(n->Length);
  return v;
}

} // namespace

TEST(TextStoreNormalise, LineBreaksAndControlBytes) {
  EXPECT_EQ(Norm("a\r\nb\nc\rd"), "a\rb\rc\rd");
  EXPECT_EQ(Norm(std::string("x\0y\x1bz\t\x7f\x80\xff", 9)), "x.y.z\t\x7f\x80\xff");
  EXPECT_EQ(Norm("\r\n\r\n\n\r"), "\r\r\r\r");
  // A pair split over two blocks still gives one break.
  TNormaliser n;
  char out[8];
  EXPECT_EQ(n.Feed("ab\r", 3, out), 3u);
  EXPECT_EQ(n.Feed("\ncd", 3, out), 2u);
  EXPECT_EQ(std::string(out, 2), "cd");
}

TEST(TextStoreLoad, EdgeCasesOfThePart) {
  TCustomSyntaxMemo m;
  Load(m, std::string("a\r\nb\nc\rd"));
  EXPECT_EQ(m.LineCount(), 4);
  EXPECT_EQ(m.LineText(0), "a");
  EXPECT_EQ(m.LineText(3), "d");
  TMemoryStream out;
  m.SaveToStream(&out);
  EXPECT_EQ(out.Bytes(), "a\r\nb\r\nc\r\nd");

  Load(m, std::string("A\0B\x1b", 4));
  EXPECT_EQ(m.Text(), "A.B.");

  Load(m, std::string(5000, 'x'));
  EXPECT_EQ(NodeLengths(*m.Store()), (std::vector<int>{2047, 2047, 906}));
  EXPECT_EQ(m.Lines().Count(), 3);
  EXPECT_EQ(m.Store()->First()->Next->Marks & nmContinued, nmContinued);
  EXPECT_EQ(m.Store()->CheckInvariants(), "");

  // CR LF straddling the 8192-byte block boundary.
  std::string big(8191, 'q');
  big += "\r\nrest";
  Load(m, big);
  EXPECT_EQ(m.Text().find('\n'), std::string::npos);
  EXPECT_EQ(m.TextLength(), 8191 + 1 + 4);
  EXPECT_EQ(m.Store()->CheckInvariants(), "");
  EXPECT_EQ(m.LineText(m.LineCount() - 1), "rest");
}

TEST(TextStoreLoad, LongLineAndEmptyStream) {
  TCustomSyntaxMemo m;
  Load(m, std::string(10 * 1024 * 1024, 'z'));
  EXPECT_EQ(m.LineCount(), (10 * 1024 * 1024 + 2046) / 2047);
  EXPECT_EQ(m.Store()->CheckInvariants(), "");
  Load(m, "");
  EXPECT_EQ(m.TextLength(), 0);
  EXPECT_EQ(m.LineCount(), 0);
  EXPECT_EQ(m.Perform(EM_GETLINECOUNT), 1);
}

TEST(TextStoreLoad, MissingFileLeavesTextAlone) {
  TCustomSyntaxMemo m;
  Load(m, "keep me");
  const std::string name = std::string(KX_BINARY_DIR) + "/no/such/file.bas";
  try {
    m.LoadFromFile(name);
    FAIL() << "no exception";
  } catch (const EFOpenError &e) {
    EXPECT_STREQ(e.what(), ("File '" + name + "' cannot be opened for reading").c_str());
  }
  EXPECT_EQ(m.Text(), "keep me");
  EXPECT_FALSE(m.Loading());
}

TEST(TextStoreEdit, FastPathAndGeneralPath) {
  TTextStore st;
  st.InsertNormalised(0, "abc\rdef\r", 8);
  EXPECT_FALSE(st.LastInsertWasFast());
  st.InsertNormalised(1, "X", 1);
  EXPECT_TRUE(st.LastInsertWasFast());
  EXPECT_EQ(st.GetText(0, st.CharCount()), "aXbc\rdef\r");
  // At a node's end (before nothing) the fast path does not apply.
  st.InsertNormalised(st.CharCount(), "g", 1);
  EXPECT_FALSE(st.LastInsertWasFast());
  EXPECT_EQ(st.LineCount(), 3);
  // A CR always splits.
  st.InsertNormalised(2, "\r", 1);
  EXPECT_FALSE(st.LastInsertWasFast());
  EXPECT_EQ(st.DebugDump(), "[aX\\r]\n[bc\\r]\n[def\\r]\n[g]\n");
  EXPECT_EQ(st.CheckInvariants(), "");
  // TAB sets the slow-column flag on the fast path too.
  st.InsertNormalised(0, "\t", 1);
  EXPECT_TRUE(st.First()->Flags & nfHasTab);
}

TEST(TextStoreEdit, MarkerWordsAndAttachmentFollowTheFirstNode) {
  TTextStore st;
  st.InsertNormalised(0, "one\rtwo\r", 8);
  TLineNode *n = st.First();
  n->Marks = 0x4;
  n->Gutter = 0x10;
  n->Word1 = 7;
  n->Word2 = 8;
  n->SetAttachment(new TLineAttachment);
  n->Attachment()->Node = n;
  n->AllocAttributes();
  st.InsertNormalised(1, "a\rb", 3); // general path, splits the line
  TLineNode *f = st.First();
  EXPECT_EQ(f->Marks, 0x4);
  EXPECT_EQ(f->Gutter, 0x10);
  EXPECT_EQ(f->Word1, 7);
  EXPECT_EQ(f->Word2, 8);
  ASSERT_NE(f->Attachment(), nullptr);
  EXPECT_EQ(f->Attachment()->Node, f);
  EXPECT_EQ(f->Attributes(), nullptr);
  EXPECT_EQ(f->Next->Marks, 0);
  EXPECT_EQ(f->Next->Word1, -1);
  EXPECT_TRUE(f->Next->Flags & nfStale);
  // Joining the lines again keeps the first node's words.
  st.Delete(2, 1);
  EXPECT_EQ(st.First()->Word1, 7);
  EXPECT_EQ(st.First()->Attachment()->Node, st.First());
  EXPECT_EQ(st.CheckInvariants(), "");
}

TEST(TextStoreEdit, DeleteAcrossNodesAndEverything) {
  TTextStore st;
  const std::string t = Norm("l1\nl2\nl3\nl4");
  st.InsertNormalised(0, t.data(), t.size());
  st.Delete(1, 9); // "l" + "4"
  EXPECT_EQ(st.GetText(0, st.CharCount()), "l4");
  EXPECT_EQ(st.LineCount(), 1);
  st.Delete(0, 2);
  EXPECT_EQ(st.First(), nullptr);
  EXPECT_EQ(st.LineCount(), 0);
  EXPECT_EQ(st.CharCount(), 0);
  // A final line break: the empty line after it has no node.
  st.InsertNormalised(0, "ab\r", 3);
  EXPECT_EQ(st.LineCount(), 1);
  EXPECT_EQ(st.Locate(3).Node, nullptr);
  EXPECT_EQ(st.Locate(3).Line, 1);
  st.InsertNormalised(3, "c", 1);
  EXPECT_EQ(st.LineCount(), 2);
  EXPECT_EQ(st.CheckInvariants(), "");
}

TEST(TextStoreEdit, RandomEditsKeepInvariantsAndLookups) {
  std::mt19937 rng(7);
  TTextStore st;
  std::string model;
  const char alphabet[] = "ab\r\t xyz";
  for (int step = 0; step < 3000; ++step) {
    if (model.empty() || rng() % 3) {
      const size_t pos = model.empty() ? 0 : rng() % (model.size() + 1);
      std::string ins;
      const int len =
          rng() % 5 == 0 ? static_cast<int>(rng() % 3000) : static_cast<int>(rng() % 4) + 1;
      for (int i = 0; i < len; ++i)
        ins += alphabet[rng() % 8];
      st.InsertNormalised(static_cast<int64_t>(pos), ins.data(), ins.size());
      model.insert(pos, ins);
    } else {
      const size_t pos = rng() % model.size();
      const size_t count = std::min<size_t>(model.size() - pos, rng() % 2500 + 1);
      st.Delete(static_cast<int64_t>(pos), static_cast<int64_t>(count));
      model.erase(pos, count);
    }
    ASSERT_EQ(st.CheckInvariants(), "") << "step " << step;
    ASSERT_EQ(st.CharCount(), static_cast<int64_t>(model.size()));
    if (step % 50 == 0) {
      ASSERT_EQ(st.GetText(0, st.CharCount()), model);
      // Every position finds a node that holds it.
      for (int k = 0; k < 20 && !model.empty(); ++k) {
        const int64_t p = rng() % model.size();
        TLinePos lp = st.Locate(p);
        ASSERT_NE(lp.Node, nullptr);
        ASSERT_EQ(lp.Node->Text()[p - lp.Start], model[p]);
        ASSERT_EQ(st.LocateLine(lp.Line).Start, lp.Start);
      }
      // A logical line (one cut into several nodes too) starts after the last
      // CR before the position; the end of the text included.
      for (int k = 0; k < 20; ++k) {
        const size_t p = k == 0 ? model.size() : rng() % (model.size() + 1);
        const size_t cr = p == 0 ? std::string::npos : model.rfind('\r', p - 1);
        ASSERT_EQ(st.LogicalLineStart(static_cast<int64_t>(p)),
                  static_cast<int64_t>(cr == std::string::npos ? 0 : cr + 1))
            << "step " << step << " pos " << p;
      }
    }
  }
}

TEST(TextStoreLookup, AnchorCacheFollowsEdits) {
  TTextStore st;
  std::string text;
  for (int i = 0; i < 1000; ++i)
    text += "line " + std::to_string(i) + "\r";
  st.InsertNormalised(0, text.data(), text.size());
  st.SetAnchorLine(500);
  EXPECT_EQ(st.LocateLine(500).Start, static_cast<int64_t>(text.find("line 500\r")));
  // An edit above the anchor moves it; look-ups stay right.
  st.InsertNormalised(3, "\r\r", 2);
  const std::string now = st.GetText(0, st.CharCount());
  EXPECT_EQ(st.LocateLine(502).Start, static_cast<int64_t>(now.find("line 500\r")));
  st.InsertNormalised(static_cast<int64_t>(now.find("line 600")), "Q", 1);
  const std::string later = st.GetText(0, st.CharCount());
  EXPECT_EQ(st.Locate(static_cast<int64_t>(later.find("line 700"))).Line, 702);
  EXPECT_EQ(st.Locate(static_cast<int64_t>(later.find("line 700")) - 1).Line, 701);
  EXPECT_EQ(st.LineStart(st.LineCount()), st.CharCount());
}

TEST(TextStoreColumns, TabsAndStops) {
  TTabStops tabs;
  tabs.SetDefault(4);
  tabs.SetColumns("5;9 13");
  EXPECT_EQ(tabs.Table()[0], 4);
  EXPECT_EQ(tabs.Table()[1], 8);
  EXPECT_EQ(tabs.Table()[2], 12);
  EXPECT_EQ(tabs.Table()[3], -1);
  EXPECT_EQ(tabs.Columns(), "5 9 13");
  EXPECT_EQ(tabs.NextStop(0), 4);
  EXPECT_EQ(tabs.NextStop(12), 16); // past the table: multiples of the default

  TTextStore st;
  st.InsertNormalised(0, "a\tb\rxyz", 7);
  TLineNode *n = st.First();
  EXPECT_EQ(OffsetToColumn(n, 1, tabs), 1);
  EXPECT_EQ(OffsetToColumn(n, 2, tabs), 4);
  EXPECT_EQ(OffsetToColumn(n, 3, tabs), 5);
  EXPECT_EQ(OffsetToColumn(n, 4, tabs), 5); // past the CR: the CR's column
  EXPECT_EQ(ColumnToOffset(n, 2, tabs), 1); // inside the TAB
  EXPECT_EQ(ColumnToOffset(n, 4, tabs), 2);
  EXPECT_EQ(ColumnToOffset(n, 99, tabs), 3);
  EXPECT_EQ(OffsetToColumn(n->Next, 3, tabs), 3);
}

TEST(TextStoreColumns, TabErrors) {
  TTabStops tabs;
  auto err = [&](const std::string &text) {
    try {
      tabs.SetColumns(text);
    } catch (const ESyntaxMemo &e) {
      return std::string(e.what());
    }
    return std::string("none");
  };
  tabs.SetColumns("3 6");
  EXPECT_EQ(err("4 x"), "Tab stop column value expected");
  EXPECT_EQ(err("4 7a"), "Tab stop column value expected");
  EXPECT_EQ(err("5 5"), "Tab columns must be in order and unique");
  EXPECT_EQ(err("9 5"), "Tab columns must be in order and unique");
  EXPECT_EQ(err("1"), "Tab column must be > 1");
  std::string many;
  for (int i = 2; i <= 34; ++i)
    many += std::to_string(i) + " ";
  EXPECT_EQ(err(many), "Too many tab stops - maximum of 32");
  EXPECT_EQ(tabs.Columns(), "3 6"); // unchanged after every failure
  EXPECT_EQ(err(""), "none");
  EXPECT_EQ(tabs.Columns(), "");
  try {
    tabs.SetDefault(0);
    FAIL();
  } catch (const ESyntaxMemo &e) {
    EXPECT_STREQ(e.what(), "=Illegal default tab stop value, must be > 0");
  }
}

TEST(TextStoreLists, BreakpointsBookmarksAndTracksShift) {
  TCustomSyntaxMemo m;
  Load(m, "0123456789\rabcdef\r");
  TTextStore &st = *m.Store();
  TSM_LineTracks tracks;
  st.LineTracks = &tracks;
  st.Breakpoints.Add(11, 0);
  st.CodeBreaks.Add(1, 1);
  tracks.Add(5, 0);
  std::vector<std::string> freed;
  st.Bookmarks.OnCustomBookmarkFree = [&](const std::string &n) { freed.push_back(n); };
  st.Bookmarks.Add("start", 0);
  st.Bookmarks.Add("mid", 5);
  st.Bookmarks.Add("line2", 11);

  m.SetSelection(2, 2);
  m.ReplaceSel("XY");
  EXPECT_EQ(st.Breakpoints.Entries()[0].Position, 13);
  EXPECT_EQ(st.CodeBreaks.Entries()[0].Position, 1);
  EXPECT_EQ(tracks.Entries()[0].Position, 7);
  int64_t p = -1;
  ASSERT_TRUE(st.Bookmarks.Find("mid", p));
  EXPECT_EQ(p, 7);
  ASSERT_TRUE(st.Bookmarks.Find("start", p));
  EXPECT_EQ(p, 0);

  // Deleting 4..9 removes "mid" (inside), moves the rest back.
  m.SetSelection(4, 9);
  m.ReplaceSel("");
  EXPECT_EQ(freed, std::vector<std::string>{"mid"});
  EXPECT_FALSE(st.Bookmarks.Find("mid", p));
  ASSERT_TRUE(st.Bookmarks.Find("line2", p));
  EXPECT_EQ(p, 8);
  EXPECT_EQ(st.Breakpoints.Entries()[0].Position, 8);
  ASSERT_EQ(st.CodeBreaks.Entries().size(), 1u);
  EXPECT_EQ(st.CodeBreaks.Entries()[0].Position, 1);
  EXPECT_TRUE(tracks.Entries().empty());
  // Undo restores text; the lists follow the re-insert.
  m.Undo();
  EXPECT_EQ(st.Breakpoints.Entries()[0].Position, 13);
  st.LineTracks = nullptr;
}

TEST(TextStoreStream, EdStreamReadsAcrossNodes) {
  TTextStore st;
  const std::string t = Norm("ab\ncd\n" + std::string(3000, 'e'));
  st.InsertNormalised(0, t.data(), t.size());
  TTextStoreEdStream s(st);
  std::string read;
  while (!s.AtEnd()) {
    read += static_cast<char>(s.Current());
    s.Advance();
  }
  EXPECT_EQ(read, t);
  EXPECT_EQ(s.Current(), 0);
  s.SetPosition(4);
  EXPECT_EQ(s.Current(), 'd');
  s.SetPosition(2500);
  EXPECT_EQ(s.Current(), 'e');
  s.SetPosition(1);
  EXPECT_EQ(s.Current(), 'b');
}

TEST(TextStoreStream, ReadOnlyByteStream) {
  TTextStore st;
  const std::string t = Norm("first\nsecond\n" + std::string(2500, 'x'));
  st.InsertNormalised(0, t.data(), t.size());
  TTextStoreReadStream s(st);
  EXPECT_EQ(s.Size(), static_cast<int64_t>(t.size()));
  std::string all(t.size() + 10, '\0');
  EXPECT_EQ(s.Read(all.data(), 4), 4);
  EXPECT_EQ(s.Read(all.data() + 4, static_cast<int64_t>(all.size())),
            static_cast<int64_t>(t.size()) - 4);
  all.resize(t.size());
  EXPECT_EQ(all, t);
  EXPECT_EQ(s.Read(all.data(), 1), 0);
  s.SetPosition(6);
  char c;
  s.Read(&c, 1);
  EXPECT_EQ(c, 's');
  try {
    s.Write("x", 1);
    FAIL();
  } catch (const EStreamError &e) {
    EXPECT_STREQ(e.what(), "Cannot write to a read-only stream");
  }
}

namespace {
// A stream that runs out of memory part-way.
class StarvingStream : public TMemoryStream {
public:
  using TMemoryStream::TMemoryStream;
  int64_t Read(void *b, int64_t n) override {
    if (Position() > 10000)
      throw std::bad_alloc();
    return TMemoryStream::Read(b, n);
  }
};
} // namespace

TEST(TextStoreLoad, OutOfMemoryKeepsThePreviousText) {
  TCustomSyntaxMemo m;
  Load(m, "previous\r\ntext");
  m.SetSelection(3, 3);
  StarvingStream s(std::string(50000, 'n'));
  try {
    m.LoadFromStream(s);
    FAIL();
  } catch (const ESyntaxMemo &e) {
    EXPECT_STREQ(e.what(), "Not enough memory for operation");
  }
  EXPECT_EQ(m.Text(), "previous\rtext");
  EXPECT_FALSE(m.Loading());
  EXPECT_TRUE(m.Redraw());
}

TEST(TextStoreNormalise, MatchesAByteByByteReferenceOverAnyBlocks) {
  std::mt19937 rng(3);
  for (int round = 0; round < 500; ++round) {
    std::string in;
    const int n = static_cast<int>(rng() % 400);
    for (int i = 0; i < n; ++i)
      in += static_cast<char>(rng() % 3 == 0 ? "\r\n\t\0\x1f "[rng() % 6] : rng() % 256);
    // Reference: one byte at a time, pairs joined.
    std::string want;
    for (size_t i = 0; i < in.size(); ++i) {
      const auto c = static_cast<unsigned char>(in[i]);
      if (c == 13 && i + 1 < in.size() && in[i + 1] == 10)
        ++i;
      want += c == 13 || c == 10 ? '\r' : c < 32 && c != 9 ? '.' : static_cast<char>(c);
    }
    // Fed in random blocks, a pair may straddle any boundary.
    TNormaliser norm;
    std::string got;
    size_t at = 0;
    while (at < in.size()) {
      const size_t k = std::min<size_t>(in.size() - at, 1 + rng() % 40);
      std::string buf(k, '\0');
      buf.resize(norm.Feed(in.data() + at, k, buf.data()));
      got += buf;
      at += k;
    }
    ASSERT_EQ(got, want) << round;
  }
}
