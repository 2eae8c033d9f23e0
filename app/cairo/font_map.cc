#include "app/cairo/font_map.h"

#include <fontconfig/fontconfig.h>

#include <cctype>
#include <map>
#include <mutex>
#include <string>

namespace fernweave {

namespace {

enum class FontClass { kSans, kSerif, kMono };

std::string Lower(std::string_view text) {
  std::string out;
  for (char c : text) {
    out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

bool ContainsAny(const std::string& text, std::initializer_list<const char*> words) {
  for (const char* w : words) {
    if (text.find(w) != std::string::npos) {
      return true;
    }
  }
  return false;
}

// Asks fontconfig what it would draw the name with; a fixed-pitch match means mono.
FontClass ClassifyByFontconfig(const std::string& name) {
  FontClass result = FontClass::kSans;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(name.c_str()));
  if (pattern == nullptr) {
    return result;
  }
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult outcome;
  FcPattern* match = FcFontMatch(nullptr, pattern, &outcome);
  if (match != nullptr) {
    int spacing = 0;
    if (FcPatternGetInteger(match, FC_SPACING, 0, &spacing) == FcResultMatch &&
        spacing >= FC_MONO) {
      result = FontClass::kMono;
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return result;
}

FontClass Classify(std::string_view requested) {
  const std::string name = Lower(requested);
  if (name.empty()) {
    return FontClass::kSans;
  }
  if (ContainsAny(name, {"mono", "courier", "menlo", "monaco", "consol", "typewriter", "code"})) {
    return FontClass::kMono;
  }
  if (ContainsAny(name, {"sans", "helvetica", "arial", "lucida", "verdana", "geneva",
                         "gill", "futura", "optima", "tahoma", "trebuchet", "avenir"})) {
    return FontClass::kSans;
  }
  if (ContainsAny(name, {"serif", "times", "georgia", "palatino", "garamond", "baskerville",
                         "book", "cochin", "didot", "hoefler", "cambria", "charter"})) {
    return FontClass::kSerif;
  }
  return ClassifyByFontconfig(std::string(requested));
}

}  // namespace

std::string MapFontFamily(std::string_view requested) {
  // Classifying through fontconfig is slow; names repeat, so each is asked once.
  static std::mutex mutex;
  static std::map<std::string, std::string, std::less<>> cache;
  std::lock_guard<std::mutex> lock(mutex);
  auto it = cache.find(requested);
  if (it != cache.end()) {
    return it->second;
  }
  std::string family;
  switch (Classify(requested)) {
    case FontClass::kSans:
      family = "DejaVu Sans";
      break;
    case FontClass::kSerif:
      family = "DejaVu Serif";
      break;
    case FontClass::kMono:
      family = "DejaVu Sans Mono";
      break;
  }
  cache.emplace(std::string(requested), family);
  return family;
}

bool FontFamilyInstalled(std::string_view family) {
  const std::string name(family);
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
  FcFontSet* fonts = FcFontList(nullptr, pattern, objects);
  const bool found = fonts != nullptr && fonts->nfont > 0;
  if (fonts != nullptr) {
    FcFontSetDestroy(fonts);
  }
  FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  return found;
}

}  // namespace fernweave
