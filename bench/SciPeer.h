// QScintilla set up as an editor built on it is set up for our files: 8-bit
// text (the files are Windows-1252, not UTF-8), Scintilla's own lexer for
// the language ("freebasic" for PIC BASIC, "asm" for listings) with the
// keyword lists of our scheme, the editor's font and a colour per style, and
// line numbers in the margin.
#pragma once

#include "SyntaxMemoParser.h"

#ifdef KX_HAVE_QSCINTILLA
#include <QColor>
#include <Qsci/qsciscintilla.h>
#endif

#include <cctype>
#include <string>
#include <vector>

namespace kxbench {

struct TSciLanguage {
  const char *Lexer;
  // Our token values whose keywords go into each of the lexer's keyword sets.
  std::vector<std::vector<int>> KeywordSets;
  // Style numbers of the lexer's comment, number, keyword and string styles.
  std::vector<int> CommentStyles, NumberStyles, KeywordStyles, StringStyles;
};

// freebasic's sets: keywords, preprocessor, user 1, user 2; its styles:
// 1 comment, 2 number, 3 keyword, 4 string, 5 preprocessor, 10-12 user words,
// 17-18 hex and binary numbers, 19 block comment.
inline const TSciLanguage &SciBasic() {
  static const TSciLanguage l{"freebasic", {{7}, {18}, {8, 9}, {10}}, {1, 19}, {2, 17, 18},
                              {3, 5, 10, 11, 12}, {4}};
  return l;
}

// asm's sets: CPU instructions, FPU instructions, registers, directives; its
// styles: 1 comment, 2 number, 3 string, 6 instruction, 8 register, 9 directive.
inline const TSciLanguage &SciAsm() {
  static const TSciLanguage l{"asm", {{31}, {}, {33}, {32}}, {1}, {2}, {6, 8, 9}, {3}};
  return l;
}

// The scheme's words of each keyword set, lower case, blank-separated.
inline std::vector<std::string> KeywordLists(const TSyntaxMemoParser &scheme,
                                             const TSciLanguage &lang) {
  std::vector<std::string> sets(lang.KeywordSets.size());
  for (const TSM_Word &w : scheme.Keywords.WordList())
    for (size_t s = 0; s < lang.KeywordSets.size(); ++s)
      for (int token : lang.KeywordSets[s])
        if (w.Token == token) {
          std::string lower = w.Word;
          for (char &c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
          sets[s] += (sets[s].empty() ? "" : " ") + lower;
        }
  return sets;
}

#ifdef KX_HAVE_QSCINTILLA
inline void SetUpSci(QsciScintilla &e, const TSyntaxMemoParser &scheme, const TSciLanguage &lang,
                     bool display = true) {
  e.setUtf8(false);
  e.SendScintilla(QsciScintillaBase::SCI_SETLEXERLANGUAGE, 0UL, lang.Lexer);
  const std::vector<std::string> sets = KeywordLists(scheme, lang);
  for (size_t s = 0; s < sets.size(); ++s)
    e.SendScintilla(QsciScintillaBase::SCI_SETKEYWORDS, static_cast<unsigned long>(s),
                    sets[s].c_str());
  if (!display)
    return;
  e.SendScintilla(QsciScintillaBase::SCI_STYLESETFONT, QsciScintillaBase::STYLE_DEFAULT,
                  "Courier New");
  e.SendScintilla(QsciScintillaBase::SCI_STYLESETSIZE, QsciScintillaBase::STYLE_DEFAULT, 10L);
  e.SendScintilla(QsciScintillaBase::SCI_STYLECLEARALL);
  auto colour = [&](const std::vector<int> &styles, QColor c) {
    for (int s : styles)
      e.SendScintilla(QsciScintillaBase::SCI_STYLESETFORE, static_cast<unsigned long>(s), c);
  };
  colour(lang.CommentStyles, QColor(0, 128, 0));
  colour(lang.NumberStyles, QColor(255, 0, 0));
  colour(lang.KeywordStyles, QColor(0, 0, 128));
  colour(lang.StringStyles, QColor(128, 128, 0));
  e.setMarginLineNumbers(0, true);
  e.setMarginWidth(0, 60);
}
#endif

} // namespace kxbench
