// The journal as bytes on disk: random edit sessions read back exactly, a
// journal cut at every byte or damaged in any byte reads back as the state of
// its last whole record (never a crash, never a wrong text), and session
// folders of ended processes are found while live ones are left alone.
#include "DocumentJournal.h"
#include "JournalReader.h"
#include "JournalRecords.h"
#include "JournalWriter.h"
#include "RecoverySession.h"
#include "TextStore.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string TextOf(TTextStore &s) {
  return s.GetText(0, s.CharCount());
}

// A document's text in a store, its plain model, and the journal that sees
// every edit as the editor reports it.
struct TSession {
  TJournalWriter writer;
  std::string path;
  TTextStore store;
  std::string model;
  std::unique_ptr<TDocumentJournal> journal;
  int64_t clock = 1000;

  explicit TSession(const std::string &folder) : path(folder + "/doc.kxj") {
    journal = std::make_unique<TDocumentJournal>(writer, path);
  }
  void Insert(int64_t pos, const std::string &text) {
    for (size_t done = 0; done < text.size(); done += kInsertPiece) {
      const size_t n = std::min<size_t>(kInsertPiece, text.size() - done);
      store.InsertNormalised(pos + int64_t(done), text.data() + done, n);
    }
    model.insert(size_t(pos), text);
    journal->NoteInsert(pos, text.data(), text.size(), ++clock);
  }
  void Delete(int64_t pos, int64_t count) {
    store.Delete(pos, count);
    model.erase(size_t(pos), size_t(count));
    journal->NoteDelete(pos, count, ++clock);
  }
  void Flush(int64_t caret = 0) {
    journal->Flush(store, "/work/prog.bas", {0, caret, caret, 3});
    writer.Drain();
  }
};

std::string RandomText(std::mt19937 &rng, size_t n) {
  static const char chars[] = "abc xyz\t\r09=";
  std::string s;
  for (size_t i = 0; i < n; ++i)
    s.push_back(chars[rng() % (sizeof chars - 1)]);
  return s;
}

// Typing, backspace and delete runs, pastes and cuts at random places, with
// flushes in between: what a user's session sends to the journal.
void RandomSession(TSession &s, std::mt19937 &rng, int steps) {
  int64_t caret = 0;
  for (int i = 0; i < steps; ++i) {
    const int64_t len = int64_t(s.model.size());
    caret = std::clamp<int64_t>(caret, 0, len);
    switch (rng() % 7) {
    case 0:
    case 1: // typing at the caret
      for (int k = int(rng() % 6); k >= 0; --k) {
        s.Insert(caret, RandomText(rng, 1));
        ++caret;
      }
      break;
    case 2: // backspace run
      for (int k = int(rng() % 4); k >= 0 && caret > 0; --k)
        s.Delete(--caret, 1);
      break;
    case 3: // delete run
      for (int k = int(rng() % 4); k >= 0 && caret < int64_t(s.model.size()); --k)
        s.Delete(caret, 1);
      break;
    case 4: // paste somewhere else
      caret = len ? int64_t(rng() % size_t(len + 1)) : 0;
      s.Insert(caret, RandomText(rng, 1 + rng() % 300));
      break;
    case 5: // cut a range
      if (len > 0) {
        const int64_t from = int64_t(rng() % size_t(len));
        s.Delete(from, 1 + int64_t(rng() % size_t(len - from)));
        caret = from;
      }
      break;
    case 6:
      s.Flush(caret);
      break;
    }
  }
  s.Flush(caret);
}

TEST(Journal, RandomSessionsReadBackExactly) {
  for (unsigned seed = 1; seed <= 25; ++seed) {
    std::string stem("j");
    stem += std::to_string(seed);
    TSession s(kxtest::FreshDir(stem));
    std::mt19937 rng(seed);
    s.Insert(0, RandomText(rng, rng() % 5000));
    RandomSession(s, rng, 400);
    ASSERT_EQ(TextOf(s.store), s.model);
    TRecoveredJournal r = ReadJournalFile(s.path);
    ASSERT_TRUE(r.Usable) << seed;
    EXPECT_EQ(TextOf(*r.Text), s.model) << seed;
    EXPECT_EQ(r.LostBytes, 0u);
    EXPECT_EQ(r.FileName, "/work/prog.bas");
    EXPECT_EQ(r.Text->CheckInvariants(), "");
    EXPECT_GT(r.Mark.LastEditMs, 1000);
  }
}

