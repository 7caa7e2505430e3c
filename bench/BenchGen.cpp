// Writes the generated benchmark inputs into a folder: PIC BASIC programs of
// 1, 10 and 50 MB and a 10 MB assembler listing. The text is deterministic, so
// every run measures the same bytes. Files already of the right size are kept.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

struct Rng {
  uint32_t s = 12345;
  uint32_t Next() { return s = s * 1103515245u + 12345u; }
  uint32_t Below(uint32_t n) { return (Next() >> 8) % n; }
};

std::string BasicChunk(Rng &r, int n) {
  static const char *ports[] = {"PORTA", "PORTB", "PORTC", "PORTD"};
  std::string s;
  s += "' Section " + std::to_string(n) + " : generated PIC BASIC for benchmarks\r\n";
  s += "DEFINE OSC 20\r\nINCLUDE \"modedefs.bas\"\r\n";
  s += "counter" + std::to_string(n) + " VAR WORD\r\nflag" + std::to_string(n) + " VAR BIT\r\n";
  s += "LED" + std::to_string(n) + " CON " + std::to_string(r.Below(8)) + "\r\n";
  s += "main" + std::to_string(n) + ":\r\n";
  for (int i = 0; i < 12; ++i) {
    const char *p = ports[r.Below(4)];
    switch (r.Below(8)) {
    case 0: s += "    HIGH " + std::string(p) + "." + std::to_string(r.Below(8)) + "\r\n"; break;
    case 1: s += "    PAUSE " + std::to_string(r.Below(1000)) + "   ; wait a while\r\n"; break;
    case 2:
      s += "    FOR counter" + std::to_string(n) + " = 0 TO " + std::to_string(r.Below(255)) +
           " STEP 2\r\n        TOGGLE " + p + ".1\r\n    NEXT counter" + std::to_string(n) + "\r\n";
      break;
    case 3:
      s += "    IF counter" + std::to_string(n) + " > $" + std::to_string(10 + r.Below(80)) +
           " AND flag" + std::to_string(n) + " = 1 THEN\r\n        SEROUT " + p +
           ".6, T9600, [\"Value: \", DEC counter" + std::to_string(n) + ", 13, 10]\r\n    ENDIF\r\n";
      break;
    case 4: s += "    LCDOUT $FE, 1, \"Line \", #counter" + std::to_string(n) + "\r\n"; break;
    case 5: s += "    ADCIN 0, counter" + std::to_string(n) + "  ' read the sensor\r\n"; break;
    case 6: s += "    GOSUB sub" + std::to_string(n) + "\r\n"; break;
    default: s += "    LOW " + std::string(p) + "." + std::to_string(r.Below(8)) + " : PAUSEUS %1010\r\n";
    }
  }
  s += "    GOTO main" + std::to_string(n) + "\r\nsub" + std::to_string(n) + ":\r\n";
  s += "ASM\r\n    bcf STATUS, RP0\r\n    movlw 0x2F\r\nENDASM\r\n    RETURN\r\n\r\n";
  return s;
}

std::string AsmChunk(Rng &r, int n) {
  static const char *ops[] = {"movlw", "movwf", "bsf", "bcf", "btfss", "goto", "call", "addwf", "decfsz", "clrf"};
  std::string s;
  s += "; routine " + std::to_string(n) + "\r\nL" + std::to_string(n) + "\r\n";
  for (int i = 0; i < 16; ++i) {
    const char *op = ops[r.Below(10)];
    s += "        " + std::string(op) + "   ";
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

bool Write(const std::filesystem::path &p, uint64_t size, bool basic) {
  std::error_code ec;
  if (std::filesystem::exists(p, ec) && std::filesystem::file_size(p, ec) == size)
    return true;
  std::FILE *f = std::fopen(p.string().c_str(), "wb");
  if (!f)
    return false;
  Rng r;
  uint64_t done = 0;
  int n = 0;
  while (done < size) {
    std::string c = basic ? BasicChunk(r, n++) : AsmChunk(r, n++);
    if (done + c.size() > size)
      c.resize(size - done);
    std::fwrite(c.data(), 1, c.size(), f);
    done += c.size();
  }
  return std::fclose(f) == 0;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: kx_bench_gen FOLDER\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);
  const uint64_t MB = 1024 * 1024;
  bool ok = Write(dir / "basic_1MB.bas", 1 * MB, true) && Write(dir / "basic_10MB.bas", 10 * MB, true) &&
            Write(dir / "basic_50MB.bas", 50 * MB, true) && Write(dir / "asm_10MB.asm", 10 * MB, false);
  return ok ? 0 : 1;
}
