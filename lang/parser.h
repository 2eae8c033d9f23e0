// Character readers shared by the text parsers of the expression language: a `Parser`
// reads one character at a time from a text it borrows, remembers the last error, and
// its subclasses read one kind of group each (quoted text, a parenthesised group, a
// brace group, a dotted word). Readers never throw; an unterminated group stores its
// message (last error wins) and yields what was read.

#ifndef FERNWEAVE_LANG_PARSER_H_
#define FERNWEAVE_LANG_PARSER_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace fernweave {

class Parser {
 public:
  // `text` is borrowed and must outlive the parser.
  explicit Parser(std::string_view text) : text_(text) {}
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;
  virtual ~Parser() = default;

  // True while characters remain.
  virtual bool good() const { return pos_ < text_.size(); }
  virtual bool OK() const { return error_.empty(); }
  // Takes one character into *c; false at the end. A backslash followed by a second
  // backslash gives one backslash (both are consumed); a backslash before anything else
  // gives the backslash and leaves the next character unread.
  virtual bool Read(char* c);
  // Takes one character with no escape handling; false at the end.
  virtual bool ReadRaw(char* c);
  // Consumes the next character when it is `c`; returns whether it did.
  virtual bool Munch(char c);
  // Reads quoted text after its opening quote `quote` (see QuoteParser).
  virtual std::string GetQuote(char quote);
  // Replaces the stored error.
  virtual void Error(const std::string& text) { error_ = text; }
  virtual const std::string& GetError() const { return error_; }
  // Everything not yet read; the parser is then at its end.
  virtual std::string Rest();
  virtual bool NextCharIs(char c) const { return good() && text_[pos_] == c; }
  virtual bool NextCharIsWhite() const;
  virtual bool NextCharIsNumeric() const;
  // The next token of this reader's kind.
  virtual std::string Token() { return Rest(); }

  // Skips white space (as the C library classifies it).
  void SkipWhite();
  // Puts the last character read back. REQUIRES: something was read.
  void Unread() { --pos_; }
  size_t position() const { return pos_; }
  std::string_view text() const { return text_; }

  // Removes leading and trailing white space.
  static std::string Trim(std::string_view s);
  // Removes one pair of matching outer quotes (double or single).
  static std::string TrimQuotes(std::string_view s);
  // The contents of a leading balanced parenthesis group; the text itself when it
  // does not start with "(" and "" when the group is not closed.
  static std::string TrimParens(std::string_view s);
  static bool IsWhite(char c);

 protected:
  std::string_view text_;
  size_t pos_ = 0;
  std::string error_;
};

// Quoted text, opened with its quote already consumed: backslash-t gives a tab,
// backslash-r and backslash-n a carriage return, a backslash before either quote
// character gives that quote, a backslash before anything else is kept with it. A
// missing closing quote stores "unterminated expression: expected " and the quote.
class QuoteParser : public Parser {
 public:
  // Reads from `outer`'s position and advances it.
  QuoteParser(Parser* outer, char quote);
  std::string Token() override;

 private:
  Parser* outer_;
  char quote_;
};

// A parenthesised group starting at the next "(": returns the text between the outer
// parentheses. Backslash escapes and double-quoted strings are copied unchanged and do
// not count. A missing ")" stores "unclosed parenthesis" and returns "".
class ParenParser : public Parser {
 public:
  explicit ParenParser(Parser* outer) : Parser(""), outer_(outer) {}
  std::string Token() override;

 private:
  Parser* outer_;
};

// A brace group starting at the next "{": returns its trimmed contents. A missing "}"
// stores "unclosed brace".
class BraceParser : public Parser {
 public:
  explicit BraceParser(Parser* outer) : Parser(""), outer_(outer) {}
  std::string Token() override;

 private:
  Parser* outer_;
};

// A token starting with ".": everything up to the first white space, keeping escaped
// characters, double-quoted strings (with their quotes) and parenthesised groups
// (re-wrapped in parentheses) whole.
class DotParser : public Parser {
 public:
  explicit DotParser(Parser* outer) : Parser(""), outer_(outer) {}
  std::string Token() override;

 private:
  Parser* outer_;
};

// Reads a group delimited by `open` and `close` from `in` (whose next character is
// `open`), as ParenParser and BraceParser do. Sets *closed to whether the group ended.
std::string ReadGroup(Parser* in, char open, char close, bool* closed);

}  // namespace fernweave

#endif  // FERNWEAVE_LANG_PARSER_H_
