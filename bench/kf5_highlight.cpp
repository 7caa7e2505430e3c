// KSyntaxHighlighting as a peer for the tokenizer benchmark: highlights the
// generated 10 MB BASIC file with "FreeBASIC" and the 10 MB assembler file
// with "PicAsm", line by line, and prints its speed as FIGURE lines that
// bench_tokenizer reads. A separate program because it is built on Qt 5.
// Usage: bench_kf5_highlight [DATA_FOLDER]
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

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

class Counter : public KSyntaxHighlighting::AbstractHighlighter {
public:
  long long formats = 0;
  KSyntaxHighlighting::State Line(QStringView text, const KSyntaxHighlighting::State &s) {
    return highlightLine(text, s);
  }

protected:
  void applyFormat(int, int, const KSyntaxHighlighting::Format &) override { ++formats; }
};

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
  } jobs[] = {{"FreeBASIC", "basic_10MB.bas"}, {"PicAsm", "asm_10MB.asm"}};
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
    // Lines as an editor holds them: without their line breaks.
    QVector<QString> lines;
    int start = 0;
    for (int i = 0; i <= bytes.size(); ++i) {
      if (i == bytes.size() || bytes[i] == '\n') {
        int end = i;
        if (end > start && bytes[end - 1] == '\r')
          --end;
        lines.push_back(QString::fromLatin1(bytes.constData() + start, end - start));
        start = i + 1;
      }
    }
    Counter h;
    h.setDefinition(def);
    h.setTheme(repo.defaultTheme());
    double best = 1e30;
    for (int round = 0; round < 3; ++round) {
      // CPU time of this thread, as bench_tokenizer measures its contenders.
      timespec a, b;
      clock_gettime(CLOCK_THREAD_CPUTIME_ID, &a);
      KSyntaxHighlighting::State state;
      for (const QString &l : lines)
        state = h.Line(QStringView(l), state);
      clock_gettime(CLOCK_THREAD_CPUTIME_ID, &b);
      best = std::min(best, (b.tv_sec - a.tv_sec) + (b.tv_nsec - a.tv_nsec) / 1e9);
    }
    const double mb = bytes.size() / (1024.0 * 1024.0);
    std::printf("FIGURE tokenizer-%s KSyntaxHighlighting %s: %.3g MB/s\n", j.file, j.definition,
                mb / best);
    std::fflush(stdout);
  }
  return 0;
}
