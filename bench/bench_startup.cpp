// Start-up: from starting the process until the first frame of its main
// window is on screen, korvex (with its settings file, menus, toolbar, the
// untitled document and the status bar) against bare Qt main windows started
// the same way and timed to the same moment: one with a title and a one-item
// File menu, as a Qt program's first lines make it, and one that shows no text
// at all. Both the time waited (median and best of the runs) and the processor
// time each process reports having spent by then are compared: on a shared
// machine the second says what the program costs, the first what a user waits.
//
// KX_STARTUP_BASELINE names another korvex-editor (an earlier build, with its
// KX_INC folder beside it): it then runs in the same rounds, so that a change
// is measured before and after under the same load.
#include "BenchUtil.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

std::string BenchFolder() {
  char buf[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  std::string p(buf, n > 0 ? static_cast<size_t>(n) : 0);
  return p.substr(0, p.find_last_of('/') + 1);
}

std::string LoadAverage() {
  std::ifstream f("/proc/loadavg");
  std::string one, five, fifteen;
  if (!(f >> one >> five >> fifteen))
    return "unknown";
  return one + " " + five + " " + fifteen;
}

// A private home for the programs, made once: korvex keeps its display
// settings and recovery journals under it, and a user's start finds them
// there from the second start on, as the untimed first run leaves them.
const std::string &PrivateHome() {
  static const std::string home = [] {
    std::string t = (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
    t += "/kx-bench-startup-XXXXXX";
    std::vector<char> buf(t.begin(), t.end());
    buf.push_back('\0');
    return std::string(::mkdtemp(buf.data()) ? buf.data() : "");
  }();
  return home;
}

struct TProgram {
  std::string Name; // as the figures call it
  std::string Path;
  std::vector<std::string> Args;
  std::vector<double> Waited, Cpu;
};

struct TShown {
  double Seconds = -1;    // waited, from the spawn
  double CpuSeconds = -1; // the process's own processor time by then
};

// From spawning the program until it prints "KX-SHOWN cpu-ms=..."; -1 when it
// ends or stays silent for 20 s without.
TShown TimeToShown(const TProgram &program) {
  int fds[2];
  if (::pipe(fds) != 0)
    return {};
  std::vector<std::string> env;
  for (char **e = environ; *e; ++e)
    if (std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0 && std::strncmp(*e, "KX_", 3) != 0 &&
        std::strncmp(*e, "HOME=", 5) != 0 && std::strncmp(*e, "XDG_CONFIG_HOME=", 16) != 0 &&
        std::strncmp(*e, "XDG_STATE_HOME=", 15) != 0 && std::strncmp(*e, "XDG_DATA_HOME=", 14) != 0)
      env.emplace_back(*e);
  env.emplace_back("QT_QPA_PLATFORM=offscreen");
  env.emplace_back("KX_EXIT_WHEN_SHOWN=1");
  // A name of its own for each program: builds need not agree on how they
  // mark the running copy.
  env.emplace_back("KX_INSTANCE_NAME=kxbench-" + std::to_string(::getpid()) + "-" +
                   std::to_string(std::hash<std::string>{}(program.Name)));
  env.emplace_back("HOME=" + PrivateHome());
  std::vector<char *> envp;
  for (auto &s : env)
    envp.push_back(s.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclose(&fa, fds[0]);
  std::vector<std::string> args{program.Path};
  args.insert(args.end(), program.Args.begin(), program.Args.end());
  std::vector<char *> argv;
  for (auto &a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid;
  const int rc = ::posix_spawn(&pid, args[0].c_str(), &fa, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&fa);
  ::close(fds[1]);
  TShown shown;
  if (rc != 0) {
    ::close(fds[0]);
    return shown;
  }
  std::string out;
  char buf[256];
  while (true) {
    pollfd p{fds[0], POLLIN, 0};
    const int ready = ::poll(&p, 1, 20000);
    if (ready < 0 && errno == EINTR)
      continue;
    if (ready <= 0) {
      ::kill(pid, SIGKILL);
      break;
    }
    const ssize_t n = ::read(fds[0], buf, sizeof buf);
    if (n <= 0)
      break;
    out.append(buf, static_cast<size_t>(n));
    const size_t at = out.find("KX-SHOWN");
    if (at != std::string::npos && out.find('\n', at) != std::string::npos) {
      shown.Seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      const size_t cpu = out.find("cpu-ms=", at);
      if (cpu != std::string::npos)
        shown.CpuSeconds = std::atof(out.c_str() + cpu + 7) / 1e3;
      break;
    }
  }
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return shown;
}

std::vector<TProgram> programs;

// Each round starts every program once, in an order that turns by one each
// round, so that all see the same machine load and none is always first
// after another's exit. The iteration's time is korvex's.
void BM_Startup_KorvexAndBareQMainWindows(benchmark::State &state) {
  for (const TProgram &p : programs)
    if (::access(p.Path.c_str(), X_OK) != 0) {
      state.SkipWithError(("missing " + p.Path).c_str());
      return;
    }
  // Load the libraries into the page cache, and let korvex make its
  // history file and folders, before timing.
  for (const TProgram &p : programs)
    TimeToShown(p);
  size_t round = 0;
  for (auto _ : state) {
    double korvex = -1;
    for (size_t k = 0; k < programs.size(); ++k) {
      const size_t i = (k + round) % programs.size();
      const TShown s = TimeToShown(programs[i]);
      if (s.Seconds < 0) {
        state.SkipWithError((programs[i].Name + " did not show its window").c_str());
        return;
      }
      programs[i].Waited.push_back(s.Seconds);
      programs[i].Cpu.push_back(s.CpuSeconds);
      if (i == 0)
        korvex = s.Seconds;
    }
    ++round;
    state.SetIterationTime(korvex);
  }
}
BENCHMARK(BM_Startup_KorvexAndBareQMainWindows)
    ->UseManualTime()
    ->Iterations(40)
    ->Unit(benchmark::kMillisecond);

using kxbench::Median;

double BestOf(const std::vector<double> &v) {
  return v.empty() ? -1 : *std::min_element(v.begin(), v.end());
}

} // namespace

int main(int argc, char **argv) {
  const std::string folder = BenchFolder();
  programs.push_back({"korvex", folder + "../korvex-editor", {}, {}, {}});
  if (const char *baseline = std::getenv("KX_STARTUP_BASELINE"); baseline && *baseline)
    programs.push_back({"korvex baseline", baseline, {}, {}, {}});
  programs.push_back({"bare QMainWindow", folder + "peer_bare_window", {}, {}, {}});
  programs.push_back({"empty QMainWindow", folder + "peer_bare_window", {"empty"}, {}, {}});
  kxbench::Note("load average at start: " + LoadAverage());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  kxbench::Note("load average at end: " + LoadAverage());
  for (const TProgram &p : programs) {
    kxbench::Figure("startup-to-first-frame " + p.Name + " median", Median(p.Waited) * 1000, "ms");
    kxbench::Figure("startup-to-first-frame " + p.Name + " best", BestOf(p.Waited) * 1000, "ms");
    kxbench::Figure("startup-to-first-frame " + p.Name + " processor time median",
                    Median(p.Cpu) * 1000, "ms");
  }
  // This build against every other program; an earlier build against the
  // bare windows too, so that before and after are read off the same rounds.
  for (size_t k = 0; k < programs.size(); ++k) {
    const TProgram &korvex = programs[k];
    if (k > 0 && korvex.Name != "korvex baseline")
      break;
    const std::string prefix = k == 0 ? "" : " of the baseline";
    for (size_t i = k + 1; i < programs.size(); ++i) {
      const TProgram &p = programs[i];
      kxbench::Ratio("startup-to-first-frame" + prefix, p.Name, Median(korvex.Waited),
                     Median(p.Waited));
      kxbench::Ratio("startup-to-first-frame best" + prefix, p.Name, BestOf(korvex.Waited),
                     BestOf(p.Waited));
      kxbench::Ratio("startup-to-first-frame processor time" + prefix, p.Name, Median(korvex.Cpu),
                     Median(p.Cpu));
    }
  }
  if (!PrivateHome().empty()) {
    std::error_code ec;
    std::filesystem::remove_all(PrivateHome(), ec);
  }
  return 0;
}
