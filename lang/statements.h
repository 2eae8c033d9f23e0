// Actions: texts of statements separated by ";" that change notes. Agents run them on
// their matches ("AgentAction"), rules on their own note ("Rule"), containers on a note
// just made inside them ("OnAdd"), and stamps on the notes the user applies them to.
//
// A text is parsed once into an `AgentAction` holding one `AAToken` per statement:
//   $Name = value            AAAssign      (stores the value)
//   $Name |= value           AAOrAssign    (only while the note reads the attribute false)
//   $Name &= value           AAAndAssign   (only where the note has its own value)
//   $Name(path) = value      the same, for the note the path designates
//   if(cond){...} else {...} AAIf
//   function(args)           AAExpressionToken (evaluated for its effects)
//   StampName                AAStamp       (applies the document's stamp of that name)
// Statements that fit no form are dropped; an action is valid when it has statements and
// all of them are valid.
//
// Actions change the model directly and never post an undoable action of their own, so
// the user's last undoable action survives a rule or an agent running in idle time. Every
// application counts one level of the language's evaluation depth (lang/action.h), so
// actions that set off one another (an OnAdd that makes a note whose container's OnAdd
// makes another, a stamp applying itself) end at the bound.
//
// An action stored in an attribute may assign that very attribute (`$Rule=...` inside a
// rule). The running action stays alive until it returns (its owner holds it by shared
// pointer, the runner keeps a reference); the statements after the one that replaced it
// are skipped.

#ifndef FERNWEAVE_LANG_STATEMENTS_H_
#define FERNWEAVE_LANG_STATEMENTS_H_

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "lang/aa_value.h"
#include "lang/action.h"

namespace fernweave {

class Hypertext;
class Node;
struct Stamp;

// The action of an empty text: applying it changes nothing.
class NoAction : public Action {
 public:
  void Apply(Node*, Captures&) override {}
  bool IsValid() const override { return true; }
};

// One statement.
class AAToken {
 public:
  AAToken() = default;
  AAToken(const AAToken&) = delete;
  AAToken& operator=(const AAToken&) = delete;
  virtual ~AAToken() = default;

  // The statement for `statement`, or null when it fits no statement form.
  static std::unique_ptr<AAToken> Create(Hypertext* hypertext, std::string_view statement);

  virtual void Apply(Node* node, Captures& captures) = 0;
  virtual bool IsValid() const = 0;
  // A readable form for tests and `fernweave act --tree`: the kind and its parts.
  virtual std::string Dump() const = 0;
};

// An assignment target: "$Color" or "$Color(parent)".
class AttributeToken {
 public:
  explicit AttributeToken(std::string_view text);
  const std::string& name() const { return name_; }
  const std::string& path() const { return path_; }
  // The note itself when the path is empty, else the note the path designates from it;
  // null when there is none.
  Node* TargetFor(Node* node) const;

 private:
  std::string name_;
  std::string path_;
};

class AAAssign : public AAToken {
 public:
  AAAssign(std::string_view target, std::string_view right);
  void Apply(Node* node, Captures& captures) override;
  // The right-hand side parsed without a message into a valid value.
  bool IsValid() const override {
    return value_ != nullptr && value_->IsValid() && error_.empty();
  }
  std::string Dump() const override;

 protected:
  // Whether the assignment goes ahead for the target note; plain "=" always does.
  virtual bool Allowed(const Node* /*target*/) const { return true; }
  virtual const char* Operator() const { return "="; }
  const AttributeToken& target() const { return target_; }

 private:
  AttributeToken target_;
  std::string written_;  // the right-hand side as written
  std::string error_;    // the parser's message, "" when none
  std::unique_ptr<AAValue> value_;
};

// Assigns only while the target reads the attribute as false.
class AAOrAssign : public AAAssign {
 public:
  using AAAssign::AAAssign;

 protected:
  bool Allowed(const Node* target) const override;
  const char* Operator() const override { return "|="; }
};

// Assigns only where the target stores a value of its own (not an inherited one).
class AAAndAssign : public AAAssign {
 public:
  using AAAssign::AAAssign;

 protected:
  bool Allowed(const Node* target) const override;
  const char* Operator() const override { return "&="; }
};

class AAIf : public AAToken {
 public:
  AAIf(Hypertext* hypertext, std::string_view condition, std::string_view then_text,
       std::string_view else_text);
  void Apply(Node* node, Captures& captures) override;
  bool IsValid() const override;
  std::string Dump() const override;

 private:
  std::string condition_text_;
  std::string error_;
  std::unique_ptr<AAValue> condition_;
  std::unique_ptr<Action> then_;
  std::unique_ptr<Action> else_;
};

// A function call evaluated for its effects (`linkTo(/Index)`), its text discarded.
class AAExpressionToken : public AAToken {
 public:
  explicit AAExpressionToken(std::unique_ptr<AAValue> value) : value_(std::move(value)) {}
  void Apply(Node* node, Captures& captures) override;
  bool IsValid() const override { return value_->IsValid(); }
  std::string Dump() const override;

 private:
  std::unique_ptr<AAValue> value_;
};

// Applies the document's stamp of that name; an unknown name does nothing.
class AAStamp : public AAToken {
 public:
  AAStamp(Hypertext* hypertext, std::string_view name) : hypertext_(hypertext), name_(name) {}
  void Apply(Node* node, Captures& captures) override;
  bool IsValid() const override { return !name_.empty(); }
  std::string Dump() const override { return "stamp " + name_; }

 private:
  Hypertext* hypertext_;
  std::string name_;
};

class AgentAction : public Action {
 public:
  // Parses `text` into statements. `hypertext` (may be null) is the document whose stamps
  // the action applies.
  AgentAction(Hypertext* hypertext, std::string_view text);
  void Apply(Node* node, Captures& captures) override;
  bool IsValid() const override;
  // Runs the action as the one stored in `attribute` of `holder`: when a statement
  // assigns that attribute of that note, the statements after it are skipped.
  void ApplyFrom(const Node* holder, std::string_view attribute, Node* node,
                 Captures& captures);
  const std::string& text() const { return text_; }
  const std::vector<std::unique_ptr<AAToken>>& statements() const { return statements_; }
  // Adds a statement made elsewhere after the parsed ones.
  void Append(std::unique_ptr<AAToken> statement) { statements_.push_back(std::move(statement)); }
  // Ends the running application after the present statement (the agent scan stops
  // its action so when the agent leaves the document meanwhile). Outside an
  // application it does nothing: each application starts afresh.
  void Stop() { stop_ = true; }

 private:
  std::string text_;
  std::vector<std::unique_ptr<AAToken>> statements_;
  bool stop_ = false;
};

// Applies `action` (when not null) as the one stored in `attribute` of `holder` (see
// AgentAction::ApplyFrom); any other kind of action is simply applied.
void ApplyStoredAction(Action* action, const Node* holder, std::string_view attribute,
                       Node* node, Captures& captures);

// Applies a stamp's action to the note and reports a display change of it (0x201).
// Nothing for a null note.
void ApplyStamp(const Stamp& stamp, Node* note);

// The attribute a stamp's action sets: the name of its first assignment's target ("" when
// it has none), as the stamp record keeps it.
std::string StampAttribute(std::string_view action);

// Installs the runner of containers' "OnAdd" actions into the model unless a runner is
// installed already (a test's recording one). Called by InstallLanguage.
void InstallActions();

}  // namespace fernweave

#endif  // FERNWEAVE_LANG_STATEMENTS_H_
