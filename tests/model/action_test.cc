#include "model/action.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/alias_node.h"
#include "model/hypertext.h"
#include "model/link.h"
#include "model/node_actions.h"
#include "model/undo_texts.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

// An action that writes what happens to it into a shared log.
class LoggingAction : public LAction {
 public:
  LoggingAction(std::string name, std::vector<std::string>* log, bool postable = true)
      : LAction(undo_index::kRename), name_(std::move(name)), log_(log), postable_(postable) {}
  ~LoggingAction() override { log_->push_back(name_ + ":gone"); }
  bool IsPostable() const override { return postable_; }
  void Finalize() override { log_->push_back(name_ + ":final"); }
  void Discard(LAction*) override { log_->push_back(name_ + ":discard"); }

 protected:
  void RedoSelf() override { log_->push_back(name_ + ":redo"); }
  void UndoSelf() override { log_->push_back(name_ + ":undo"); }

 private:
  std::string name_;
  std::vector<std::string>* log_;
  bool postable_;
};

std::string Joined(const std::vector<std::string>& log) {
  std::string out;
  for (const std::string& s : log) {
    out += (out.empty() ? "" : " ") + s;
  }
  return out;
}

TEST(UndoKeeperTest, PostingFinalizesDiscardsThenPerforms) {
  std::vector<std::string> log;
  UndoKeeper keeper;
  EXPECT_FALSE(keeper.CanUndo());
  EXPECT_TRUE(keeper.Post(std::make_unique<LoggingAction>("a", &log)));
  EXPECT_TRUE(keeper.CanUndo());
  EXPECT_FALSE(keeper.CanRedo());
  keeper.Undo();
  keeper.Undo();  // already undone: nothing
  keeper.Redo();
  EXPECT_TRUE(keeper.Post(std::make_unique<LoggingAction>("b", &log)));
  EXPECT_FALSE(keeper.Post(std::make_unique<LoggingAction>("c", &log, false)));
  EXPECT_FALSE(keeper.Post(nullptr));
  keeper.Clear();
  EXPECT_EQ(keeper.Current(), nullptr);
  EXPECT_EQ(Joined(log),
            "a:redo a:undo a:redo a:final a:discard a:gone b:redo c:gone b:final "
            "b:discard b:gone");
}

// Posts a second action from inside its own Redo, as an OnAdd action that moves the
// new note would.
class NestingAction : public LoggingAction {
 public:
  NestingAction(UndoKeeper* keeper, std::vector<std::string>* log)
      : LoggingAction("outer", log), keeper_(keeper), log_(log) {}

 protected:
  void RedoSelf() override {
    LoggingAction::RedoSelf();
    if (!nested_) {
      nested_ = true;
      keeper_->Post(std::make_unique<LoggingAction>("inner", log_));
    }
  }

 private:
  UndoKeeper* keeper_;
  std::vector<std::string>* log_;
  bool nested_ = false;
};

TEST(UndoKeeperTest, AnActionPostedWhilePerformingJoinsIt) {
  std::vector<std::string> log;
  UndoKeeper keeper;
  keeper.Post(std::make_unique<NestingAction>(&keeper, &log));
  keeper.Undo();
  keeper.Redo();
  keeper.Clear();
  EXPECT_EQ(Joined(log),
            "outer:redo inner:redo inner:undo outer:undo outer:redo inner:redo outer:final "
            "inner:final outer:discard inner:discard outer:gone inner:gone");
}

TEST(UndoTextsTest, EveryIndexHasATextAndTheMenuFollowsTheState) {
  for (int index :
       {undo_index::kRename, undo_index::kColor, undo_index::kMove, undo_index::kDelete,
        undo_index::kCreate, undo_index::kDuplicate, undo_index::kCreateLink, undo_index::kMakeNote,
        undo_index::kMakeAlias,
        undo_index::kEditLink, undo_index::kDeleteLink, undo_index::kPaste, undo_index::kPromote,
        undo_index::kDemote, undo_index::kCleanup, undo_index::kCreateAttribute,
        undo_index::kDeleteAttribute, undo_index::kEditAttribute}) {
    EXPECT_FALSE(UndoText(index).empty()) << index;
  }
  EXPECT_TRUE(UndoText(16).empty());
  auto doc = test::MakeDocument("A\nB");
  EXPECT_EQ(UndoMenuText(doc->UndoHistory().Current()), "Undo");
  doc->PostAction(std::make_unique<NodeDeleteAction>(test::At(doc.get(), "A")));
  EXPECT_EQ(UndoMenuText(doc->UndoHistory().Current()), "Undo Delete");
  doc->UndoHistory().Undo();
  EXPECT_EQ(UndoMenuText(doc->UndoHistory().Current()), "Redo Delete");
}

