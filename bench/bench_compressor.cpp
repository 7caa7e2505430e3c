// Compressor throughput: the block method and LZH against lz4 and zlib (levels
// 1 and 6) on the same buffers in the same run: the BASIC scheme's table
// stream repeated, and 10 MB of PIC BASIC text. The block method is measured
// twice: the whole call (Pack / Unpack: header, framing, streams, a fresh
// output) and the block coder alone buffer to buffer, as lz4 is. Also the
// start-up cost of loading the built-in stored schemes.
#include "BenchUtil.h"
#include "Compressor.h"
#include "EmbeddedSchemes.h"

#include <benchmark/benchmark.h>

#ifdef KX_HAVE_LZ4
#include <lz4.h>
#endif
#ifdef KX_HAVE_ZLIB
#include <zlib.h>
#endif

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// The uncompressed table stream of the built-in BASIC scheme.
std::string BasicTableStream() {
  TParserRepository repo(EmbeddedStoredSchemes());
  TMemoryStream tables;
  TStoredParser::WriteTables(*repo.Find("TARNIC"), tables);
  return tables.Bytes();
}

// Start-up: every built-in stored scheme decompressed and loaded.
void LoadBuiltInSchemes(benchmark::State &state) {
  for (auto _ : state) {
    TParserRepository repo(EmbeddedStoredSchemes());
    benchmark::DoNotOptimize(repo.Parsers().size());
  }
}

std::string Repeat(const std::string &unit, size_t size) {
  std::string s;
  s.reserve(size + unit.size());
  while (s.size() < size)
    s += unit;
  s.resize(size);
  return s;
}

std::map<std::string, std::string> &Buffers() {
  static std::map<std::string, std::string> b;
  return b;
}

// CPU seconds per iteration of each benchmark, filled by the reporter. CPU time
// rather than wall time, because the machine may be shared with other work.
std::map<std::string, double> &Seconds() {
  static std::map<std::string, double> s;
  return s;
}
std::map<std::string, size_t> &PackedSize() {
  static std::map<std::string, size_t> s;
  return s;
}

class Collector : public benchmark::ConsoleReporter {
public:
  // No colour codes, so that the RATIO and FIGURE lines start their lines.
  Collector() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const auto &r : runs)
      if (r.run_type == Run::RT_Iteration && r.iterations > 0)
        Seconds()[r.run_name.function_name] =
            r.cpu_accumulated_time / static_cast<double>(r.iterations);
    ConsoleReporter::ReportRuns(runs);
  }
};

