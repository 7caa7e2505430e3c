// Files changed by another process while they are open: an unmodified
// document follows its file when the window is activated, keeping caret and
// scroll position (a document in the background too); a modified one asks
// "Reload" / "Keep mine", once per change; a deleted file is reported once and
// its document stays open, modified. Same-size rewrites are caught by time or
// contents.
#include "FileCommandsTestFixture.h"

#include "Launcher.h"

#include <QProcess>

#include <fcntl.h>
#include <sys/stat.h>
#include <utime.h>

using namespace kxdocs;

namespace {

class DiskChanges : public DocsTest {
protected:
  // Another program writes the file.
  void Rewrite(const std::string &path, const std::string &bytes) {
    QProcess p;
    p.start(QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"), QStringLiteral("printf '%s' \"$1\" > \"$2\""),
             QStringLiteral("sh"), QString::fromStdString(bytes), QString::fromStdString(path)});
    ASSERT_TRUE(p.waitForFinished(-1));
    ASSERT_EQ(p.exitCode(), 0);
  }
  void Activate() {
    QEvent e(QEvent::WindowActivate);
    QApplication::sendEvent(form.get(), &e);
    QApplication::processEvents();
    QApplication::processEvents();
  }
  std::vector<TPromptRecord> Asked() {
    std::vector<TPromptRecord> out;
    for (const TPromptRecord &r : rec->Records)
      if (r.Kind == "ASK" || r.Kind == "MESSAGE")
        out.push_back(r);
    return out;
  }
  static std::string Lines(int n, const std::string &stem) {
    std::string s;
    for (int i = 1; i <= n; ++i)
      s += stem + std::to_string(i) + "\r\n";
    return s;
  }
};

TEST_F(DiskChanges, UnmodifiedDocumentsFollowTheirFileKeepingCaretAndScroll) {
  const std::string a = Put("a.bas", Lines(400, "a = ")), b = Put("b.bas", "b\r\n");
  Open(a);
  Memo()->SetTopLine(120);
  Memo()->SetSelection(Memo()->LineStart(130) + 2, Memo()->LineStart(130) + 2);
  Open(b);
  SelectTab(0);
  Activate();
  EXPECT_TRUE(Asked().empty()); // nothing changed, nothing happens
  Rewrite(a, Lines(400, "A = "));
  Rewrite(b, "new b\r\n");
  Activate();
  EXPECT_TRUE(Asked().empty());
  EXPECT_EQ(Text().substr(0, 8), "A = 1\rA ");
  EXPECT_EQ(Memo()->TopLine(), 120);
  EXPECT_EQ(Memo()->Caret(), Memo()->LineStart(130) + 2);
  EXPECT_EQ(Panel(1), "");
  EXPECT_EQ(TabIndex(), 0);
  // The document in the background was reloaded too, without showing it.
  SelectTab(1);
  EXPECT_EQ(Text(), "new b\r");
  EXPECT_EQ(Panel(1), "");
}

TEST_F(DiskChanges, ModifiedDocumentAsksReloadOrKeepMineOncePerChange) {
  const std::string a = Put("a.bas", "disk 1\r\n");
  Open(a);
  Type("mine ");
  Rewrite(a, "disk 2\r\n");
  Answer({"Keep mine"});
  Activate();
  std::vector<TPromptRecord> asked = Asked();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].Kind, "ASK");
  EXPECT_EQ(asked[0].Buttons, "Reload,Keep mine");
  EXPECT_EQ(asked[0].Text, "The file \"" + a +
                               "\" has been changed on disk by another program.\rReload it and "
                               "lose your changes, or keep your version?");
  EXPECT_EQ(Text(), "mine disk 1\r");
  EXPECT_EQ(Panel(1), "Modified");
  Activate();
  EXPECT_EQ(Asked().size(), 1u); // the same change is not asked about again
  Rewrite(a, "disk 3\r\n");
  Answer({"Reload"});
  Activate();
  EXPECT_EQ(Asked().size(), 2u);
  EXPECT_EQ(Text(), "disk 3\r");
  EXPECT_EQ(Panel(1), "");
}

TEST_F(DiskChanges, SameSizeRewritesAreSeenByTimeOrByContents) {
  const std::string a = Put("a.bas", "aaaa\r\n");
  Open(a);
  struct stat st {};
  ASSERT_EQ(::stat(a.c_str(), &st), 0);
  // Same size, same time stamp, other bytes: only the contents tell.
  Rewrite(a, "bbbb\r\n");
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, a.c_str(), times, 0), 0);
  Activate();
  EXPECT_EQ(Text(), "bbbb\r");
  // Same bytes written again: a new time stamp is a change; the reload is harmless.
  Rewrite(a, "bbbb\r\n");
  Type("x");
  Answer({"Keep mine"});
  Activate();
  EXPECT_EQ(Asked().size(), 1u);
  EXPECT_EQ(Text(), "xbbbb\r");
}

TEST_F(DiskChanges, DeletedFileIsReportedOnceAndItsTextStaysModified) {
  const std::string a = Put("a.bas", "keep me\r\n");
  Open(a);
  ASSERT_TRUE(fs::remove(a));
  Activate();
  std::vector<TPromptRecord> asked = Asked();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].Type, "Warning");
  EXPECT_EQ(asked[0].Text, "The file \"" + a +
                               "\" has been deleted or moved away on disk.\rIts text stays open "
                               "here, marked as modified: save it to keep it.");
  EXPECT_EQ(Text(), "keep me\r");
  EXPECT_EQ(Panel(1), "Modified");
  Activate();
  EXPECT_EQ(Asked().size(), 1u);
  // Saving writes it back; from then on it is an ordinary file again.
  form->SaveButtonClick(nullptr);
  EXPECT_EQ(Get(a), "keep me\r\n");
  EXPECT_EQ(Panel(1), "");
  Activate();
  EXPECT_EQ(Asked().size(), 1u);
}

TEST_F(DiskChanges, AFileAWaitedForToolChangedIsFollowedWhenItEnds) {
  const std::string a = Put("a.bas", "before\r\n");
  Open(a);
  // A waited-for tool rewrites the file; no window activation follows.
  ASSERT_TRUE(ExecuteAndWait("/bin/sh", TCommandArgs{TCommandArg::Word("-c"),
                                                     TCommandArg::Word("printf 'after\\r\\n' > \"$0\""),
                                                     TCommandArg::Path(a)}));
  QApplication::processEvents();
  QApplication::processEvents();
  EXPECT_EQ(Text(), "after\r");
  EXPECT_TRUE(Asked().empty());
}

TEST_F(DiskChanges, OwnSavesAreNoChange) {
  const std::string a = Put("a.bas", "one\r\n");
  Open(a);
  Type("x");
  form->SaveButtonClick(nullptr);
  Activate();
  Type("y");
  Activate();
  EXPECT_TRUE(Asked().empty());
  EXPECT_EQ(Text(), "xyone\r");
}

} // namespace
