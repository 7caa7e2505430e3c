// The generated benchmark inputs: large stress files (PIC BASIC of 1, 10 and
// 50 MB, a 10 MB assembler listing) and a typical program as users write them.
// Every text is deterministic, so every run measures the same bytes, and each
// generator carries a version: a file written by another version, or of
// another size, is written again.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kxbench {

struct TRng {
  uint32_t s = 12345;
  uint32_t Next() { return s = s * 1103515245u + 12345u; }
  uint32_t Below(uint32_t n) { return (Next() >> 8) % n; }
};

// One section of the stress text: short ASCII lines, blanks for indentation.
inline std::string BasicChunk(TRng &r, int n) {
  static const char *ports[] = {"PORTA", "PORTB", "PORTC", "PORTD"};
  const std::string k = std::to_string(n);
  std::string s;
  s += "' Section " + k + " : generated PIC BASIC for benchmarks\r\n";
  s += "DEFINE OSC 20\r\nINCLUDE \"modedefs.bas\"\r\n";
  s += "counter" + k + " VAR WORD\r\nflag" + k + " VAR BIT\r\n";
  s += "LED" + k + " CON " + std::to_string(r.Below(8)) + "\r\n";
  s += "main" + k + ":\r\n";
  for (int i = 0; i < 12; ++i) {
    const char *p = ports[r.Below(4)];
    switch (r.Below(8)) {
    case 0: s += "    HIGH " + std::string(p) + "." + std::to_string(r.Below(8)) + "\r\n"; break;
    case 1: s += "    PAUSE " + std::to_string(r.Below(1000)) + "   ; wait a while\r\n"; break;
    case 2:
      s += "    FOR counter" + k + " = 0 TO " + std::to_string(r.Below(255)) +
           " STEP 2\r\n        TOGGLE " + p + ".1\r\n    NEXT counter" + k + "\r\n";
      break;
    case 3:
      s += "    IF counter" + k + " > $" + std::to_string(10 + r.Below(80)) + " AND flag" + k +
           " = 1 THEN\r\n        SEROUT " + p + ".6, T9600, [\"Value: \", DEC counter" + k +
           ", 13, 10]\r\n    ENDIF\r\n";
      break;
    case 4: s += "    LCDOUT $FE, 1, \"Line \", #counter" + k + "\r\n"; break;
    case 5: s += "    ADCIN 0, counter" + k + "  ' read the sensor\r\n"; break;
    case 6: s += "    GOSUB sub" + k + "\r\n"; break;
    default: s += "    LOW " + std::string(p) + "." + std::to_string(r.Below(8)) + " : PAUSEUS %1010\r\n";
    }
  }
  s += "    GOTO main" + k + "\r\nsub" + k + ":\r\n";
  s += "ASM\r\n    bcf STATUS, RP0\r\n    movlw 0x2F\r\nENDASM\r\n    RETURN\r\n\r\n";
  return s;
}

inline std::string AsmChunk(TRng &r, int n) {
  static const char *ops[] = {"movlw", "movwf", "bsf",   "bcf",    "btfss",
                              "goto",  "call",  "addwf", "decfsz", "clrf"};
  std::string s;
  s += "; routine " + std::to_string(n) + "\r\nL" + std::to_string(n) + "\r\n";
  for (int i = 0; i < 16; ++i) {
    s += "        " + std::string(ops[r.Below(10)]) + "   ";
    switch (r.Below(4)) {
    case 0: s += "0x" + std::to_string(10 + r.Below(89)); break;
    case 1: s += "PORTB, " + std::to_string(r.Below(8)); break;
    case 2: s += "H'" + std::to_string(10 + r.Below(89)) + "'"; break;
    default: s += "STATUS, Z"; break;
    }
    s += "        ; step " + std::to_string(i) + "\r\n";
  }
  s += "        __CONFIG _HS_OSC & _WDT_OFF\r\n        ORG 0x" + std::to_string(r.Below(999)) + "\r\n";
  return s;
}

// A stress file: sections repeated up to exactly `size` bytes.
inline std::string StressText(uint64_t size, bool basic) {
  std::string all;
  all.reserve(size);
  TRng r;
  int n = 0;
  while (all.size() < size) {
    std::string c = basic ? BasicChunk(r, n++) : AsmChunk(r, n++);
    if (all.size() + c.size() > size)
      c.resize(size - all.size());
    all += c;
  }
  return all;
}

