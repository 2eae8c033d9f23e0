#include "model/orvex.h"

#include "model/change.h"
#include "model/special_attributes.h"

namespace fernweave {
namespace {

using Type = AttributeType;
using Measure = CachedAttribute::Measure;

// How a row of the table is built.
enum class Kind {
  kBasic,
  kPreference,
  kName,
  kText,
  kPath,
  kParent,
  kPrototype,
  kAlias,
  kDisplayName,
  kCached,
};

// Flags of a row.
constexpr int kReadOnly = 1;   // not editable by the user
constexpr int kNoEditor = 2;   // not shown in the inspector
constexpr int kNoInherit = 4;  // not inherited (and not forwarded from an alias)
constexpr int kNoDefault = 8;  // keep the type's default

struct Row {
  const char* name;
  const char* category;
  Type type;
  const char* default_text;
  int flags;
  uint32_t facets;
  Kind kind;
  int preference;   // for kPreference
  Measure measure;  // for kCached
};

constexpr Measure kNoMeasure = Measure::kWordCount;

// The built-in attributes the note model relies on, in creation order. Keep the
// names in sync with the operations that read them (map geometry, sorting, aliases,
// identity).
constexpr Row kRows[] = {
    {"EntryScript", "Internal", Type::kString, "", kReadOnly | kNoEditor, 0, Kind::kBasic, 0,
     kNoMeasure},
    {"ExitScript", "Internal", Type::kString, "", kReadOnly | kNoEditor, 0, Kind::kBasic, 0,
     kNoMeasure},
    {"WindowPlace", "Internal", Type::kRectangle, "", kNoEditor | kNoInherit | kNoDefault, 0,
     Kind::kPreference, 21, kNoMeasure},
    {"Alias", "Internal", Type::kUnsigned, "0", kReadOnly | kNoEditor, 0, Kind::kBasic, 0,
     kNoMeasure},
    {"AgentQuery", "Agent", Type::kString, "", 0, 0, Kind::kBasic, 0, kNoMeasure},
    {"AgentCaseSensitive", "Agent", Type::kBoolean, "true", 0, 0, Kind::kBasic, 0, kNoMeasure},
    {"AgentAction", "Agent", Type::kAction, "", 0, 0, Kind::kBasic, 0, kNoMeasure},
    {"AgentPriority", "Agent", Type::kNumber, "1", 0, 0, Kind::kBasic, 0, kNoMeasure},
    {"Created", "General", Type::kDate, "", kReadOnly | kNoInherit | kNoDefault, 0, Kind::kBasic, 0,
     kNoMeasure},
    {"Modified", "General", Type::kDate, "", kReadOnly | kNoInherit | kNoDefault, 0, Kind::kBasic,
     0, kNoMeasure},
    {"ID", "General", Type::kNumber, "", kReadOnly | kNoEditor | kNoInherit | kNoDefault, 0,
     Kind::kBasic, 0, kNoMeasure},
    {"Creator", "General", Type::kString, "", kNoInherit | kNoDefault, 0, Kind::kPreference, 1,
     kNoMeasure},
    {"Checked", "General", Type::kBoolean, "false", 0, facet::kRedraw, Kind::kBasic, 0, kNoMeasure},
    {"Name", "General", Type::kString, "untitled", kNoInherit, 0, Kind::kName, 0, kNoMeasure},
    {"ReadCount", "General", Type::kNumber, "", kReadOnly | kNoInherit | kNoDefault, 0,
     Kind::kBasic, 0, kNoMeasure},
    {"SelectionCount", "General", Type::kNumber, "", kReadOnly | kNoInherit | kNoDefault, 0,
     Kind::kBasic, 0, kNoMeasure},
    {"OnAdd", "General", Type::kAction, "", 0, 0, Kind::kBasic, 0, kNoMeasure},
    {"Rule", "General", Type::kAction, "", 0, 0, Kind::kBasic, 0, kNoMeasure},
    {"DisplayExpression", "General", Type::kAction, "", 0, facet::kRedraw, Kind::kBasic, 0,
     kNoMeasure},
    {"Path", "General", Type::kString, "", kNoDefault, 0, Kind::kPath, 0, kNoMeasure},
    {"IsAlias", "General", Type::kBoolean, "", kNoDefault, 0, Kind::kAlias, 0, kNoMeasure},
    {"CleanupAction", "General", Type::kString, "grid", 0, 0, Kind::kBasic, 0, kNoMeasure},
    {"DisplayName", "General", Type::kString, "", kNoDefault, 0, Kind::kDisplayName, 0, kNoMeasure},
    {"ChildCount", "General", Type::kNumber, "", kNoDefault, 0, Kind::kCached, 0,
     Measure::kChildCount},
    {"DescendantCount", "General", Type::kNumber, "", kNoDefault, 0, Kind::kCached, 0,
     Measure::kDescendantCount},
    {"OutlineOrder", "General", Type::kNumber, "", kNoDefault, 0, Kind::kCached, 0,
     Measure::kOutlineOrder},
    {"OutlineDepth", "General", Type::kNumber, "", kNoDefault, 0, Kind::kCached, 0,
     Measure::kOutlineDepth},
    {"SiblingOrder", "General", Type::kNumber, "", kNoDefault, 0, Kind::kCached, 0,
     Measure::kSiblingOrder},
    {"InboundLinkCount", "General", Type::kNumber, "", kNoDefault, 0, Kind::kCached, 0,
     Measure::kInboundLinks},
    {"OutboundLinkCount", "General", Type::kNumber, "", kNoDefault, 0, Kind::kCached, 0,
     Measure::kOutboundLinks},
    {"WebLinkCount", "General", Type::kNumber, "", kNoDefault, 0, Kind::kCached, 0,
     Measure::kWebLinks},
    {"IsPrototype", "General", Type::kBoolean, "false", kNoInherit, 0, Kind::kBasic, 0, kNoMeasure},
    {"Prototype", "General", Type::kString, "", kNoDefault, facet::kRedraw, Kind::kPrototype, 0,
     kNoMeasure},
    {"Container", "General", Type::kString, "", kNoInherit | kNoDefault, 0, Kind::kParent, 0,
     kNoMeasure},
    {"PrototypeBequeathsChildren", "General", Type::kBoolean, "true", 0, 0, Kind::kBasic, 0,
     kNoMeasure},
    {"Private", "General", Type::kBoolean, "false", 0, 0, Kind::kBasic, 0, kNoMeasure},
    {"File", "General", Type::kFile, "", kNoDefault, 0, Kind::kBasic, 0, kNoMeasure},
    {"Text", "Textual", Type::kString, "", kNoDefault, 0, Kind::kText, 0, kNoMeasure},
    {"ReadOnly", "Textual", Type::kBoolean, "false", 0, 0, Kind::kBasic, 0, kNoMeasure},
    {"TextLength", "Textual", Type::kNumber, "", kNoDefault, 0, Kind::kCached, 0,
     Measure::kTextLength},
    {"Wordcount", "Textual", Type::kNumber, "", kNoEditor | kNoDefault, 0, Kind::kCached, 0,
     Measure::kWordCount},
    {"WordCount", "Textual", Type::kNumber, "", kNoDefault, 0, Kind::kCached, 0,
     Measure::kWordCount},
    {"Color", "Appearance", Type::kColor, "cool gray", 0, facet::kRedraw, Kind::kBasic, 0,
     kNoMeasure},
    {"Color2", "Appearance", Type::kColor, "dark cool gray", 0, facet::kRedraw, Kind::kBasic, 0,
     kNoMeasure},
    {"Height", "Map", Type::kNumber, "1.0", kNoInherit, facet::kRedraw, Kind::kBasic, 0,
     kNoMeasure},
    {"Width", "Map", Type::kNumber, "3.0", kNoInherit, facet::kRedraw, Kind::kBasic, 0, kNoMeasure},
    {"Xpos", "Map", Type::kNumber, "", kNoInherit | kNoDefault, facet::kRedraw, Kind::kBasic, 0,
     kNoMeasure},
    {"Ypos", "Map", Type::kNumber, "", kNoInherit | kNoDefault, facet::kRedraw, Kind::kBasic, 0,
     kNoMeasure},
    {"Lock", "Map", Type::kBoolean, "false", 0, 0, Kind::kBasic, 0, kNoMeasure},
    {"Separator", "Outline", Type::kBoolean, "false", 0, 0, Kind::kBasic, 0, kNoMeasure},
    {"TitleForegroundColor", "TextFormat", Type::kColor, "", kNoDefault, 0, Kind::kPreference, 11,
     kNoMeasure},
    {"TitleBackgroundColor", "TextFormat", Type::kColor, "", kNoDefault, 0, Kind::kPreference, 12,
     kNoMeasure},
    {"Sort", "Sorting", Type::kString, "", 0, 0, Kind::kBasic, 0, kNoMeasure},
    {"SortBackward", "Sorting", Type::kBoolean, "false", 0, 0, Kind::kBasic, 0, kNoMeasure},
    {"SortAlso", "Sorting", Type::kString, "", 0, 0, Kind::kBasic, 0, kNoMeasure},
    {"SortBackwardAlso", "Sorting", Type::kBoolean, "false", 0, 0, Kind::kBasic, 0, kNoMeasure},
    {"SortTransform", "Sorting", Type::kString, "case-sensitive", 0, 0, Kind::kBasic, 0,
     kNoMeasure},
    {"SortAlsoTransform", "Sorting", Type::kString, "case-sensitive", 0, 0, Kind::kBasic, 0,
     kNoMeasure},
};

constexpr const char* kCategories[] = {"Internal", "Agent",   "General", "Textual",    "Appearance",
                                       "Map",      "Outline", "Net",     "TextFormat", "Sorting",
                                       "HTML",     "Events",  "People",  "Simplenote", "Weblog"};

std::unique_ptr<Attribute> Build(const Row& row) {
  const bool editable = (row.flags & kReadOnly) == 0;
  switch (row.kind) {
    case Kind::kPreference:
      return std::make_unique<PreferenceAttribute>(row.name, row.type, editable, row.preference);
    case Kind::kName:
      return std::make_unique<NameAttribute>(row.name, editable);
    case Kind::kText:
      return std::make_unique<TextAttribute>(row.name, editable);
    case Kind::kPath:
      return std::make_unique<PathAttribute>(row.name, editable);
    case Kind::kParent:
      return std::make_unique<ParentAttribute>(row.name, editable);
    case Kind::kPrototype:
      return std::make_unique<PrototypeAttribute>(row.name, editable);
    case Kind::kAlias:
      return std::make_unique<AliasAttribute>(row.name, editable);
    case Kind::kDisplayName:
      return std::make_unique<DisplayNameAttribute>(row.name);
    case Kind::kCached:
      return std::make_unique<CachedAttribute>(row.name, row.measure);
    case Kind::kBasic:
    default:
      return std::make_unique<BasicAttribute>(row.name, row.type, editable);
  }
}

}  // namespace

std::unique_ptr<Orvex> Orvex::Create(std::string_view file_name) {
  std::unique_ptr<Orvex> orvex(new Orvex());
  orvex->Initialize(file_name);
  return orvex;
}

void Orvex::InitializeProperties() {
  Props& p = Properties();
  p.CreateCategory(kSystemCategory, "");
  for (const char* category : kCategories) {
    p.CreateCategory(category, kSystemCategory);
  }
  for (const Row& row : kRows) {
    Attribute* a = p.CreateAttribute(Build(row), row.category);
    if (a == nullptr) {
      continue;
    }
    if ((row.flags & kNoDefault) == 0) {
      a->SetDefault(row.default_text);
    }
    a->VisibleInEditor((row.flags & kNoEditor) == 0);
    a->CanInherit((row.flags & kNoInherit) == 0);
    a->Changes(row.facets);
  }
  p.CreateCategory(kUserCategory, "");
}

Node* Orvex::GetDefaultPrototype() {
  if (default_prototype_ != nullptr &&
      (!HasNode(default_prototype_) || !default_prototype_->GetBoolean("IsPrototype"))) {
    default_prototype_ = nullptr;
  }
  return default_prototype_;
}

void Orvex::CantInherit(std::string_view name) {
  if (Attribute* a = Properties().Find(name)) {
    a->CanInherit(false);
  }
}

}  // namespace fernweave
