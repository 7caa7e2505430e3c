// Crash recovery through the main window: a child process types into a saved
// file and an untitled document and is killed with SIGKILL once its journals
// are on disk; the next window offers both back and restores them exactly,
// marked modified. Damaged journals restore what is whole and say what was
// lost; a save or a clean close leaves no journal behind.
#include "FileCommandsTestFixture.h"

#include "DocumentJournal.h"
#include "DocumentRecovery.h"
#include "JournalReader.h"
#include "JournalRecords.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <fstream>
#include <sys/wait.h>

using namespace kxdocs;

namespace {

class Recovery : public DocsTest {
protected:
  std::string Root() { return form->Recovery->Session().Root(); }

  // Every journal file under the recovery folder, of any session.
  std::vector<std::string> AllJournals() {
    std::vector<std::string> out;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(Root(), ec), end; !ec && it != end; it.increment(ec))
      if (it->path().extension() == ".kxj")
        out.push_back(it->path().string());
    return out;
  }

  // Runs the event loop until `done` holds; the limit only ends a broken run.
  bool Until(const std::function<bool()> &done) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
      if (t.elapsed() > 60000)
        return false;
      QApplication::processEvents(QEventLoop::AllEvents, 20);
      QThread::msleep(5);
    }
    return true;
  }

  // A folder as a copy that ended without closing leaves it, holding the
  // given journals.
  void PlantOrphan(const std::vector<std::string> &journals) {
    const std::string folder = Root() + "session-1-1/";
    fs::create_directories(folder);
    for (size_t i = 0; i < journals.size(); ++i)
      std::ofstream(folder + "doc-" + std::to_string(i) + ".kxj", std::ios::binary)
          << journals[i];
  }

  static std::string Journal(const std::string &name, const std::string &text,
                             const std::vector<std::pair<int64_t, std::string>> &inserts) {
    using namespace kxjournal;
    std::string j(Magic), h;
    PutI64(h, 1700000000000);
    h += name;
    AppendRecord(j, TRecordType::Header, h);
    AppendRecord(j, TRecordType::Snapshot, text);
    for (const auto &[pos, t] : inserts) {
      std::string p;
      PutI64(p, pos);
      p += t;
      AppendRecord(j, TRecordType::Insert, p);
    }
    return j;
  }
};

const char *const WantFile = "DEVICE 16F84\rHIGH PORTB.0\rLOOP:\rGOTO LOOP\r";
const char *const WantNew = "untitled text\rsecond line\ten";

