// The four result windows through the View menu: captions, check marks that
// follow the windows, the grids' cell texts from real gpasm HEX files, the
// listing with its popup and Re-Assemble through gpasm, places kept in the
// settings file, and files no compiler writes.
#include "CompileFixture.h"

#include "HexImage.h"

#include <QLineEdit>
#include <QMenu>
#include <QTableView>

using namespace kxcompile;

namespace {

// The blink vector's source with the processor named, as a compiler writes
// its listing.
std::string BlinkListing() {
  return "\tlist p=16f84a\r\n" + ReadFileBytes(HexData + "p01_16f84a_blink.asm");
}

bool HasGpasm() {
  return ::access("/usr/bin/gpasm", X_OK) == 0;
}

TEST_F(CompileTest, ViewItemsShowAndHideEachWindowAndFollowItsClose) {
  Open(Put("a.bas", "x\r\n"));
  const std::tuple<QAction *, QWidget *, Qt::Key, const char *> items[] = {
      {form->ShowReport, Report, Qt::Key_F1, "Compiler Report"},
      {form->ASMData1, ASMList, Qt::Key_F2, "ASSEMBLER Listing"},
      {form->ProgramData1, HEXList, Qt::Key_F4, "Program Data"},
      {form->EepromData1, DATAList, Qt::Key_F6, "Eeprom Data"},
  };
  for (auto [item, window, key, caption] : items) {
    SCOPED_TRACE(caption);
    EXPECT_EQ(window->windowTitle(), caption);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(item->isEnabled());
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->isEnabled());
    MenuKey(key);
    EXPECT_TRUE(item->isChecked());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isEnabled());
    MenuKey(key);
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->isEnabled());
    // Closed by the user: the item follows.
    item->trigger();
    ASSERT_TRUE(window->isVisible());
    window->close();
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(window->isEnabled());
  }
  // The toolbar's ASM button toggles the listing.
  form->ASMButton->trigger();
  EXPECT_TRUE(ASMList->isVisible());
  EXPECT_TRUE(form->ASMData1->isChecked());
  form->ASMButton->trigger();
  EXPECT_FALSE(ASMList->isVisible());
  EXPECT_FALSE(form->ASMData1->isChecked());
}

TEST_F(CompileTest, ClosingTheLastDocumentHidesEveryResultWindow) {
  Open(Put("a.bas", "x\r\n"));
  for (QAction *a : {form->ShowReport, form->ASMData1, form->ProgramData1, form->EepromData1})
    a->trigger();
  form->CloseAll1Click(nullptr);
  for (QWidget *w : {static_cast<QWidget *>(Report), static_cast<QWidget *>(ASMList),
                     static_cast<QWidget *>(HEXList), static_cast<QWidget *>(DATAList)})
    EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
  for (QAction *a : {form->ShowReport, form->ASMData1, form->ProgramData1, form->EepromData1})
    EXPECT_FALSE(a->isChecked());
}

TEST_F(CompileTest, WithoutAHexFileTheGridsShowTheBlankArea) {
  Open(Put("none.bas", "x\r\n"));
  MenuKey(Qt::Key_F4);
  THexGridModel *program = HEXList->Model();
  ASSERT_EQ(program->rowCount(), 1024);
  ASSERT_EQ(program->columnCount(), 9);
  for (int r = 0; r < 1024; ++r) {
    char address[8];
    std::snprintf(address, sizeof address, "%04X", r * 8);
    ASSERT_EQ(program->CellText(r, 0), address);
    for (int c = 1; c < 9; ++c)
      ASSERT_EQ(program->CellText(r, c), "3FFF") << r << "," << c;
  }
  EXPECT_EQ(program->CellText(1023, 0), "1FF8");
  MenuKey(Qt::Key_F6);
  THexGridModel *eeprom = DATAList->Model();
  ASSERT_EQ(eeprom->rowCount(), 8);
  ASSERT_EQ(eeprom->columnCount(), 17);
  const char *rows[] = {"2100", "2110", "2120", "2130", "2140", "2150", "2160", "2170"};
  for (int r = 0; r < 8; ++r) {
    EXPECT_EQ(eeprom->CellText(r, 0), rows[r]);
    for (int c = 1; c < 17; ++c)
      ASSERT_EQ(eeprom->CellText(r, c), "FF");
  }
  // The grid's designed cells.
  EXPECT_EQ(HEXList->Grid()->columnWidth(1), 34);
  EXPECT_EQ(HEXList->Grid()->rowHeight(0), 16);
  EXPECT_EQ(DATAList->Grid()->columnWidth(0), 32);
  EXPECT_EQ(DATAList->Grid()->columnWidth(1), 18);
}

