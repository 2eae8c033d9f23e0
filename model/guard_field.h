// Guard fields: boolean conditions on links that decide whether the reader may follow
// them. A guard is a formula over the context text the reader supplies:
//   word        true when empty, when the context is "*", when it is "Textlink", or
//               when it equals the context ignoring case (a non-breaking space counts
//               as a space); an empty context makes every other word false
//   "Name"      true when the note of that name is in the reading history
//   ?(n)        true with probability 1/n (n below 2 counts as 2)
//   ~x          not x
//   x & rest    false when x is false, else rest
//   x | rest    true when x is true, else rest
// Evaluation runs left to right and groups to the right, so "a & b | c" is
// "a & (b | c)". A guard that cannot be parsed is simply not satisfied at the point
// where reading fails; nothing throws.

#ifndef FERNWEAVE_MODEL_GUARD_FIELD_H_
#define FERNWEAVE_MODEL_GUARD_FIELD_H_

#include <string>
#include <string_view>
#include <vector>

namespace fernweave {

class Hypertext;

class GuardField {
 public:
  enum class Kind { kNot, kAnd, kOr, kHasRead, kRandom, kWord };
  struct Token {
    Kind kind;
    std::string text;  // the word, the quoted name, or the random guard's number
  };

  explicit GuardField(std::string_view guard);

  const std::vector<Token>& tokens() const { return tokens_; }
  // Evaluates against the context; has-read tests consult the document's reading
  // history (never read without a document). Random tests draw from Random().
  bool Satisfied(std::string_view context, const Hypertext* hypertext) const;

 private:
  bool Operand(size_t* pos, std::string_view context, const Hypertext* hypertext) const;

  std::vector<Token> tokens_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_GUARD_FIELD_H_
