// The registry of a generic document, and the declaration of built-in table rows that
// both kinds of document share.

#include <algorithm>
#include <memory>
#include <string_view>

#include "model/attribute_rows.h"
#include "model/hypertext.h"
#include "model/props.h"
#include "model/special_attributes.h"

namespace fernweave {
namespace builtin {
namespace {

std::unique_ptr<Attribute> Build(const AttributeRow& row) {
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
    case Kind::kVantlemoorColor:
      return std::make_unique<VantlemoorColorAttribute>(row.name, editable);
    case Kind::kBasic:
    default:
      return std::make_unique<BasicAttribute>(row.name, row.type, editable);
  }
}

// The colour attributes of the sibling product's files.
constexpr AttributeRow kVantlemoorRows[] = {
    Special("VantlemoorColor", "Vantlemoor", Kind::kVantlemoorColor, AttributeType::kColor, "",
            kNoDefault),
    Special("VantlemoorBackgroundColor", "Vantlemoor", Kind::kVantlemoorColor,
            AttributeType::kColor, "", kNoDefault),
};

// The names a generic document declares, each exactly as the full table does.
constexpr std::string_view kGenericNames[] = {"EntryScript",
                                              "ExitScript",
                                              "Name",
                                              "WindowPlace",
                                              "Created",
                                              "Modified",
                                              "Color",
                                              "Xpos",
                                              "Ypos",
                                              "TitleForegroundColor",
                                              "TitleBackgroundColor"};

}  // namespace

void DeclareRows(Props& props, std::span<const AttributeRow> rows) {
  for (const AttributeRow& row : rows) {
    Attribute* a = props.CreateAttribute(Build(row), row.category);
    if (a == nullptr) {
      continue;
    }
    if ((row.flags & kNoDefault) == 0) {
      a->SetDefault(row.default_text);
    }
    a->SetEditable((row.flags & kReadOnly) == 0);
    a->VisibleInEditor((row.flags & kNoEditor) == 0);
    a->CanInherit((row.flags & kNoInherit) == 0);
    a->Changes(row.facets);
  }
}

}  // namespace builtin

void Hypertext::InitializeProperties() {
  // Documents of the sibling product know only a few of the built-in attributes, and
  // that product's colours.
  Props& p = props_;
  p.CreateCategory(kSystemCategory, "");
  std::vector<builtin::AttributeRow> rows;
  for (const builtin::AttributeRow& row : builtin::FullTable()) {
    if (std::find(std::begin(builtin::kGenericNames), std::end(builtin::kGenericNames),
                  std::string_view(row.name)) != std::end(builtin::kGenericNames)) {
      rows.push_back(row);
    }
  }
  for (const builtin::AttributeRow& row : rows) {
    if (p.Find(row.category) == nullptr) {
      p.CreateCategory(row.category, kSystemCategory);
    }
  }
  builtin::DeclareRows(p, rows);
  p.CreateCategory("Vantlemoor", kSystemCategory);
  builtin::DeclareRows(p, builtin::kVantlemoorRows);
  p.CreateCategory(kUserCategory, "");
}

}  // namespace fernweave