TEST(Journal, TypingAppendsSmallRecordsNotTheText) {
  TSession s(kxtest::FreshDir("small"));
  s.Insert(0, std::string(200000, 'x'));
  s.Flush();
  const size_t afterSnapshot = ReadFile(s.path).size();
  EXPECT_GT(afterSnapshot, 200000u);
  for (int i = 0; i < 50; ++i) {
    s.Insert(1000 + i, "y");
    s.Flush();
  }
  // Fifty flushes of one key each: a mark and one short insert per flush.
  const size_t grown = ReadFile(s.path).size() - afterSnapshot;
  EXPECT_LT(grown, 50u * 80);
  EXPECT_EQ(TextOf(*ReadJournalFile(s.path).Text), s.model);
}

TEST(Journal, ReplacedTextAndDiscardStartAFreshJournal) {
  TSession s(kxtest::FreshDir("replace"));
  s.Insert(0, "first\r");
  s.Flush();
  s.journal->NoteReplaced(5000);
  s.store.Clear();
  s.model.clear();
  s.Insert(0, "second");
  s.Flush();
  EXPECT_EQ(TextOf(*ReadJournalFile(s.path).Text), "second");
  s.journal->Discard();
  s.writer.Drain();
  EXPECT_FALSE(ReadJournalFile(s.path).Usable);
  EXPECT_EQ(ReadFile(s.path), "");
  // The next edit after a discard writes the whole text again.
  s.Insert(6, "!");
  s.Flush();
  EXPECT_EQ(TextOf(*ReadJournalFile(s.path).Text), "second!");
  // A journal that goes away with its document leaves nothing behind.
  s.journal.reset();
  s.writer.Drain();
  EXPECT_FALSE(std::ifstream(s.path).good());
}

// Where each record of a well-formed journal ends.
std::vector<size_t> RecordEnds(const std::string &bytes) {
  std::vector<size_t> ends;
  for (size_t at = kxjournal::Magic.size(); at + kxjournal::RecordOverhead <= bytes.size();) {
    at += kxjournal::RecordOverhead + kxjournal::GetU32(bytes.data() + at + 1);
    ends.push_back(at);
  }
  return ends;
}

// The text a journal gives when read up to each record end ("<none>" before
// the snapshot).
std::vector<std::string> StatesAt(const std::string &bytes, const std::vector<size_t> &ends) {
  std::vector<std::string> states;
  for (size_t e : ends) {
    TRecoveredJournal r = ReadJournal(bytes.data(), e);
    states.push_back(r.Usable ? TextOf(*r.Text) : std::string("<none>"));
  }
  return states;
}

// The states a journal passes through, record by record: a reader given any
// prefix must produce the state of the last whole record in it.
TEST(Journal, CutAtEveryByteRecoversTheLastWholeRecord) {
  TSession s(kxtest::FreshDir("cut"));
  std::mt19937 rng(7);
  s.Insert(0, "DEVICE 16F84\rSYMBOL LED = PORTB.0\r");
  s.Flush();
  RandomSession(s, rng, 60);
  const std::string bytes = ReadFile(s.path);
  const std::vector<size_t> ends = RecordEnds(bytes);
  ASSERT_EQ(ends.back(), bytes.size());
  const std::vector<std::string> states = StatesAt(bytes, ends);
  EXPECT_EQ(states.back(), s.model);
  size_t k = 0; // records wholly inside the prefix
  for (size_t cut = 0; cut <= bytes.size(); ++cut) {
    while (k < ends.size() && ends[k] <= cut)
      ++k;
    TRecoveredJournal r = ReadJournal(bytes.data(), cut);
    const std::string got = r.Usable ? TextOf(*r.Text) : std::string("<none>");
    const std::string want = k == 0 ? std::string("<none>") : states[k - 1];
    ASSERT_EQ(got, want) << "cut at " << cut;
    const size_t whole = k == 0 ? (cut >= kxjournal::Magic.size() ? kxjournal::Magic.size() : 0)
                                : ends[k - 1];
    ASSERT_EQ(r.LostBytes, cut - whole) << "cut at " << cut;
  }
}

