// Writes the generated benchmark inputs into a folder (see BenchInputs.h);
// inputs already written by the same generator version are kept.
#include "BenchInputs.h"

#include <cstdio>

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: kx_bench_gen FOLDER\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  for (const kxbench::TInput &in : kxbench::Inputs()) {
    bool written = false;
    if (!kxbench::Generate(dir, in, &written)) {
      std::fprintf(stderr, "kx_bench_gen: cannot write %s\n", (dir / in.Name).string().c_str());
      return 1;
    }
    if (written)
      std::printf("generated %s\n", in.Name.c_str());
  }
  return 0;
}