TEST_F(CompileTest, TheGridsShowTheCompiledHexFileAndFollowEachCompile) {
  SetEnv("KX_COMPILER_HEX", HexData + "p01_16f84a_blink.hex");
  Open(Put("blink.bas", "x\r\n"));
  MenuKey(Qt::Key_F4);
  MenuKey(Qt::Key_F6);
  // Nothing compiled yet: blank.
  EXPECT_EQ(HEXList->Model()->CellText(0, 1), "3FFF");
  MenuKey(Qt::Key_F9);
  THexGridModel *program = HEXList->Model();
  EXPECT_EQ(program->CellText(0, 0), "0000");
  EXPECT_EQ(program->CellText(0, 1), "2816");
  EXPECT_EQ(program->CellText(0, 2), "3FFF");
  EXPECT_EQ(program->CellText(0, 5), "008F"); // word 4
  EXPECT_EQ(program->CellText(1, 0), "0008");
  EXPECT_EQ(program->CellText(1, 1), "0E10");
  THexGridModel *eeprom = DATAList->Model();
  // "HELLO", 0 from 2100: the sixth byte (address 5) is row 0, column 6.
  const char *hello[] = {"48", "45", "4C", "4C", "4F", "00", "FF"};
  for (int c = 1; c <= 7; ++c)
    EXPECT_EQ(eeprom->CellText(0, c), hello[c - 1]);

  // Every cell of the bulk vector against the loader's image.
  SetEnv("KX_COMPILER_HEX", HexData + "p10_16f876a_bulk.hex");
  MenuKey(Qt::Key_F9);
  THexImage image;
  image.LoadFile(HexData + "p10_16f876a_bulk.hex");
  for (int w = 0; w < 8192; ++w) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", image.ProgramWord(w));
    ASSERT_EQ(program->CellText(w / 8, w % 8 + 1), text) << w;
  }
}

TEST_F(CompileTest, TypedCellsStayUntilTheNextFill) {
  Open(Put("a.bas", "x\r\n"));
  MenuKey(Qt::Key_F4);
  QTableView *grid = HEXList->Grid();
  const QModelIndex cell = HEXList->Model()->index(2, 3);
  EXPECT_FALSE(HEXList->Model()->flags(HEXList->Model()->index(2, 0)) & Qt::ItemIsEditable);
  grid->setCurrentIndex(cell);
  // The first key opens the cell's editor, which takes the rest.
  QTest::keyClick(grid, Qt::Key_1, Qt::NoModifier);
  QWidget *editor = grid->findChild<QLineEdit *>();
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, "2AB");
  QTest::keyClick(editor, Qt::Key_Return);
  QApplication::processEvents(); // the delegate commits through the event queue
  EXPECT_EQ(HEXList->Model()->CellText(2, 3), "12AB");
  MenuKey(Qt::Key_F4);
  MenuKey(Qt::Key_F4);
  EXPECT_EQ(HEXList->Model()->CellText(2, 3), "3FFF");
}

