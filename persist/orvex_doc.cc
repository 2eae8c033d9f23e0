#include "persist/orvex_doc.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "foundation/error.h"
#include "foundation/progress.h"
#include "foundation/unicoder.h"
#include "foundation/user_messages.h"
#include "foundation/xml_reader.h"
#include "model/change.h"
#include "persist/orvex_writer.h"

namespace fernweave {

const char kColorSchemeMessage[] =
    "This is a Fernweave color scheme file; drop it on a Fernweave document.";

namespace {

// Opens the file for reading. False, with errno kept in *error, when it cannot be read.
bool OpenForReading(const std::filesystem::path& file, std::ifstream* in, int* error) {
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec)) {
    *error = EISDIR;
    return false;
  }
  errno = 0;
  in->open(file, std::ios::binary);
  if (!*in) {
    *error = errno != 0 ? errno : EACCES;
    return false;
  }
  return true;
}

// Reads the whole file. False, with errno kept in *error, when it cannot be read.
bool ReadBytes(const std::filesystem::path& file, std::string* bytes, int* error) {
  std::ifstream in;
  if (!OpenForReading(file, &in, error)) {
    return false;
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) {
    *error = EIO;
    return false;
  }
  *bytes = std::move(buffer).str();
  return true;
}

std::string Lowercased(std::string text) {
  if (!text.empty()) {
    text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  }
  return text;
}

}  // namespace

std::string PlainTextToNoteText(const std::string& bytes) {
  std::string_view text = bytes;
  if (text.starts_with("\xEF\xBB\xBF")) {
    text.remove_prefix(3);
  }
  std::string unicode(text);
  if (XMLReader::Zap(unicode) != unicode) {
    Unicoder roman(UnicodeForm::kUTF8, TextEncoding::kMacRoman);
    unicode = roman.ToUnicode(text);
  }
  std::string result;
  result.reserve(unicode.size());
  for (size_t i = 0; i < unicode.size(); ++i) {
    const char c = unicode[i];
    if (c == '\r' && i + 1 < unicode.size() && unicode[i + 1] == '\n') {
      continue;  // CR LF: the LF below makes the one break
    }
    result.push_back(c == '\n' ? '\r' : c);
  }
  return result;
}

std::unique_ptr<OrvexDoc> OrvexDoc::Create() {
  std::unique_ptr<OrvexDoc> doc(new OrvexDoc());
  doc->SetHypertext(Orvex::Create(doc->Name()));
  return doc;
}

std::unique_ptr<OrvexDoc> OrvexDoc::Create(const std::filesystem::path& file,
                                           OpenOutcome* outcome) {
  std::unique_ptr<OrvexDoc> doc(new OrvexDoc());
  if (!doc->OpenFile(file, outcome)) {
    return nullptr;
  }
  return doc;
}

OrvexDoc::~OrvexDoc() = default;

bool OrvexDoc::OpenFile(const std::filesystem::path& file) {
  return OpenFile(file, nullptr);
}

bool OrvexDoc::OpenFile(const std::filesystem::path& file, OpenOutcome* outcome) {
  OpenOutcome local;
  OpenOutcome& out = outcome != nullptr ? *outcome : local;
  out = OpenOutcome{};
  if (HypertextDoc::OpenFile(file)) {
    return true;
  }
  std::unique_ptr<Orvex> read = ReadFile(file, &out);
  if (read == nullptr) {
    return false;
  }
  SetHypertext(std::move(read));
  DetachFile();
  if (out.kind == OpenOutcome::Kind::kImported || out.untitled_by_reader) {
    return true;
  }
  // A file this process may not write opens Untitled, so that its first save asks for
  // a new name instead of failing.
  int error = 0;
  if (!CanWriteFile(file, &error)) {
    out.locked = true;
    Warn(file.filename().string() + " is locked. It will be opened as Untitled.");
    return true;
  }
  AttachFile(file);
  return true;
}