constexpr int kTypicalLines = 2000;
constexpr size_t kNodeLimit = 2047; // the longest line a store keeps in one node

// A typical program of kTypicalLines lines, as a user's file looks: tab
// indentation, comments in a European language (Windows-1252 letters above
// 127), declarations aligned with tabs, nested blocks, strings, ASM .. ENDASM
// blocks, and a few lines longer than a store's node (long tables of DATA and
// LOOKUP values, a pasted comment).
inline std::string TypicalProgram() {
  static const char *notes[] = {
      "temp\xE9rature mesur\xE9"
      "e en \xB0"
      "C",
      "r\xE9glage du seuil (\xE9t\xE9 / hiver)",
      "d\xE9j\xE0 vu : capteur hors service",
      "Z\xE4hler f\xFCr die L\xFC"
      "ftung",
      "se\xF1"
      "al de alarma, bot\xF3n pulsado",
      "valeur pr\xE9"
      "c\xE9"
      "dente \xE0 garder",
      "m\xF6glicher \xDC"
      "berlauf beachten",
      "tension lue sur l'entr\xE9"
      "e analogique"};
  static const char *ports[] = {"PORTA", "PORTB", "PORTC", "PORTD"};
  TRng r;
  r.s = 2024;
  std::vector<std::string> lines;
  auto add = [&](const std::string &l) { lines.push_back(l); };
  auto note = [&] { return std::string(notes[r.Below(8)]); };

  add("'****************************************************************");
  add("'*  Nom     : SERRE.BAS                                          *");
  add("'*  Auteur  : Andr\xE9 Lef\xE8vre                                     *");
  add("'*  Notice  : r\xE9gulation de la serre, \xE9" "cran LCD, liaison s\xE9rie *");
  add("'*  Version : 1.4 (PIC16F877A \xE0 20 MHz)                          *");
  add("'****************************************************************");
  add("");
  add("DEFINE\tOSC\t20");
  add("DEFINE\tLCD_DREG\tPORTD");
  add("DEFINE\tLCD_DBIT\t4");
  add("DEFINE\tADC_BITS\t10");
  add("INCLUDE \"modedefs.bas\"");
  add("");
  int vars = 0;
  while (vars < 40) {
    const char *size = (vars % 5 == 0) ? "BIT" : (vars % 3 == 0) ? "BYTE" : "WORD";
    add("capteur" + std::to_string(vars) + "\tVAR\t" + size + "\t\t' " + note());
    ++vars;
  }
  for (int i = 0; i < 12; ++i)
    add("SEUIL_" + std::to_string(i) + "\tCON\t" + std::to_string(100 + r.Below(900)) + "\t' " +
        note());
  add("");

  // Lines longer than a node, at fixed places among the routines.
  auto longData = [&] {
    std::string l = "\tDATA @0";
    while (l.size() < 4100)
      l += ", $" + std::to_string(10 + r.Below(89));
    return l;
  };
  auto longLookup = [&] {
    std::string l = "\tLOOKUP index, [";
    for (int i = 0; l.size() < 2600; ++i)
      l += (i ? ", " : "") + std::to_string(r.Below(256));
    return l + "], valeur";
  };
  auto longComment = [&] {
    std::string l = "' ";
    while (l.size() < 3000)
      l += note() + "; ";
    return l;
  };

  int routine = 0;
  while (static_cast<int>(lines.size()) < kTypicalLines) {
    const std::string k = std::to_string(routine);
    add("");
    add("' --- routine " + k + " : " + note());
    add("routine" + k + ":");
    const int body = 6 + static_cast<int>(r.Below(14));
    for (int i = 0; i < body; ++i) {
      const char *p = ports[r.Below(4)];
      const std::string v = "capteur" + std::to_string(r.Below(40));
      switch (r.Below(9)) {
      case 0: add("\tHIGH " + std::string(p) + "." + std::to_string(r.Below(8))); break;
      case 1: add("\tPAUSE " + std::to_string(r.Below(1000)) + "\t\t' " + note()); break;
      case 2:
        add("\tFOR " + v + " = 0 TO " + std::to_string(r.Below(255)));
        add("\t\tTOGGLE " + std::string(p) + ".1");
        add("\tNEXT " + v);
        break;
      case 3:
        add("\tIF " + v + " > SEUIL_" + std::to_string(r.Below(12)) + " THEN");
        add("\t\tSEROUT " + std::string(p) + ".6, T9600, [\"Alarme \", DEC " + v + ", 13, 10]");
        add("\t\tLCDOUT $FE, $C0, \"Valeur : \", DEC4 " + v);
        add("\tELSE");
        add("\t\tLOW " + std::string(p) + "." + std::to_string(r.Below(8)));
        add("\tENDIF");
        break;
      case 4: add("\tADCIN " + std::to_string(r.Below(8)) + ", " + v + "\t' " + note()); break;
      case 5: add("\tGOSUB routine" + std::to_string(r.Below(routine + 1))); break;
      case 6:
        add("ASM");
        add("\tbcf\tSTATUS, RP0\t\t; banque 0");
        add("\tmovlw\tH'" + std::to_string(10 + r.Below(89)) + "'");
        add("\tmovwf\t_" + v);
        add("\tdecfsz\t_" + v + ", F");
        add("ENDASM");
        break;
      case 7: add("@\tnop\t\t; " + note()); break;
      default: add("\t" + v + " = " + v + " + " + std::to_string(r.Below(16)) + "\t' " + note());
      }
    }
    if (routine == 3)
      add(longLookup());
    if (routine == 11)
      add(longComment());
    if (routine == 25)
      add(longData());
    if (routine == 40)
      add(longComment());
    add("\tRETURN");
    ++routine;
  }
  lines.resize(kTypicalLines);
  std::string all;
  for (const std::string &l : lines)
    all += l + "\r\n";
  return all;
}

