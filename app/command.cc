#include "app/command.h"

#include <exception>
#include <iostream>
#include <memory>

#include <CLI/CLI.hpp>

#include "app/popen_shell.h"
#include "app/terminal_progress.h"
#include "export/export_template.h"
#include "foundation/error.h"
#include "foundation/shell.h"
#include "foundation/user_messages.h"
#include "lang/language.h"
#include "model/config.h"

#ifndef FW_CONFIG_DIR
#define FW_CONFIG_DIR "config"
#endif
#ifndef FW_VERSION
#define FW_VERSION "0"
#endif

namespace fernweave {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"date", "Parse a date as Fernweave reads typed dates and print it", SetUpDateCommand},
      {"new", "Create an empty document", SetUpNewCommand},
      {"info", "Count a document's notes, aliases, agents, links and user attributes",
       SetUpInfoCommand},
      {"tree", "List the notes below a note, indented by depth", SetUpTreeCommand},
      {"add", "Create a note at a path and print its ID", SetUpAddCommand},
      {"get", "Print attribute values of a note", SetUpGetCommand},
      {"set", "Set attribute values of a note", SetUpSetCommand},
      {"reset", "Reset attributes of a note to their defaults", SetUpResetCommand},
      {"rm", "Delete a note", SetUpRmCommand},
      {"mv", "Move a note into another", SetUpMvCommand},
      {"link", "Link two notes, or a note to a URL", SetUpLinkCommand},
      {"alias", "Make an alias of a note", SetUpAliasCommand},
      {"attr", "Declare a user attribute, or list them", SetUpAttrCommand},
      {"eval", "Print an expression's value for a note, or its parsed tree", SetUpEvalCommand},
      {"explode", "Explode a note's text into new notes and print how many were made",
       SetUpExplodeCommand},
      {"render", "Draw a note's map, outline, chart or treemap into a picture", SetUpRenderCommand},
      {"act", "Apply an action, or a stamp by name, to a note and save", SetUpActCommand},
      {"find", "Print the path of every note satisfying a query", SetUpFindCommand},
      {"update", "Run every agent through a full scan and every rule once, and save",
       SetUpUpdateCommand},
      {"stamp", "Define a stamp, or list them", SetUpStampCommand},
      {"macro", "Define a macro, or list them", SetUpMacroCommand},
      {"template", "Print an export template expanded for a note, as its page is written",
       SetUpTemplateCommand},
      {"export", "Export the document as a folder of HTML pages, or as one text file",
       SetUpExportCommand},
  };
  return commands;
}

int RunCommandLine(int argc, char** argv) {
  CLI::App app{"Fernweave: a hypertext notes system.", "fernweave"};
  app.set_version_flag("--version", std::string("fernweave ") + FW_VERSION);
  app.require_subcommand(1);
  app.fallthrough();

  GlobalOptions global;
  global.config_dir = FW_CONFIG_DIR;
  app.add_flag("--allow-shell", global.allow_shell,
               "Let the document run shell commands (runCommand, export commands)");
  app.add_flag("--json", global.json, "Print lists as JSON");
  app.add_option("--config", global.config_dir, "The configuration folder");

  // Paths, display names and set edits evaluate text through the language.
  InstallLanguage();
  // Template values and exported strings of expressions expand through export.
  InstallTemplateLanguage();

  CommandRunner chosen;
  for (const Command& command : Commands()) {
    CLI::App* sub = app.add_subcommand(command.name, command.help);
    CommandRunner runner = command.set_up(*sub, global);
    sub->callback([&chosen, runner] { chosen = runner; });
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // An unknown command reaches CLI11 as a stray argument; name it rather than say
    // that a command is missing.
    const std::vector<std::string> stray = app.remaining();
    if (dynamic_cast<const CLI::RequiredError*>(&e) != nullptr && !stray.empty()) {
      Warn("unknown command '" + stray.front() + "'; run 'fernweave --help' for the list");
      return kExitUsage;
    }
    const int status = app.exit(e);
    // --help and --version are "errors" to CLI11 that exit 0.
    return status == 0 ? kExitOk : kExitUsage;
  }

  // Every command works from the configuration folder; a folder without its colour
  // table means a damaged installation, which the user hears about once.
  SetConfigFolder(global.config_dir);
  CheckConfiguration();

  TerminalProgressFactory progress;
  ProgressFactory* previous = SetProgressFactory(&progress);
  // Shell commands a document asks for run only with --allow-shell; a fresh refusing
  // service per run tells the user once per run.
  std::unique_ptr<ShellService> shell = MakeShellService(global.allow_shell);
  ShellService* previous_shell = SetShell(shell.get());
  int status = kExitInternal;
  try {
    status = chosen ? chosen() : kExitUsage;
  } catch (const Error& e) {
    Warn("internal error " + e.ToString());
    status = kExitInternal;
  } catch (const std::exception& e) {
    Warn(std::string("internal error: ") + e.what());
    status = kExitInternal;
  }
  SetShell(previous_shell);
  SetProgressFactory(previous);
  return status;
}

}  // namespace fernweave
