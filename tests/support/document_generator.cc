#include "tests/support/document_generator.h"

#include <cmath>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "model/alias_node.h"
#include "model/attribute.h"
#include "model/content.h"
#include "model/link.h"
#include "model/link_type.h"
#include "model/props.h"
#include "model/value.h"

namespace fernweave::test {
namespace {

constexpr uint32_t kFirstId = 3000000000u;
constexpr int64_t kBaseDate = 3800000000;  // seconds since 1904, in 2024

struct UserAttribute {
  const char* name;
  AttributeType type;
};

constexpr UserAttribute kAttributes[] = {
    {"Status", AttributeType::kString}, {"Priority", AttributeType::kNumber},
    {"Done", AttributeType::kBoolean},  {"Due", AttributeType::kDate},
    {"Tags", AttributeType::kSet},      {"Home", AttributeType::kURL},
    {"Shade", AttributeType::kColor},   {"Count", AttributeType::kUnsigned},
    {"Source", AttributeType::kFile},   {"Frame", AttributeType::kRectangle},
    {"Todo", AttributeType::kAction},   {"Summary", AttributeType::kString},
};

constexpr const char* kWords[] = {"river",  "stone",  "lantern", "meadow",    "ember",
                                  "quill",  "harbor", "cedar",   "signal",    "orbit",
                                  "thread", "maple",  "a<b",     "x&y",       "\"quoted\"",
                                  "café",   "Ωμέγα",  "日本語",  "emoji🙂", "it's"};

// The first twelve words are plain ASCII.
constexpr size_t kPlainWords = 12;

// The plain shape's user attributes: the same four on every note.
constexpr UserAttribute kPlainAttributes[] = {
    {"Status", AttributeType::kString},
    {"Priority", AttributeType::kNumber},
    {"Tags", AttributeType::kSet},
    {"Due", AttributeType::kDate},
};

std::string MakeText(std::mt19937& rng, size_t bytes, bool plain) {
  std::string text;
  std::uniform_int_distribution<size_t> word(0, (plain ? kPlainWords : std::size(kWords)) - 1);
  std::uniform_int_distribution<int> brk(0, 11);
  while (text.size() < bytes) {
    text += kWords[word(rng)];
    const int b = brk(rng);
    if (plain) {
      text += b == 0 ? ". " : " ";
    } else {
      text += b == 0 ? "\r" : (b == 1 ? "\t" : " ");
    }
  }
  return text;
}

std::string AttributeValue(std::mt19937& rng, AttributeType type, size_t i, bool plain) {
  std::uniform_int_distribution<int> n(0, 999);
  switch (type) {
    case AttributeType::kNumber:
      return std::to_string(n(rng)) + "." + std::to_string(n(rng) % 10);
    case AttributeType::kBoolean:
      return n(rng) % 2 ? "true" : "false";
    case AttributeType::kDate:
      return std::to_string(kBaseDate + n(rng) * 86400);
    case AttributeType::kSet:
      return std::string(kWords[n(rng) % 12]) + ";" + kWords[(n(rng) + 1) % 12];
    case AttributeType::kURL:
      return "https://example.org/n/" + std::to_string(i);
    case AttributeType::kColor:
      return n(rng) % 2 ? "#336699" : "#ff8000";
    case AttributeType::kUnsigned:
      return std::to_string(n(rng) * 1000);
    case AttributeType::kFile:
      return "/tmp/notes/" + std::to_string(i) + ".txt";
    case AttributeType::kRectangle:
      return "Rect[ 1 2 " + std::to_string(n(rng)) + " 40]";
    case AttributeType::kAction:
      return "$Status=\"done\";$Priority=" + std::to_string(n(rng));
    default:
      return std::string(kWords[n(rng) % (plain ? kPlainWords : std::size(kWords))]) + " " +
             std::to_string(i);
  }
}

}  // namespace

std::unique_ptr<Orvex> GenerateDocument(const GeneratorOptions& options) {
  std::mt19937 rng(options.seed);
  auto doc = Orvex::Create("generated");
  Props& props = doc->Properties();
  const bool plain = options.plain;
  const std::span<const UserAttribute> attributes =
      plain ? std::span<const UserAttribute>(kPlainAttributes) : std::span<const UserAttribute>(kAttributes);
  for (const UserAttribute& a : attributes) {
    props.CreateBasicAttribute(a.name, kUserCategory, true, a.type);
  }
  props.GetAttribute("Priority")->SetDefault(std::string_view("3"));
  Node* root = doc->Root();
  uint32_t next_id = kFirstId + options.seed * 1000000u;
  auto identify = [&](Node* n) {
    n->SetID(NodeID(next_id++, "gen"));
    n->SetBySystem(n->GetAttribute("Created"), Value::ForDate(kBaseDate + next_id % 100000));
    n->SetBySystem(n->GetAttribute("Modified"),
                   Value::ForDate(kBaseDate + 200000 + next_id % 100000));
  };
  identify(root);

  // Fan-out so that `levels` levels hold about the requested number of notes.
  size_t fanout = 2;
  while (true) {
    double total = 0;
    for (int l = 1; l <= options.levels; ++l) {
      total += std::pow(static_cast<double>(fanout), l);
    }
    if (total >= static_cast<double>(options.notes)) {
      break;
    }
    ++fanout;
  }

  // A few prototypes first, at the top.
  std::vector<Node*> prototypes;
  for (int p = 0; p < (plain ? 0 : 3); ++p) {
    Node* proto = doc->MakeNode("Prototype " + std::to_string(p), root, nullptr, p * 4.0, 0);
    identify(proto);
    proto->SetBoolean("IsPrototype", true);
    proto->Set("Status", "template");
    prototypes.push_back(proto);
  }

  std::vector<Node*> all;
  std::vector<Node*> frontier{root};
  size_t made = prototypes.size();
  std::uniform_int_distribution<int> pick(0, 99);
  for (int level = 1; level <= options.levels && made < options.notes; ++level) {
    std::vector<Node*> next;
    for (Node* parent : frontier) {
      Node* last = parent == root && !prototypes.empty() ? prototypes.back() : nullptr;
      for (size_t k = 0; k < fanout && made < options.notes; ++k) {
        const size_t i = made++;
        Hypertext::NoteKind kind = Hypertext::NoteKind::kNote;
        if (plain) {
          // Only plain notes.
        } else if (i % 97 == 0) {
          kind = Hypertext::NoteKind::kAgent;
        } else if (i % 89 == 0) {
          kind = Hypertext::NoteKind::kAdornment;
        }
        Node* n = doc->MakeNode(kind, "Note " + std::to_string(i), parent, last,
                                static_cast<double>(k % 8) * 4.0, static_cast<double>(k / 8) * 2.0);
        identify(n);
        n->SetText(MakeText(rng, options.text_bytes, plain));
        for (size_t a = 0; a < attributes.size(); ++a) {
          if (plain || (i + a) % 3 == 0) {
            n->Set(attributes[a].name, AttributeValue(rng, attributes[a].type, i, plain));
          }
        }
        if (!plain && i % 10 == 0) {
          n->SetPrototype(prototypes[i % prototypes.size()], false);
        }
        last = n;
        all.push_back(n);
        if (n->CanReceiveChildren() && !n->IsAdornment()) {
          next.push_back(n);
        }
      }
    }
    frontier = std::move(next);
  }

  // Aliases: one for every fifty notes, placed beside a note elsewhere.
  for (size_t i = 25; !plain && i < all.size(); i += 50) {
    Node* original = all[i];
    Node* place = all[(i * 7) % all.size()];
    Node* parent = place->Father() != nullptr ? place->Father() : root;
    AliasNode* alias = AliasNode::CreateFor(original, parent, place, 1.0, 1.0, false);
    if (alias != nullptr) {
      identify(alias);
    }
  }

  // One link for every five notes; every third one anchored in the source text.
  for (size_t i = 0; i + 1 < all.size(); i += 5) {
    LinkRecord record;
    record.add_to_document = true;
    record.source = all[i];
    record.dest = all[(i * 13 + 7) % all.size()];
    record.name = i % 2 ? "agree" : "";
    if (i % 3 == 0) {
      record.source_span = {2, 5};
    }
    if (i % 15 == 0) {
      record.dest_span = {0, 3};
    }
    if (!plain && i % 25 == 0) {
      // A web link leads out of the document; its stored end is the root.
      record.dest = root;
      record.dest_span = {};
      record.url = "https://example.org/?a=1&b=" + std::to_string(i);
      record.title = "Example \"" + std::to_string(i) + "\"";
      record.target = "_blank";
      record.css_class = "ext";
    }
    doc->CreateLink(record);
  }

  if (options.extras && !plain) {
    LinkType agree = LinkType::Named("agree");
    agree.label = "agrees with";
    agree.color = PColor(0x3300, 0x6600, 0x9900);
    agree.color_string = "#336699";
    agree.required = true;
    agree.style.SetDashed(true);
    doc->GetLinkTypes()->Add(agree);

    Content* c = all[1]->GetContent();
    c->style_runs().push_back({0, "Helvetica", 12, true, false, false, PColor(), 14, 11});
    c->style_runs().push_back(
        {5, "Times Ω", 14.5, false, true, true, PColor(0xff00, 0, 0), 16, 12});
    c->struck_spans().push_back({3, 4});
    c->pictures().push_back({2, SRect{0, 0, 32, 16}, std::string("\x89PNG\r\n\0\x01", 8), true});
    all[2]->GetContent()->set_rtf("{\\rtf1\\ansi hello}");
    all[3]->GetContent()->set_script(std::string("\0\x01\x02script", 9));
    all[4]->GetContent()->set_picture("picture bytes");

    doc->Records().SetMacro("greet", "Hello, $1!\rΓειά σου 🙂");
    doc->Records().SetMacro("empty", "");
    doc->Records().Stamps().push_back({"Mark done", "Status", "$Status=\"done ✓\""});
    doc->Records().Stamps().push_back({"Урок", "Summary", "$Summary=\"a<b & c\""});
    doc->Preferences().Set(DocumentPreferences::kCreator, Value::ForString("gen"));
    doc->Preferences().Set("Prose", Value::ForBoolean(true));
    doc->Preferences().Set("HTMLTemplateFolder", Value::ForString("/tmp/templates"));
    WindowRecord w;
    w.type = "map";
    w.id = root->GetID().id();
    w.creator = "gen";
    w.state = {{"bounds", "Rect[ 10 20 300 200]"}, {"x", "1.5"}, {"scale", "1"}};
    doc->Records().Windows().push_back(w);
  }
  doc->SetModified(false);
  return doc;
}

}  // namespace fernweave::test
