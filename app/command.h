// The `fernweave` command line: a table of subcommands, each declaring its own
// arguments with CLI11 and returning the exit status of the work it did. main.cc only
// calls RunCommandLine. Results go to stdout, one value per line; messages go through
// `warn` to stderr.

#ifndef FERNWEAVE_APP_COMMAND_H_
#define FERNWEAVE_APP_COMMAND_H_

#include <functional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace fernweave {

// Exit statuses of every subcommand.
enum ExitStatus : int {
  kExitOk = 0,        // done
  kExitFalse = 1,     // the answer is false, empty or invalid
  kExitUsage = 2,     // the command line is wrong
  kExitFile = 3,      // a file could not be read or written
  kExitInternal = 4,  // an internal error (a programming error) was caught
};

// Options that every subcommand sees.
struct GlobalOptions {
  bool allow_shell = false;  // --allow-shell: documents may run shell commands
  bool json = false;         // --json: machine-readable lists
  std::string config_dir;    // --config: the configuration folder
};

// What a subcommand runs once the command line has been parsed.
using CommandRunner = std::function<int()>;

struct Command {
  const char* name;
  const char* help;
  // Declares the subcommand's arguments on `sub` and returns what to run. `global` stays
  // valid, and is filled in, before the runner is called.
  CommandRunner (*set_up)(CLI::App& sub, const GlobalOptions& global);
};

// Every subcommand, in the order `--help` lists them.
const std::vector<Command>& Commands();

// Parses argv, runs the chosen subcommand and returns its exit status. Internal errors
// are reported and give kExitInternal; usage errors give kExitUsage.
int RunCommandLine(int argc, char** argv);

// The subcommands, each defined in its own file.
CommandRunner SetUpDateCommand(CLI::App& sub, const GlobalOptions& global);
CommandRunner SetUpNewCommand(CLI::App& sub, const GlobalOptions& global);
CommandRunner SetUpInfoCommand(CLI::App& sub, const GlobalOptions& global);
CommandRunner SetUpTreeCommand(CLI::App& sub, const GlobalOptions& global);
CommandRunner SetUpAddCommand(CLI::App& sub, const GlobalOptions& global);
CommandRunner SetUpGetCommand(CLI::App& sub, const GlobalOptions& global);
CommandRunner SetUpSetCommand(CLI::App& sub, const GlobalOptions& global);
CommandRunner SetUpResetCommand(CLI::App& sub, const GlobalOptions& global);
CommandRunner SetUpRmCommand(CLI::App& sub, const GlobalOptions& global);
CommandRunner SetUpMvCommand(CLI::App& sub, const GlobalOptions& global);
CommandRunner SetUpLinkCommand(CLI::App& sub, const GlobalOptions& global);
CommandRunner SetUpAliasCommand(CLI::App& sub, const GlobalOptions& global);
CommandRunner SetUpAttrCommand(CLI::App& sub, const GlobalOptions& global);
CommandRunner SetUpEvalCommand(CLI::App& sub, const GlobalOptions& global);
CommandRunner SetUpExplodeCommand(CLI::App& sub, const GlobalOptions& global);
CommandRunner SetUpRenderCommand(CLI::App& sub, const GlobalOptions& global);
CommandRunner SetUpActCommand(CLI::App& sub, const GlobalOptions& global);
CommandRunner SetUpFindCommand(CLI::App& sub, const GlobalOptions& global);
CommandRunner SetUpUpdateCommand(CLI::App& sub, const GlobalOptions& global);
CommandRunner SetUpStampCommand(CLI::App& sub, const GlobalOptions& global);
CommandRunner SetUpMacroCommand(CLI::App& sub, const GlobalOptions& global);
CommandRunner SetUpTemplateCommand(CLI::App& sub, const GlobalOptions& global);
CommandRunner SetUpExportCommand(CLI::App& sub, const GlobalOptions& global);

// Command-line output shows a note's paragraph breaks (carriage returns) as line feeds.
std::string WithLineFeeds(std::string text);

}  // namespace fernweave

#endif  // FERNWEAVE_APP_COMMAND_H_
