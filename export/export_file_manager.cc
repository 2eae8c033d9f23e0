#include "export/export_file_manager.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>
#include <vector>

#include "model/content.h"
#include "model/hypertext.h"
#include "model/node.h"

namespace fernweave {

namespace {

constexpr char kFileDelimiter = ':';
constexpr size_t kMinNameLength = 8;
// The characters a name never carries into a file name: separators, the dot that
// would start an extension or a climb, and what shells and URLs give meaning to.
constexpr char kDropped[] = "/\\?%*:|\"'><.&^+=()!,[]{}`";

// Cuts UTF-8 text to at most `n` characters without splitting one.
std::string CutCharacters(std::string_view text, size_t n) {
  size_t count = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (count == n) {
        return std::string(text.substr(0, i));
      }
      ++count;
    }
  }
  return std::string(text);
}

std::string CleanName(std::string_view name, bool lower_case) {
  std::string out;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u == 0) {
      break;
    }
    if (u < 0x20 || c == ' ' || std::strchr(kDropped, c) != nullptr) {
      continue;
    }
    out += lower_case && u < 0x80 ? static_cast<char>(std::tolower(u)) : c;
  }
  return out;
}

size_t MaxLengthFor(const Node* note) {
  const double max = note->GetDouble("HTMLFileNameMaxLength");
  if (!(max >= kMinNameLength)) {
    return kMinNameLength;
  }
  return max > 4096 ? 4096 : static_cast<size_t>(max);
}

std::string Slashes(std::string path) {
  std::replace(path.begin(), path.end(), kFileDelimiter, '/');
  if (!path.empty() && path[0] == '/') {
    path.erase(0, 1);
  }
  return path;
}

