// KSyntaxHighlighting as a peer for the highlighting benchmark, set up as an
// editor built on it uses it: every line's formats are kept (offset, length,
// format id) with the line's end state, so the pass pays for storing what it
// found. Highlights the generated BASIC files with "FreeBASIC" and the
// assembler file with "PicAsm": a first pass into empty storage, and a
// re-scan of every line after an edit at the top, replacing what each line
// held. Prints "KF5 first|rescan <file> <seconds> s" lines (CPU time, best of
// three) that bench_tokenizer reads. A separate program because it is built
// on Qt 5. Usage: bench_kf5_highlight [DATA_FOLDER]
#include <KSyntaxHighlighting/AbstractHighlighter>
#include <KSyntaxHighlighting/Definition>
#include <KSyntaxHighlighting/Format>
#include <KSyntaxHighlighting/Repository>
#include <KSyntaxHighlighting/State>
#include <KSyntaxHighlighting/Theme>

#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QStringView>
#include <QVector>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

struct TAttribute {
  int Offset;
  int Length;
  quint16 Format;
};

struct TLine {
  QString Text;
  QVector<TAttribute> Attributes;
  KSyntaxHighlighting::State End;
};

class TStoringHighlighter : public KSyntaxHighlighting::AbstractHighlighter {
public:
  // Highlights every line from the top, replacing each line's formats.
  void Pass(std::vector<TLine> &lines) {
    KSyntaxHighlighting::State state;
    for (TLine &l : lines) {
      line_ = &l;
      l.Attributes.clear();
      state = highlightLine(QStringView(l.Text), state);
      l.End = state;
    }
  }

protected:
  void applyFormat(int offset, int length, const KSyntaxHighlighting::Format &format) override {
    line_->Attributes.push_back({offset, length, format.id()});
  }

private:
  TLine *line_ = nullptr;
};

double CpuNow() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  const char *env = std::getenv("KX_BENCH_DATA");
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                  : QString::fromLocal8Bit(env ? env : "build/bench-data");
  KSyntaxHighlighting::Repository repo;
  struct Job {
    const char *definition;
    const char *file;
  } jobs[] = {{"FreeBASIC", "basic_10MB.bas"},
              {"PicAsm", "asm_10MB.asm"},
              {"FreeBASIC", "typical_2000_lines.bas"}};
  for (const Job &j : jobs) {
    const KSyntaxHighlighting::Definition def =
        repo.definitionForName(QString::fromLatin1(j.definition));
    if (!def.isValid()) {
      std::printf("SKIPPED peer KSyntaxHighlighting %s: definition not found\n", j.definition);
      continue;
    }
    QFile f(folder + QLatin1Char('/') + QLatin1String(j.file));
    if (!f.open(QIODevice::ReadOnly)) {
      std::printf("SKIPPED peer KSyntaxHighlighting %s: %s missing\n", j.definition, j.file);
      continue;
    }
    const QByteArray bytes = f.readAll();
    // Lines as an editor holds them: without their line breaks, the 8-bit
    // text read as Latin-1.
    std::vector<TLine> lines;
    int start = 0;
    for (int i = 0; i <= bytes.size(); ++i) {
      if (i == bytes.size() || bytes[i] == '\n') {
        int end = i;
        if (end > start && bytes[end - 1] == '\r')
          --end;
        lines.push_back({QString::fromLatin1(bytes.constData() + start, end - start), {}, {}});
        start = i + 1;
      }
    }
    TStoringHighlighter h;
    h.setDefinition(def);
    h.setTheme(repo.defaultTheme());
    // A pass takes a second or more on the large files, far less on the
    // typical one: repeat that one so its time is measurable.
    const int repeat = bytes.size() < (1 << 20) ? 50 : 1;
    double first = 1e30, rescan = 1e30;
    for (int round = 0; round < 3; ++round) {
      double spent = 0;
      for (int r = 0; r < repeat; ++r) {
        for (TLine &l : lines)
          l.Attributes = QVector<TAttribute>(); // empty storage, as after a load
        const double a = CpuNow();
        h.Pass(lines);
        spent += CpuNow() - a;
      }
      first = std::min(first, spent / repeat);
      spent = 0;
      for (int r = 0; r < repeat; ++r) {
        lines.front().Text.prepend(QLatin1Char('x'));
        const double a = CpuNow();
        h.Pass(lines);
        spent += CpuNow() - a;
      }
      rescan = std::min(rescan, spent / repeat);
    }
    std::printf("KF5 first %s %.6g s\n", j.file, first);
    std::printf("KF5 rescan %s %.6g s\n", j.file, rescan);
    std::fflush(stdout);
  }
  return 0;
}
