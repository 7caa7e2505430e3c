// How line nodes are stored: the per-store arena behind the 4-byte links, and
// the side table of attributes and attachments.
#include "CustomSyntaxMemo.h"
#include "Streams.h"
#include "TextStore.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// An attachment that counts the live ones, so leaks and double frees show.
struct CountedAttachment : TLineAttachment {
  static inline int live = 0;
  CountedAttachment() { ++live; }
  ~CountedAttachment() override { --live; }
};

// Generates numbered lines on the fly: a large text without holding it.
class LineGenerator : public TStream {
public:
  explicit LineGenerator(int64_t size) : size_(size) {}
  int64_t Read(void *buffer, int64_t count) override {
    auto *out = static_cast<char *>(buffer);
    int64_t done = 0;
    while (done < count && pos_ < size_) {
      out[done++] = (pos_ % 40 == 39) ? '\n' : static_cast<char>('a' + pos_ % 26);
      ++pos_;
    }
    return done;
  }
  int64_t Write(const void *, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    pos_ = origin == TSeekOrigin::soBeginning ? offset
           : origin == TSeekOrigin::soCurrent ? pos_ + offset
                                              : size_ + offset;
    return pos_;
  }

private:
  int64_t size_, pos_ = 0;
};

long VmSizeBytes() {
  std::ifstream f("/proc/self/status");
  std::string key;
  long kb = 0;
  while (f >> key) {
    if (key == "VmSize:") {
      f >> kb;
      return kb * 1024;
    }
  }
  return 0;
}

// Runs body in a child process under an address-space limit of the current
// size plus headroom; the child's exit code is the body's result.
int UnderAddressLimit(long headroom, int (*body)()) {
  const pid_t pid = fork();
  if (pid == 0) {
    const rlim_t limit = static_cast<rlim_t>(VmSizeBytes() + headroom);
    rlimit r{limit, limit};
    if (setrlimit(RLIMIT_AS, &r) != 0)
      _exit(90);
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

} // namespace

TEST(NodeStorage, LimitedAddressSpaceStillLoadsAndRunsOutCleanly) {
  // With little address space the arena settles for a smaller range: text
  // still loads and edits. A text too large for what is left fails with the
  // memory message and leaves the previous text as it was.
  const int rc = UnderAddressLimit(96L << 20, [] {
    try {
      TCustomSyntaxMemo m;
      LineGenerator small(400000);
      m.LoadFromStream(small);
      if (!m.Store()->CheckInvariants().empty() || m.Store()->LineCount() != 10000)
        return 1;
      m.SetSelection(100, 100);
      m.ReplaceSel("typed", 5, false);
      if (m.Store()->CharCount() != 400005)
        return 2;
      LineGenerator huge(int64_t(1) << 32);
      try {
        m.LoadFromStream(huge);
        return 3;
      } catch (const ESyntaxMemo &e) {
        if (std::strcmp(e.what(), "Not enough memory for operation") != 0)
          return 4;
      }
      if (m.Store()->CharCount() != 400005 || !m.Store()->CheckInvariants().empty())
        return 5;
      return 0;
    } catch (...) {
      return 6;
    }
  });
  EXPECT_EQ(rc, 0);
}

TEST(NodeStorage, ManyStoresEachWithTheirOwnRange) {
  // Stores come and go with tabs; each reserves its range only once it holds
  // text, and gives it back when cleared or destroyed.
  std::vector<std::unique_ptr<TTextStore>> stores;
  for (int i = 0; i < 64; ++i) {
    stores.push_back(std::make_unique<TTextStore>());
    const std::string t = "line " + std::to_string(i) + "\r";
    for (int k = 0; k < 100; ++k)
      stores.back()->Append(t.data(), t.size());
  }
  for (auto &s : stores) {
    ASSERT_EQ(s->CheckInvariants(), "");
    s->Clear();
    s->Append("again\r", 6);
    EXPECT_EQ(s->GetText(0, s->CharCount()), "again\r");
  }
  // Swapping the text moves the nodes with their range.
  stores[0]->SwapText(*stores[1]);
  stores[1].reset();
  EXPECT_EQ(stores[0]->CheckInvariants(), "");
  EXPECT_EQ(stores[0]->GetText(0, stores[0]->CharCount()), "again\r");
}

TEST(NodeStorage, AttributesAndAttachmentsSurviveRandomEditsWithoutLeaks) {
  const size_t slotsBefore = kxnode::LiveExtras();
  const int attachmentsBefore = CountedAttachment::live;
  std::mt19937 rng(11);
  {
    TTextStore st;
    std::string model;
    for (int i = 0; i < 300; ++i)
      model += "row " + std::to_string(i) + (i % 7 ? "\r" : "\t\r");
    st.Append(model.data(), model.size());
    for (int round = 0; round < 3000; ++round) {
      const int op = static_cast<int>(rng() % 6);
      const int64_t pos = st.CharCount() ? static_cast<int64_t>(rng() % (st.CharCount() + 1)) : 0;
      if (op == 0 || op == 1) { // decorate a random line
        TLineNode *n = st.LocateLine(static_cast<int64_t>(rng() % (st.LineCount() + 1))).Node;
        if (!n)
          continue;
        if (op == 0) {
          std::memset(n->AllocAttributes(), 3, n->Length);
        } else if (!n->Attachment()) {
          auto *a = new CountedAttachment;
          a->Node = n;
          n->SetAttachment(a);
        }
      } else if (op == 2) { // drop attributes
        if (TLineNode *n = st.Locate(pos).Node)
          n->FreeAttributes();
      } else if (op == 3) {
        std::string ins;
        const int len = static_cast<int>(rng() % 60);
        for (int k = 0; k < len; ++k)
          ins += rng() % 8 == 0 ? '\r' : static_cast<char>('a' + rng() % 26);
        st.InsertNormalised(pos, ins.data(), ins.size());
        model.insert(static_cast<size_t>(pos), ins);
      } else {
        const int64_t count = static_cast<int64_t>(rng() % 200);
        const int64_t n = std::min<int64_t>(count, st.CharCount() - pos);
        st.Delete(pos, count);
        model.erase(static_cast<size_t>(pos), static_cast<size_t>(n));
      }
      ASSERT_EQ(st.CheckInvariants(), "") << "round " << round;
      // Every decorated node holds exactly one slot, and only those do.
      size_t decorated = 0;
      int attached = 0;
      for (TLineNode *n = st.First(); n; n = n->Next) {
        decorated += n->Extra != 0;
        attached += n->Attachment() != nullptr;
        ASSERT_EQ(n->Extra != 0, n->Attributes() != nullptr || n->Attachment() != nullptr);
      }
      ASSERT_EQ(kxnode::LiveExtras() - slotsBefore, decorated);
      ASSERT_EQ(CountedAttachment::live - attachmentsBefore, attached);
    }
    ASSERT_EQ(st.GetText(0, st.CharCount()), model);
  }
  EXPECT_EQ(kxnode::LiveExtras(), slotsBefore);
  EXPECT_EQ(CountedAttachment::live, attachmentsBefore);
}
