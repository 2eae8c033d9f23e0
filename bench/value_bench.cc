// Costs of reading attribute values from text and writing them back: what opening a
// document (typed parse of every stored value) and saving it (file forms) spend per
// value.

#include <optional>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "foundation/clock.h"
#include "model/content.h"
#include "model/value.h"

namespace fernweave {
namespace {

void ParseEach(benchmark::State& state, AttributeType type, const std::vector<std::string>& texts) {
  size_t i = 0;
  for (auto _ : state) {
    ValuePtr value = Value::Create(type, texts[i]);
    benchmark::DoNotOptimize(value.get());
    i = (i + 1) % texts.size();
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_ParseInteger(benchmark::State& state) {
  ParseEach(state, AttributeType::kNumber, {"12", "1,234", "-77", "2147483647"});
}
BENCHMARK(BM_ParseInteger);

void BM_ParseReal(benchmark::State& state) {
  ParseEach(state, AttributeType::kNumber, {"1234567.5", "0.30000000000000004", "2e3", "1e-300"});
}
BENCHMARK(BM_ParseReal);

void BM_ParseBoolean(benchmark::State& state) {
  ParseEach(state, AttributeType::kBoolean, {"true", "false", "1", "0"});
}
BENCHMARK(BM_ParseBoolean);

// The file form of dates, as the reader meets it.
void BM_ParseIsoDate(benchmark::State& state) {
  ParseEach(state, AttributeType::kDate,
            {"2009-05-03T09:05:07-04:00", "1999-12-31T23:59:59-05:00", "never"});
}
BENCHMARK(BM_ParseIsoDate);

// Deferred dates are cheap to make; reading them costs a date parse.
void BM_ParseAndResolveDeferredDate(benchmark::State& state) {
  SetNowForTesting(int64_t{3324186307});
  for (auto _ : state) {
    ValuePtr value = Value::Create(AttributeType::kDate, "(tomorrow)");
    benchmark::DoNotOptimize(value->AsDate());
  }
  SetNowForTesting(std::nullopt);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseAndResolveDeferredDate);

void BM_ParseColor(benchmark::State& state) {
  ParseEach(state, AttributeType::kColor,
            {"#ff8000", "#abc", "rgb(255,128,0)", "hsv(30,50,100)", "cool gray"});
}
BENCHMARK(BM_ParseColor);

void BM_GenericParse(benchmark::State& state) {
  ParseEach(state, AttributeType::kRectangle, {"Rect[ 10 20 300 200]", "Long[ 12 ]", "plain"});
}
BENCHMARK(BM_GenericParse);

void BM_DoubleFileForm(benchmark::State& state) {
  std::vector<ValuePtr> values;
  for (double x : {0.1 + 0.2, 1234567.5, 1.0 / 3, 1e300, 42.0}) {
    values.push_back(Value::ForDouble(x));
  }
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(values[i]->AsXML());
    i = (i + 1) % values.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DoubleFileForm);

void BM_DoubleDisplayForm(benchmark::State& state) {
  ValuePtr value = Value::ForDouble(1.0 / 3);
  for (auto _ : state) {
    benchmark::DoNotOptimize(value->AsString());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DoubleDisplayForm);

void BM_CloneShared(benchmark::State& state) {
  ValuePtr zero = Value::ForInt(0);
  for (auto _ : state) {
    ValuePtr copy = zero->Clone();
    benchmark::DoNotOptimize(copy.get());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CloneShared);

void BM_WordCount(benchmark::State& state) {
  std::string text;
  for (int i = 0; i < 100; ++i) {
    text += "The quick brown fox jumps over the lazy dog. ";
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(CountWords(text));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_WordCount);

}  // namespace
}  // namespace fernweave
