#include "persist/document_preference_keys.h"

#include <array>
#include <string_view>

#include "model/document_preferences.h"
#include "model/value.h"

namespace fernweave::prefkeys {
namespace {

struct Numbered {
  int index;
  std::string_view key;
  AttributeType type;
};

using T = AttributeType;

// Keep in sync with the preference rows of the built-in attribute table.
constexpr std::array<Numbered, 23> kNumbered = {{
    {1, "Creator", T::kString},
    {2, "NameFont", T::kString},
    {3, "MapBackgroundColor", T::kColor},
    {4, "TitleFont", T::kString},
    {5, "ShowTitle", T::kBoolean},
    {6, "HTMLExportTemplate", T::kFile},
    {7, "TextColor", T::kColor},
    {8, "TextBackgroundColor", T::kColor},
    {9, "HTMLExportExtension", T::kString},
    {10, "TextExportTemplate", T::kString},
    {11, "TitleForegroundColor", T::kColor},
    {12, "TitleBackgroundColor", T::kColor},
    {13, "MapPrototypeColor", T::kColor},
    {14, "ParagraphSpacing", T::kNumber},
    {15, "LeftMargin", T::kNumber},
    {16, "RightMargin", T::kNumber},
    {17, "TextSidebar", T::kBoolean},
    {18, "TextFont", T::kString},
    {19, "TextFontSize", T::kNumber},
    {20, "InteriorScale", T::kNumber},
    {21, "WindowPlace", T::kRectangle},
    {22, "TextAlign", T::kString},
    {23, "AutomaticIndent", T::kBoolean},
}};

constexpr std::string_view kBooleanKeys[] = {kProse, kUpdateAgentsAutomatically, kFollowTextLinks};

bool IsNameStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

}  // namespace

std::string_view KeyForIndex(int index) {
  for (const Numbered& n : kNumbered) {
    if (n.index == index) {
      return n.key;
    }
  }
  return {};
}

int IndexForKey(std::string_view key) {
  for (const Numbered& n : kNumbered) {
    if (n.key == key) {
      return n.index;
    }
  }
  return 0;
}

AttributeType TypeForKey(std::string_view key) {
  for (const Numbered& n : kNumbered) {
    if (n.key == key) {
      return n.type;
    }
  }
  for (std::string_view b : kBooleanKeys) {
    if (b == key) {
      return T::kBoolean;
    }
  }
  return T::kString;
}

bool IsStorableKey(std::string_view key) {
  if (key.empty() || !IsNameStart(key[0])) {
    return false;
  }
  for (char c : key) {
    if (!IsNameStart(c) && !(c >= '0' && c <= '9') && c != '-' && c != '.') {
      return false;
    }
  }
  return true;
}

bool GetFlag(const DocumentPreferences& prefs, std::string_view key) {
  const Value* v = prefs.Get(key);
  return v != nullptr && v->AsBoolean();
}

}  // namespace fernweave::prefkeys
