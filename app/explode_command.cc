// fernweave explode FILE NOTE [--delimiter D | --size N] [--skip-delimiter]
//                   [--name first-sentence|two-sentences|paragraph|none] [--cut]
// Explodes the note's text into new notes inside its new last child "Exploded Text",
// saves, and prints the number of notes made. What is not given takes the defaults the
// user is first offered: chunks of 500 by size, named by their first sentence, uncut.

#include <iostream>
#include <memory>
#include <string>
#include <utility>

#include <CLI/CLI.hpp>

#include "app/command.h"
#include "app/document_access.h"
#include "foundation/user_messages.h"
#include "model/exploder.h"
#include "model/hypertext.h"
#include "model/node.h"

namespace fernweave {
namespace {

// Answers the explode question with what the command line says.
class CommandLineExploder : public Exploder {
 public:
  struct Answers {
    std::string delimiter;  // as typed, with its escapes
    bool delimiter_given = false;
    int size = 0;
    bool size_given = false;
    bool skip_delimiter = false;
    int name_mode = kFirstSentence;
    bool cut = false;
  };

  explicit CommandLineExploder(Answers answers) : answers_(std::move(answers)) {}

  bool AskToExplode(ExplodeSettings* settings) override {
    if (answers_.delimiter_given) {
      settings->delimiter = ProcessSpecialExplodeChars(answers_.delimiter);
    }
    if (answers_.size_given) {
      settings->chunk_size = answers_.size;
    }
    settings->skip_delimiter = answers_.skip_delimiter;
    settings->name_mode = answers_.name_mode;
    settings->cut_name = answers_.cut;
    return true;
  }

 private:
  Answers answers_;
};

int NameMode(const std::string& name) {
  if (name == "two-sentences") {
    return Exploder::kFirstTwoSentences;
  }
  if (name == "paragraph") {
    return Exploder::kFirstParagraph;
  }
  if (name == "none") {
    return Exploder::kNoName;
  }
  return Exploder::kFirstSentence;
}

}  // namespace

CommandRunner SetUpExplodeCommand(CLI::App& sub, const GlobalOptions& /*global*/) {
  struct Args {
    std::string file;
    std::string note;
    std::string name = "first-sentence";
    CommandLineExploder::Answers answers;
  };
  auto args = std::make_shared<Args>();
  sub.add_option("file", args->file, "The document file")->required();
  sub.add_option("note", args->note, "The note whose text is exploded")->required();
  CLI::Option* delimiter = sub.add_option(
      "--delimiter", args->answers.delimiter,
      "Cut at each occurrence of this text (\\n or \\r is a line break, \\t a tab)");
  CLI::Option* size =
      sub.add_option("--size", args->answers.size,
                     "Cut into chunks of about this many characters, ending on a word "
                     "boundary (default 500)")
          ->check(CLI::NonNegativeNumber);
  delimiter->excludes(size);
  sub.add_flag("--skip-delimiter", args->answers.skip_delimiter,
               "Leave the delimiter out of the new notes");
  sub.add_option("--name", args->name, "Name the new notes by their first sentence, "
                                       "first two sentences, first paragraph, or not")
      ->check(CLI::IsMember({"first-sentence", "two-sentences", "paragraph", "none"}));
  sub.add_flag("--cut", args->answers.cut, "Remove the naming text from each new note's text");
  return [args, delimiter, size]() -> int {
    args->answers.delimiter_given = delimiter->count() > 0;
    args->answers.size_given = size->count() > 0;
    args->answers.name_mode = NameMode(args->name);
    size_t made = 0;
    const int status = ChangeDocument(args->file, [&](OrvexDoc*, Hypertext* ht) -> int {
      Node* note = ResolveNote(ht, args->note);
      if (note == nullptr) {
        return kExitFalse;
      }
      CommandLineExploder exploder(args->answers);
      Node* exploded = exploder.DoExplode(note);
      if (exploded == nullptr) {
        Warn("cannot explode " + args->note);
        return kExitFalse;
      }
      made = exploded->ChildCount();
      return kExitOk;
    });
    if (status == kExitOk) {
      std::cout << made << "\n";
    }
    return status;
  };
}

}  // namespace fernweave
