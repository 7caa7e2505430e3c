// The toolchain's two waits: F9 until the report window shows the compiler's
// report (save, "Please Wait", the compiler as a process, its result files
// read) against starting and waiting for the same program with a bare
// QProcess; and a full 8192-word HEX file loaded into the program grid and
// painted, against a QTableWidget filled with its 9216 items.
#include "BenchUtil.h"

#include "AsmListForm.h"

#include "DataListForm.h"
#include "EdPersistent.h"
#include "EditorMainForm.h"
#include "FileObject.h"
#include "HexImage.h"
#include "HexListForm.h"
#include "KorvexApplication.h"
#include "PleaseWaitForm.h"
#include "ProcessPaths.h"
#include "Prompter.h"
#include "ReportForm.h"
#include "ReportView.h"
#include "Streams.h"
#include "SyntaxMemo.h"

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QProcess>
#include <QTableView>
#include <QTableWidget>

#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string StandInCompiler = KX_TOOLS_DIR "/korvex";

// A program folder with the stand-in compiler and a document to compile.
struct TSetup {
  fs::path root;
  std::string document;
  std::unique_ptr<TEditorMainForm> form;

  TSetup() {
    root = fs::temp_directory_path() / ("kx_bench_tc_" + std::to_string(::getpid()));
    fs::create_directories(root / "KX_INC");
    WriteFileAtomic((root / "KX_INC" / "KORVEX.INI").string(), "[PROGRAMMER]\r\nTYPE=EPIC\r\n");
    fs::copy_file(StandInCompiler, root / "korvex", fs::copy_options::overwrite_existing);
    std::string text;
    for (int i = 0; i < 200; ++i)
      text += "  high portb." + std::to_string(i % 8) + " : pause 500\r\n";
    document = (root / "blink.bas").string();
    WriteFileAtomic(document, text);
    CommandLineFile.clear();
    form = std::make_unique<TEditorMainForm>();
    InitProcessPaths(root.string());
    form->EdPersistent = std::make_unique<TEdPersistent>((root / "KORVEX.DAT").string());
    ASMList = new TASMList();
    HEXList = new THEXList();
    Report = new TReport();
    DATAList = new TDATAList();
    Dummy_Virtual_Form = new TDummy_Virtual_Form();
    form->ConnectResultWindows();
    form->resize(900, 600);
    form->show();
    QApplication::processEvents();
    form->OpenPath(document);
    form->ShowReportClick(nullptr); // checked: every compile fills it
    QApplication::processEvents();
  }
  ~TSetup() {
    form.reset();
    delete Dummy_Virtual_Form;
    delete DATAList;
    delete Report;
    delete HEXList;
    delete ASMList;
    Dummy_Virtual_Form = nullptr;
    DATAList = nullptr;
    Report = nullptr;
    HEXList = nullptr;
    ASMList = nullptr;
    fs::remove_all(root);
  }
};

TSetup *Setup = nullptr;

void BM_F9ToReportFilled(benchmark::State &state) {
  for (auto _ : state) {
    Report->ClearReport();
    Setup->form->CompileButtonClick(nullptr);
    if (Report->Memo()->Lines().size() != 2 || !Report->isVisible())
      state.SkipWithError("the report was not filled");
  }
}
BENCHMARK(BM_F9ToReportFilled)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

// The same after an edit: the document is saved first (its backup copied,
// both written through to the disk).
void BM_F9AfterAnEdit(benchmark::State &state) {
  TSyntaxMemo *memo = Setup->form->SyntaxMemo1;
  for (auto _ : state) {
    state.PauseTiming();
    memo->SetSelection(0, 0);
    memo->ReplaceSel(memo->TextLength() > 20000 ? std::string() : std::string("'\r"));
    Setup->form->SyntaxMemo1Change(nullptr);
    Report->ClearReport();
    state.ResumeTiming();
    Setup->form->CompileButtonClick(nullptr);
    if (Report->Memo()->Lines().size() != 2)
      state.SkipWithError("the report was not filled");
  }
}
BENCHMARK(BM_F9AfterAnEdit)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

void BM_BareQProcessStartAndWait(benchmark::State &state) {
  const QString program = QString::fromStdString((Setup->root / "korvex").string());
  const QStringList args{QString::fromStdString(Setup->document), QStringLiteral("-m"),
                         QStringLiteral("-q")};
  for (auto _ : state) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitCode() != 0)
      state.SkipWithError("the stand-in compiler failed");
  }
}
BENCHMARK(BM_BareQProcessStartAndWait)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

// ---- the program grid --------------------------------------------------------

