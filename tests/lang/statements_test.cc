#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lang/action.h"
#include "lang/language.h"
#include "lang/statements.h"
#include "model/attribute.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "model/node_actions.h"
#include "model/props.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

class StatementsTest : public ::testing::Test {
 protected:
  StatementsTest() : doc_(test::MakeDocument("Top\n  Note\n  Other")) {
    InstallLanguage();
    Props& props = doc_->Properties();
    props.CreateBasicAttribute("Status", kUserCategory, true, AttributeType::kString);
    props.CreateBasicAttribute("Count", kUserCategory, true, AttributeType::kNumber);
    props.CreateBasicAttribute("Log", kUserCategory, true, AttributeType::kString);
    note_ = test::At(doc_.get(), "Top/Note");
  }

  void Apply(const std::string& text, Node* note = nullptr) {
    std::unique_ptr<Action> action = Action::Create(doc_.get(), text);
    Captures captures;
    action->Apply(note != nullptr ? note : note_, captures);
  }

  // The statements an action parses into, one dump per statement joined by " | ".
  std::string Parsed(const std::string& text) {
    AgentAction action(doc_.get(), text);
    std::string out;
    for (const auto& statement : action.statements()) {
      out += (out.empty() ? "" : " | ") + statement->Dump();
    }
    return out;
  }

  std::unique_ptr<Orvex> doc_;
  Node* note_;
};

TEST_F(StatementsTest, ParsesEachStatementForm) {
  const struct {
    const char* text;
    const char* parsed;
  } kCases[] = {
      {"$Status=done; $Count=2", "$Status = done | $Count = 2"},
      {"$Status=done;;", "$Status = done"},
      {"$Status(parent) = \"x\"", "$Status(parent) = \"x\""},
      {"$Status |= \"none\"", "$Status |= \"none\""},
      {"$Status &= \"done\"", "$Status &= \"done\""},
      {"if($Checked){$Status=a}else{$Status=b}", "if $Checked {$Status = a} else {$Status = b}"},
      {"if($Checked){$Status=a} $Count=1", ""},  // a trailing statement is no statement
      {"if($Checked){$Status=a", ""},           // unclosed block
      {"MyStamp", "stamp MyStamp"},
      {"$Status ^ 3", "stamp $Status ^ 3"},  // no operator: the name of a stamp
      {"", ""},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Parsed(c.text), c.parsed) << c.text;
  }
  EXPECT_TRUE(dynamic_cast<NoAction*>(Action::Create(doc_.get(), "  ").get()) != nullptr);
  EXPECT_FALSE(AgentAction(doc_.get(), "if($Checked){$Status=a} $Count=1").IsValid());
  EXPECT_TRUE(AgentAction(doc_.get(), "$Status=a; Stamp").IsValid());
}

TEST_F(StatementsTest, AssignmentsChangeTheNotesTheyName) {
  Node* top = test::At(doc_.get(), "Top");
  Apply("$Status=done; $Count=$Count+2");
  EXPECT_EQ(note_->GetString("Status"), "done");
  EXPECT_EQ(note_->GetString("Count"), "2");

  Apply("$Status(parent)=\"blue\"");
  EXPECT_EQ(top->GetString("Status"), "blue");
  Apply("$Status(parent)=\"x\"", doc_->Root());  // the root has no parent: nothing
  EXPECT_EQ(doc_->Root()->GetString("Status"), "");

  // Unknown and read-only attributes are passed over silently; the rest still runs.
  Apply("$NoSuch=1; $Created=\"2001-01-01\"; $Log=ran");
  EXPECT_EQ(note_->GetString("Log"), "ran");

  // An empty right-hand side drops the note's own value.
  Apply("$Status=");
  EXPECT_FALSE(note_->HasImmediate("Status"));
}

TEST_F(StatementsTest, ConditionalAssignments) {
  Node* other = test::At(doc_.get(), "Top/Other");
  doc_->GetAttribute("Status")->SetDefault("inherited");
  other->Set("Status", "own");
  // &= changes only notes with their own value; |= only notes reading false.
  Apply("$Status &= \"changed\"");
  Apply("$Status &= \"changed\"", other);
  EXPECT_EQ(note_->GetString("Status"), "inherited");
  EXPECT_EQ(other->GetString("Status"), "changed");

  Apply("$Log |= \"first\"; $Log |= \"second\"");
  EXPECT_EQ(note_->GetString("Log"), "first");

  // With a path, the condition reads the note that would be assigned.
  Node* top = test::At(doc_.get(), "Top");
  top->Set("Log", "parent's");
  Apply("$Log(parent) |= \"replaced\"");
  EXPECT_EQ(top->GetString("Log"), "parent's");
}