// The child's half of the next test: this program started again, typing into
// a saved file and an untitled document until it is killed.
TEST_F(Recovery, ChildTypesUntilKilled) {
  const std::string file = qgetenv("KX_RECOVERY_CHILD_FILE").toStdString();
  if (file.empty())
    GTEST_SKIP() << "run by KilledProcessComesBackWithBothDocumentsExactly";
  Open(file);
  Key(Qt::Key_Down);
  Type("HIGH PORTB.0");
  Key(Qt::Key_Return);
  form->NewButtonClick(nullptr);
  Type("untitled text");
  Key(Qt::Key_Return);
  Type("second line\tend");
  Key(Qt::Key_Backspace);
  // No explicit flush: the journals must reach the disk by themselves.
  const bool written = Until([&] {
    int found = 0;
    for (const std::string &j : AllJournals()) {
      TRecoveredJournal r = ReadJournalFile(j);
      if (r.Usable) {
        const std::string t = r.Text->GetText(0, r.Text->CharCount());
        found += (r.FileName == file && t == WantFile) ||
                 (r.FileName == NoNameFileName && t == WantNew);
      }
    }
    return found == 2;
  });
  std::puts(written ? "KX-JOURNALED" : "KX-NOT-JOURNALED");
  std::fflush(stdout);
  for (;;)
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

TEST_F(Recovery, KilledProcessComesBackWithBothDocumentsExactly) {
  const std::string file = Put("blink.bas", "DEVICE 16F84\r\nLOOP:\r\nGOTO LOOP\r\n");
  char self[4096] = {};
  ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("KX_RECOVERY_CHILD_FILE"), QString::fromStdString(file));
  env.insert(QStringLiteral("KX_RECOVERY_FOLDER"), QString::fromStdString(Root()));
  child.setProcessEnvironment(env);
  child.start(QString::fromLocal8Bit(self),
              {QStringLiteral("--gtest_filter=Recovery.ChildTypesUntilKilled")});
  ASSERT_TRUE(child.waitForStarted(-1));
  QByteArray out;
  while (!out.contains("JOURNALED") && child.state() == QProcess::Running)
    if (child.waitForReadyRead(120000))
      out += child.readAllStandardOutput();
    else
      break;
  ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
  ASSERT_TRUE(child.waitForFinished(-1));
  EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
  ASSERT_TRUE(out.contains("KX-JOURNALED")) << out.toStdString();

  Answer({"All"});
  Start(std::string());
  ASSERT_EQ(Tabs(), 2);
  const TPromptRecord &choose = rec->Records.back();
  EXPECT_EQ(choose.Kind, "CHOOSE");
  EXPECT_EQ(choose.Caption, "Recover Documents");
  EXPECT_NE(choose.Buttons.find("\"" + file + "\"  -  last edited "), std::string::npos);
  EXPECT_NE(choose.Buttons.find("\"No_name.bas (never saved)\"  -  last edited "),
            std::string::npos);
  SelectTab(0);
  EXPECT_EQ(form->CurrentFile->FileName, file);
  EXPECT_EQ(Text(), WantFile);
  EXPECT_EQ(Panel(1), "Modified");
  EXPECT_EQ(TabText(0), "blink.bas");
  // The file on disk is untouched until the user saves.
  EXPECT_EQ(Get(file), "DEVICE 16F84\r\nLOOP:\r\nGOTO LOOP\r\n");
  SelectTab(1);
  EXPECT_EQ(form->CurrentFile->FileName, NoNameFileName);
  EXPECT_EQ(Text(), WantNew);
  EXPECT_EQ(Panel(1), "Modified");
  // The caret is where the user left it.
  EXPECT_EQ(Memo()->Caret(), Memo()->TextLength());

  // The old session is gone; the restored texts are journaled anew, so a
  // second crash now would lose nothing either.
  form->Recovery->FlushAll();
  form->Recovery->Writer().Drain();
  std::vector<std::string> left = AllJournals();
  ASSERT_EQ(left.size(), 2u);
  for (const std::string &j : left)
    EXPECT_EQ(j.rfind(form->Recovery->Session().Folder(), 0), 0u) << j;

  // Save one, close the other without saving: nothing is left to recover.
  SelectTab(0);
  form->SaveButtonClick(nullptr);
  EXPECT_EQ(Get(file), "DEVICE 16F84\r\nHIGH PORTB.0\r\nLOOP:\r\nGOTO LOOP\r\n");
  form->Recovery->Writer().Drain();
  EXPECT_EQ(AllJournals().size(), 1u);
  Answer({"No", "No"});
  form->CloseAll1Click(nullptr);
  form->Recovery->Writer().Drain();
  EXPECT_TRUE(AllJournals().empty());
}

TEST_F(Recovery, ChosenDocumentsComeBackTheOthersAreDiscardedCancelKeepsAll) {
  PlantOrphan({Journal("/w/a.bas", "aaa", {}), Journal("/w/b.bas", "bbb", {{3, "!"}})});
  Answer({"Cancel"});
  Start(std::string());
  EXPECT_EQ(Tabs(), 1);
  EXPECT_EQ(AllJournals().size(), 2u);
  Answer({"2"});
  Start(std::string());
  ASSERT_EQ(Tabs(), 1);
  EXPECT_EQ(form->CurrentFile->FileName, "/w/b.bas");
  EXPECT_EQ(Text(), "bbb!");
  EXPECT_EQ(Panel(1), "Modified");
  // Undoing to the start does not make a recovered text "saved".
  Memo()->Undo();
  form->SyntaxMemo1Change(nullptr);
  EXPECT_EQ(Panel(1), "Modified");
  form->Recovery->FlushAll();
  form->Recovery->Writer().Drain();
  EXPECT_EQ(AllJournals().size(), 1u); // b's new journal; a was discarded
  const size_t asked = rec->Records.size();
  Start(std::string());
  EXPECT_EQ(rec->Records.size(), asked); // nothing is offered a third time
}

TEST_F(Recovery, DamagedJournalsRestoreWhatIsWholeAndSayWhatWasLost) {
  std::string cut = Journal("/w/cut.bas", "kept", {{4, " one"}, {8, " two"}});
  cut.resize(cut.size() - 3);
  std::string broken = Journal("/w/gone.bas", "lost", {});
  broken[kxjournal::Magic.size() + 30] ^= 0x40; // inside the snapshot
  PlantOrphan({cut, broken});
  Answer({"All"});
  Start(std::string());
  ASSERT_EQ(Tabs(), 1);
  EXPECT_EQ(Text(), "kept one");
  const std::vector<std::string> m = Messages();
  ASSERT_EQ(m.size(), 1u);
  EXPECT_NE(m[0].find("The recovery journal of \"/w/cut.bas\" is damaged: its text is "
                      "restored as it was at "),
            std::string::npos)
      << m[0];
  EXPECT_NE(m[0].find("(18 bytes of the journal could not be read)"), std::string::npos) << m[0];
  EXPECT_NE(m[0].find("\rNothing of \"/w/gone.bas\" could be recovered: its recovery journal "
                      "is damaged."),
            std::string::npos)
      << m[0];
}

} // namespace
