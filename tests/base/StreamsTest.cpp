// Memory and file streams, the atomic write and the chunked character source.
#include "EdStream.h"
#include "Streams.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
fs::path TempDir() {
  auto d = fs::temp_directory_path() / ("kx_base_" + std::to_string(::getpid()));
  fs::create_directories(d);
  return d;
}
} // namespace

TEST(MemoryStream, WriteSeekReadRoundTrip) {
  TMemoryStream m;
  m.WriteBuffer("hello", 5);
  m.Seek(-2, TSeekOrigin::soEnd);
  char b[8] = {};
  EXPECT_EQ(m.Read(b, 8), 2);
  EXPECT_STREQ(b, "lo");
  m.SetPosition(0);
  EXPECT_THROW(m.ReadBuffer(b, 6), EReadError);
  EXPECT_EQ(m.Size(), 5);
}

TEST(ReadOnlyMemoryStream, RefusesWrites) {
  TReadOnlyMemoryStream r("abc", 3);
  try {
    r.Write("x", 1);
    FAIL();
  } catch (const EStreamError &e) {
    EXPECT_STREQ(e.what(), "Cannot write to a read-only stream");
  }
}

TEST(AtomicWrite, ReplacesKeepsPermissionsAndLeavesNoTemporary) {
  const auto dir = TempDir();
  const auto file = (dir / "a.txt").string();
  WriteFileAtomic(file, "one");
  ::chmod(file.c_str(), 0640);
  WriteFileAtomic(file, "two two");
  EXPECT_EQ(ReadWholeFile(file), "two two");
  struct stat st {};
  ::stat(file.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  int entries = 0;
  for (auto &e : fs::directory_iterator(dir)) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1);
  fs::remove_all(dir);
}

TEST(AtomicWrite, FailureLeavesOldFileWhole) {
  // A file-size limit makes the write of the new text fail half-way, as a full
  // disk would; it runs in a child so the limit does not touch the test runner.
  const auto dir = TempDir();
  const auto file = (dir / "b.txt").string();
  WriteFileAtomic(file, "old contents");
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit lim {4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &lim);
    try {
      WriteFileAtomic(file, std::string(1 << 20, 'n'));
    } catch (const EStreamError &) {
      ::_exit(0);
    }
    ::_exit(1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the write did not report its failure";
  EXPECT_EQ(ReadWholeFile(file), "old contents");
  int entries = 0;
  for (auto &e : fs::directory_iterator(dir)) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1) << "a temporary file was left behind";
  fs::remove_all(dir);
}

TEST(AtomicWrite, MissingFolderRaisesWithPath) {
  try {
    WriteFileAtomic("/nonexistent-kx/dir/file.txt", "x");
    FAIL();
  } catch (const EStreamError &e) {
    EXPECT_NE(std::string(e.what()).find("/nonexistent-kx/dir/file.txt"), std::string::npos);
  }
}

// A source that hands out the text in chunks of a fixed size, to cross every boundary.
class ChunkedSource : public TEdStream {
public:
  ChunkedSource(std::string text, size_t chunk) : text_(std::move(text)), chunk_(chunk) {
    SetSize(static_cast<int64_t>(text_.size()));
    Fetch(0);
  }

protected:
  void Fetch(int64_t pos) override {
    const int64_t start = pos - pos % static_cast<int64_t>(chunk_);
    const size_t len = std::min(chunk_, text_.size() - static_cast<size_t>(start));
    SetChunk(reinterpret_cast<const unsigned char *>(text_.data()) + start, len, start, pos);
  }

private:
  std::string text_;
  size_t chunk_;
};

TEST(EdStream, ChunkedReadsMatchTextForEveryChunkSize) {
  const std::string text = "PAUSE 100\rHIGH PORTB.0\r'comment";
  for (size_t chunk = 1; chunk <= text.size() + 1; ++chunk) {
    ChunkedSource s(text, chunk);
    std::string got;
    while (!s.AtEnd()) {
      got += static_cast<char>(s.Current());
      s.Advance();
    }
    EXPECT_EQ(got, text) << "chunk " << chunk;
    EXPECT_EQ(s.Current(), 0);
    s.SetPosition(3);
    EXPECT_EQ(s.Current(), 'S');
    s.SetPosition(1000);
    EXPECT_TRUE(s.AtEnd());
  }
}
