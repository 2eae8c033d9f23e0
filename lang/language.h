// The expression language: the text of queries, agent actions, rules, OnAdd actions,
// stamps, display expressions and expression paths.
//
// What it holds. lang/parser.h and lang/list_splitters.h read characters and split
// lists; lang/expression_parser.h (with lang/expression_element.h and
// lang/function_table.h) turns an expression into a tree of values; lang/aa_value.h and
// lang/aa_operators.h say what each value yields for a note; lang/statement_parser.h
// cuts action statements; lang/action.h evaluates text in one step; lang/value_dump.h
// writes a tree as text.
//
// Invariants. Nothing a user writes makes the language throw or crash: parse errors are
// stored in the parser, evaluation always yields text, nesting and evaluation depth are
// bounded and no text it makes exceeds 16 MiB.
//
// Who calls it. The model reaches the language only through the seam of
// model/path_evaluator.h, which InstallLanguage fills; everything above the model may
// include these headers directly.

#ifndef FERNWEAVE_LANG_LANGUAGE_H_
#define FERNWEAVE_LANG_LANGUAGE_H_

namespace fernweave {

// Installs the language into the model's seams (expression paths, display expressions,
// set edits, and containers' OnAdd actions; see lang/statements.h). Idempotent; the installed evaluator lives for the whole process.
void InstallLanguage();

}  // namespace fernweave

#endif  // FERNWEAVE_LANG_LANGUAGE_H_
