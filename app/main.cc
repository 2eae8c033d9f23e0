// The `fernweave` command; everything it does lives in app/command.cc and the
// subcommand files.

#include "app/command.h"
#include "model/hypertext.h"

int main(int argc, char** argv) {
  // One command per process: the document it opened is left to the exit rather than
  // freed note by note.
  fernweave::Hypertext::LeaveNotesToExit();
  return fernweave::RunCommandLine(argc, argv);
}
