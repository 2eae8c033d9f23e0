// Sort transforms: how text values are changed before two of them are compared, as a
// container's `SortTransform` and `SortAlsoTransform` ask.

#ifndef FERNWEAVE_MODEL_TRANSFORMER_H_
#define FERNWEAVE_MODEL_TRANSFORMER_H_

#include <string>
#include <string_view>

namespace fernweave {

class Transformer {
 public:
  enum class Kind {
    kNone,       // "normal", "case-sensitive", "" and every unknown name
    kLowercase,  // "lowercase", "case-insensitive"
    kLastWord,   // "last word"
  };

  // No transform.
  Transformer() = default;
  explicit Transformer(Kind kind) : kind_(kind) {}
  // The transform named by `name`; unknown names compare texts unchanged.
  static Transformer Named(std::string_view name);

  Kind kind() const { return kind_; }

  // The text as it is compared: lower-cased (full Unicode case mapping), or its last
  // blank-delimited word (the whole text when it has one word or none), or unchanged.
  std::string Transform(std::string_view text) const;

  // Compares the transformed texts byte-wise and, when they are equal, the texts
  // themselves; returns -1, 0 or 1.
  int Compare(std::string_view a, std::string_view b) const;

 private:
  Kind kind_ = Kind::kNone;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_TRANSFORMER_H_
