// Expanding a page template of about 30 codes (title, text, children list, links,
// values and dates) for every note of the generated 10k-note document, in memory;
// beside it, a baseline that builds a page of the same shape by hand from the same
// model calls (names, text, children, links, attributes), so the ratio shows what the
// template language itself costs.

#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/generated_document.h"
#include "export/entities.h"
#include "export/export_template.h"
#include "lang/language.h"
#include "model/link.h"
#include "model/link_manager.h"
#include "model/node.h"
#include "model/node_vector.h"
#include "tests/support/document_generator.cc"  // NOLINT(bugprone-suspicious-include)

namespace fernweave {
namespace {

constexpr int kNotes = 10000;

constexpr char kPage[] =
    "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>^title^</title></head>\n"
    "<body><nav>^ancestors(<ol>,<li>,</li>,</ol>)^</nav>\n"
    "<h1>^title^</h1><p class=\"meta\">^sectionnumber^ ^created(,\"D M y\")^ "
    "^modified(,\"D M y\")^ ^get(Status)^ ^get(Priority)^ ^creator^</p>\n"
    "^text^\n"
    "^if(^childlinks^)^<section>^childlinks(<ul>,<li>,</li>,</ul>)^</section>^endif^\n"
    "^if(^outboundlinks^)^<section>^outboundlinks(<ul>,<li>,</li>,</ul>)^</section>^endif^\n"
    "^inboundlinks(<ul>,<li>,</li>,</ul>)^\n"
    "<p>^value($Priority * 2)^ ^value($Status)^ ^count(child)^ ^sum(child,Priority)^</p>\n"
    "<p><a href=\"^parenturl^\">up</a> <a href=\"^nexturl^\">next</a> ^file^ ^root^</p>\n"
    "^comment(generated)^ ^today(\"y\")^</body></html>\n";

std::vector<Node*> Notes() {
  Hypertext* doc = bench::Generated(kNotes).doc.get();
  const NodeVector all = doc->AllNodes();
  std::vector<Node*> notes;
  for (Node* n : all) {
    if (!n->IsRootNote()) {
      notes.push_back(n);
    }
  }
  return notes;
}

void BM_TemplatePage(benchmark::State& state) {
  InstallLanguage();
  InstallTemplateLanguage();
  const std::vector<Node*> notes = Notes();
  ExportRun run(bench::Generated(kNotes).doc.get());
  ExportTemplate page(&run, "page", kPage);
  size_t bytes = 0;
  for (auto _ : state) {
    for (Node* n : notes) {
      bytes += page.Export(n, n).size();
    }
  }
  benchmark::DoNotOptimize(bytes);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * notes.size()));
  state.counters["us_per_page"] = benchmark::Counter(
      static_cast<double>(state.iterations() * notes.size()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
}
BENCHMARK(BM_TemplatePage)->Unit(benchmark::kMillisecond);

// The same page shape written directly from the model: the cost any page writer pays.
void BM_HandWrittenPage(benchmark::State& state) {
  const std::vector<Node*> notes = Notes();
  Hypertext* doc = bench::Generated(kNotes).doc.get();
  ExportFileManager files(doc);
  files.Initialize();
  size_t bytes = 0;
  for (auto _ : state) {
    for (Node* n : notes) {
      std::string out = "<!DOCTYPE html>\n<html><head><title>";
      out += EntityFilter(n->Name(), false, false);
      out += "</title></head><body><h1>" + EntityFilter(n->Name(), false, false) + "</h1>";
      out += n->GetExportString("Created", "D M y") + n->GetExportString("Modified", "D M y");
      out += n->GetString("Status") + n->GetString("Priority") + n->GetString("Creator");
      out += "<p>" + EntityFilter(n->GetText(), false, false) + "</p><ul>";
      double sum = 0;
      for (Node* c = n->Son(); c != nullptr; c = c->Brother()) {
        out += "<li><a href=\"" + files.RelativeURL(c, n) + "\">" +
               EntityFilter(c->Name(), false, false) + "</a></li>";
        sum += c->GetDouble("Priority");
      }
      for (Link* link : doc->Links().ListBasicLinksFrom(n)) {
        if (link->DestNode() != nullptr) {
          out += "<li><a href=\"" + files.RelativeURL(link->DestNode(), n) + "\">" +
                 EntityFilter(link->DestNode()->Name(), false, false) + "</a></li>";
        }
      }
      out += "</ul>" + std::to_string(n->GetDouble("Priority") * 2) + std::to_string(sum);
      if (n->Father() != nullptr) {
        out += files.RelativeURL(n->Father(), n);
      }
      out += files.NameOfFile(n) + "</body></html>\n";
      bytes += out.size();
    }
  }
  benchmark::DoNotOptimize(bytes);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * notes.size()));
  state.counters["us_per_page"] = benchmark::Counter(
      static_cast<double>(state.iterations() * notes.size()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
}
BENCHMARK(BM_HandWrittenPage)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace fernweave