std::vector<std::string> SplitPath(std::string_view path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    const size_t end = path.find(kFileDelimiter, start);
    if (end == std::string_view::npos) {
      parts.emplace_back(path.substr(start));
      break;
    }
    parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace

bool IsExportable(const Node* note) {
  if (note == nullptr) {
    return false;
  }
  if (!note->IsSeparator()) {
    return true;
  }
  return note->IsContainer() || (note->HasText() && !note->IsUntitled());
}

bool CanBeExportedToPage(const Node* note) {
  return note != nullptr && !note->IsRootNote() && IsExportable(note) &&
         !note->GetBoolean("HTMLDontExport");
}

bool CanExportChildren(const Node* note) {
  return note != nullptr && note->Son() != nullptr &&
         (note->IsRootNote() || note->GetBoolean("HTMLExportChildren"));
}

ExportFileManager::ExportFileManager(Hypertext* doc) : doc_(doc) {}

std::string ExportFileManager::GetHTMLExtension() const {
  Node* root = doc_ != nullptr ? doc_->Root() : nullptr;
  std::string extension;
  if (root != nullptr && root->HasAttribute("HTMLExportExtension")) {
    extension = root->GetString("HTMLExportExtension");
  }
  // The extension becomes part of every name: it may not carry a folder separator.
  extension = CleanName(extension.size() > 1 && extension[0] == '.' ? extension.substr(1)
                                                                    : extension,
                        false);
  return extension.empty() ? ".html" : "." + extension;
}

std::string ExportFileManager::OwnExtensionFor(const Node* note) {
  const std::string own = note->GetString("HTMLExportFileName");
  const size_t dot = own.rfind('.');
  if (dot == std::string::npos) {
    return std::string();
  }
  // Only letters and digits make an extension ("page.php"); anything else after the
  // last dot ("../x/y") is part of the name and cleaned with it.
  const std::string extension = own.substr(dot + 1);
  if (extension.empty() || extension.size() > 16 ||
      !std::all_of(extension.begin(), extension.end(),
                   [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; })) {
    return std::string();
  }
  return "." + extension;
}

std::string ExportFileManager::MakeFileNameFor(const Node* note) {
  const bool lower = note->GetBoolean("HTMLFileNameLowerCase");
  std::string own = note->GetString("HTMLExportFileName");
  if (!OwnExtensionFor(note).empty()) {
    own.erase(own.rfind('.'));
  }
  // Cleaned like a note's name, so no separator or climb survives; a name that keeps
  // nothing falls back to the note's name.
  std::string base = CleanName(own, lower);
  if (base.empty()) {
    base = CleanName(note->Name(), lower);
  }
  base = CutCharacters(base, MaxLengthFor(note));
  if (base.empty()) {
    // A name of nothing but dropped characters: the id keeps the file distinct.
    base = "note" + std::to_string(note->GetID().id());
  }
  return base;
}

std::string ExportFileManager::StripExtension(std::string_view name) {
  const size_t dot = name.rfind('.');
  return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

std::string ExportFileManager::Variation(std::string_view file_name, int index,
                                         size_t max_length) {
  const size_t dot = file_name.rfind('.');
  std::string_view stem = dot == std::string_view::npos ? file_name : file_name.substr(0, dot);
  std::string_view extension =
      dot == std::string_view::npos ? std::string_view() : file_name.substr(dot);
  const std::string suffix = "_" + std::to_string(index);
  const size_t max = std::max(max_length, kMinNameLength);
  const size_t room = max > suffix.size() ? max - suffix.size() : 0;
  std::string cut = CutCharacters(stem, room);
  return cut + suffix + std::string(extension);
}

std::string ExportFileManager::UniqueFileNameFor(const Node* note,
                                                 const std::string& folder) const {
  const std::string own_extension = OwnExtensionFor(note);
  const std::string name =
      MakeFileNameFor(note) + (own_extension.empty() ? GetHTMLExtension() : own_extension);
  if (taken_.count(folder + name) == 0) {
    return name;
  }
  const size_t max = MaxLengthFor(note);
  for (int i = 1;; ++i) {
    std::string candidate = Variation(name, i, max);
    if (taken_.count(folder + candidate) == 0) {
      return candidate;
    }
  }
}

void ExportFileManager::AddName(const Node* note, const std::string& parent_path,
                                std::string* path_out) {
  path_out->clear();
  if (note == nullptr || !IsExportable(note)) {
    return;
  }
  // The children of "a:notes.html" live in "a:notes:".
  std::string folder;
  if (!parent_path.empty()) {
    // Only the last component's extension goes; earlier folders have none.
    const size_t last = parent_path.rfind(kFileDelimiter);
    const size_t dot = parent_path.rfind('.');
    folder = dot != std::string::npos && (last == std::string::npos || dot > last)
                 ? parent_path.substr(0, dot)
                 : parent_path;
    folder += kFileDelimiter;
  }
  const std::string name = UniqueFileNameFor(note, folder);
  *path_out = folder + name;
  const Content* content = note->GetContent();
  const bool pictures = content != nullptr && content->CountPictures() > 0;
  if (CanBeExportedToPage(note) || CanExportChildren(note) || pictures) {
    taken_.insert(*path_out);
    paths_[note] = *path_out;
  }
}

void ExportFileManager::Initialize() {
  taken_.clear();
  paths_.clear();
  if (doc_ == nullptr || doc_->Root() == nullptr) {
    return;
  }
  // Depth first without recursion: each entry is a note and the path of its parent.
  struct Pending {
    const Node* note;
    std::string parent_path;
  };
  std::vector<Pending> stack;
  std::vector<const Node*> top;
  for (const Node* n = doc_->Root()->Son(); n != nullptr; n = n->Brother()) {
    top.push_back(n);
  }
  for (auto it = top.rbegin(); it != top.rend(); ++it) {
    stack.push_back({*it, ""});
  }
  std::string path;
  while (!stack.empty()) {
    Pending p = std::move(stack.back());
    stack.pop_back();
    AddName(p.note, p.parent_path, &path);
    if (path.empty()) {
      continue;  // not exportable: its subtree is skipped
    }
    std::vector<const Node*> children;
    for (const Node* c = p.note->Son(); c != nullptr; c = c->Brother()) {
      children.push_back(c);
    }
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
      stack.push_back({*it, path});
    }
  }
}

std::string ExportFileManager::FileNameFor(const Node* note) const {
  auto it = paths_.find(note);
  return it == paths_.end() ? std::string() : Slashes(it->second);
}

std::string ExportFileManager::NameOfFile(const Node* note) const {
  const std::string path = FileNameFor(note);
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExportFileManager::ShortNameFor(const Node* note) const {
  const std::string name = NameOfFile(note);
  return name.substr(0, name.find('.'));
}

std::string ExportFileManager::LocalFolderName(const Node* note) const {
  auto it = paths_.find(note);
  if (it == paths_.end()) {
    return std::string();
  }
  return StripExtension(it->second) + kFileDelimiter;
}

std::string ExportFileManager::RelativeURL(const Node* target, const Node* page,
                                           std::string_view anchor) const {
  const std::string hash = anchor.empty() ? std::string() : "#" + std::string(anchor);
  if (target == page) {
    return hash;
  }
  auto t = paths_.find(target);
  if (t == paths_.end()) {
    return std::string();
  }
  auto p = paths_.find(page);
  if (page == nullptr || p == paths_.end()) {
    return NameOfFile(target) + hash;
  }
  // Climb from the page's folder to the deepest folder that also holds the target,
  // then walk down the target's folders to its file.
  return RelativeURLToFile(Slashes(t->second), page) + hash;
}

std::string ExportFileManager::AuxFileName(const Node* page, int index) const {
  auto it = paths_.find(page);
  if (it == paths_.end()) {
    return std::string();
  }
  return Slashes(StripExtension(it->second) + ".links" + std::to_string(index) +
                 GetHTMLExtension());
}

std::string ExportFileManager::ImageFileName(const Node* note, int index,
                                             std::string_view extension) const {
  auto it = paths_.find(note);
  if (it == paths_.end()) {
    return std::string();
  }
  return Slashes(StripExtension(it->second) + ".img" + std::to_string(index) + "." +
                 CleanName(extension, false));
}

std::string ExportFileManager::RelativeURLToFile(const std::string& path,
                                                 const Node* page) const {
  auto p = paths_.find(page);
  if (page == nullptr || p == paths_.end()) {
    return path;
  }
  std::string colon_path = path;
  std::replace(colon_path.begin(), colon_path.end(), '/', kFileDelimiter);
  std::vector<std::string> from = SplitPath(p->second);
  std::vector<std::string> to = SplitPath(colon_path);
  from.pop_back();
  const std::string file = to.back();
  to.pop_back();
  size_t common = 0;
  while (common < from.size() && common < to.size() && from[common] == to[common]) {
    ++common;
  }
  std::string url;
  for (size_t i = common; i < from.size(); ++i) {
    url += "../";
  }
  for (size_t i = common; i < to.size(); ++i) {
    url += to[i] + "/";
  }
  return url + file;
}

}  // namespace fernweave
