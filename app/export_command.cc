// fernweave export FILE DIR
// fernweave export FILE OUT --text [--note NOTE]
//
// Exports the document as a folder of HTML pages (DIR is created when missing) and
// prints how many pages were written, left unchanged and skipped; or writes the text
// export (every note, or the notes below NOTE) into the one file OUT. Ctrl-C stops an
// HTML export between two pages: every page written so far is whole. Export commands
// of notes run only with --allow-shell. The document is never saved.

#include <csignal>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "app/command.h"
#include "app/document_access.h"
#include "export/exporter.h"
#include "foundation/progress.h"
#include "foundation/user_messages.h"
#include "model/hypertext.h"

namespace fernweave {

namespace {

std::atomic<bool> cancel_requested{false};

extern "C" void RequestCancel(int) { cancel_requested.store(true); }

// Makes Ctrl-C cancel the export while alive, and restores the previous handler.
class StCancelOnInterrupt {
 public:
  StCancelOnInterrupt() {
    cancel_requested.store(false);
    struct sigaction action = {};
    action.sa_handler = &RequestCancel;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous_);
  }
  ~StCancelOnInterrupt() { sigaction(SIGINT, &previous_, nullptr); }
  StCancelOnInterrupt(const StCancelOnInterrupt&) = delete;
  StCancelOnInterrupt& operator=(const StCancelOnInterrupt&) = delete;

 private:
  struct sigaction previous_ = {};
};

int ExportText(Hypertext* doc, Node* under, const std::string& out_path) {
  TextExporter exporter(doc);
  const std::string text = exporter.Export(
      under != nullptr ? TextExporter::Mode::kBranch : TextExporter::Mode::kAll, under, {}, {});
  const std::string temporary = out_path + ".fernweave-tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    std::string lines = WithLineFeeds(text);
    if (!out || !out.write(lines.data(), static_cast<std::streamsize>(lines.size())) ||
        !out.flush()) {
      Warn("cannot write \"" + out_path + "\"");
      std::error_code ec;
      std::filesystem::remove(temporary, ec);
      return kExitFile;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temporary, out_path, ec);
  if (ec) {
    Warn("cannot write \"" + out_path + "\": " + ec.message());
    std::filesystem::remove(temporary, ec);
    return kExitFile;
  }
  std::cout << exporter.result().written << " notes written\n";
  return kExitOk;
}

}  // namespace

CommandRunner SetUpExportCommand(CLI::App& sub, const GlobalOptions& global) {
  struct Args {
    std::string file;
    std::string out;
    bool text = false;
    std::string note;
  };
  auto args = std::make_shared<Args>();
  sub.add_option("file", args->file, "The document file")->required();
  sub.add_option("out", args->out, "The export folder (or, with --text, the text file)")
      ->required();
  sub.add_flag("--text", args->text, "Write the text export into the one file OUT");
  sub.add_option("--note", args->note, "With --text: export only the notes below NOTE");
  return [args, &global]() -> int {
    if (!args->note.empty() && !args->text) {
      Warn("--note goes with --text");
      return kExitUsage;
    }
    std::unique_ptr<OrvexDoc> doc;
    Node* note = nullptr;
    if (const int status = OpenAtNote(args->file, args->note, &doc, &note); status != kExitOk) {
      return status;
    }
    Hypertext* ht = note->GetHypertext();
    ExportRun::SetStandardTemplateFolder(global.config_dir + "/templates");
    if (args->text) {
      return ExportText(ht, args->note.empty() ? nullptr : note, args->out);
    }
    ExportResult result;
    {
      StCancelOnInterrupt interrupt;
      std::unique_ptr<Progress> progress = MakeProgress();
      result = ExportDocument(*ht, args->out, ExportOptions(), progress.get(), &cancel_requested);
    }
    for (const std::string& message : result.messages) {
      Warn(message);
    }
    std::cout << result.written << " written, " << result.unchanged << " unchanged, "
              << result.skipped << " skipped\n";
    if (result.cancelled) {
      Warn("the export was cancelled; the pages written so far are complete");
      return kExitFalse;
    }
    return result.error_code != 0 ? kExitFile : kExitOk;
  };
}

}  // namespace fernweave
