// fernweave template FILE NOTE TEMPLATE [--file T]
//
// Prints a template expanded for a note as the note's page would be written: the note
// is the page's note, file names and links are those of a whole export of the
// document, and templates named by the text are found among the document's template
// notes, its template folder and the standard templates of the configuration folder.
// With --file the template is read from a file. The document is never saved.

#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include <CLI/CLI.hpp>

#include "app/command.h"
#include "app/document_access.h"
#include "export/export_template.h"
#include "foundation/user_messages.h"
#include "model/hypertext.h"

namespace fernweave {

CommandRunner SetUpTemplateCommand(CLI::App& sub, const GlobalOptions& global) {
  struct Args {
    std::string file;
    std::string note;
    std::string text;
    std::string template_file;
  };
  auto args = std::make_shared<Args>();
  sub.add_option("file", args->file, "The document file")->required();
  sub.add_option("note", args->note, "The note whose page is written")->required();
  sub.add_option("template", args->text, "The template text");
  sub.add_option("--file", args->template_file, "Read the template from this file");
  return [args, &global]() -> int {
    if (args->text.empty() == args->template_file.empty()) {
      Warn("give either a template text or --file, not both");
      return kExitUsage;
    }
    std::string text = args->text;
    if (!args->template_file.empty()) {
      std::ifstream in(args->template_file, std::ios::binary);
      std::ostringstream buffer;
      if (!in || !(buffer << in.rdbuf())) {
        Warn("cannot read the template file \"" + args->template_file + "\"");
        return kExitFile;
      }
      text = buffer.str();
    }
    std::unique_ptr<OrvexDoc> doc;
    Node* note = nullptr;
    if (const int status = OpenAtNote(args->file, args->note, &doc, &note); status != kExitOk) {
      return status;
    }
    ExportRun::SetStandardTemplateFolder(global.config_dir + "/templates");
    ExportRun run(note->GetHypertext());
    ExportTemplate page(&run, args->template_file.empty() ? "template" : args->template_file,
                        text);
    std::cout << WithLineFeeds(page.Export(note, note));
    return kExitOk;
  };
}

}  // namespace fernweave
