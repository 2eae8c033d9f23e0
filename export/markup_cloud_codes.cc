// The codes built on the word index: the word clouds ("^cloud^", "^notecloud^",
// "^sectioncloud^", "^documentcloud^") and "^similarto^".
//
// A cloud shows the most frequent words (common words are left out by the
// document's stop list, as the word index leaves them out), in alphabetical order,
// each wrapped in one of the note's five `HTMLCloud1Start` ... `HTMLCloud5End` pairs:
// the classes divide the range of counts evenly on a logarithmic scale, so one very
// common word does not flatten the rest into the smallest class.

#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "export/entities.h"
#include "export/export_file_manager.h"
#include "export/export_template.h"
#include "export/markup_element.h"
#include "export/markup_support.h"
#include "lang/aa_value.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "model/word_index.h"

namespace fernweave {

namespace {

constexpr long kDefaultCloudWords = 40;
constexpr long kMaxCloudWords = 500;

// Adds the words of the note's own index (an alias has none of its own).
void CountWords(const Node* note, std::unordered_map<std::string, long>* counts) {
  if (note->IsAlias() || note->IsHidden()) {
    return;
  }
  const WordIndex& index = note->GetWordIndex();
  for (size_t i = 0; i < index.size(); ++i) {
    (*counts)[std::string(index.WordAt(i))] += index.CountAt(i);
  }
}

// "^cloud(note, count)^" and its kin: the note's words, its section's (the note and
// its descendants) or the whole document's.
class MarkupCloud : public MarkupExportElement {
 public:
  using MarkupExportElement::MarkupExportElement;
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    if (node == nullptr) {
      return std::string();
    }
    const bool document = name_ == "documentcloud";
    Node* note = document || TrimmedText(args_.at(0)).empty()
                     ? node
                     : GetNodeNamed(node, args_.at(0), t, true);
    if (note == nullptr) {
      return std::string();
    }
    std::unordered_map<std::string, long> counts;
    Node* top = document ? node->GetHypertext()->Root() : note;
    if (name_ == "sectioncloud" || document) {
      std::vector<const Node*> stack = {top};
      while (!stack.empty()) {
        const Node* n = stack.back();
        stack.pop_back();
        CountWords(n, &counts);
        for (const Node* c = n->Son(); c != nullptr; c = c->Brother()) {
          stack.push_back(c);
        }
      }
    } else {
      CountWords(note->GetOriginal(), &counts);
    }
    return Cloud(counts, WordsWanted(node, t), node, t);
  }

 private:
  long WordsWanted(Node* node, ExportTemplate* t) const {
    const size_t at = name_ == "documentcloud" ? 0 : 1;
    const std::string text = Evaluated(at, node, t);
    if (TrimmedText(text).empty()) {
      return kDefaultCloudWords;
    }
    const double n = LeadingNumber(text);
    return n >= 1 ? static_cast<long>(std::min<double>(n, kMaxCloudWords)) : 0;
  }

  static std::string Cloud(const std::unordered_map<std::string, long>& counts, long wanted,
                           Node* node, ExportTemplate* t) {
    std::vector<std::pair<std::string, long>> words(counts.begin(), counts.end());
    // The most frequent first, ties alphabetically, so the choice is stable.
    std::sort(words.begin(), words.end(), [](const auto& a, const auto& b) {
      return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    if (words.size() > static_cast<size_t>(wanted)) {
      words.resize(static_cast<size_t>(wanted));
    }
    if (words.empty()) {
      return std::string();
    }
    const double low = std::log(static_cast<double>(words.back().second));
    const double high = std::log(static_cast<double>(words.front().second));
    std::sort(words.begin(), words.end());
    std::string out;
    for (const auto& [word, count] : words) {
      int weight = 3;
      if (high > low) {
        const double share = (std::log(static_cast<double>(count)) - low) / (high - low);
        weight = 1 + std::min(4, static_cast<int>(share * 5));
      }
      const std::string n = std::to_string(weight);
      if (!out.empty()) {
        out += ' ';
      }
      out += node->GetString("HTMLCloud" + n + "Start") + AnchorText(word, node, t) +
             node->GetString("HTMLCloud" + n + "End");
    }
    return out;
  }
};

// "^similarto(note, count, prefix, item prefix, item suffix, suffix)^": links to the
// pages of the notes most like the note, by the word index's similarity.
class MarkupSimilar : public MarkupExportElement {
 public:
  using MarkupExportElement::MarkupExportElement;
  bool Eval(Node* node, ExportTemplate* t) override { return !ExportValue(node, t).empty(); }
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    if (node == nullptr || t == nullptr) {
      return std::string();
    }
    Node* note = TrimmedText(args_.at(0)).empty() ? node : GetNodeNamed(node, args_.at(0), t, true);
    if (note == nullptr) {
      return std::string();
    }
    const std::string count_text = Evaluated(1, node, t);
    long count = 1;
    if (!TrimmedText(count_text).empty()) {
      const double n = LeadingNumber(count_text);
      count = n >= 1 ? static_cast<long>(std::min<double>(n, kMaxCloudWords)) : 0;
    }
    Node* page = t->ForFile() != nullptr ? t->ForFile() : node;
    std::string body;
    const std::string item_prefix = Decoration(3, "<li>", node, t);
    const std::string item_suffix = Decoration(4, "</li>", node, t);
    for (Node* similar : MostSimilarNotes(*note, static_cast<size_t>(count))) {
      const std::string url = t->URLFor(similar, page);
      if (url.empty() || !CanBeExportedToPage(similar)) {
        continue;
      }
      body += item_prefix + OpenAnchor(url) + ">" + AnchorText(similar->Name(), similar, t) +
              "</a>" + item_suffix;
    }
    if (body.empty()) {
      return std::string();
    }
    return Decoration(2, "<ul>", node, t) + body + Decoration(5, "</ul>", node, t);
  }

 private:
  std::string Decoration(size_t i, const char* standard, Node* node, ExportTemplate* t) const {
    if (TrimmedText(args_.at(i)).empty()) {
      return standard;
    }
    return Evaluated(i, node, t);
  }
};

}  // namespace

std::unique_ptr<ExportElement> CreateCloudCode(const std::string& name,
                                               const std::string& arguments, int nesting) {
  if (name == "cloud" || name == "notecloud" || name == "sectioncloud" ||
      name == "documentcloud") {
    return std::make_unique<MarkupCloud>(name, arguments, nesting);
  }
  if (name == "similarto") {
    return std::make_unique<MarkupSimilar>(name, arguments, nesting);
  }
  return nullptr;
}

}  // namespace fernweave