TEST_F(CompileTest, ABadHexFileShowsTheLoadersMessageAndNoWindow) {
  Open(Put("bad.bas", "x\r\n"));
  Put("bad.HEX", ":020000000128D5\r\n:0200020001ZZ00\r\n");
  MenuKey(Qt::Key_F4);
  EXPECT_EQ(Messages(), std::vector<std::string>{"'$ZZ' is not a valid integer value"});
  EXPECT_FALSE(HEXList->isVisible());
  EXPECT_FALSE(form->ProgramData1->isChecked());
  // A good file later shows as usual.
  Put("bad.HEX", ":020000000128D5\r\n");
  MenuKey(Qt::Key_F4);
  EXPECT_TRUE(HEXList->isVisible());
  EXPECT_EQ(HEXList->Model()->CellText(0, 1), "2801");
}

TEST_F(CompileTest, TheListingShowsTheAsmFileWithItsLook) {
  const std::string listing = BlinkListing();
  SetEnv("KX_COMPILER_ASM", Put("listing.src", listing));
  Open(Put("blink.bas", "x\r\n"));
  MenuKey(Qt::Key_F2);
  EXPECT_EQ(ASMList->SyntaxMemo->Text(), "") << "no listing yet";
  MenuKey(Qt::Key_F9);
  TSyntaxMemo *memo = ASMList->SyntaxMemo;
  EXPECT_EQ(memo->LineText(0), "\tlist p=16f84a");
  EXPECT_EQ(memo->TabDefault(), 8);
  EXPECT_EQ(memo->RightMargin, 80);
  EXPECT_TRUE(memo->Options() & smoShowGutter);
  EXPECT_TRUE(memo->Options() & smoLineNumbers);
  EXPECT_EQ(memo->Font().pixelSize(), 13);
  EXPECT_NE(memo->Parser(), nullptr);
  EXPECT_NE(memo->Parser(), form->SyntaxMemo1->Parser());
  // The popup in its order, with states taken when it opens.
  QStringList captions;
  for (QAction *a : ASMList->PopupMenu->actions())
    captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
  EXPECT_EQ(captions, (QStringList{"Undo", "Redo", "-", "Cut", "Copy", "Paste", "-", "Re-Assemble",
                                   "Re-Assemble as..."}));
  emit ASMList->PopupMenu->aboutToShow();
  EXPECT_FALSE(ASMList->PopupCut->isEnabled());
  EXPECT_FALSE(ASMList->PopupCopy->isEnabled());
  EXPECT_TRUE(ASMList->ReAssemble->isEnabled());
  memo->SetSelection(0, 5);
  emit ASMList->PopupMenu->aboutToShow();
  EXPECT_TRUE(ASMList->PopupCut->isEnabled());
  EXPECT_TRUE(ASMList->PopupCopy->isEnabled());
}

TEST_F(CompileTest, ReAssembleThroughGpasmLeavesANewHexFile) {
  if (!HasGpasm())
    GTEST_SKIP() << "gpasm is not installed";
  SetEnv("KX_COMPILER_ASM", Put("listing.src", BlinkListing()));
  Open(Put("blink.bas", "x\r\n"));
  MenuKey(Qt::Key_F9);
  const std::string hex = dir + "blink.HEX";
  ASSERT_EQ(Get(hex), ":020000000028D6\r\n:00000001FF\r\n") << "the stand-in's HEX file";
  MenuKey(Qt::Key_F2);
  ASSERT_EQ(ASMList->SyntaxMemo->LineText(0), "\tlist p=16f84a");
  // An edit: the saved text is what is assembled.
  ASMList->SyntaxMemo->SetSelection(0, 0);
  ASMList->SyntaxMemo->ReplaceSel("; edited\r");
  ASMList->ReAssemble->trigger();
  EXPECT_TRUE(Messages().empty()) << Messages().front();
  EXPECT_EQ(Get(dir + "blink.ASM").substr(0, 10), "; edited\r\n");
  THexImage assembled, expected;
  assembled.LoadFile(dir + "blink.hex");
  expected.LoadFile(HexData + "p01_16f84a_blink.hex");
  EXPECT_EQ(assembled.Slots(), expected.Slots());
  EXPECT_TRUE(fs::exists(dir + "blink.lst"));
  EXPECT_TRUE(fs::exists(dir + "blink.err"));
  // gpasm writes "blink.hex" beside the compiler's "blink.HEX": the newer
  // one is what the program data window shows.
  MenuKey(Qt::Key_F4);
  EXPECT_EQ(HEXList->Model()->CellText(0, 1), "2816");
}

