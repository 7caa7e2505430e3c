// Matching of code templates and auto-replace words against the text before
// the caret, and the expansion of a template's text. The control applies the
// results as one undo group each.
#pragma once

#include "EditorFeatures.h"
#include "Search.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr uint16_t kDefaultTemplateHotKey = scCtrl | 'J';

// The entry whose name or word stands just before the caret: it ends the text
// before the caret and, if it starts with a word character, no word character
// comes before it. Letters match in either case; the longest entry wins.
// Returns its index or -1.
int FindTemplateBeforeCaret(const std::vector<TSM_CodeTemplate> &list,
                            const std::string &lineBeforeCaret, const TCharTest &isInWord);
int FindAutoReplaceBeforeCaret(const std::vector<TSM_AutoReplace> &list,
                               const std::string &lineBeforeCaret, const TCharTest &isInWord);

// The word being typed: the run of word characters that ends the text.
std::string WordBeforeCaret(const std::string &lineBeforeCaret, const TCharTest &isInWord);

// Templates to offer when none stands before the caret: those whose name starts
// with the word before the caret, or all of them when none does.
std::vector<int> TemplateCandidates(const std::vector<TSM_CodeTemplate> &list,
                                    const std::string &word);

struct TTemplateExpansion {
  std::string Text;       // line breaks as CR
  size_t CaretOffset = 0; // where "|" stood, else the end
};

// Expands a template's text: the first "|" marks the caret and is dropped ("||"
// gives a literal bar); every line after the first starts with indent.
TTemplateExpansion ExpandTemplateText(const std::string &text, const std::string &indent);
