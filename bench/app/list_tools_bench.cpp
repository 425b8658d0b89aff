// The list tools on a million-line text list: Remove duplicates, Sort,
// Count, L <- R and rewriting grid rows (goal for the last three: under
// 100 ms each), and reading lines, which must not get slower as the list
// grows.

#include <benchmark/benchmark.h>

#include <memory>

#include "app/form_main.h"
#include "base/collation.h"
#include "base/cp1251.h"
#include "bench/app/keyword_list.h"

namespace {

const std::string& MillionLineText() {
  static const std::string text = [] {
    std::string t;
    for (const auto& line : kv::bench::MakeKeywordLines(1'000'000, 0.3)) {
      t += kv::Utf8ToCp1251(line);
      t += "\r\n";
    }
    return t;
  }();
  return text;
}

using Tool = void (kv::TFormMainModel::*)();

// Times `tool` on a fresh window holding the million lines, after `before`
// (if any) has run untimed.
void RunTool(benchmark::State& state, Tool tool, Tool before = nullptr) {
  kv::SetDefaultCollatorLocale("ru_RU");
  for (auto _ : state) {
    state.PauseTiming();
    auto form = std::make_unique<kv::TFormMainModel>();
    form->FormShow();
    form->MemoArea.SetText(MillionLineText());
    if (before) ((*form).*before)();
    state.ResumeTiming();
    ((*form).*tool)();
    benchmark::DoNotOptimize(form->MemoArea.LineCount());
    state.PauseTiming();  // freeing the form is not the tool's time
    form.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 1'000'000);
}

void BM_RemoveDuplicates1M(benchmark::State& state) { RunTool(state, &kv::TFormMainModel::RemDupButtClick); }
void BM_Sort1M(benchmark::State& state) { RunTool(state, &kv::TFormMainModel::SortButtClick); }
void BM_Count1M(benchmark::State& state) {
  state.SetLabel("goal < 100 ms");
  RunTool(state, &kv::TFormMainModel::Count1Click);
}
void BM_LtoR1M(benchmark::State& state) {
  state.SetLabel("goal < 100 ms");
  RunTool(state, &kv::TFormMainModel::LtoRClick);
}
// Grid rows that already hold texts, rewritten from the lines.
void BM_GridRowsRewritten1M(benchmark::State& state) {
  state.SetLabel("goal < 100 ms");
  RunTool(state, &kv::TFormMainModel::LtoRClick, &kv::TFormMainModel::LtoRClick);
}

void BM_ReadLineAndCount(benchmark::State& state) {
  kv::TMemo memo;
  std::string text;
  for (int64_t i = 0; i < state.range(0); ++i) text += "    351   -   keyword\r\n";
  memo.SetText(text);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(memo.LineCount());
    benchmark::DoNotOptimize(memo.Line(i));
    i = (i + 7919) % memo.LineCount();
  }
}

BENCHMARK(BM_RemoveDuplicates1M)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Sort1M)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Count1M)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LtoR1M)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_GridRowsRewritten1M)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReadLineAndCount)->Arg(1'000)->Arg(100'000)->Arg(1'000'000);

}  // namespace

BENCHMARK_MAIN();