// Every program word 0x0000-0x1FFF in 16-byte records, and the end record.
std::string FullProgramHex() {
  std::string hex;
  uint32_t seed = 1;
  for (uint32_t byteAddress = 0; byteAddress < 0x4000; byteAddress += 16) {
    unsigned sum = 16 + (byteAddress >> 8) + (byteAddress & 0xFF);
    char buf[64];
    std::snprintf(buf, sizeof buf, ":10%04X00", byteAddress);
    hex += buf;
    for (int w = 0; w < 8; ++w) {
      seed = seed * 1103515245 + 12345;
      const unsigned word = (seed >> 8) & 0x3FFF;
      std::snprintf(buf, sizeof buf, "%02X%02X", word & 0xFF, word >> 8);
      hex += buf;
      sum += (word & 0xFF) + (word >> 8);
    }
    std::snprintf(buf, sizeof buf, "%02X\r\n", (256 - sum % 256) % 256);
    hex += buf;
  }
  return hex + ":00000001FF\r\n";
}

std::string HexPath() {
  return (Setup->root / "full.HEX").string();
}

void BM_HexLoadedIntoTheProgramGrid(benchmark::State &state) {
  HEXList->show();
  QApplication::processEvents();
  QWidget *viewport = HEXList->Grid()->viewport();
  for (auto _ : state) {
    HEXList->ShowHexFile(HexPath());
    viewport->repaint();
  }
  if (HEXList->Model()->CellText(1023, 8) == QStringLiteral("3FFF") &&
      HexImage.ProgramWord(8191) != 0x3FFF)
    state.SkipWithError("the grid does not show the image");
  HEXList->hide();
}
BENCHMARK(BM_HexLoadedIntoTheProgramGrid)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same grid as its users build one with QTableWidget: the file read with
// the same loader, then one item per cell.
void BM_HexLoadedIntoAQTableWidget(benchmark::State &state) {
  QTableWidget table(1024, 9);
  table.horizontalHeader()->hide();
  table.verticalHeader()->hide();
  table.horizontalHeader()->setDefaultSectionSize(34);
  table.verticalHeader()->setDefaultSectionSize(16);
  table.resize(345, 564);
  table.show();
  QApplication::processEvents();
  for (auto _ : state) {
    HexImage.LoadFile(HexPath());
    table.setUpdatesEnabled(false);
    for (int r = 0; r < 1024; ++r) {
      table.setItem(r, 0, new QTableWidgetItem(QString::asprintf("%04X", r * 8)));
      for (int c = 1; c < 9; ++c)
        table.setItem(
            r, c,
            new QTableWidgetItem(QString::asprintf("%04X", HexImage.ProgramWord(r * 8 + c - 1))));
    }
    table.setUpdatesEnabled(true);
    table.viewport()->repaint();
  }
  if (table.item(1023, 8)->text() != HEXList->Model()->CellText(1023, 8))
    state.SkipWithError("the two grids differ");
}
BENCHMARK(BM_HexLoadedIntoAQTableWidget)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  TKorvexApplication app(argc, argv);
  if (!fs::exists(StandInCompiler)) {
    std::printf("SKIPPED toolchain benchmarks: %s not built\n", StandInCompiler.c_str());
    return 0;
  }
  SetPrompter(std::make_unique<TRecordingPrompter>());
  {
    TSetup setup;
    Setup = &setup;
    WriteFileAtomic(HexPath(), FullProgramHex());
    kxbench::RealTimeCollector reporter;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    // The console's colour reset ends up in front of the next output; a line
    // of its own keeps it off the result lines.
    std::printf("\n");
    // Seconds per run of the benchmark whose name starts with `name`.
    const auto seconds = [](const std::string &name) {
      for (const auto &[key, value] : kxbench::Seconds())
        if (key.rfind(name, 0) == 0)
          return value;
      return 0.0;
    };
    const double f9 = seconds("BM_F9ToReportFilled"), bare = seconds("BM_BareQProcessStartAndWait");
    const double f9Edited = seconds("BM_F9AfterAnEdit");
    const double grid = seconds("BM_HexLoadedIntoTheProgramGrid"),
                 widget = seconds("BM_HexLoadedIntoAQTableWidget");
    if (f9 > 0 && bare > 0) {
      kxbench::Ratio("compile-F9-to-report", "bare-QProcess-start-and-wait", f9, bare);
      kxbench::Figure("compile-F9-to-report", f9 * 1e3, "ms");
      kxbench::Figure("bare-QProcess-start-and-wait", bare * 1e3, "ms");
    }
    if (f9Edited > 0)
      kxbench::Figure("compile-F9-after-an-edit-to-report-with-save", f9Edited * 1e3, "ms");
    if (grid > 0 && widget > 0) {
      kxbench::Ratio("hex-8192-words-into-program-grid", "QTableWidget-9216-items", grid, widget);
      kxbench::Figure("hex-8192-words-into-program-grid", grid * 1e3, "ms");
      kxbench::Figure("QTableWidget-9216-items", widget * 1e3, "ms");
    }
    Setup = nullptr;
  }
  return 0;
}
