#include "lang/function_table.h"

#include <string_view>
#include <unordered_map>

#include "lang/functions.h"
#include "lang/template_value.h"

namespace fernweave {

namespace {

using C = ArgumentConvention;

// Keep in sync with the conventions the functions' makers expect.
const FunctionEntry kFunctions[] = {
    // Numbers.
    {"log", "log", C::kSingle, MakeNumericFunction},
    {"sqrt", "sqrt", C::kSingle, MakeNumericFunction},
    {"abs", "abs", C::kSingle, MakeNumericFunction},
    {"sin", "sin", C::kSingle, MakeNumericFunction},
    {"cos", "cos", C::kSingle, MakeNumericFunction},
    {"tan", "tan", C::kSingle, MakeNumericFunction},
    {"atan", "atan", C::kSingle, MakeNumericFunction},
    {"radians", "radians", C::kSingle, MakeNumericFunction},
    {"round", "round", C::kSingle, MakeNumericFunction},
    {"rand", "rand", C::kSingle, MakeNumericFunction},
    {"mod", "mod", C::kExpression, MakeNumericFunction},
    // Colours.
    {"rgb", "rgb", C::kExpression, MakeNumericFunction},
    {"RGB", "rgb", C::kExpression, MakeNumericFunction},
    {"hue", "hue", C::kExpression, MakeNumericFunction},
    {"saturation", "saturation", C::kExpression, MakeNumericFunction},
    {"brightness", "brightness", C::kExpression, MakeNumericFunction},
    // Sets.
    {"count", "count", C::kSingle, MakeGroupFunction},
    {"max", "max", C::kSingle, MakeGroupFunction},
    {"min", "min", C::kSingle, MakeGroupFunction},
    // Aggregates over groups of notes.
    {"sum", "sum", C::kList, MakeGroupFunction},
    {"sum_if", "sum_if", C::kList, MakeGroupFunction},
    {"avg_if", "avg_if", C::kList, MakeGroupFunction},
    {"collect", "collect", C::kList, MakeGroupFunction},
    {"collect_if", "collect_if", C::kList, MakeGroupFunction},
    {"any", "any", C::kList, MakeGroupFunction},
    {"every", "every", C::kList, MakeGroupFunction},
    {"links", "links", C::kLinks, nullptr},
    // Text.
    {"uppercase", "uppercase", C::kSingle, MakeTextFunction},
    {"upperCase", "uppercase", C::kSingle, MakeTextFunction},
    {"lowercase", "lowercase", C::kSingle, MakeTextFunction},
    {"lowerCase", "lowercase", C::kSingle, MakeTextFunction},
    {"capitalize", "capitalize", C::kSingle, MakeTextFunction},
    {"firstWord", "firstWord", C::kSingle, MakeTextFunction},
    {"lastWord", "lastWord", C::kSingle, MakeTextFunction},
    {"substr", "substr", C::kExpression, MakeTextFunction},
    {"urlEncode", "urlEncode", C::kSingle, MakeTextFunction},
    {"attributeEncode", "attributeEncode", C::kSingle, MakeTextFunction},
    {"escapeHTML", "escapeHTML", C::kSingle, MakeTextFunction},
    {"utf8", "utf8", C::kSingle, MakeTextFunction},
    {"idEncode", "idEncode", C::kSingle, MakeTextFunction},
    {"word", "word", C::kSingle, MakeTextFunction},
    {"#word", "word", C::kSingle, MakeTextFunction},
    {"format", "format", C::kExpression, MakeTextFunction},
    // Dates.
    {"date", "date", C::kExpression, MakeDateFunction},
    {"day", "day", C::kExpression, MakeDateFunction},
    {"month", "month", C::kExpression, MakeDateFunction},
    {"year", "year", C::kExpression, MakeDateFunction},
    {"time", "time", C::kExpression, MakeDateFunction},
    {"days", "days", C::kExpression, MakeDateFunction},
    {"minutes", "minutes", C::kExpression, MakeDateFunction},
    {"between", "between", C::kExpression, MakeDateFunction},
    {"#between", "between", C::kExpression, MakeDateFunction},
    // Structure and links.
    {"inside", "inside", C::kPath, MakeStructureFunction},
    {"#inside", "inside", C::kPath, MakeStructureFunction},
    {"contains", "contains", C::kPath, MakeStructureFunction},
    {"#contains", "contains", C::kPath, MakeStructureFunction},
    {"descendedFrom", "descendedFrom", C::kPath, MakeStructureFunction},
    {"#descendedFrom", "descendedFrom", C::kPath, MakeStructureFunction},
    {"first", "first", C::kExpression, MakeStructureFunction},
    {"#first", "first", C::kExpression, MakeStructureFunction},
    {"last", "last", C::kExpression, MakeStructureFunction},
    {"#last", "last", C::kExpression, MakeStructureFunction},
    {"similarTo", "similarTo", C::kExpression, MakeStructureFunction},
    {"#similarTo", "similarTo", C::kExpression, MakeStructureFunction},
    {"linkedTo", "linkedTo", C::kExpression, MakeStructureFunction},
    {"#linkedTo", "linkedTo", C::kExpression, MakeStructureFunction},
    {"linkedFrom", "linkedFrom", C::kExpression, MakeStructureFunction},
    {"#linkedFrom", "linkedFrom", C::kExpression, MakeStructureFunction},
    {"linkTo", "linkTo", C::kExpression, MakeStructureFunction},
    {"unlinkTo", "unlinkTo", C::kExpression, MakeStructureFunction},
    {"linkFrom", "linkFrom", C::kExpression, MakeStructureFunction},
    {"unlinkFrom", "unlinkFrom", C::kExpression, MakeStructureFunction},
    {"indented", "indented", C::kExpression, MakeStructureFunction},
    {"#indented", "indented", C::kExpression, MakeStructureFunction},
    // Macros, evaluation, export and the shell.
    {"do", "do", C::kExpression, MakeBridgeFunction},
    {"eval", "eval", C::kList, MakeBridgeFunction},
    {"exportedString", "exportedString", C::kList, &MakeExportedString},
    {"runCommand", "runCommand", C::kList, MakeBridgeFunction},
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