TEST(NodeActionTest, TheNextActionFreesWhatAFinalDeletionHeld) {
  const struct {
    const char* what;
    bool alias;   // an alias of A placed in B
    bool links;   // links A -> C and C -> A
    bool undone;  // the deletion is undone before the next action
    size_t notes_freed;
    int64_t links_freed;
  } kCases[] = {
      {"A with its children", false, false, false, 3, 0},
      {"the alias hidden with A", true, false, false, 4, 0},
      {"the links of A", false, true, false, 3, 2},
      {"nothing: the deletion was undone", true, true, true, 0, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    auto doc = test::MakeDocument("A\n  A1\n  A2\nB\nC");
    Node* a = test::At(doc.get(), "A");
    Node* b = test::At(doc.get(), "B");
    Node* other = test::At(doc.get(), "C");
    if (c.alias) {
      ASSERT_NE(AliasNode::CreateFor(a, b, nullptr, 0, 0, false), nullptr);
    }
    if (c.links) {
      for (auto [from, to] : {std::pair{a, other}, std::pair{other, a}}) {
        LinkRecord record;
        record.source = from;
        record.dest = to;
        record.add_to_document = true;
        doc->CreateLink(record);
      }
    }
    const size_t owned = doc->OwnedNodes().size();
    const int64_t links = Link::LiveCount();
    ASSERT_TRUE(doc->AttemptToDelete(a));
    EXPECT_EQ(b->Son(), nullptr);
    EXPECT_EQ(doc->OwnedNodes().size(), owned);  // kept, hidden, for undo
    EXPECT_EQ(doc->LinkCount(), c.links ? 2u : 0u);
    if (c.undone) {
      doc->UndoHistory().Undo();
    }
    doc->PostAction(std::make_unique<RenameAction>(b, "Bee"));
    EXPECT_EQ(owned - doc->OwnedNodes().size(), c.notes_freed);
    EXPECT_EQ(links - Link::LiveCount(), c.links_freed);
    EXPECT_EQ(doc->LinkCount() + c.links_freed, c.links ? 2u : 0u);
    EXPECT_EQ(other->InboundLinkCount() + other->OutboundLinkCount(), c.undone ? 2u : 0u);
    EXPECT_EQ(doc->AliasesOf(a).size(), c.alias && c.undone ? 1u : 0u);
    doc->UndoHistory().Undo();  // undoes the rename only
    EXPECT_EQ(test::ChildNames(doc->Root()), c.undone ? "A B C" : "B C");
    EXPECT_EQ(test::CheckInvariants(*doc), "");
  }
}

TEST(NodeActionTest, ANoteTakenOutOfTheTrashSurvivesItsDeletion) {
  // The move refers to a note inside the deleted one: discarding the deletion must not
  // destroy it under the move.
  auto doc = test::MakeDocument("P\n  C\nQ");
  Node* p = test::At(doc.get(), "P");
  Node* c = test::At(doc.get(), "P/C");
  Node* q = test::At(doc.get(), "Q");
  doc->AttemptToDelete(p);
  ASSERT_TRUE(c->IsHidden());
  ASSERT_TRUE(doc->PostAction(std::make_unique<NodeMoveAction>(c, q, nullptr)));
  EXPECT_FALSE(c->IsHidden());
  EXPECT_EQ(c->Father(), q);
  EXPECT_EQ(test::CheckInvariants(*doc), "");
  // Undo puts C back in the trash; the move now answers for it and for P.
  doc->UndoHistory().Undo();
  EXPECT_TRUE(c->IsHidden());
  const size_t owned = doc->OwnedNodes().size();
  doc->PostAction(std::make_unique<RenameAction>(q, "Queue"));
  EXPECT_EQ(doc->OwnedNodes().size(), owned - 2);
  EXPECT_EQ(test::Dump(doc->Root()), "Queue\n");
  EXPECT_EQ(test::CheckInvariants(*doc), "");
}

TEST(NodeActionTest, AliasesHiddenWithAFreedOriginalAreFreedToo) {
  auto doc = test::MakeDocument("A\nB");
  Node* a = test::At(doc.get(), "A");
  Node* b = test::At(doc.get(), "B");
  ASSERT_NE(AliasNode::CreateFor(a, b, nullptr, 0, 0, false), nullptr);
  const size_t owned = doc->OwnedNodes().size();
  doc->AttemptToDelete(a);
  EXPECT_EQ(b->Son(), nullptr);  // the alias went with its original
  doc->PostAction(std::make_unique<RenameAction>(b, "Bee"));
  EXPECT_EQ(doc->OwnedNodes().size(), owned - 2);
  EXPECT_TRUE(doc->AliasesOf(a).empty());
  EXPECT_EQ(test::CheckInvariants(*doc), "");
}

TEST(NodeActionTest, ClosingTheDocumentWithAnActionHeldFreesEverything) {
  // Under the address sanitizer a note destroyed twice or touched after the document
  // is gone fails here.
  auto doc = test::MakeDocument("A\n  A1\nB");
  ASSERT_TRUE(doc->AttemptToDelete(test::At(doc.get(), "A")));
  doc.reset();
  auto other = test::MakeDocument("A\nB");
  Node* made = other->CreateChildFor(test::At(other.get(), "A"));
  ASSERT_NE(made, nullptr);
  other->UndoHistory().Undo();
  EXPECT_TRUE(made->IsHidden());
  other.reset();
}

TEST(NodeActionTest, ANullNoteIsAnInternalError) {
  EXPECT_FW_ERROR(NodeDeleteAction(nullptr), "nilP");
  EXPECT_FW_ERROR(RenameAction(nullptr, "x"), "nilP");
}

}  // namespace
}  // namespace fernweave
