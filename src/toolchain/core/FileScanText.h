// The file scan's text search: looks for one or more texts inside a file that
// is read in blocks, each block after the first preceded by the end of the one
// before, so that a text across a block border is found as in the whole file.
//
// Delimiters of the word, prefix and suffix matches (the same set on both
// sides): every byte that is not a word character. Word characters are the
// ASCII letters and digits, "_", and the letters of the Windows-1252 character
// set (0x8A, 0x8C, 0x8E, 0x9A, 0x9C, 0x9E, 0x9F and 0xC0 to 0xFF except 0xD7
// and 0xF7). The start and the end of the file count as delimiters. Without
// case sense, letters compare ignoring case in that character set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

enum class TSearchType { st_And, st_Or, st_Not };
enum class TSearchStringType { sst_Normal, sst_Word, sst_Prefix, sst_Suffix };

// Fired before and after each search text is looked for in a block: the file,
// the text, the case sense, the block number (from 1) and the block as read
// (with the end of the previous block in front of it).
using TBufferEvent = std::function<void(const std::string &fileName, const std::string &text,
                                        bool caseSense, int bufferNo, std::string_view buffer)>;

// Whether a byte ends a word.
bool IsTextDelimiter(unsigned char c);
// The byte as a letter of the other case compares (lower case), others as is.
unsigned char FoldTextCase(unsigned char c);

class TTextSearch {
public:
  static constexpr size_t DefaultBlockSize = 30000;

  // Empty texts are left out; with none left the search has nothing to do
  // (see HasTexts).
  TTextSearch(const std::vector<std::string> &texts, TSearchType type, TSearchStringType stringType,
              bool caseSense);

  bool HasTexts() const { return !needles_.empty(); }

  // 1 when the file matches (with st_Not: when none of the texts is in it), 0
  // when it does not, -1 when it cannot be opened, -2 when a read fails. The
  // name is opened relative to the folder dirFd (AT_FDCWD: the current
  // folder); eventName is what the buffer events get as the file name.
  int SearchFile(int dirFd, const std::string &name, const std::string &eventName);

  // Whether the texts are found in bytes held in memory, with the same rules
  // (1 or 0).
  int SearchBytes(std::string_view bytes);

  size_t BlockSize = DefaultBlockSize;
  TBufferEvent OnBeforeBuffer;
  TBufferEvent OnAfterBuffer;

private:
  struct TNeedle {
    std::string Text;   // as given, for the events
    std::string Folded; // folded when without case sense
    bool Found = false;
  };
  // Looks for every text not found yet in buf, which starts at file offset
  // base; atEnd: buf reaches the end of the file. Returns true when the
  // outcome is decided.
  bool SearchBlock(std::string_view buf, uint64_t base, bool atEnd, int bufferNo,
                   const std::string &eventName);
  bool FoundIn(const TNeedle &needle, std::string_view buf, uint64_t base, bool atEnd) const;
  int Outcome() const;
  void Reset();

  std::vector<TNeedle> needles_;
  TSearchType type_;
  TSearchStringType stringType_;
  bool caseSense_;
  size_t longest_ = 0;
  std::string buffer_;
};
