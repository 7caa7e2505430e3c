// Printing a 10,000-line highlighted PIC BASIC file to a PDF file through our
// pagination and recorded pages, against QTextDocument printing the same
// text in the same font to a PDF file in the same run, plain and with the
// same colours as character formats (every page count read back with
// pdfinfo): with the scheme's print options (line numbers, heading, page
// numbers), and with the text alone, as the plain peer prints it; how that
// time splits between recording the pages and playing them to the printer;
// the toolbar's Print, which draws straight onto the printer; the memory a
// recorded page takes, as recorded and packed; and turning a page in the
// preview at Fit To Page.
#include "BenchUtil.h"
#include "PreviewForm.h"
#include "PreviewPrinter.h"
#include "SyntaxMemo.h"
#include "SyntaxMemoParser.h"

#include <benchmark/benchmark.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QPicture>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using kxbench::Clock;
constexpr int kLines = 10000;
constexpr int kTurns = 200;

std::string ReadAll(const std::string &path) {
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::ReadOnly))
    return {};
  const QByteArray all = f.readAll();
  return std::string(all.constData(), static_cast<size_t>(all.size()));
}

std::string SchemePath() {
  return std::string(KX_SOURCE_DIR) + "/resources/schemes/tarnic.scheme";
}

int PdfPages(const QString &pdf) {
  const QString exe = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
  if (exe.isEmpty())
    return -1;
  QProcess p;
  p.start(exe, {pdf});
  p.waitForFinished(60000);
  for (const QString &line : QString::fromUtf8(p.readAllStandardOutput()).split('\n'))
    if (line.startsWith(QLatin1String("Pages:")))
      return line.mid(6).trimmed().toInt();
  return -1;
}

struct TState {
  std::unique_ptr<TSyntaxMemo> Editor;
  TSyntaxMemoParser Parser;
  QTextDocument Peer;            // plain text
  QTextDocument HighlightedPeer; // the same text with the scheme's colours as character formats
  QString HighlightedPeerPdf;
  QString EditorPdf;
  QTemporaryDir Dir;
  int Run = 0;
  QString OurPdf, PeerPdf, TextOnlyPdf;
  int OurPages = 0, TextOnlyPages = 0;
  // Seconds spent recording and playing, over all timed prints of ours.
  double Recording = 0, Playing = 0;
  int Prints = 0;
};
TState *gState = nullptr;

QString NextFile(const char *who) {
  return gState->Dir.filePath(QStringLiteral("%1-%2.pdf").arg(who).arg(++gState->Run));
}

// One timed print: a new PDF file each time, and what the run printed last.
template <class F>
void TimedPrint(benchmark::State &state, const char *who, QString &last, F print) {
  for (auto _ : state) {
    const QString file = NextFile(who);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    print(printer);
    last = file;
  }
}

// Ours: paginate the shown, highlighted editor into recorded pages and print
// them all to a new PDF file. Returns the page count.
int OursOnce(QPrinter &printer) {
  const auto t0 = Clock::now();
  TPreviewPrinter pp;
  pp.Title = "bench.bas";
  pp.PaginateEditor(*gState->Editor);
  const auto t1 = Clock::now();
  pp.SetPrinter(&printer);
  pp.PrintRange(0, pp.PageCount() - 1);
  gState->Recording += kxbench::Seconds(t0, t1);
  gState->Playing += kxbench::Seconds(t1, Clock::now());
  ++gState->Prints;
  return pp.PageCount();
}

void BM_OursPrint(benchmark::State &state) {
  TimedPrint(state, "ours", gState->OurPdf,
             [](QPrinter &printer) { gState->OurPages = OursOnce(printer); });
}

constexpr uint32_t kPrintExtras =
    smoPrintLineNos | smoPrintFilename | smoPrintDate | smoPrintPageNos;

// Ours with the text alone: no line numbers, heading or page numbers.
void BM_OursTextOnlyPrint(benchmark::State &state) {
  TSyntaxMemo &editor = *gState->Editor;
  const uint32_t options = editor.OptionsMask();
  editor.SetOptionsMask(options & ~kPrintExtras);
  TimedPrint(state, "ours-text", gState->TextOnlyPdf, [](QPrinter &printer) {
    TPreviewPrinter pp;
    pp.PaginateEditor(*gState->Editor);
    pp.SetPrinter(&printer);
    pp.PrintRange(0, pp.PageCount() - 1);
    gState->TextOnlyPages = pp.PageCount();
  });
  editor.SetOptionsMask(options);
}

