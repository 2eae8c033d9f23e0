#include "lang/function_table.h"

#include <string_view>
#include <unordered_map>

namespace fernweave {

namespace {

using C = ArgumentConvention;

// Keep in sync with the conventions the functions' makers expect.
const FunctionEntry kFunctions[] = {
    // Numbers.
    {"log", "log", C::kSingle, nullptr},
    {"sqrt", "sqrt", C::kSingle, nullptr},
    {"abs", "abs", C::kSingle, nullptr},
    {"sin", "sin", C::kSingle, nullptr},
    {"cos", "cos", C::kSingle, nullptr},
    {"tan", "tan", C::kSingle, nullptr},
    {"atan", "atan", C::kSingle, nullptr},
    {"radians", "radians", C::kSingle, nullptr},
    {"round", "round", C::kSingle, nullptr},
    {"rand", "rand", C::kSingle, nullptr},
    {"mod", "mod", C::kExpression, nullptr},
    // Colours.
    {"rgb", "rgb", C::kExpression, nullptr},
    {"RGB", "rgb", C::kExpression, nullptr},
    {"hue", "hue", C::kExpression, nullptr},
    {"saturation", "saturation", C::kExpression, nullptr},
    {"brightness", "brightness", C::kExpression, nullptr},
    // Sets.
    {"count", "count", C::kSingle, nullptr},
    {"max", "max", C::kSingle, nullptr},
    {"min", "min", C::kSingle, nullptr},
    // Aggregates over groups of notes.
    {"sum", "sum", C::kList, nullptr},
    {"sum_if", "sum_if", C::kList, nullptr},
    {"avg_if", "avg_if", C::kList, nullptr},
    {"collect", "collect", C::kList, nullptr},
    {"collect_if", "collect_if", C::kList, nullptr},
    {"any", "any", C::kList, nullptr},
    {"every", "every", C::kList, nullptr},
    {"links", "links", C::kLinks, nullptr},
    // Text.
    {"uppercase", "uppercase", C::kSingle, nullptr},
    {"upperCase", "uppercase", C::kSingle, nullptr},
    {"lowercase", "lowercase", C::kSingle, nullptr},
    {"lowerCase", "lowercase", C::kSingle, nullptr},
    {"capitalize", "capitalize", C::kSingle, nullptr},
    {"firstWord", "firstWord", C::kSingle, nullptr},
    {"lastWord", "lastWord", C::kSingle, nullptr},
    {"substr", "substr", C::kExpression, nullptr},
    {"urlEncode", "urlEncode", C::kSingle, nullptr},
    {"attributeEncode", "attributeEncode", C::kSingle, nullptr},
    {"escapeHTML", "escapeHTML", C::kSingle, nullptr},
    {"utf8", "utf8", C::kSingle, nullptr},
    {"idEncode", "idEncode", C::kSingle, nullptr},
    {"word", "word", C::kSingle, nullptr},
    {"#word", "word", C::kSingle, nullptr},
    {"format", "format", C::kExpression, nullptr},
    // Dates.
    {"date", "date", C::kExpression, nullptr},
    {"day", "day", C::kExpression, nullptr},
    {"month", "month", C::kExpression, nullptr},
    {"year", "year", C::kExpression, nullptr},
    {"time", "time", C::kExpression, nullptr},
    {"days", "days", C::kExpression, nullptr},
    {"minutes", "minutes", C::kExpression, nullptr},
    {"between", "between", C::kExpression, nullptr},
    {"#between", "between", C::kExpression, nullptr},
    // Structure and links.
    {"inside", "inside", C::kPath, nullptr},
    {"#inside", "inside", C::kPath, nullptr},
    {"contains", "contains", C::kPath, nullptr},
    {"#contains", "contains", C::kPath, nullptr},
    {"descendedFrom", "descendedFrom", C::kPath, nullptr},
    {"#descendedFrom", "descendedFrom", C::kPath, nullptr},
    {"first", "first", C::kExpression, nullptr},
    {"#first", "first", C::kExpression, nullptr},
    {"last", "last", C::kExpression, nullptr},
    {"#last", "last", C::kExpression, nullptr},
    {"similarTo", "similarTo", C::kExpression, nullptr},
    {"#similarTo", "similarTo", C::kExpression, nullptr},
    {"linkedTo", "linkedTo", C::kExpression, nullptr},
    {"#linkedTo", "linkedTo", C::kExpression, nullptr},
    {"linkedFrom", "linkedFrom", C::kExpression, nullptr},
    {"#linkedFrom", "linkedFrom", C::kExpression, nullptr},
    {"linkTo", "linkTo", C::kExpression, nullptr},
    {"unlinkTo", "unlinkTo", C::kExpression, nullptr},
    {"linkFrom", "linkFrom", C::kExpression, nullptr},
    {"unlinkFrom", "unlinkFrom", C::kExpression, nullptr},
    {"indented", "indented", C::kExpression, nullptr},
    {"#indented", "indented", C::kExpression, nullptr},
    // Macros, evaluation, export and the shell.
    {"do", "do", C::kExpression, nullptr},
    {"eval", "eval", C::kList, nullptr},
    {"exportedString", "exportedString", C::kList, nullptr},
    {"runCommand", "runCommand", C::kList, nullptr},
    // The conditional, which the parser itself builds.
    {"if", "if", C::kIf, nullptr},
};

}  // namespace

const FunctionEntry* FindFunction(std::string_view name) {
  static const auto* const by_name = [] {
    auto* map = new std::unordered_map<std::string_view, const FunctionEntry*>();
    for (const FunctionEntry& entry : kFunctions) {
      map->emplace(entry.name, &entry);
    }
    return map;
  }();
  const auto it = by_name->find(name);
  return it == by_name->end() ? nullptr : it->second;
}

const FunctionEntry* FunctionTableBegin() { return std::begin(kFunctions); }
const FunctionEntry* FunctionTableEnd() { return std::end(kFunctions); }

}  // namespace fernweave