TEST_F(StatementsTest, IfChoosesOneBranch) {
  const struct {
    bool checked;
    const char* status;
  } kCases[] = {{true, "green"}, {false, "red"}};
  for (const auto& c : kCases) {
    note_->SetBoolean("Checked", c.checked);
    Apply("if($Checked){$Status=\"green\"}else{$Status=\"red\"}; $Count=$Count+1");
    EXPECT_EQ(note_->GetString("Status"), c.status) << c.checked;
  }
  EXPECT_EQ(note_->GetString("Count"), "2");
}

TEST_F(StatementsTest, StampsApplyByNameAndEndWhenTheyApplyThemselves) {
  doc_->Records().Stamps().push_back({"Done", "Status", "$Status=\"done\"; $Count=$Count+1"});
  doc_->Records().Stamps().push_back({"Loop", "Count", "$Count=$Count+1; Loop"});
  Apply("Done; Unknown");
  EXPECT_EQ(note_->GetString("Status"), "done");
  EXPECT_EQ(note_->GetString("Count"), "1");

  ApplyStamp(*doc_->Records().GetStamp("Loop"), note_);
  EXPECT_EQ(note_->GetString("Count"), std::to_string(1 + StEvaluationDepth::kMaxEvaluationDepth));
  EXPECT_EQ(StEvaluationDepth::depth(), 0);
  EXPECT_EQ(StampAttribute("if($A){$B=1}; $Color(parent) = red"), "Color");
}

// A rule that replaces its own text: the statements after the replacing one are skipped
// and nothing freed is touched (the sanitizer build proves the latter).
TEST_F(StatementsTest, AnActionReplacingItselfStopsAfterThatStatement) {
  note_->Set("Rule", "$Log=\"one\"; $Rule=\"$Log=\\\"new\\\"\"; $Status=\"after\"");
  std::unique_ptr<Action> rule = Action::Create(doc_.get(), note_->GetAction("Rule"));
  Captures captures;
  ApplyStoredAction(rule.get(), note_, "Rule", note_, captures);
  EXPECT_EQ(note_->GetString("Log"), "one");
  EXPECT_EQ(note_->GetAction("Rule"), "$Log=\"new\"");
  EXPECT_EQ(note_->GetString("Status"), "");
  // The same action run as a plain action (not from that attribute) runs to its end.
  rule->Apply(note_, captures);
  EXPECT_EQ(note_->GetString("Status"), "after");
}

// A statement that stops the action running it, for the stop flag's test.
class StopToken : public AAToken {
 public:
  explicit StopToken(AgentAction* action) : action_(action) {}
  void Apply(Node*, Captures&) override { action_->Stop(); }
  bool IsValid() const override { return true; }
  std::string Dump() const override { return "stop"; }

 private:
  AgentAction* action_;
};

TEST_F(StatementsTest, StopEndsOnlyTheApplicationUnderWay) {
  AgentAction action(doc_.get(), "$Count=$Count+1");
  action.Append(std::make_unique<StopToken>(&action));
  action.Append(AAToken::Create(doc_.get(), "$Status=\"after\""));
  action.Stop();  // outside an application: no effect on the next one
  Captures captures;
  action.Apply(note_, captures);
  EXPECT_EQ(note_->GetString("Count"), "1");
  EXPECT_EQ(note_->GetString("Status"), "");
  action.Apply(note_, captures);  // a later application starts afresh
  EXPECT_EQ(note_->GetString("Count"), "2");
  EXPECT_EQ(note_->GetString("Status"), "");
}

TEST_F(StatementsTest, OnAddRunsAndEndlessCascadesStop) {
  Node* top = test::At(doc_.get(), "Top");
  top->Set("OnAdd", "$Status=\"filed\"");
  Node* made = doc_->DoCreate(Hypertext::NoteKind::kNote, "New", top, nullptr, std::nullopt);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->GetString("Status"), "filed");
  // One undo takes the creation and what OnAdd did away together.
  doc_->UndoHistory().Undo();
  EXPECT_TRUE(made->IsHidden());

  // Each note made inside Top makes another inside itself: the chain ends at the bound.
  top->Set("OnAdd", "$OnAdd=\"$Count=1\"; $Status=\"x\"; $Container=\"/Top\"");
  Node* other = test::At(doc_.get(), "Top/Other");
  other->Set("OnAdd", "$Container=\"/Top/Other/Deeper\"");
  EXPECT_NE(doc_->DoCreate(Hypertext::NoteKind::kNote, "Seed", other, nullptr, std::nullopt),
            nullptr);
  EXPECT_EQ(StEvaluationDepth::depth(), 0);
  EXPECT_EQ(test::CheckInvariants(*doc_), "");
}

TEST_F(StatementsTest, DeeplyNestedBlocksDoNotExhaustTheStack) {
  std::string text;
  for (int i = 0; i < 5000; ++i) {
    text += "if(1){";
  }
  text += "$Status=deep";
  for (int i = 0; i < 5000; ++i) {
    text += "}";
  }
  Apply(text);
  EXPECT_EQ(note_->GetString("Status"), "");
}

}  // namespace
}  // namespace fernweave
