// The application's documents on disk: opening an XML document file (or importing any
// other file as plain text), saving it safely, Save As and revert. The file format is
// read and written by persist/orvex_reader.h and persist/orvex_writer.h.

#ifndef FERNWEAVE_PERSIST_ORVEX_DOC_H_
#define FERNWEAVE_PERSIST_ORVEX_DOC_H_

#include <filesystem>
#include <memory>
#include <string>

#include "model/orvex.h"
#include "persist/hypertext_doc.h"
#include "persist/orvex_reader.h"

namespace fernweave {

// The message shown when a colour-scheme file is opened as a document.
extern const char kColorSchemeMessage[];

// How an open ended, for callers that must tell the cases apart (the command line).
struct OpenOutcome {
  enum class Kind {
    kOpened,        // the XML document was read
    kImported,      // not our XML: read as plain text into a new Untitled document
    kUnreadable,    // missing or unreadable file (message shown)
    kMalformed,     // malformed XML (message shown)
    kNewerVersion,  // written by a newer version (message shown)
    kColorScheme,   // a colour-scheme file (message shown)
  };
  Kind kind = Kind::kOpened;
  // The file was locked and the document opened Untitled (message shown).
  bool locked = false;
  // The reader asked for Untitled (an old revision; message shown).
  bool untitled_by_reader = false;
  long version = 0;
  long revision = 0;
};

class OrvexDoc : public HypertextDoc {
 public:
  // The extension of saved documents.
  static constexpr char kExtension[] = ".skep";

  // A new untitled document holding only a root note.
  static std::unique_ptr<OrvexDoc> Create();
  // Opens `file` (see OpenFile). Null when nothing could be opened; the reason has been
  // shown through `warn` and, when given, is in *outcome.
  static std::unique_ptr<OrvexDoc> Create(const std::filesystem::path& file,
                                          OpenOutcome* outcome = nullptr);

  ~OrvexDoc() override;

  Orvex* GetOrvex() const { return static_cast<Orvex*>(GetHypertext()); }

  // Opens the file in this order: the kinds the base class reads; a colour-scheme file
  // (refused with kColorSchemeMessage); our XML documents; anything else as plain text
  // into a new note of an Untitled document. A file this process may not write opens
  // Untitled with the locked message. Returns false when nothing was opened.
  bool OpenFile(const std::filesystem::path& file) override;
  bool OpenFile(const std::filesystem::path& file, OpenOutcome* outcome);

  // Writes the document over its file (persist/safe_save.h). On failure shows "Unable to
  // save: …", leaves the file as it was and the document modified, and returns false.
  // REQUIRES: HasFile() ("asrt").
  bool DoSave();
  // Writes the document to `file` (replacing any file of that name only once the new
  // contents are complete), then makes it the document's file. False on failure, with
  // the message shown and the document unchanged.
  bool SaveAs(const std::filesystem::path& file);
  // Reads the file again into a new document and, only when that succeeds, replaces
  // the open one (discarding its changes). False, with the open document kept, when the
  // file cannot be read. REQUIRES: HasFile() ("asrt").
  bool DoRevert();

 private:
  OrvexDoc() = default;

  // Reads `file` into a new document, as opening does; null on failure.
  std::unique_ptr<Orvex> ReadFile(const std::filesystem::path& file, OpenOutcome* outcome);
  bool WriteTo(const std::filesystem::path& file, bool require_existing);
};

// Converts plain text as read from a file into note text: UTF-8 kept (a byte-order mark
// dropped), other bytes read as Mac OS Roman, line ends made carriage returns.
std::string PlainTextToNoteText(const std::string& bytes);

}  // namespace fernweave

#endif  // FERNWEAVE_PERSIST_ORVEX_DOC_H_
