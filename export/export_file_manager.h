// The names of an export's files and the URLs between its pages.
//
// Every note that gets a page, exports its children or needs a folder receives one
// path per run, assigned before any page is written (Initialize), so that a link and
// the page it points at always agree. Paths are kept with ":" between folders and
// handed out with "/". A container whose page is "notes.html" keeps its children's
// pages in the folder "notes". Names are unique within their folder ("notes.html",
// "notes_1.html", ...). No name can leave the export folder: separators, dots and
// every character that means something to a shell or a URL are dropped from names,
// and a note whose name keeps nothing is named after its id.

#ifndef FERNWEAVE_EXPORT_EXPORT_FILE_MANAGER_H_
#define FERNWEAVE_EXPORT_EXPORT_FILE_MANAGER_H_

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace fernweave {

class Hypertext;
class Node;

// Whether the note can be exported at all: a separator only when it is a container,
// or when it has text and a title. A note that cannot be exported is skipped with its
// subtree.
bool IsExportable(const Node* note);
// Whether the note gets a page: exportable, not the root, `HTMLDontExport` false.
bool CanBeExportedToPage(const Node* note);
// Whether the note's children are visited: it has children and is the root or its
// `HTMLExportChildren` is true.
bool CanExportChildren(const Node* note);

class ExportFileManager {
 public:
  // Not owned; must outlive the manager. Initialize before asking for names.
  explicit ExportFileManager(Hypertext* doc);

  // Assigns every path of the run: each top-level note and, depth first, its subtree.
  void Initialize();

  // "a/b.html" for a note that has a path; "" otherwise.
  std::string FileNameFor(const Node* note) const;
  // The part after the last folder separator ("b.html"); "" without a path.
  std::string NameOfFile(const Node* note) const;
  // NameOfFile cut before its first "." ("b").
  std::string ShortNameFor(const Node* note) const;
  // The folder of the note's children: its path without extension and a ":"
  // ("a:b:"); "" without a path.
  std::string LocalFolderName(const Node* note) const;
  // The URL of `target`'s page from `page`'s page (see the .cc for the climbing
  // rule); "" (plus "#" anchor) for the same note; "" when the target has no page.
  std::string RelativeURL(const Node* target, const Node* page,
                          std::string_view anchor = "") const;
  // The path from the export folder of the list behind a shared anchor of `page`'s
  // page ("a/b.links1.html") and of picture `index` of `note`'s text
  // ("a/b.img1.png"): beside the page, with two dots in the name so that no page or
  // folder name can ever be the same. "" when the note has no path.
  std::string AuxFileName(const Node* page, int index) const;
  std::string ImageFileName(const Node* note, int index, std::string_view extension) const;
  // The URL of the file at `path` (from the export folder, "/" between folders) from
  // `page`'s page; the path itself when there is no page.
  std::string RelativeURLToFile(const std::string& path, const Node* page) const;
  // The document's HTML extension preference, ".html" when it has none.
  std::string GetHTMLExtension() const;

  // The base name of a note's file (no extension, no uniqueness): its cleaned
  // `HTMLExportFileName` without its extension, else its cleaned name; cut to
  // `HTMLFileNameMaxLength` characters (at least 8); "note" + its id number when
  // nothing is left.
  static std::string MakeFileNameFor(const Node* note);
  // The extension `HTMLExportFileName` gives (cleaned, with its dot), or "" when it
  // gives none.
  static std::string OwnExtensionFor(const Node* note);
  // "name_i.ext" with the stem cut so that stem and suffix fit `max_length` (at
  // least 8) characters.
  static std::string Variation(std::string_view file_name, int index, size_t max_length);
  static std::string StripExtension(std::string_view name);

 private:
  void AddName(const Node* note, const std::string& parent_path, std::string* path_out);
  std::string UniqueFileNameFor(const Node* note, const std::string& folder) const;

  Hypertext* doc_;
  std::unordered_set<std::string> taken_;
  std::unordered_map<const Node*, std::string> paths_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_EXPORT_EXPORT_FILE_MANAGER_H_
