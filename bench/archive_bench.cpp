// Extraction of every member of a large archive (2,000 members, 200 MB of HTML-like text)
// through ExtractMemberToStream, beside plain zlib inflating the same members from memory.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "../tests/archive/ZipWriter.h"
#include "archive/ZipArchive.h"

namespace {

#ifndef KORVA_UNZLIB_DIR
#define KORVA_UNZLIB_DIR "."  // the library sits beside the benchmark in the bin folder
#endif

constexpr int MemberCount = 2000;
constexpr std::size_t MemberSize = 100 * 1024;

struct TData {
  korva::test::TTempDir Dir;
  std::string Path;
  std::vector<std::string> Names, Packed;
  TData() {
    std::vector<korva::test::TZipMember> members;
    for (int i = 0; i < MemberCount; ++i) {
      korva::test::TZipMember m{"docs/page" + std::to_string(i) + ".html", korva::test::HtmlLikeText(MemberSize, i + 1)};
      Names.push_back("docs\\page" + std::to_string(i) + ".html");
      Packed.push_back(korva::test::Deflate(m.Data));
      members.push_back(std::move(m));
    }
    Path = Dir.Write("big.zip", korva::test::BuildZip(members));
  }
};

TData& Data() {
  static TData data;
  return data;
}

void BM_ExtractMemberToStream(benchmark::State& state) {
  TData& d = Data();
  korva::TZipArchive zip;
  zip.SetUnattended(true);
  zip.SetDLLDirectory(KORVA_UNZLIB_DIR);
  zip.FEvents.OnPasswordError = [](korva::TZipArchive*, bool, std::string&, const std::string&, unsigned& n,
                                   korva::TMsgDlgBtn&) { n = 0; };
  zip.SetZipFileName(d.Path);
  for (auto _ : state) {
    std::int64_t total = 0;
    for (const std::string& name : d.Names) {
      korva::TZipStream* s = zip.ExtractMemberToStream(name);
      if (!s) state.SkipWithError("extraction failed");
      else total += s->Size();
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(state.iterations() * std::int64_t(MemberCount * MemberSize));
  state.counters["members/s"] = benchmark::Counter(double(state.iterations()) * MemberCount, benchmark::Counter::kIsRate);
}

void BM_ZlibFromMemory(benchmark::State& state) {
  TData& d = Data();
  std::vector<unsigned char> out(MemberSize);
  for (auto _ : state) {
    std::int64_t total = 0;
    for (const std::string& p : d.Packed) {
      z_stream zs{};
      inflateInit2(&zs, -MAX_WBITS);
      zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(p.data()));
      zs.avail_in = uInt(p.size());
      zs.next_out = out.data();
      zs.avail_out = uInt(out.size());
      inflate(&zs, Z_FINISH);
      std::uint32_t crc = std::uint32_t(crc32(0, out.data(), uInt(zs.total_out)));
      total += zs.total_out + (crc & 1);
      inflateEnd(&zs);
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(state.iterations() * std::int64_t(MemberCount * MemberSize));
  state.counters["members/s"] = benchmark::Counter(double(state.iterations()) * MemberCount, benchmark::Counter::kIsRate);
}

// The per-extraction cost of loading and freeing the library, alone.
void BM_LoadAndFreeLibrary(benchmark::State& state) {
  korva::TZipWorker worker;
  worker.FSettings.DLLDirectory = KORVA_UNZLIB_DIR;
  for (auto _ : state) {
    worker.UnzLib().LoadLib(korva::lrOperation, 178);
    worker.UnzLib().ReleaseLib(korva::lrOperation);
  }
}

}  // namespace

BENCHMARK(BM_ExtractMemberToStream)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_ZlibFromMemory)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_LoadAndFreeLibrary)->Unit(benchmark::kMicrosecond);

// Prints the two extraction rates side by side with their ratio.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      const double t = r.GetAdjustedRealTime();
      if (r.benchmark_name().find("ExtractMemberToStream") != std::string::npos) FArchive = t;
      if (r.benchmark_name().find("ZlibFromMemory") != std::string::npos) FZlib = t;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    if (FArchive > 0 && FZlib > 0)
      std::printf("ExtractMemberToStream %.1f ms, zlib from memory %.1f ms per 2,000 members: ratio %.2f\n", FArchive,
                  FZlib, FArchive / FZlib);
  }

 private:
  double FArchive = 0, FZlib = 0;
};

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