TEST_F(CompileTest, ReAssembleRunsTheAssemblerOfTheIncludeFolderWithItsSwitches) {
  InstallTool("mpasmwin", "KX_INC/mpasmwin");
  Open(Put("blink.bas", "x\r\n"));
  MenuKey(Qt::Key_F9);
  MenuKey(Qt::Key_F2);
  ASMList->ReAssemble->trigger();
  auto runs = Runs();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[1].Name, "mpasmwin");
  EXPECT_EQ(runs[1].Args, (std::vector<std::string>{dir + "blink.ASM", "/e+", "/l+", "/x-", "/w2",
                                                    "/c-", "/m-", "/q"}));
  // Re-Assemble as... assembles the file it has just written.
  ASMList->SyntaxMemo->SetSelection(0, 0);
  ASMList->SyntaxMemo->ReplaceSel("; mine\r");
  Answer({dir + "copy of blink.asm"});
  ASMList->ReAssembleAs->trigger();
  const TPromptRecord save = Questions().back();
  EXPECT_EQ(save.Kind, "SAVE");
  EXPECT_EQ(save.Text, dir + "blink.ASM");
  EXPECT_EQ(save.Type, "ASSEMBLER files|*.asm");
  runs = Runs();
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[2].Args, (std::vector<std::string>{dir + "copy of blink.asm", "/aINHX8M", "/e+",
                                                    "/l+", "/x-", "/w2", "/c-", "/m-", "/q"}));
  EXPECT_EQ(runs[2].Extra.at("TEXT").substr(0, 8), "; mine\r\n");
  // Cancelled: nothing saved or started.
  Answer({"Cancel"});
  ASMList->ReAssembleAs->trigger();
  EXPECT_EQ(Runs().size(), 3u);
}

TEST_F(CompileTest, ReAssembleWithoutAnyAssemblerSaysSo) {
  const QByteArray path = qgetenv("PATH");
  SetEnv("PATH", dir + "empty");
  Open(Put("blink.bas", "x\r\n"));
  MenuKey(Qt::Key_F9);
  MenuKey(Qt::Key_F2);
  ASMList->ReAssemble->trigger();
  qputenv("PATH", path);
  EXPECT_EQ(Messages(), std::vector<std::string>{"Problem Running " + dir +
                                                 "KX_INC/MPASMWIN.EXE\r\nThe file does not "
                                                 "exist."});
}