// The toolbar's Print: the editor draws its pages straight onto the printer.
void BM_EditorPrint(benchmark::State &state) {
  TimedPrint(state, "editor", gState->EditorPdf, [](QPrinter &printer) {
    const QRect paper = printer.paperRect(QPrinter::DevicePixel).toAlignedRect();
    const int dpi = printer.logicalDpiX();
    gState->Editor->Printer = &printer;
    gState->Editor->PrintArea = paper.adjusted(dpi, dpi, -dpi, -dpi);
    gState->Editor->Print();
    gState->Editor->Printer = nullptr;
  });
}

// The peer: the same text in the same font, laid out and printed by Qt's
// rich-text document.
void BM_PeerPrint(benchmark::State &state) {
  TimedPrint(state, "peer", gState->PeerPdf,
             [](QPrinter &printer) { gState->Peer.print(&printer); });
}

// The highlighted peer prints what a QTextDocument user would print for the
// same coloured text: character formats (a QSyntaxHighlighter's formats do not
// survive the document copy that printing makes).
void BM_HighlightedPeerPrint(benchmark::State &state) {
  TimedPrint(state, "peer-highlighted", gState->HighlightedPeerPdf,
             [](QPrinter &printer) { gState->HighlightedPeer.print(&printer); });
}

void BuildHighlightedPeer(TSyntaxMemo &editor, QTextDocument &doc) {
  doc.setDefaultFont(editor.Font());
  QTextCursor cur(&doc);
  std::array<QTextCharFormat, 256> formats;
  for (int v = 0; v < 256; ++v) {
    const TTokenStyle st = editor.Highlighter->Style(v);
    QTextCharFormat &f = formats[static_cast<size_t>(v)];
    f.setForeground(SMColor(st.DefaultForeground ? editor.DefTextColor : st.Foreground));
    f.setFontWeight(st.FontStyle & fsBold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(st.FontStyle & fsItalic);
  }
  cur.beginEditBlock();
  bool first = true;
  for (TLineNode *n = editor.Store()->First(); n; n = n->Next) {
    if (!first)
      cur.insertBlock();
    first = false;
    const char *t = n->Text();
    const uint8_t *a = n->Attributes();
    const int len = n->TextLength();
    for (int i = 0; i < len;) {
      int j = i + 1;
      while (j < len && (a ? a[j] == a[i] : true))
        ++j;
      cur.insertText(QString::fromLatin1(t + i, j - i), formats[a ? a[i] : 0]);
      i = j;
    }
  }
  cur.endEditBlock();
}

std::map<std::string, double> &CpuSeconds() {
  static std::map<std::string, double> s;
  return s;
}

// Keeps each run's processor time per iteration beside its wall clock, under
// the name the wall clock is kept under.
class TCollector : public kxbench::RealTimeCollector {
public:
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const auto &r : runs)
      if (r.run_type == Run::RT_Iteration && r.iterations > 0) {
        const std::string name = r.benchmark_name();
        CpuSeconds()[name.substr(0, name.find("/iterations"))] =
            r.cpu_accumulated_time / static_cast<double>(r.iterations);
      }
    RealTimeCollector::ReportRuns(runs);
  }
};

// Page turns in the preview at Fit To Page, each until the page is painted.
double PageTurnMedian(TPreviewPrinter &pp) {
  TPreviewForm form(pp);
  form.resize(1600, 1000);
  form.show();
  QApplication::processEvents();
  std::vector<double> turns;
  for (int i = 0; i < kTurns; ++i) {
    const auto t0 = Clock::now();
    if (form.CurrentPage() + 1 < pp.PageCount())
      form.NextClick();
    else
      form.FirstClick();
    form.Panel1->repaint();
    turns.push_back(kxbench::Seconds(t0, Clock::now()));
  }
  return kxbench::Median(turns);
}

