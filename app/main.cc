// The `fernweave` command; everything it does lives in app/command.cc and the
// subcommand files.

#include "app/command.h"

int main(int argc, char** argv) { return fernweave::RunCommandLine(argc, argv); }
