// Benchmarks of the expression language on the generated 100k-note document: an
// attribute query and a regular-expression query evaluated for every note, each beside a
// baseline measured in the same run (a hand-written predicate reading the same
// attributes through the model, and Boost's regex_search over the same texts), and the
// parsing of a 60-character query.

#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <boost/regex.hpp>

#include "bench/generated_document.h"
#include "lang/aa_value.h"
#include "lang/expression_parser.h"
#include "lang/language.h"
#include "model/node.h"
#include "model/node_vector.h"
#include "tests/support/document_generator.cc"  // NOLINT(bugprone-suspicious-include)

namespace fernweave {
namespace {

constexpr int kNotes = 100000;
constexpr char kAttributeQuery[] = "$Status == \"done\" & $Priority > 3";
constexpr char kPattern[] = "river\\s+stone";

std::vector<Node*> Notes() {
  Hypertext* doc = bench::Generated(kNotes).doc.get();
  const NodeVector all = doc->AllNodes();
  return std::vector<Node*>(all.begin(), all.end());
}

void BM_AttributeQuery(benchmark::State& state) {
  InstallLanguage();
  const std::vector<Node*> notes = Notes();
  std::unique_ptr<AAValue> query = AgentActionExpressionParser::Parse(kAttributeQuery, false);
  size_t matches = 0;
  for (auto _ : state) {
    for (Node* n : notes) {
      Captures captures;
      matches += LogicalResult(query->Get(n, captures)).IsTrue() ? 1 : 0;
    }
  }
  benchmark::DoNotOptimize(matches);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * notes.size()));
}
BENCHMARK(BM_AttributeQuery)->Unit(benchmark::kMillisecond);

void BM_AttributeHandPredicate(benchmark::State& state) {
  const std::vector<Node*> notes = Notes();
  size_t matches = 0;
  for (auto _ : state) {
    for (Node* n : notes) {
      matches += (n->GetString("Status") == "done" && n->GetDouble("Priority") > 3) ? 1 : 0;
    }
  }
  benchmark::DoNotOptimize(matches);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * notes.size()));
}
BENCHMARK(BM_AttributeHandPredicate)->Unit(benchmark::kMillisecond);

void BM_RegexQuery(benchmark::State& state) {
  InstallLanguage();
  const std::vector<Node*> notes = Notes();
  std::unique_ptr<AAValue> query =
      AgentActionExpressionParser::Parse(std::string("Text(") + kPattern + ")", false);
  size_t matches = 0;
  for (auto _ : state) {
    for (Node* n : notes) {
      Captures captures;
      matches += query->Get(n, captures).empty() ? 0 : 1;
    }
  }
  benchmark::DoNotOptimize(matches);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * notes.size()));
}
BENCHMARK(BM_RegexQuery)->Unit(benchmark::kMillisecond);

void BM_RegexSearchBaseline(benchmark::State& state) {
  const std::vector<Node*> notes = Notes();
  std::vector<std::string> texts;
  texts.reserve(notes.size());
  for (Node* n : notes) {
    texts.push_back(n->GetOriginal() == nullptr ? std::string() : n->GetOriginal()->GetText());
  }
  const boost::regex re(kPattern, boost::regex::perl | boost::regex::icase);
  size_t matches = 0;
  for (auto _ : state) {
    for (const std::string& text : texts) {
      boost::smatch m;
      matches += boost::regex_search(text, m, re) ? 1 : 0;
    }
  }
  benchmark::DoNotOptimize(matches);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * texts.size()));
}
BENCHMARK(BM_RegexSearchBaseline)->Unit(benchmark::kMillisecond);

void BM_Parse60CharacterQuery(benchmark::State& state) {
  const std::string query = "$Status == \"done\" & $Priority > 3 | Name(^Project [0-9]+)";
  for (auto _ : state) {
    std::unique_ptr<AAValue> value = AgentActionExpressionParser::Parse(query, false);
    benchmark::DoNotOptimize(value.get());
  }
  state.SetLabel(std::to_string(query.size()) + " characters");
}
BENCHMARK(BM_Parse60CharacterQuery);

}  // namespace
}  // namespace fernweave
