#include "lang/list_splitters.h"

#include <algorithm>

#include "lang/parser.h"

namespace fernweave {

namespace {

const std::string kEmpty;

// Copies a group from `text` at `i` (an opening `open`) through its matching `close`,
// keeping quoted strings and escapes whole. Advances i past the group.
void CopyGroup(std::string_view text, size_t* i, char open, char close, std::string* out) {
  size_t depth = 0;
  bool quoted = false;
  while (*i < text.size()) {
    const char c = text[*i];
    out->push_back(c);
    ++*i;
    if (c == '\\' && *i < text.size()) {
      out->push_back(text[*i]);
      ++*i;
      continue;
    }
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == open) {
      ++depth;
    } else if (!quoted && c == close && --depth == 0) {
      return;
    }
  }
}

}  // namespace

ArgList::ArgList(std::string_view text, char separator, bool keep_empty)
    : separator_(separator), keep_empty_(keep_empty) {
  Split(text, false);
}

const std::string& ArgList::at(size_t i) const { return i < items_.size() ? items_[i] : kEmpty; }

long ArgList::Find(std::string_view s) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i] == s) {
      return static_cast<long>(i);
    }
  }
  return -1;
}

void ArgList::Split(std::string_view text, bool braces) {
  size_t i = 0;
  while (i <= text.size()) {
    while (i < text.size() && Parser::IsWhite(text[i])) {
      ++i;
    }
    std::string item;
    bool at_start = true;
    while (i < text.size() && text[i] != separator_) {
      const char c = text[i];
      if (c == '(') {
        CopyGroup(text, &i, '(', ')', &item);
      } else if (braces && c == '{') {
        CopyGroup(text, &i, '{', '}', &item);
      } else if (c == '"') {
        item.push_back(c);
        ++i;
        while (i < text.size()) {
          const char q = text[i++];
          item.push_back(q);
          if (q == '\\' && i < text.size()) {
            item.push_back(text[i++]);
          } else if (q == '"') {
            break;
          }
        }
      } else if (c == '\'' && at_start) {
        ++i;
        while (i < text.size() && text[i] != '\'') {
          item.push_back(text[i++]);
        }
        if (i < text.size()) {
          ++i;
        }
      } else if (c == '\\' && i + 1 < text.size()) {
        const char next = text[i + 1];
        const bool escapable = next == '"' || next == '(' || next == ')' || next == separator_ ||
                               (braces && (next == '{' || next == '}'));
        if (!escapable) {
          item.push_back(c);
        }
        item.push_back(next);
        i += 2;
      } else {
        item.push_back(c);
        ++i;
      }
      at_start = false;
    }
    std::string trimmed = Parser::Trim(item);
    if (!trimmed.empty() || keep_empty_) {
      items_.push_back(std::move(trimmed));
    }
    if (i >= text.size()) {
      break;
    }
    ++i;  // the separator
    if (i == text.size() && keep_empty_) {
      items_.emplace_back();
      break;
    }
  }
}

ActionList::ActionList(std::string_view text, char separator, bool keep_empty) {
  separator_ = separator;
  keep_empty_ = keep_empty;
  Split(text, true);
}

SetList::SetList(std::string_view text, char separator) {
  separator_ = separator;
  keep_empty_ = false;
  std::vector<std::string> raw;
  Split(text, false);
  raw.swap(items_);
  for (std::string& s : raw) {
    Add(s);
  }
}

void SetList::Add(const std::string& s) {
  if (!s.empty() && !Has(s)) {
    items_.push_back(s);
  }
}

void SetList::Remove(std::string_view s) {
  items_.erase(std::remove(items_.begin(), items_.end(), s), items_.end());
}

void SetList::Toggle(const std::string& s) {
  if (Has(s)) {
    Remove(s);
  } else {
    Add(s);
  }
}

std::string SetList::ToString() const {
  std::string out;
  for (const std::string& s : items_) {
    if (!out.empty()) {
      out += separator_;
    }
    out += s;
  }
  return out;
}

std::string SetList::Edit(std::string_view current, std::string_view edit) {
  if (edit.empty() || (edit[0] != '+' && edit[0] != '-' && edit[0] != '~')) {
    return std::string(edit);
  }
  SetList set(current);
  const SetList members(edit.substr(1));
  for (const std::string& member : members.items()) {
    if (edit[0] == '+') {
      set.Add(member);
    } else if (edit[0] == '-') {
      set.Remove(member);
    } else {
      set.Toggle(member);
    }
  }
  return set.ToString();
}

}  // namespace fernweave
