// The launcher: look-up, wine and xdg-open mapping, detached starts and the
// wait on the started process.
//
// A waited-for program is a child process, so its end is an event at once;
// one still running when this program quits is let go and goes on running.
// Programs not waited for start detached.
#include "Launcher.h"

#include "Prompter.h"
#include "ToolLookup.h"

#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <memory>
#include <unistd.h>
#include <vector>

namespace {

constexpr int SliceMs = 100;

bool busy = false;
int lastExitCode = -1;

QString FromPath(const std::string &path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

QString FromText(const std::string &text) {
  return QString::fromLocal8Bit(QByteArray::fromStdString(text));
}

std::string SearchPath() {
  const QByteArray path = qgetenv("PATH");
  return path.isNull() ? std::string("/usr/local/bin:/usr/bin:/bin") : path.toStdString();
}

// Runs a helper program (winepath) to its end with the same event
// dispatching as a waited-for tool; gives its standard output, or false when
// it failed or the application quit meanwhile.
bool RunHelper(const QString &program, const QStringList &args, QByteArray &output) {
  QProcess p;
  p.setProgram(program);
  p.setArguments(args);
  p.setStandardInputFile(QProcess::nullDevice());
  p.setProcessChannelMode(QProcess::SeparateChannels);
  QEventLoop loop;
  bool ended = false;
  QObject::connect(&p, &QProcess::finished, &loop, [&] {
    ended = true;
    loop.quit();
  });
  QObject::connect(&p, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
    if (e == QProcess::FailedToStart) {
      ended = true;
      loop.quit();
    }
  });
  p.start();
  if (!ended)
    loop.exec();
  if (!ended || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
    return false;
  output = p.readAllStandardOutput();
  return true;
}

// The Windows form of a path for a program run through wine. winepath knows
// the drive mappings of the user's wine set-up; without it, wine's default
// mapping of the root folder to drive Z: is used.
std::string WindowsForm(const std::string &path) {
  const std::string winepath = FindInSearchPath("winepath", SearchPath());
  QByteArray out;
  if (!winepath.empty() &&
      RunHelper(FromPath(winepath), {QStringLiteral("-w"), FromPath(path)}, out)) {
    while (!out.isEmpty() && (out.endsWith('\n') || out.endsWith('\r')))
      out.chop(1);
    if (!out.isEmpty() && !out.contains('\n'))
      return out.toStdString();
  }
  std::string w = "Z:" + path;
  for (char &c : w)
    if (c == '/')
      c = '\\';
  return w;
}

struct TPlan {
  QString Program;
  QStringList Args;
  std::string Problem; // why it cannot start; empty when it can
};

QStringList ToStrings(const TCommandArgs &args) {
  QStringList list;
  list.reserve(static_cast<qsizetype>(args.size()));
  for (const TCommandArg &a : args)
    list << (a.IsPath ? FromPath(a.Text) : FromText(a.Text));
  return list;
}

TPlan Plan(const std::string &file, const TArgumentBuilder &build) {
  TPlan plan;
  const TProgramLookup found = LookUpProgram(file);
  const TPathForm asIs = [](const std::string &p) { return p; };
  switch (found.Kind) {
  case TProgramKind::Missing:
    plan.Problem = file.empty() ? "No program has been chosen." : "The file does not exist.";
    break;
  case TProgramKind::NotExecutable:
    plan.Problem = "The file is not marked as executable.";
    break;
  case TProgramKind::Native:
    plan.Program = FromPath(found.Path);
    plan.Args = ToStrings(build(asIs));
    break;
  case TProgramKind::Windows: {
    const std::string wine = FindInSearchPath("wine", SearchPath());
    if (wine.empty()) {
      plan.Problem = "It is a Windows program, and wine is not installed.";
      break;
    }
    plan.Program = FromPath(wine);
    TCommandArgs args = build(WindowsForm);
    for (TCommandArg &a : args)
      if (a.IsPath)
        a = TCommandArg::Word(WindowsForm(a.Text));
    plan.Args = QStringList{FromPath(found.Path)} + ToStrings(args);
    break;
  }
  case TProgramKind::Document: {
    const std::string opener = FindInSearchPath("xdg-open", SearchPath());
    if (opener.empty()) {
      plan.Problem = "There is no program to open it with: xdg-open is not installed.";
      break;
    }
    plan.Program = FromPath(opener);
    plan.Args = QStringList{FromPath(found.Path)} + ToStrings(build(asIs));
    break;
  }
  }
  return plan;
}

// Starts the plan detached (for programs not waited for); gives false and
// the reason when it cannot start.
bool StartDetached(const TPlan &plan, std::string &problem) {
  QProcess p;
  p.setProgram(plan.Program);
  p.setArguments(plan.Args);
  if (!p.startDetached()) {
    problem = p.errorString().toStdString();
    return false;
  }
  return true;
}

// Processes whose wait ended because the program quits: they are never
// destroyed, since destroying a running QProcess kills it. The list itself
// is never destroyed either, so they stay reachable to the end.
std::vector<QProcess *> &Released() {
  static auto *released = new std::vector<QProcess *>;
  return *released;
}

// Starts the plan as a child and waits for it in slices of at most 100 ms
// while every event is dispatched. Gives false and the reason when it cannot
// start.
bool StartAndWait(const TPlan &plan, std::string &problem) {
  auto process = std::make_unique<QProcess>();
  process->setProgram(plan.Program);
  process->setArguments(plan.Args);
  // The tool's output goes where this program's goes, so no pipe fills up
  // and the tool can outlive this program; it reads no input, as a program
  // started from a desktop does not.
  process->setProcessChannelMode(QProcess::ForwardedChannels);
  process->setStandardInputFile(QProcess::nullDevice());
  QEventLoop loop;
  QObject::connect(process.get(), &QProcess::finished, &loop, [&] { loop.quit(); });
  process->start();
  if (!process->waitForStarted(-1)) {
    problem = process->errorString().toStdString();
    return false;
  }
  QTimer slice;
  slice.setInterval(SliceMs);
  QObject::connect(&slice, &QTimer::timeout, &loop, [&] {
    if (process->state() == QProcess::NotRunning)
      loop.quit();
  });
  slice.start();
  // The loop returns when the program ended, or when the application quits:
  // quitting ends every event loop, this one included, and a loop started
  // while the application quits returns at once.
  if (process->state() != QProcess::NotRunning)
    loop.exec();
  if (process->state() != QProcess::NotRunning) {
    process->disconnect();
    Released().push_back(process.release());
    return true;
  }
  lastExitCode = process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
  return true;
}

class TBusy {
public:
  TBusy() { Set(true); }
  ~TBusy() { Set(false); }

private:
  static void Set(bool on) {
    busy = on;
    emit LauncherSignals().BusyChanged(on);
  }
};

void ShowStartProblem(const std::string &file, const std::string &problem) {
  emit LauncherSignals().StartProblem();
  Prompter().Message("Problem Running " + file + "\r\n" + problem, TMsgDlgType::mtError, mbOK,
                     ApplicationTitle);
}

} // namespace

TLauncherSignals &LauncherSignals() {
  static TLauncherSignals instance;
  return instance;
}

bool LauncherBusy() {
  return busy;
}

int LastExitCode() {
  return lastExitCode;
}

bool ExecuteAndWait(const std::string &file, const TArgumentBuilder &build) {
  if (busy)
    return false;
  lastExitCode = -1;
  const TBusy marked;
  TPlan plan = Plan(file, build);
  if (!plan.Problem.empty()) {
    ShowStartProblem(file, plan.Problem);
    return false;
  }
  std::string problem;
  if (!StartAndWait(plan, problem)) {
    ShowStartProblem(file, problem);
    return false;
  }
  return true;
}

bool ExecuteAndWait(const std::string &file, const TCommandArgs &args) {
  return ExecuteAndWait(file, FixedArguments(args));
}

void RunProgram(const std::string &file, const TArgumentBuilder &build) {
  TPlan plan = Plan(file, build);
  std::string problem;
  if (!plan.Problem.empty() || !StartDetached(plan, problem))
    throw EProblemRunning("Problem Running " + file);
}

void RunProgram(const std::string &file, const TCommandArgs &args) {
  RunProgram(file, FixedArguments(args));
}