// One generated input: its file name, the version of its generator, and the text.
struct TInput {
  std::string Name;
  int Version;
  std::string (*Make)();
};

inline const std::vector<TInput> &Inputs() {
  static const std::vector<TInput> inputs = {
      {"basic_1MB.bas", 1, [] { return StressText(uint64_t(1) << 20, true); }},
      {"basic_10MB.bas", 1, [] { return StressText(uint64_t(10) << 20, true); }},
      {"basic_50MB.bas", 1, [] { return StressText(uint64_t(50) << 20, true); }},
      {"asm_10MB.asm", 1, [] { return StressText(uint64_t(10) << 20, false); }},
      {"typical_2000_lines.bas", 1, TypicalProgram},
  };
  return inputs;
}

// What a written input's stamp holds: its generator's version and its size.
inline std::string StampText(int version, uint64_t size) {
  return "kx_bench_gen " + std::to_string(version) + " " + std::to_string(size) + "\n";
}

inline std::filesystem::path StampPath(const std::filesystem::path &file) {
  return file.parent_path() / ("." + file.filename().string() + ".stamp");
}

inline std::string ReadSmallFile(const std::filesystem::path &p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Whether the file is there as this generator version wrote it.
inline bool UpToDate(const std::filesystem::path &file, int version) {
  std::error_code ec;
  const uint64_t size = std::filesystem::file_size(file, ec);
  if (ec)
    return false;
  return ReadSmallFile(StampPath(file)) == StampText(version, size);
}

// Writes the input unless it is up to date; false when it could not be written.
// Returns through `written` whether it was (re)written.
inline bool Generate(const std::filesystem::path &dir, const TInput &in, bool *written = nullptr) {
  const std::filesystem::path file = dir / in.Name;
  if (written)
    *written = false;
  if (UpToDate(file, in.Version))
    return true;
  const std::string text = in.Make();
  // The stamp goes last: a run stopped half-way leaves no stamp, so the next
  // run writes the file again.
  std::error_code ec;
  std::filesystem::remove(StampPath(file), ec);
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out.flush())
      return false;
  }
  std::ofstream stamp(StampPath(file), std::ios::binary | std::ios::trunc);
  stamp << StampText(in.Version, text.size());
  if (!stamp.flush())
    return false;
  if (written)
    *written = true;
  return true;
}

} // namespace kxbench
