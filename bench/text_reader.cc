// Reading a large delimited text file line by line, in UTF-8 and in a single-byte code page.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "automation/strings.h"
#include "automation/text_file.h"

namespace {

const std::filesystem::path& sampleFile() {
  static const std::filesystem::path path = [] {
    auto p = std::filesystem::temp_directory_path() / ("talvex-bench-" + std::to_string(::getpid()) + ".txt");
    std::ofstream out(p, std::ios::binary);
    const std::string row = "12345,Some customer name,Main Street 12,caf\xC3\xA9,2024-01-31,1234.50\r\n";
    for (size_t written = 0; written < (100u << 20); written += row.size()) out << row;
    return p;
  }();
  return path;
}

void readAllLines(benchmark::State& state, const char* codePage) {
  ::setenv("TALVEX_CODEPAGE", codePage, 1);
  tlx::reloadCodePage();
  const auto name = tlx::u16(sampleFile().string());
  const auto bytes = std::filesystem::file_size(sampleFile());
  for (auto _ : state) {
    tlx::TextReader r(name);
    std::u16string line;
    size_t lines = 0;
    while (r.readLine(line)) ++lines;
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void BM_ReadLinesUtf8(benchmark::State& state) { readAllLines(state, "UTF-8"); }
void BM_ReadLinesCp1252(benchmark::State& state) { readAllLines(state, "CP1252"); }
BENCHMARK(BM_ReadLinesUtf8)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReadLinesCp1252)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  std::filesystem::remove(sampleFile());
  return 0;
}