// What one text costs on its way to a PDF file: drawn there directly, or
// recorded into a picture and the picture played there (processor seconds
// per text, a page's worth of short texts at a time). Every text of a row is
// one of these, so this is the floor under the recorded pages.
struct TTextCosts {
  double Direct = 0, Record = 0, Play = 0;
};

TTextCosts TextCosts(const QFont &font, const QString &dir) {
  constexpr int kPages = 40, kTexts = 200;
  const QString text = QStringLiteral("PORTB.0");
  auto draw = [&](QPainter &p, int page) {
    for (int i = 0; i < kTexts; ++i)
      p.drawText(QPointF(100 + (i % 4) * 150, 100 + (i / 4) * 15), text + QString::number(page));
  };
  TTextCosts c;
  {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir + QStringLiteral("/direct.pdf"));
    const double t0 = kxbench::ThreadCpuNow();
    QPainter p(&printer);
    p.scale(printer.logicalDpiX() / 96.0, printer.logicalDpiY() / 96.0);
    p.setFont(font);
    for (int page = 0; page < kPages; ++page) {
      if (page > 0)
        printer.newPage();
      draw(p, page);
    }
    p.end();
    c.Direct = (kxbench::ThreadCpuNow() - t0) / (kPages * kTexts);
  }
  std::vector<std::unique_ptr<QPicture>> pictures;
  const double t0 = kxbench::ThreadCpuNow();
  for (int page = 0; page < kPages; ++page) {
    pictures.push_back(std::make_unique<QPicture>());
    QPainter p(pictures.back().get());
    p.setFont(font);
    draw(p, page);
  }
  c.Record = (kxbench::ThreadCpuNow() - t0) / (kPages * kTexts);
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(dir + QStringLiteral("/played.pdf"));
  const double t1 = kxbench::ThreadCpuNow();
  QPainter p(&printer);
  for (int page = 0; page < kPages; ++page) {
    if (page > 0)
      printer.newPage();
    p.drawPicture(0, 0, *pictures[static_cast<size_t>(page)]);
  }
  p.end();
  c.Play = (kxbench::ThreadCpuNow() - t1) / (kPages * kTexts);
  return c;
}

} // namespace

