// Benchmarks of agents on the generated 100k-note document: one agent's full scan with an
// attribute query and with a regular-expression query, per note, beside the hand-written
// predicate and Boost's regex_search over the same notes (baselines measured in the same
// run); a second scan that changes nothing; and the work of `fernweave update` beyond
// loading and saving, with ten agents each matching about 1% of the notes.

#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <boost/regex.hpp>

#include "agents/agent_manager.h"
#include "agents/agent_query.h"
#include "agents/rule_manager.h"
#include "bench/generated_document.h"
#include "lang/language.h"
#include "model/alias_node.h"
#include "model/node.h"
#include "model/node_vector.h"
#include "persist/orvex_reader.h"
#include "tests/support/document_generator.cc"  // NOLINT(bugprone-suspicious-include)

namespace fernweave {
namespace {

constexpr int kNotes = 100000;
constexpr char kAttributeQuery[] = "$Status == \"done\" & $Priority > 3";
constexpr char kPattern[] = "river\\s+stone";

// The generated document's agents are made plain queries' hosts of no query, so that a
// benchmark's agent is the only one working.
Hypertext* Document() {
  static bool quiet = false;
  Hypertext* doc = bench::Generated(kNotes).doc.get();
  if (!quiet) {
    for (Node* n : doc->AllNodes()) {
      if (n->IsAgent()) {
        n->Set("AgentQuery", "");
      }
    }
    quiet = true;
  }
  return doc;
}

Node* MakeAgent(Hypertext* doc, const std::string& name, const std::string& query) {
  Node* agent = doc->MakeNode(Hypertext::NoteKind::kAgent, name, nullptr, nullptr, 0, 0);
  agent->Set("AgentQuery", query);
  agent->Set("AgentCaseSensitive", "false");
  return agent;
}

// A scan that finds its matches already gathered: the steady state of an agent.
void ScanBenchmark(benchmark::State& state, const std::string& query) {
  InstallLanguage();
  Hypertext* doc = Document();
  AgentManager manager(doc);
  Node* agent = MakeAgent(doc, "Bench " + query, query);
  AgentScan* scan = manager.ScanOf(agent);
  scan->Do(true);  // the first scan gathers
  const size_t notes = doc->NodeCount();
  for (auto _ : state) {
    scan->Do(true);
  }
  if (scan->LastOutcome().added != 0 || scan->LastOutcome().removed != 0) {
    state.SkipWithError("a repeated scan changed the agent");
  }
  state.SetLabel(std::to_string(agent->ChildCount()) + " aliases");
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * notes));
  // Hidden with its aliases: the document keeps them until it closes.
  agent->Hide(true);
}

void BM_AgentScanAttributeQuery(benchmark::State& state) { ScanBenchmark(state, kAttributeQuery); }
BENCHMARK(BM_AgentScanAttributeQuery)->Unit(benchmark::kMillisecond);

// The generator never sets Status to "done", so the query above matches nothing; this one
// keeps about a third of the notes, so a repeated scan also checks every kept alias.
void BM_AgentScanAttributeQueryManyMatches(benchmark::State& state) {
  ScanBenchmark(state, "$Status != \"done\" & $Priority > 3");
}
BENCHMARK(BM_AgentScanAttributeQueryManyMatches)->Unit(benchmark::kMillisecond);

void BM_AgentScanRegexQuery(benchmark::State& state) {
  ScanBenchmark(state, std::string("Text(") + kPattern + ")");
}
BENCHMARK(BM_AgentScanRegexQuery)->Unit(benchmark::kMillisecond);

// The same query through AgentQuery::Search: what the scan adds beyond evaluating it.
void BM_QuerySearchAttribute(benchmark::State& state) {
  InstallLanguage();
  Hypertext* doc = Document();
  AgentQuery query(doc, kAttributeQuery, false);
  size_t found = 0;
  for (auto _ : state) {
    std::vector<Node*> nodes;
    found = query.Search(&nodes);
  }
  state.SetLabel(std::to_string(found) + " found");
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * doc->NodeCount()));
}
BENCHMARK(BM_QuerySearchAttribute)->Unit(benchmark::kMillisecond);

void BM_AttributeHandPredicate(benchmark::State& state) {
  const NodeVector all = Document()->AllNodes();
  size_t matches = 0;
  for (auto _ : state) {
    for (Node* n : all) {
      matches += (n->GetString("Status") == "done" && n->GetDouble("Priority") > 3) ? 1 : 0;
    }
  }
  benchmark::DoNotOptimize(matches);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * all.size()));
}
BENCHMARK(BM_AttributeHandPredicate)->Unit(benchmark::kMillisecond);