void Ours(benchmark::State &state, const std::string &buffer, uint8_t method, bool compress,
          const std::string &key) {
  const std::string &in = Buffers()[buffer];
  const std::string packed = TCompressor::Pack(in, method);
  PackedSize()[key] = packed.size();
  for (auto _ : state) {
    if (compress)
      benchmark::DoNotOptimize(TCompressor::Pack(in, method));
    else
      benchmark::DoNotOptimize(TCompressor::Unpack(packed));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

// The block coder alone, buffer to buffer like the lz4 figures: every block
// of the buffer through BlockCompress or BlockDecompress into preallocated
// buffers, without header, framing or streams.
void Coder(benchmark::State &state, const std::string &buffer, bool compress,
           const std::string &key) {
  using namespace kxcompress;
  const std::string &in = Buffers()[buffer];
  const auto *src = reinterpret_cast<const uint8_t *>(in.data());
  const size_t blocks = in.size() / kBlockSize + 1;
  std::vector<uint8_t> coded(blocks * kBlockBufferSize), out(blocks * kBlockSize + kBlockSlack);
  std::vector<size_t> lens(blocks);
  std::vector<uint16_t> hash(kHashSize);
  auto compressAll = [&] {
    for (size_t b = 0; b < blocks; ++b) {
      const size_t at = b * kBlockSize, n = std::min(kBlockSize, in.size() - at);
      lens[b] = BlockCompress(src + at, n, coded.data() + b * kBlockBufferSize, hash.data());
    }
  };
  compressAll();
  size_t total = 0;
  for (size_t len : lens)
    total += 2 + len;
  PackedSize()[key] = total + kHeaderSize;
  for (auto _ : state) {
    if (compress) {
      compressAll();
    } else {
      for (size_t b = 0; b < blocks; ++b)
        BlockDecompress(coded.data() + b * kBlockBufferSize, lens[b], out.data() + b * kBlockSize);
    }
    benchmark::ClobberMemory();
  }
  if (!compress && std::memcmp(out.data(), in.data(), in.size()) != 0)
    state.SkipWithError("block coder did not restore its input");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

#ifdef KX_HAVE_LZ4
void Lz4(benchmark::State &state, const std::string &buffer, bool compress,
         const std::string &key) {
  const std::string &in = Buffers()[buffer];
  std::vector<char> packed(static_cast<size_t>(LZ4_compressBound(static_cast<int>(in.size()))));
  const int n = LZ4_compress_default(in.data(), packed.data(), static_cast<int>(in.size()),
                                     static_cast<int>(packed.size()));
  PackedSize()[key] = static_cast<size_t>(n);
  std::vector<char> out(in.size());
  for (auto _ : state) {
    if (compress)
      benchmark::DoNotOptimize(LZ4_compress_default(
          in.data(), packed.data(), static_cast<int>(in.size()), static_cast<int>(packed.size())));
    else
      benchmark::DoNotOptimize(
          LZ4_decompress_safe(packed.data(), out.data(), n, static_cast<int>(out.size())));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}
#endif

#ifdef KX_HAVE_ZLIB
void Zlib(benchmark::State &state, const std::string &buffer, int level, bool compress,
          const std::string &key) {
  const std::string &in = Buffers()[buffer];
  std::vector<Bytef> packed(compressBound(in.size()));
  uLongf n = packed.size();
  compress2(packed.data(), &n, reinterpret_cast<const Bytef *>(in.data()), in.size(), level);
  PackedSize()[key] = n;
  std::vector<Bytef> out(in.size());
  for (auto _ : state) {
    if (compress) {
      uLongf m = packed.size();
      benchmark::DoNotOptimize(compress2(
          packed.data(), &m, reinterpret_cast<const Bytef *>(in.data()), in.size(), level));
    } else {
      uLongf m = out.size();
      benchmark::DoNotOptimize(uncompress(out.data(), &m, packed.data(), n));
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}
#endif

std::string Key(const std::string &coder, const std::string &dir, const std::string &buffer) {
  return coder + "/" + dir + "/" + buffer;
}

void Register() {
  for (const auto &[buffer, bytes] : Buffers()) {
    for (const char *dir : {"compress", "decompress"}) {
      const bool c = std::strcmp(dir, "compress") == 0;
      const std::string b = buffer;
      std::string k = Key("block", dir, b);
      benchmark::RegisterBenchmark(k.c_str(), [=](benchmark::State &s) {
        Ours(s, b, TCompressor::cmBlock, c, k);
      })->Unit(benchmark::kMillisecond);
      std::string kc = Key("block-coder", dir, b);
      benchmark::RegisterBenchmark(kc.c_str(), [=](benchmark::State &s) {
        Coder(s, b, c, kc);
      })->Unit(benchmark::kMillisecond);
      std::string kl = Key("lzh", dir, b);
      benchmark::RegisterBenchmark(
          kl.c_str(), [=](benchmark::State &s) { Ours(s, b, TCompressor::cmLZH, c, kl); })
          ->Unit(benchmark::kMillisecond)
          ->Iterations(1);
#ifdef KX_HAVE_LZ4
      std::string k4 = Key("lz4", dir, b);
      benchmark::RegisterBenchmark(k4.c_str(), [=](benchmark::State &s) {
        Lz4(s, b, c, k4);
      })->Unit(benchmark::kMillisecond);
#endif
#ifdef KX_HAVE_ZLIB
      for (int level : {1, 6}) {
        std::string kz = Key("zlib-" + std::to_string(level), dir, b);
        benchmark::RegisterBenchmark(kz.c_str(), [=](benchmark::State &s) {
          Zlib(s, b, level, c, kz);
        })->Unit(benchmark::kMillisecond);
      }
#endif
    }
  }
}

void Summarise() {
  auto &t = Seconds();
  if (t.count("load-builtin-schemes"))
    kxbench::Figure("load-builtin-schemes", t["load-builtin-schemes"] * 1e3, "ms");
  for (const auto &[buffer, bytes] : Buffers()) {
    const double mb = static_cast<double>(bytes.size()) / 1e6;
    for (const char *dir : {"compress", "decompress"}) {
      for (const char *ours : {"block", "block-coder", "lzh"}) {
        const std::string k = Key(ours, dir, buffer);
        if (!t.count(k))
          continue;
        kxbench::Figure(std::string(ours) + "-" + dir + "-" + buffer, mb / t[k], "MB/s");
        for (const char *peer : {"lz4", "zlib-1", "zlib-6"}) {
          const std::string pk = Key(peer, dir, buffer);
          if (t.count(pk))
            kxbench::Ratio(std::string(ours) + "-" + dir + "-" + buffer, peer, t[k], t[pk]);
        }
      }
    }
    for (const char *ours : {"block", "lzh"}) {
      const std::string k = Key(ours, "compress", buffer);
      if (!PackedSize().count(k))
        continue;
      kxbench::Figure(std::string(ours) + "-size-" + buffer,
                      100.0 * static_cast<double>(PackedSize()[k]) /
                          static_cast<double>(bytes.size()),
                      "% of input");
      for (const char *peer : {"lz4", "zlib-1", "zlib-6"}) {
        const std::string pk = Key(peer, "compress", buffer);
        if (PackedSize().count(pk))
          kxbench::Ratio(std::string(ours) + "-size-" + buffer, peer,
                         static_cast<double>(PackedSize()[k]),
                         static_cast<double>(PackedSize()[pk]));
      }
    }
  }
}

} // namespace

int main(int argc, char **argv) {
  const std::string tables = BasicTableStream();
  kxbench::Figure("basic-table-stream", static_cast<double>(tables.size()), "bytes");
  Buffers()["table-stream"] = Repeat(tables, 8 << 20);
  try {
    Buffers()["basic-10MB"] = ReadWholeFile(kxbench::DataFile("basic_10MB.bas"));
  } catch (const std::exception &) {
    std::printf("SKIPPED input basic_10MB.bas: not generated\n");
  }
#ifndef KX_HAVE_LZ4
  kxbench::Skipped("lz4");
#endif
#ifndef KX_HAVE_ZLIB
  kxbench::Skipped("zlib");
#endif
  Register();
  benchmark::RegisterBenchmark("load-builtin-schemes", LoadBuiltInSchemes)
      ->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  Collector reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  Summarise();
  benchmark::Shutdown();
  return 0;
}
