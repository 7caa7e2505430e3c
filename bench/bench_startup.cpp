// Start-up: from starting the process until its main window is on screen,
// korvex (with its settings file, every window created, menus and toolbar)
// against a bare Qt QMainWindow program started the same way.
#include "BenchUtil.h"

#include <benchmark/benchmark.h>

#include <algorithm>
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

// Seconds from spawning `program` until it prints "KX-SHOWN"; -1 on failure.
double TimeToShown(const std::string &program) {
  int fds[2];
  if (::pipe(fds) != 0)
    return -1;
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
  if (rc != 0) {
    ::close(fds[0]);
    return -1;
  }
  std::string out;
  char buf[256];
  double seconds = -1;
  ssize_t n;
  while ((n = ::read(fds[0], buf, sizeof buf)) > 0) {
    out.append(buf, static_cast<size_t>(n));
    if (out.find("KX-SHOWN") != std::string::npos) {
      seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      break;
    }
  }
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return seconds;
}

std::vector<double> korvexTimes, peerTimes;

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
    const double k = TimeToShown(korvex);
    const double p = TimeToShown(peer);
    if (k < 0 || p < 0) {
      state.SkipWithError("a program did not show its window");
      return;
    }
    korvexTimes.push_back(k);
    peerTimes.push_back(p);
    state.SetIterationTime(k);
  }
}
BENCHMARK(BM_Startup_KorvexThenBareQMainWindow)
    ->UseManualTime()
    ->Iterations(30)
    ->Unit(benchmark::kMillisecond);

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (!korvexTimes.empty())
    kxbench::Figure("startup-to-window korvex median", Median(korvexTimes) * 1000, "ms");
  if (!peerTimes.empty())
    kxbench::Figure("startup-to-window bare QMainWindow median", Median(peerTimes) * 1000, "ms");
  if (!korvexTimes.empty() && !peerTimes.empty())
    kxbench::Ratio("startup-to-window", "bare QMainWindow", Median(korvexTimes), Median(peerTimes));
  return 0;
}
