// Records a document keeps for the layers above the model: its macros (named
// expression texts the `do` function expands), its stamps (named actions the user
// applies to notes) and its saved windows (which view showed which container, read
// by the views when they open). The document owns one `DocumentRecords`; the file
// reader fills it and the file writer writes it back unchanged.

#ifndef FERNWEAVE_MODEL_DOCUMENT_RECORDS_H_
#define FERNWEAVE_MODEL_DOCUMENT_RECORDS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fernweave {

// A named expression text. Names are unique within a document.
struct Macro {
  std::string name;
  std::string text;  // UTF-8; line breaks are carriage returns
  friend bool operator==(const Macro&, const Macro&) = default;
};

// A named action that sets `attribute` when applied.
struct Stamp {
  std::string name;
  std::string attribute;
  std::string action;  // UTF-8
  friend bool operator==(const Stamp&, const Stamp&) = default;
};

// One saved window: the view kind's name, the container it shows, and the view's
// state as the pairs of attribute name and text it was saved with (bounds, x, y,
// scale, ...), in their saved order. The views give the pairs their meaning.
struct WindowRecord {
  std::string type;
  uint32_t id = 0;
  std::string creator;
  std::vector<std::pair<std::string, std::string>> state;
  friend bool operator==(const WindowRecord&, const WindowRecord&) = default;
};

class DocumentRecords {
 public:
  // --- Macros: in the order they were added --------------------------------
  const std::vector<Macro>& Macros() const { return macros_; }
  // The macro's text, or null when there is none of that name.
  const std::string* GetMacro(std::string_view name) const {
    for (const Macro& m : macros_) {
      if (m.name == name) {
        return &m.text;
      }
    }
    return nullptr;
  }
  // Adds the macro, or replaces the text of the one of that name.
  void SetMacro(std::string_view name, std::string_view text) {
    for (Macro& m : macros_) {
      if (m.name == name) {
        m.text = std::string(text);
        return;
      }
    }
    macros_.push_back({std::string(name), std::string(text)});
  }
  void ClearMacros() { macros_.clear(); }

  // --- Stamps: in menu order -------------------------------------------------
  const std::vector<Stamp>& Stamps() const { return stamps_; }
  std::vector<Stamp>& Stamps() { return stamps_; }
  // The first stamp of that name, or null.
  const Stamp* GetStamp(std::string_view name) const {
    for (const Stamp& s : stamps_) {
      if (s.name == name) {
        return &s;
      }
    }
    return nullptr;
  }

  // --- Saved windows: front window first -----------------------------------
  const std::vector<WindowRecord>& Windows() const { return windows_; }
  std::vector<WindowRecord>& Windows() { return windows_; }

 private:
  std::vector<Macro> macros_;
  std::vector<Stamp> stamps_;
  std::vector<WindowRecord> windows_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_DOCUMENT_RECORDS_H_
