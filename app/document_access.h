// What the document subcommands share: opening the document file named on the command
// line, finding the notes the command names, and saving the changed document.

#ifndef FERNWEAVE_APP_DOCUMENT_ACCESS_H_
#define FERNWEAVE_APP_DOCUMENT_ACCESS_H_

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "persist/orvex_doc.h"

namespace fernweave {

class Node;

// Opens the document file for a subcommand. Null (the reason shown through `warn`) when
// the file is missing, unreadable, malformed or from a newer version. With
// `for_change`, a document that opened without its file (locked, an old revision, plain
// text) is refused too, because the change could not be saved in place.
std::unique_ptr<OrvexDoc> OpenForCommand(const std::string& file, bool for_change,
                                         OpenOutcome* outcome = nullptr);

// The note a NOTE argument names: "#N" is the live note with id N; anything else is a
// path or designator resolved from the document root. Null (with a message) when none.
Node* ResolveNote(Hypertext* doc, std::string_view designator);

// The shape of every subcommand that only reads a document at one note: opens the file
// and resolves `note` (the root when empty). kExitOk with *doc and *found set; kExitFile
// when the file cannot be opened, kExitFalse when no such note (messages shown).
int OpenAtNote(const std::string& file, std::string_view note, std::unique_ptr<OrvexDoc>* doc,
               Node** found);

// Saves the changed document over its file: kExitOk, or kExitFile when the save failed
// (the message has been shown).
int SaveForCommand(OrvexDoc* doc);

// The shape of every subcommand that edits a document: opens the file for a change,
// lets `change` check its arguments against the document and apply them, and saves.
// `change` returns kExitOk to have the document saved, or the status to exit with, and
// then nothing is written. The result is that status, kExitFile when the file cannot be
// opened or saved, or kExitOk.
int ChangeDocument(const std::string& file,
                   const std::function<int(OrvexDoc* doc, Hypertext* ht)>& change);

// Splits "A=V" at the first "="; false when there is none or A is empty.
bool SplitAssignment(std::string_view text, std::string* name, std::string* value);

// The attribute a user names on the command line, or null (with a message) when the
// document has no such attribute.
Attribute* ResolveAttribute(Hypertext* doc, std::string_view name);

// Resolves every name in order into `out`. Stops at the first unknown name, which has
// been reported, and returns false.
bool ResolveAttributes(Hypertext* doc, const std::vector<std::string>& names,
                       std::vector<Attribute*>* out);

}  // namespace fernweave

#endif  // FERNWEAVE_APP_DOCUMENT_ACCESS_H_