TEST_F(CompileTest, PlacesAreStoredAndRestoredWithTheDesignedFallbacks) {
  // Without keys: the designed places.
  EXPECT_EQ(ASMList->pos(), QPoint(662, 252));
  EXPECT_EQ(ASMList->size(), QSize(402, 500));
  EXPECT_EQ(HEXList->pos(), QPoint(581, 164));
  EXPECT_EQ(HEXList->size(), QSize(345, 564));
  EXPECT_EQ(DATAList->pos(), QPoint(391, 293));
  EXPECT_EQ(DATAList->size(), QSize(324, 169));
  EXPECT_EQ(Report->height(), 120);

  Open(Put("a.bas", "x\r\n"));
  MenuKey(Qt::Key_F4);
  HEXList->move(100, 110);
  HEXList->resize(400, 300);
  MenuKey(Qt::Key_F4);
  EXPECT_EQ(Ini("CODE", "HEX_LEFT"), "100");
  EXPECT_EQ(Ini("CODE", "HEX_TOP"), "110");
  EXPECT_EQ(Ini("CODE", "HEX_WIDTH"), "400");
  EXPECT_EQ(Ini("CODE", "HEX_HEIGHT"), "300");
  // The order of the keys as written: width, left, top, height.
  const std::string ini = Get(dir + "KX_INC/KORVEX.INI");
  EXPECT_NE(ini.find("[CODE]\r\nHEX_WIDTH=400\r\nHEX_LEFT=100\r\nHEX_TOP=110\r\nHEX_HEIGHT=300"),
            std::string::npos)
      << ini;

  // Deactivation stores as well.
  MenuKey(Qt::Key_F6);
  DATAList->move(50, 60);
  QEvent deactivate(QEvent::WindowDeactivate);
  QApplication::sendEvent(DATAList, &deactivate);
  EXPECT_EQ(Ini("EEPROM", "DATA_LEFT"), "50");
  MenuKey(Qt::Key_F2);
  ASMList->resize(500, 400);
  ASMList->close();
  EXPECT_EQ(Ini("EDITOR", "ASM_WIDTH"), "500");
  EXPECT_EQ(Ini("EDITOR", "ASM_HEIGHT"), "400");

  // The report keeps its height in TOP, and nothing else.
  MenuKey(Qt::Key_F1);
  Report->move(10, 20);
  Report->resize(Report->width(), 200);
  Report->close();
  EXPECT_FALSE(form->ShowReport->isChecked());
  EXPECT_EQ(Ini("REPORT_FORM", "TOP"), "200");
  for (const char *key : {"LEFT", "WIDTH", "HEIGHT"})
    EXPECT_EQ(Ini("REPORT_FORM", key), "<none>");

  // New windows take the stored places.
  DestroyResultWindows();
  CreateResultWindows();
  EXPECT_EQ(HEXList->pos(), QPoint(100, 110));
  EXPECT_EQ(HEXList->size(), QSize(400, 300));
  EXPECT_EQ(DATAList->pos(), QPoint(50, 60));
  EXPECT_EQ(ASMList->size(), QSize(500, 400));
  EXPECT_EQ(Report->height(), 200);
  // Along the bottom of the screen, across its width.
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(Report->geometry(),
            QRect(screen.left(), screen.bottom() + 1 - 200, screen.width(), 200));
}

TEST_F(CompileTest, TheReportIsMovedByDraggingItsBody) {
  Open(Put("a.bas", "x\r\n"));
  MenuKey(Qt::Key_F1);
  const QPoint before = Report->pos();
  QWidget *body = Report->Memo()->viewport();
  QTest::mousePress(body, Qt::LeftButton, {}, QPoint(20, 20));
  QTest::mouseMove(body, QPoint(60, 5));
  QTest::mouseRelease(body, Qt::LeftButton, {}, QPoint(60, 5));
  EXPECT_EQ(Report->pos(), before + QPoint(40, -15));
}

TEST_F(CompileTest, FilesNoCompilerWritesNeitherCrashNorHang) {
  Open(Put("odd.bas", "x\r\n"));
  MenuKey(Qt::Key_F1);
  // A result file of 20 MB without a line break: the status line alone.
  Put("odd.PBE", "ERROR" + std::string(20 * 1024 * 1024, 'x'));
  form->ReadCompilerResults();
  EXPECT_EQ(DeviceName, "");
  ASSERT_EQ(Report->Memo()->Lines().size(), 1u);
  EXPECT_EQ(Report->Memo()->Lines()[0].rfind("[The result file holds ", 0), 0u);
  Report->Memo()->viewport()->repaint();
  // Binary bytes.
  std::string binary;
  for (int i = 0; i < 100000; ++i)
    binary += static_cast<char>(i * 7919 % 251);
  Put("odd.PBE", binary);
  form->ReadCompilerResults();
  Report->Memo()->viewport()->repaint();
  // An empty result file counts as an empty status line.
  Put("odd.PBE", "");
  form->ReadCompilerResults();
  EXPECT_TRUE(Report->Memo()->Lines().empty());
  // A listing of 50 MB.
  std::string big;
  while (big.size() < 50u * 1024 * 1024)
    big += "\tmovlw 0x55\t; a line of a large listing\r\n";
  Put("odd.ASM", big);
  MenuKey(Qt::Key_F2);
  EXPECT_GT(ASMList->SyntaxMemo->LineCount(), 1000000);
  ASMList->SyntaxMemo->viewport()->repaint();
}

} // namespace