int main(int argc, char **argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const std::string source = kxbench::DataFile("basic_1MB.bas");
  if (!std::filesystem::exists(source)) {
    std::printf("bench_print: generated inputs missing (run kx_bench_gen into %s)\n",
                kxbench::DataFile("").c_str());
    return 1;
  }
  QApplication app(argc, argv);
  TState state;
  gState = &state;
  const std::string text = kxbench::FirstLines(ReadAll(source), kLines);
  state.Parser.CompileFile(SchemePath());
  state.Editor = std::make_unique<TSyntaxMemo>();
  state.Editor->resize(800, 600);
  state.Editor->Perform(WM_SETTEXT, 0, reinterpret_cast<intptr_t>(text.c_str()));
  state.Editor->SetParser(&state.Parser);
  state.Editor->show();
  state.Editor->FinishHighlighting();
  QApplication::processEvents();
  state.Peer.setDefaultFont(state.Editor->Font());
  state.Peer.setPlainText(QString::fromLatin1(text.data(), static_cast<int>(text.size())));
  BuildHighlightedPeer(*state.Editor, state.HighlightedPeer);
  std::printf("-- printing %d highlighted lines (%zu bytes) to PDF files; print options:%s%s%s%s\n",
              kLines, text.size(),
              state.Editor->OptionsMask() & smoPrintLineNos ? " line numbers" : "",
              state.Editor->OptionsMask() & smoPrintFilename ? " file name" : "",
              state.Editor->OptionsMask() & smoPrintDate ? " date" : "",
              state.Editor->OptionsMask() & smoPrintPageNos ? " page numbers" : "");

  benchmark::RegisterBenchmark("ours/print-10k-lines-to-pdf", BM_OursPrint)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3);
  benchmark::RegisterBenchmark("ours/print-10k-lines-text-only-to-pdf", BM_OursTextOnlyPrint)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3);
  benchmark::RegisterBenchmark("ours/editor-print-10k-lines-to-pdf", BM_EditorPrint)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3);
  benchmark::RegisterBenchmark("qtextdocument/print-10k-lines-to-pdf", BM_PeerPrint)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3);
  benchmark::RegisterBenchmark("qtextdocument-highlighted/print-10k-lines-to-pdf",
                               BM_HighlightedPeerPrint)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3);
  benchmark::Initialize(&argc, argv);
  TCollector reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  // The console's colour reset ends up in front of the next output; a line
  // of its own keeps it off the result lines.
  std::printf("\n");

  // Wall clock as everywhere, and processor time beside it: the machine is
  // shared, and a busy neighbour slows whichever side runs at that moment.
  auto &wall = kxbench::Seconds();
  auto &cpu = CpuSeconds();
  const std::string ours = "ours/print-10k-lines-to-pdf";
  const std::string textOnly = "ours/print-10k-lines-text-only-to-pdf";
  const std::string direct = "ours/editor-print-10k-lines-to-pdf";
  const std::string peer = "qtextdocument/print-10k-lines-to-pdf";
  const std::string hpeer = "qtextdocument-highlighted/print-10k-lines-to-pdf";
  auto report = [&](const std::string &what, const std::string &a, const std::string &peerName,
                    const std::string &b) {
    if (!wall.count(a) || !wall.count(b))
      return;
    kxbench::Ratio(what, peerName, wall[a], wall[b]);
    kxbench::Ratio(what + "-cpu", peerName, cpu[a], cpu[b]);
  };
  if (wall.count(ours)) {
    kxbench::Figure("print-10k-lines-to-pdf", wall[ours] * 1000, "ms");
    kxbench::Figure("print-10k-lines-to-pdf cpu", cpu[ours] * 1000, "ms");
  }
  report("print-10k-lines-to-pdf", ours, "QTextDocument", peer);
  report("print-10k-lines-to-pdf", ours, "QTextDocument highlighted", hpeer);
  if (state.Prints > 0) {
    kxbench::Figure("print-10k-lines-to-pdf recording pages", state.Recording / state.Prints * 1000,
                    "ms");
    kxbench::Figure("print-10k-lines-to-pdf playing them to the printer",
                    state.Playing / state.Prints * 1000, "ms");
  }
  if (wall.count(textOnly))
    kxbench::Figure("print-10k-lines-text-only-to-pdf", wall[textOnly] * 1000, "ms");
  report("print-10k-lines-text-only-to-pdf", textOnly, "QTextDocument", peer);
  if (wall.count(direct))
    kxbench::Figure("editor-print-10k-lines-to-pdf", wall[direct] * 1000, "ms");
  report("editor-print-10k-lines-to-pdf", direct, "QTextDocument", peer);
  std::printf("   pages (pdfinfo): ours %d (engine %d), ours text only %d (engine %d), editor %d, "
              "QTextDocument %d, QTextDocument highlighted %d\n",
              PdfPages(state.OurPdf), state.OurPages, PdfPages(state.TextOnlyPdf),
              state.TextOnlyPages, PdfPages(state.EditorPdf), PdfPages(state.PeerPdf),
              PdfPages(state.HighlightedPeerPdf));

  TPreviewPrinter pp;
  pp.PaginateEditor(*state.Editor);
  if (pp.PageCount() > 0) {
    kxbench::Figure("preview-page-memory as recorded",
                    static_cast<double>(pp.PageMemory()) / pp.PageCount() / 1024, "KB");
    TPreviewPrinter packed;
    packed.PageMemoryBudget = 0;
    packed.PaginateEditor(*state.Editor);
    kxbench::Figure("preview-page-memory packed",
                    static_cast<double>(packed.PageMemory()) / packed.PageCount() / 1024, "KB");
  }
  kxbench::Figure("preview-page-turn-fit-to-page median", PageTurnMedian(pp) * 1000, "ms");

  QFont font = state.Editor->Font();
  font.setStyleStrategy(QFont::PreferNoShaping);
  const TTextCosts costs = TextCosts(font, state.Dir.path());
  kxbench::Figure("one text to pdf drawn directly cpu", costs.Direct * 1e6, "us");
  kxbench::Figure("one text recorded into a picture cpu", costs.Record * 1e6, "us");
  kxbench::Figure("one text played from the picture to pdf cpu", costs.Play * 1e6, "us");
  return 0;
}
