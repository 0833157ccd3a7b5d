// Appending many short pieces: the builder must stay linear in the total length.
#include <benchmark/benchmark.h>

#include "automation/cls_concat.h"

namespace {

void BM_SConcatShortPieces(benchmark::State& state) {
  const int64_t pieces = state.range(0);
  const std::u16string_view piece = u"field,";  // a typical delimited field
  int64_t chars = 0;
  for (auto _ : state) {
    tlx::clsConcat b;
    for (int64_t i = 0; i < pieces; ++i) b.SConcat(piece);
    tlx::BStr out = b.GetString();
    chars += static_cast<int64_t>(out.size());
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["chars/s"] = benchmark::Counter(static_cast<double>(chars), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SConcatShortPieces)->Arg(10'000'000)->Unit(benchmark::kMillisecond);

void BM_SConcatCharacters(benchmark::State& state) {
  const int64_t n = state.range(0);
  int64_t chars = 0;
  for (auto _ : state) {
    tlx::clsConcat b;
    for (int64_t i = 0; i < n; ++i) b.SConcat(static_cast<char16_t>(u'a' + i % 26));
    tlx::BStr out = b.GetString();
    chars += static_cast<int64_t>(out.size());
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["chars/s"] = benchmark::Counter(static_cast<double>(chars), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SConcatCharacters)->Arg(10'000'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
