// `fernweave date TEXT [--format F]`: reads TEXT as Fernweave reads a date typed into a
// date attribute and prints it, in ISO 8601 form or in the export date format F.

#include <iostream>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "app/command.h"
#include "foundation/date_translator.h"
#include "foundation/user_messages.h"

namespace fernweave {

CommandRunner SetUpDateCommand(CLI::App& sub, const GlobalOptions& /*global*/) {
  auto text = std::make_shared<std::string>();
  auto format = std::make_shared<std::string>();
  sub.add_option("text", *text, "The date as a user would type it")->required();
  CLI::Option* format_option =
      sub.add_option("--format", *format, "An export date format such as 'W, MM d, y h:mm'");
  return [text, format, format_option]() -> int {
    DateTranslator translator(*text);
    if (!translator.IsValid()) {
      Warn("not a date: " + *text);
      return kExitFalse;
    }
    const STime time = translator.GetTime();
    if (format_option->count() > 0) {
      std::cout << time.AsExportString(*format) << "\n";
    } else if (time.IsNever()) {
      std::cout << STime::never << "\n";
    } else {
      std::cout << time.ISO8601DateString() << "\n";
    }
    return kExitOk;
  };
}

}  // namespace fernweave