void BM_RegexSearchBaseline(benchmark::State& state) {
  const NodeVector all = Document()->AllNodes();
  const boost::regex re(kPattern, boost::regex::perl | boost::regex::icase);
  size_t matches = 0;
  for (auto _ : state) {
    for (Node* n : all) {
      const std::string text = n->GetText();
      boost::smatch m;
      matches += boost::regex_search(text, m, re) ? 1 : 0;
    }
  }
  benchmark::DoNotOptimize(matches);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * all.size()));
}
BENCHMARK(BM_RegexSearchBaseline)->Unit(benchmark::kMillisecond);

// An agent whose matches all go at once: the scan removes every alias and destroys them
// together at its end.
void BM_AgentDropsAllAliases(benchmark::State& state) {
  InstallLanguage();
  Hypertext* doc = Document();
  AgentManager manager(doc);
  const std::string query = std::string("Text(") + kPattern + ")";
  Node* agent = MakeAgent(doc, "Dropper", query);
  AgentScan* scan = manager.ScanOf(agent);
  size_t dropped = 0;
  for (auto _ : state) {
    state.PauseTiming();
    agent->Set("AgentQuery", query);
    scan->Do(true);
    agent->Set("AgentQuery", "$Name == \"no such note\"");
    state.ResumeTiming();
    scan->Do(true);
    dropped = scan->LastOutcome().removed;
  }
  state.SetLabel(std::to_string(dropped) + " aliases dropped");
  agent->Hide(true);
}
BENCHMARK(BM_AgentDropsAllAliases)->Unit(benchmark::kMillisecond)->Iterations(3);

// Destroying N hidden aliases in the 100k-note document: one call for all of them
// beside one call each (what an agent's removals cost before they were batched).
void DestroyAliases(benchmark::State& state, bool batched) {
  Hypertext* doc = Document();
  const NodeVector all = doc->AllNodes();
  const size_t count = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<Node*> aliases;
    for (size_t i = 0; i < count; ++i) {
      Node* original = all[(i * 37) % all.size()];
      if (Node* alias = AliasNode::CreateFor(original, doc->Root(), nullptr, 0, 0, false)) {
        alias->Hide(true);
        aliases.push_back(alias);
      }
    }
    state.ResumeTiming();
    if (batched) {
      doc->DestroyNodes(aliases);
    } else {
      for (Node* alias : aliases) {
        doc->DestroyNode(alias);
      }
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * count));
}
void BM_DestroyAliasesAtOnce(benchmark::State& state) { DestroyAliases(state, true); }
void BM_DestroyAliasesOneByOne(benchmark::State& state) { DestroyAliases(state, false); }
BENCHMARK(BM_DestroyAliasesAtOnce)->Arg(2000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DestroyAliasesOneByOne)->Arg(2000)->Unit(benchmark::kMillisecond)->Iterations(3);

// `fernweave update` less the reading and the saving: ten fresh agents, each matching
// about 1% of the notes, brought to the end of a full scan, then every rule run once.
void BM_UpdateTenAgents(benchmark::State& state) {
  InstallLanguage();
  const std::string& bytes = bench::Generated(kNotes).bytes;
  size_t aliases = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<Orvex> doc = OrvexReader::ReadDocumentFromString(bytes);
    for (Node* n : doc->AllNodes()) {
      if (n->IsAgent()) {
        n->Set("AgentQuery", "");
      }
    }
    std::vector<Node*> agents;
    for (int k = 0; k < 10; ++k) {
      // A third of the notes hold a priority spread over 0..1000 (the rest inherit 3): a
      // range 30 wide above 100 matches about 1% of the notes.
      const int low = 100 + 30 * k;
      agents.push_back(MakeAgent(doc.get(), "Agent " + std::to_string(k),
                                 "$Priority >= " + std::to_string(low) + " & $Priority < " +
                                     std::to_string(low + 30)));
    }
    state.ResumeTiming();
    {
      AgentManager manager(doc.get());
      RuleManager rules(doc.get(), &manager);
      manager.UpdateAll();
      rules.RunAll();
    }
    state.PauseTiming();
    aliases = 0;
    for (Node* a : agents) {
      aliases += a->ChildCount();
    }
    doc.reset();
    state.ResumeTiming();
  }
  state.SetLabel(std::to_string(aliases) + " aliases in 10 agents");
}
BENCHMARK(BM_UpdateTenAgents)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace fernweave