TEST(Journal, AnyDamagedByteEndsTheReadingAtAWholeState) {
  TSession s(kxtest::FreshDir("flip"));
  std::mt19937 rng(11);
  s.Insert(0, "x = 1\r");
  s.Flush();
  RandomSession(s, rng, 30);
  const std::string bytes = ReadFile(s.path);
  std::vector<std::string> states = StatesAt(bytes, RecordEnds(bytes));
  states.push_back(std::string("<none>"));
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::string damaged = bytes;
    damaged[i] = static_cast<char>(damaged[i] ^ (1 << (i % 8)));
    TRecoveredJournal r = ReadJournal(damaged.data(), damaged.size());
    const std::string got = r.Usable ? TextOf(*r.Text) : std::string("<none>");
    ASSERT_NE(std::find(states.begin(), states.end(), got), states.end()) << "byte " << i;
    ASSERT_GT(r.LostBytes, 0u) << "byte " << i;
    if (r.Text) {
      ASSERT_EQ(r.Text->CheckInvariants(), "");
    }
  }
}

// Records that pass their CRC but say impossible things (a crafted file).
TEST(Journal, WellFramedNonsenseIsRefusedNotApplied) {
  using namespace kxjournal;
  std::string j(Magic);
  std::string header;
  PutI64(header, 1);
  header += "a.bas";
  AppendRecord(j, TRecordType::Header, header);
  AppendRecord(j, TRecordType::Snapshot, "ab\ncd\x01");
  const size_t good = j.size();
  std::string del;
  PutI64(del, 2);
  PutI64(del, INT64_MAX);
  AppendRecord(j, TRecordType::Delete, del);
  TRecoveredJournal r = ReadJournal(j.data(), j.size());
  ASSERT_TRUE(r.Usable);
  EXPECT_EQ(TextOf(*r.Text), "ab\rcd.");
  EXPECT_EQ(r.LostBytes, j.size() - good);
  EXPECT_EQ(r.Text->CheckInvariants(), "");
  for (const int64_t pos : {int64_t(-1), int64_t(7), INT64_MIN}) {
    std::string bad = j.substr(0, good), ins;
    PutI64(ins, pos);
    ins += "zz";
    AppendRecord(bad, TRecordType::Insert, ins);
    EXPECT_EQ(TextOf(*ReadJournal(bad.data(), bad.size()).Text), "ab\rcd.");
  }
  // A second snapshot or a record before the header ends the reading too.
  std::string twice = j.substr(0, good);
  AppendRecord(twice, TRecordType::Snapshot, "other");
  EXPECT_EQ(TextOf(*ReadJournal(twice.data(), twice.size()).Text), "ab\rcd.");
  std::string headless(Magic);
  AppendRecord(headless, TRecordType::Snapshot, "text");
  EXPECT_FALSE(ReadJournal(headless.data(), headless.size()).Usable);
  // A length larger than the file asks for no memory.
  std::string huge(Magic);
  huge += 'H';
  huge += std::string("\xff\xff\xff\xff", 4);
  EXPECT_FALSE(ReadJournal(huge.data(), huge.size()).Usable);
}

TEST(Journal, Crc32MatchesTheKnownCheckValue) {
  EXPECT_EQ(kxjournal::Crc32("123456789", 9), 0xCBF43926u);
  std::string long_(1000, 'q');
  EXPECT_EQ(kxjournal::Crc32(long_.data() + 3, 997),
            kxjournal::Crc32(long_.data() + 503, 497, kxjournal::Crc32(long_.data() + 3, 500)));
}

TEST(RecoverySessions, OnlyFoldersOfEndedProcessesAreOrphans) {
  const std::string root = kxtest::FreshDir("sessions") + "/";
  TRecoverySession mine(root);
  ASSERT_TRUE(mine.Active());
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    TRecoverySession theirs(root);
    {
      std::ofstream(theirs.NewJournalPath()) << "x";
    }
    const char c = theirs.Active() ? '1' : '0';
    (void)!::write(ready[1], &c, 1);
    ::pause();
    ::_exit(0);
  }
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, '1');
  // Alive: its folder is nobody's to take.
  EXPECT_TRUE(FindOrphanSessions(root, mine.Folder()).empty());
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  std::vector<TOrphanSession> orphans = FindOrphanSessions(root, mine.Folder());
  ASSERT_EQ(orphans.size(), 1u);
  EXPECT_EQ(orphans[0].Journals().size(), 1u);
  // While this process holds it, another scan does not offer it again.
  const pid_t second = ::fork();
  if (second == 0)
    ::_exit(FindOrphanSessions(root, mine.Folder()).empty() ? 0 : 1);
  int status = 0;
  ::waitpid(second, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  orphans[0].RemoveAll();
  orphans.clear();
  EXPECT_TRUE(FindOrphanSessions(root, mine.Folder()).empty());
  ::close(ready[0]);
  ::close(ready[1]);
}

} // namespace