std::unique_ptr<Orvex> OrvexDoc::ReadFile(const std::filesystem::path& file, OpenOutcome* out) {
  auto unreadable = [&file, out](int error) {
    out->kind = OpenOutcome::Kind::kUnreadable;
    Warn("Couldn't open " + file.filename().string() + ": " + Lowercased(std::strerror(error)) +
         ".");
  };
  int error = 0;
  {
    // A missing or unreadable file must not fall through to the plain-text import.
    std::ifstream in;
    if (!OpenForReading(file, &in, &error)) {
      unreadable(error);
      return nullptr;
    }
  }
  XMLReader probe;
  const std::string root = probe.ProbeXML(file);
  if (root == "colors") {
    out->kind = OpenOutcome::Kind::kColorScheme;
    Warn(kColorSchemeMessage);
    return nullptr;
  }
  if (root == "fernweave" || root == "orvex") {
    ReadOutcome read;
    std::unique_ptr<Orvex> doc = OrvexReader::ReadDocument(file, &read);
    out->version = read.version;
    out->revision = read.revision;
    switch (read.failure) {
      case ReadOutcome::Failure::kNone:
        break;
      case ReadOutcome::Failure::kNewerVersion:
        out->kind = OpenOutcome::Kind::kNewerVersion;
        return nullptr;
      case ReadOutcome::Failure::kUnreadable:
        unreadable(EIO);
        return nullptr;
      case ReadOutcome::Failure::kMalformed:
        out->kind = OpenOutcome::Kind::kMalformed;
        return nullptr;
    }
    if (doc == nullptr) {
      // Well-formed, but nothing could be built from it: say so rather than nothing.
      out->kind = OpenOutcome::Kind::kMalformed;
      Warn("Couldn't open " + file.filename().string() + ": it holds no Fernweave document.");
      return nullptr;
    }
    out->kind = OpenOutcome::Kind::kOpened;
    out->untitled_by_reader = read.open_as_untitled;
    doc->SetModified(false);
    return doc;
  }
  // Anything else is plain text. The document is Untitled: saving it must never
  // replace the text file with a document file.
  std::string bytes;
  if (!ReadBytes(file, &bytes, &error)) {
    unreadable(error);
    return nullptr;
  }
  out->kind = OpenOutcome::Kind::kImported;
  std::unique_ptr<Orvex> doc = Orvex::Create(file.filename().string());
  {
    StIgnoreChanges quiet(doc.get());
    Node* note = doc->MakeNode(file.stem().string(), doc->Root(), nullptr, 0, 0);
    if (note != nullptr) {
      note->SetText(PlainTextToNoteText(bytes));
    }
  }
  doc->SetModified(true);
  return doc;
}

bool OrvexDoc::WriteTo(const std::filesystem::path& file, bool require_existing) {
  Hypertext* doc = GetHypertext();
  Require(doc != nullptr, "OrvexDoc::WriteTo: no document");
  SaveResult result;
  {
    // Held-back notifications are delivered when this scope ends; the modified flag is
    // cleared only after that, so a held change cannot set it again.
    StChanges hold(doc);
    std::unique_ptr<Progress> progress = MakeProgress();
    progress->Begin("Saving " + file.filename().string(), 0);
    OrvexWriter writer(*doc);
    SafeSaveOptions options;
    options.require_existing = require_existing;
    result = SafeSave(
        file, [&writer](std::ostream& os) { return writer.Write(os); }, options);
    progress->End();
  }
  if (!result.ok) {
    Warn(SaveFailureMessage(SaveFailureCode(result)));
    return false;
  }
  if (!result.owner_kept || !result.group_kept) {
    const char* lost = !result.owner_kept && !result.group_kept ? "owner and group"
                       : !result.owner_kept                     ? "owner"
                                                                : "group";
    Warn(file.filename().string() + " was saved, but its " + lost +
         " could not be kept: it now belongs to you, and others who shared it may no "
         "longer be able to open it.");
  }
  SetModified(false);
  return true;
}

bool OrvexDoc::DoSave() {
  Require(HasFile(), "OrvexDoc::DoSave: the document has no file");
  return WriteTo(File(), true);
}

bool OrvexDoc::SaveAs(const std::filesystem::path& file) {
  if (!WriteTo(file, false)) {
    return false;
  }
  AttachFile(file);
  return true;
}

bool OrvexDoc::DoRevert() {
  Require(HasFile(), "OrvexDoc::DoRevert: the document has no file");
  const std::filesystem::path file = File();
  SetReverting(true);
  OpenOutcome outcome;
  std::unique_ptr<Orvex> read = ReadFile(file, &outcome);
  const bool replaced = read != nullptr && outcome.kind == OpenOutcome::Kind::kOpened;
  if (outcome.kind == OpenOutcome::Kind::kImported) {
    // Every other failure of the read has told why already.
    Warn("Couldn't revert to " + file.filename().string() +
         ": it is no longer a Fernweave document.");
  }
  if (replaced) {
    SetHypertext(std::move(read));
    if (outcome.untitled_by_reader) {
      DetachFile();
    }
  }
  SetReverting(false);
  return replaced;
}

}  // namespace fernweave
