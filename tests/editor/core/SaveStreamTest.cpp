// Saving large texts: the plain formats gather lines while a second thread
// writes, which must give exactly the bytes a plain walk gives, and must pass
// the stream's failures on to the caller.
#include "CustomSyntaxMemo.h"
#include "Streams.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>
#include <string>

namespace {

// Several megabytes of lines of random lengths, some beyond a node's limit,
// with and without a final line break.
std::string RandomText(unsigned seed, size_t size, bool finalBreak) {
  std::mt19937 rng(seed);
  std::string t;
  while (t.size() < size) {
    const size_t len = rng() % 10 == 0 ? rng() % 5000 : rng() % 80;
    for (size_t i = 0; i < len; ++i)
      t += rng() % 12 == 0 ? '\t' : static_cast<char>('!' + rng() % 90);
    t += "\r\n";
  }
  if (!finalBreak)
    t += "tail";
  return t;
}

void Load(TCustomSyntaxMemo &m, const std::string &bytes) {
  TMemoryStream s(bytes);
  m.LoadFromStream(s);
}

// Counts writes and fails from a given byte on, by throwing or by refusing.
class FailingStream : public TMemoryStream {
public:
  FailingStream(int64_t failAt, bool throws) : failAt_(failAt), throws_(throws) {}
  int64_t Write(const void *b, int64_t n) override {
    if (Position() + n > failAt_) {
      if (throws_)
        throw EWriteError("Stream write error");
      return 0;
    }
    return TMemoryStream::Write(b, n);
  }

private:
  int64_t failAt_;
  bool throws_;
};

} // namespace

TEST(SaveLarge, EveryFormatAndLineStyleGivesTheWalkedBytes) {
  for (bool finalBreak : {true, false}) {
    const std::string crlf = RandomText(finalBreak ? 5 : 6, 6u << 20, finalBreak);
    TCustomSyntaxMemo m;
    Load(m, crlf);
    ASSERT_GT(m.TextLength(), 4 << 20);
    std::string cr = crlf, lf = crlf;
    for (std::string *s : {&cr, &lf}) {
      std::string out;
      for (size_t i = 0; i < crlf.size(); ++i) {
        if (crlf[i] == '\r' && i + 1 < crlf.size() && crlf[i + 1] == '\n') {
          out += s == &cr ? '\r' : '\n';
          ++i;
        } else {
          out += crlf[i];
        }
      }
      *s = out;
    }
    struct Case {
      TSaveFormat format;
      TSelLineStyle style;
      const std::string &want;
    };
    for (const Case &c : {Case{sfTEXT, lsCRLF, crlf}, Case{sfTEXT, lsLF, cr},
                          Case{sfUNIX, lsCRLF, lf}}) {
      m.SaveFormat = c.format;
      m.SetSelLineStyle(c.style);
      TMemoryStream out;
      m.SaveToStream(&out);
      ASSERT_EQ(out.Bytes().size(), c.want.size());
      EXPECT_TRUE(out.Bytes() == c.want) << "format " << c.format << " style " << c.style;
      // Saved bytes load back to the same text.
      TCustomSyntaxMemo back;
      Load(back, out.Bytes());
      EXPECT_EQ(back.TextLength(), m.TextLength());
    }
  }
}

TEST(SaveLarge, AStreamThatThrowsMidWayStopsTheSave) {
  TCustomSyntaxMemo m;
  Load(m, RandomText(7, 3u << 20, true));
  FailingStream s(2 << 20, true);
  try {
    m.SaveToStream(&s);
    FAIL() << "no exception";
  } catch (const EWriteError &e) {
    EXPECT_STREQ(e.what(), "Stream write error");
  }
  // The control is usable afterwards and saves again in full.
  TMemoryStream ok;
  m.SaveToStream(&ok);
  EXPECT_GT(static_cast<int64_t>(ok.Bytes().size()), m.TextLength());
}

TEST(SaveLarge, AStreamThatRefusesGivesTheSaveError) {
  TCustomSyntaxMemo m;
  Load(m, RandomText(8, 3u << 20, true));
  FailingStream s(1 << 20, false);
  try {
    m.SaveToStream(&s);
    FAIL() << "no exception";
  } catch (const EFileSaveError &e) {
    EXPECT_STREQ(e.what(), "Could not save text to stream");
  }
}

TEST(SaveToFile, ThroughASymbolicLinkReplacesTheFileItNames) {
  // Saving to a link must keep the link and update the file behind it, like
  // the main window's saves; it used to put a plain file where the link was.
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("kx-save-link-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path real = dir / "real.bas", link = dir / "link.bas";
  {
    std::ofstream(real) << "old\r\n";
  }
  fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink(real, link);
  TCustomSyntaxMemo m;
  Load(m, "new text\r\n");
  m.SaveToFile(link.string());
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadWholeFile(real.string()), "new text\r\n");
  EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
  fs::remove_all(dir);
}
