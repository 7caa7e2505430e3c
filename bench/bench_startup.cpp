// Start-up: from starting the process until its main window is on screen,
// korvex (with its settings file, every window created, menus and toolbar)
// against a bare Qt QMainWindow program started the same way. Both the time
// waited (median and best of the runs) and the processor time each process
// reports having spent by then are compared: on a shared machine the second
// says what the program costs, the first what a user waits.
#include "BenchUtil.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
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

struct TShown {
  double Seconds = -1;    // waited, from the spawn
  double CpuSeconds = -1; // the process's own processor time by then
};

// From spawning `program` until it prints "KX-SHOWN cpu-ms=..."; -1 on failure.
TShown TimeToShown(const std::string &program) {
  int fds[2];
  if (::pipe(fds) != 0)
    return {};
  std::vector<std::string> env;
  for (char **e = environ; *e; ++e)
    if (std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0 && std::strncmp(*e, "KX_", 3) != 0)
      env.emplace_back(*e);
  env.emplace_back("QT_QPA_PLATFORM=offscreen");
  env.emplace_back("KX_EXIT_WHEN_SHOWN=1");
  env.emplace_back("KX_INSTANCE_NAME=kxbench-" + std::to_string(::getpid()));
  std::vector<char *> envp;
  for (auto &s : env)
    envp.push_back(s.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclose(&fa, fds[0]);
  std::string prog = program;
  char *argv[] = {prog.data(), nullptr};
  const auto start = std::chrono::steady_clock::now();
  pid_t pid;
  const int rc = ::posix_spawn(&pid, prog.c_str(), &fa, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&fa);
  ::close(fds[1]);
  TShown shown;
  if (rc != 0) {
    ::close(fds[0]);
    return shown;
  }
  std::string out;
  char buf[256];
  ssize_t n;
  while ((n = ::read(fds[0], buf, sizeof buf)) > 0) {
    out.append(buf, static_cast<size_t>(n));
    const size_t at = out.find("KX-SHOWN");
    if (at != std::string::npos && out.find('\n', at) != std::string::npos) {
      shown.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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

std::vector<double> korvexTimes, peerTimes, korvexCpu, peerCpu;

// Each iteration starts korvex and then the peer, so that both see the same
// machine load; the iteration's time is korvex's.
void BM_Startup_KorvexThenBareQMainWindow(benchmark::State &state) {
  const std::string korvex = BenchFolder() + "../korvex-editor";
  const std::string peer = BenchFolder() + "peer_bare_window";
  for (const std::string &p : {korvex, peer}) {
    if (::access(p.c_str(), X_OK) != 0) {
      state.SkipWithError(("missing " + p).c_str());
      return;
    }
    TimeToShown(p); // load the libraries once before timing
  }
  for (auto _ : state) {
    const TShown k = TimeToShown(korvex);
    const TShown p = TimeToShown(peer);
    if (k.Seconds < 0 || p.Seconds < 0) {
      state.SkipWithError("a program did not show its window");
      return;
    }
    korvexTimes.push_back(k.Seconds);
    peerTimes.push_back(p.Seconds);
    korvexCpu.push_back(k.CpuSeconds);
    peerCpu.push_back(p.CpuSeconds);
    state.SetIterationTime(k.Seconds);
  }
}
BENCHMARK(BM_Startup_KorvexThenBareQMainWindow)
    ->UseManualTime()
    ->Iterations(30)
    ->Unit(benchmark::kMillisecond);

using kxbench::Median;

double BestOf(const std::vector<double> &v) {
  return v.empty() ? -1 : *std::min_element(v.begin(), v.end());
}

} // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  kxbench::Figure("startup-to-window korvex median", Median(korvexTimes) * 1000, "ms");
  kxbench::Figure("startup-to-window bare QMainWindow median", Median(peerTimes) * 1000, "ms");
  kxbench::Figure("startup-to-window korvex best", BestOf(korvexTimes) * 1000, "ms");
  kxbench::Figure("startup-to-window bare QMainWindow best", BestOf(peerTimes) * 1000, "ms");
  kxbench::Figure("startup-to-window korvex processor time median", Median(korvexCpu) * 1000, "ms");
  kxbench::Figure("startup-to-window bare QMainWindow processor time median",
                  Median(peerCpu) * 1000, "ms");
  kxbench::Ratio("startup-to-window", "bare QMainWindow", Median(korvexTimes), Median(peerTimes));
  kxbench::Ratio("startup-to-window best", "bare QMainWindow", BestOf(korvexTimes),
                 BestOf(peerTimes));
  kxbench::Ratio("startup-to-window processor time", "bare QMainWindow", Median(korvexCpu),
                 Median(peerCpu));
  return 0;
}
