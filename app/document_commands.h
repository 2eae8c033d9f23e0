// Helpers shared by the document subcommands (app/document_commands.cc,
// app/edit_commands.cc). The subcommands themselves are declared in app/command.h.

#ifndef FERNWEAVE_APP_DOCUMENT_COMMANDS_H_
#define FERNWEAVE_APP_DOCUMENT_COMMANDS_H_

#include <string>
#include <vector>

namespace fernweave {

class Hypertext;
class Node;

// What `fernweave info` counts. Notes are the live notes other than the root and the
// aliases; agents are counted among the notes as well; links leave out hidden links and
// the links that tie notes to their prototypes.
struct DocumentCounts {
  long notes = 0;
  long aliases = 0;
  long agents = 0;
  long links = 0;
  long user_attributes = 0;
};
DocumentCounts CountDocument(const Hypertext& doc);

// One line of `fernweave tree`: a note below the top and its depth (0 for a child of
// the top).
struct TreeLine {
  Node* note;
  int depth;
};
// Every note below `top` in document order.
std::vector<TreeLine> TreeLines(Node* top);

// `fernweave attr FILE`: prints the user attributes; returns the exit status.
int ListUserAttributes(const std::string& file, bool json);

}  // namespace fernweave

#endif  // FERNWEAVE_APP_DOCUMENT_COMMANDS_H_
