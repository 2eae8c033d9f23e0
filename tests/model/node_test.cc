#include "model/node.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/clock.h"
#include "model/alias_node.h"
#include "model/node_id.h"
#include "model/values.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

// Pins the clock at a seconds count and restores the id counter afterwards.
class IdTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = NodeID::LastIdForTesting(); }
  void TearDown() override {
    SetNowForTesting(std::nullopt);
    NodeID::SetLastIdForTesting(saved_);
  }
  static void At(int64_t seconds) { SetNowForTesting(seconds); }

 private:
  uint32_t saved_ = 0;
};

TEST_F(IdTest, IdsStartAboveTheClockAndIncreaseWithinOneSecond) {
  const struct {
    int64_t clock;
    uint32_t last;
    uint32_t first;
  } kCases[] = {
      {3'000'000'000, 5, 3'000'000'001u},
      // Past 2^32 seconds the clock's low bits still give distinct, increasing ids.
      {(int64_t{1} << 32) + 31'000'000, 0, 31'000'001u},
  };
  for (const auto& c : kCases) {
    At(c.clock);
    NodeID::SetLastIdForTesting(c.last);
    for (uint32_t i = 0; i < 3; ++i) {
      EXPECT_EQ(NodeID::MakeUniqueNumber(), c.first + i) << c.clock;
    }
  }
}

TEST_F(IdTest, AClockGoingBackwardsNeverLowersTheNextId) {
  At(3'000'000'000);
  NodeID::SetLastIdForTesting(0);
  const uint32_t first = NodeID::MakeUniqueNumber();
  At(2'000'000'000);
  EXPECT_EQ(NodeID::MakeUniqueNumber(), first + 1);
  At(-5);  // before 1904: the counter is kept
  EXPECT_EQ(NodeID::MakeUniqueNumber(), first + 2);
  At(3'000'000'100);  // the clock overtakes the counter again
  EXPECT_EQ(NodeID::MakeUniqueNumber(), 3'000'000'101u);
}

TEST_F(IdTest, CounterSkipsZeroAndRisesAboveIdsReadFromFiles) {
  At(0xFFFFFFFF);
  NodeID::SetLastIdForTesting(0);
  EXPECT_EQ(NodeID::MakeUniqueNumber(), 1u);  // 0xFFFFFFFF + 1 wraps; 0 is never handed out
  At(100);
  NodeID::RaiseCounterAbove(5'000);
  EXPECT_EQ(NodeID::MakeUniqueNumber(), 5'001u);
  NodeID::RaiseCounterAbove(10);  // lower ids do not lower the counter
  EXPECT_EQ(NodeID::MakeUniqueNumber(), 5'002u);
  // A file holding 4294967294: the next number would be 4294967295, which files use to
  // ask for a fresh id, so the counter wraps past it and past 0.
  NodeID::RaiseCounterAbove(0xFFFFFFFE);
  EXPECT_EQ(NodeID::MakeUniqueNumber(), 1u);
}

TEST_F(IdTest, DocumentsNeverHandOutAnIdTheyHold) {
  At(100);
  auto doc = test::MakeDocument("A\nB");
  test::At(doc.get(), "A")->SetID(1, "system");
  test::At(doc.get(), "B")->SetID(2, "other");  // held under another creator: still taken
  NodeID::SetLastIdForTesting(0xFFFFFFFF);
  At(-5);  // a clock before 1904 leaves the counter to wrap into 1 and 2
  EXPECT_EQ(doc->MakeNode("C", nullptr, nullptr, 0, 0)->GetID().id(), 3u);
}

TEST(NodeTest, OutlineOrderFollowsTheTree) {
  auto doc = test::MakeDocument("A\n  B\nD");
  const auto orders = [&doc]() { return test::Dump(doc->Root(), {"OutlineOrder"}); };
  EXPECT_EQ(orders(), "A OutlineOrder=1\n  B OutlineOrder=2\nD OutlineOrder=3\n");
  test::At(doc.get(), "D")->DoMoveTo(doc->Root(), nullptr);
  test::At(doc.get(), "A/B")->Hide(true);
  doc->MakeNode("E", test::At(doc.get(), "A"), nullptr, 0, 0);
  EXPECT_EQ(orders(), "D OutlineOrder=1\nA OutlineOrder=2\n  E OutlineOrder=3\n");
}

TEST(NodeTest, NotesNeverLieDeeperThanTheFileCanCarry) {
  auto doc = test::MakeDocument("Top\nSide\n  Leaf\n    Under");
  Node* deepest = test::At(doc.get(), "Top");
  for (size_t depth = 2; depth <= Hypertext::kMaxNoteDepth; ++depth) {
    deepest->AddSon(doc->MakeBareNode(Hypertext::NoteKind::kNote));  // as the reader builds
    deepest = deepest->Son();
    doc->AddNode(deepest);
  }
  EXPECT_EQ(doc->MakeNode("too deep", deepest, nullptr, 0, 0), nullptr);
  EXPECT_EQ(AliasNode::CreateFor(deepest, deepest, nullptr, 0, 0, false), nullptr);
  // A subtree two deep fits two levels above the deepest note, not one.
  Node* leaf = test::At(doc.get(), "Side/Leaf");
  EXPECT_FALSE(leaf->DoMoveTo(deepest->Father(), nullptr));
  EXPECT_TRUE(leaf->DoMoveTo(deepest->Father()->Father(), nullptr));
  EXPECT_EQ(test::CheckInvariants(*doc), "");
}

TEST(NodeIDTest, OrderIsByNumberThenCreator) {
  EXPECT_LT(NodeID(1, "zed"), NodeID(2, "abe"));
  EXPECT_LT(NodeID(2, "abe"), NodeID(2, "zed"));
  EXPECT_EQ(NodeID(2, "abe"), NodeID(2, "abe"));
  EXPECT_FALSE(NodeID(2, "abe").Equal(NodeID(2, "Abe")));
}

// The index against a plain model of it, through random additions and removals of
// notes whose numbers often repeat (several creators) and crowd the table, so that
// removals move other numbers back along their runs.
TEST(NodeIndexTest, RandomAdditionsAndRemovalsAgreeWithAModel) {
  auto doc = test::MakeDocument("");
  std::vector<Node*> notes;
  for (uint32_t i = 0; i < 600; ++i) {
    Node* n = doc->MakeEmptyNode(Hypertext::NoteKind::kNote);
    n->SetID(NodeID(1 + (i * 7919u) % 211u, "c" + std::to_string(i % 3)));
    notes.push_back(n);
  }
  NodeIndex index;
  std::map<uint32_t, std::vector<Node*>> model;  // in the order indexed
  uint32_t state = 12345;
  for (int step = 0; step < 4000; ++step) {
    state = state * 1103515245u + 12345u;
    Node* n = notes[(state >> 8) % notes.size()];
    std::vector<Node*>& under = model[n->GetID().id()];
    const bool held = std::find(under.begin(), under.end(), n) != under.end();
    if ((state >> 4) % 3 != 0) {
      index.Add(n);
      if (!held) {
        under.push_back(n);
      }
    } else {
      index.Remove(n);
      std::erase(under, n);
    }
    size_t count = 0;
    for (const auto& [id, held_notes] : model) {
      count += held_notes.size();
      ASSERT_EQ(index.Find(id), held_notes.empty() ? nullptr : held_notes.front()) << step;
      for (Node* h : held_notes) {
        ASSERT_TRUE(index.Has(h)) << step;
        ASSERT_EQ(index.Find(id, h->GetID().creator()), h) << step;
      }
    }
    ASSERT_EQ(index.size(), count) << step;
  }
}

TEST(NodeTest, NewNotesMirrorTheirIdUnsignedAndTakeTheDocumentCreator) {
  test::PinnedClock clock("2009-05-03T09:05:07");
  auto doc = test::MakeDocument("A");
  Node* a = test::At(doc.get(), "A");
  // Ids made since 1972 exceed 2^31; $ID must not read negative.
  EXPECT_GT(a->GetID().id(), 2'147'483'648u);
  EXPECT_EQ(a->GetString("ID"), std::to_string(a->GetID().id()));
  EXPECT_GT(a->GetDouble("ID"), 2'147'483'648.0);
  EXPECT_EQ(a->GetString("Creator"), "system");
  // A new note is drawn black, but stores no colour: it keeps inheriting `Color`.
  EXPECT_TRUE(a->DrawingColor().IsBlack());
  EXPECT_FALSE(a->HasImmediate("Color"));
  EXPECT_EQ(a->GetString("Color"), "cool gray");
  doc->Preferences().Set(DocumentPreferences::kCreator, Value::Create("ann"));
  Node* b = doc->MakeNode("B", nullptr, nullptr, 0, 0);
  EXPECT_EQ(b->GetID().creator(), "ann");
  EXPECT_EQ(doc->FindNode(b->GetID().id(), "ann"), b);
  EXPECT_EQ(doc->FindNode(b->GetID().id(), "system"), nullptr);
}

TEST(NodeTest, SetIdReindexesTheNote) {
  auto doc = test::MakeDocument("A\nB\nC");
  Node* a = test::At(doc.get(), "A");
  Node* b = test::At(doc.get(), "B");
  Node* c = test::At(doc.get(), "C");
  const uint32_t old_id = a->GetID().id();
  doc->Select(a);
  a->SetID(77, "kim");
  EXPECT_TRUE(doc->IsSelected(a));  // a new id is not a deletion
  EXPECT_EQ(doc->AllNodes().TitleList(), "Test, A, B, C");
  EXPECT_EQ(doc->FindNode(old_id), nullptr);
  EXPECT_EQ(doc->FindNode(77), a);
  EXPECT_EQ(a->GetString("Creator"), "kim");
  b->SetID(77, "lee");  // same number, other creator: both stay findable
  EXPECT_EQ(doc->FindNode(77, "lee"), b);
  EXPECT_EQ(doc->FindNode(77, "kim"), a);
  EXPECT_EQ(doc->FindNode(77), a);  // the first one indexed under the number
  // Leaving the number, from the middle and then from the front, keeps the order in
  // which the others were indexed.
  c->SetID(77, "max");
  b->SetID(79, "lee");
  EXPECT_EQ(doc->FindNode(77, "lee"), nullptr);
  EXPECT_EQ(doc->FindNode(77, "max"), c);
  EXPECT_EQ(doc->FindNode(77), a);
  a->SetID(78, "kim");
  EXPECT_EQ(doc->FindNode(77), c);
  EXPECT_EQ(doc->FindNode(77, "kim"), nullptr);
  EXPECT_EQ(doc->FindNode(78), a);
  EXPECT_EQ(doc->FindNode(79, "lee"), b);
}

TEST(NodeTest, NamesPathsAndCopyNames) {
  auto doc = test::MakeDocument("A\n  B\n    C");
  Node* c = test::At(doc.get(), "A/B/C");
  EXPECT_EQ(c->PathName(), "/A/B/C/");
  EXPECT_EQ(c->GetString("Path"), "/A/B/C");
  EXPECT_EQ(c->GetString("Container"), "/A/B/");
  EXPECT_EQ(doc->Root()->PathName(), "/");
  EXPECT_EQ(doc->Root()->Name(), "Test");  // the file name without extension
  EXPECT_EQ(c->SiblingOrder(), 1u);
  EXPECT_EQ(c->GetLong("OutlineDepth"), 3);

  const struct {
    const char* name;
    const char* copy;
  } kCases[] = {
      {"Plan", "Plan copy"},
      {"Plan copy", "Plan copy 1"},
      {"Plan copy 4", "Plan copy 5"},
      {"Plan copy 9", "Plan copy 10"},
      {"copy", "copy copy"},
      {"Plan copy x", "Plan copy x copy"},
      {"", " copy"},
      {"a copy of b copy 2", "a copy of b copy 3"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Node::MakeNameForCopy(c.name), c.copy) << c.name;
  }
}

TEST(NodeTest, ContainersIgnoreAdornments) {
  auto doc = test::MakeDocument("A\nB\n  C");
  Node* a = test::At(doc.get(), "A");
  doc->MakeNode(Hypertext::NoteKind::kAdornment, "shape", a, nullptr, 0, 0);
  EXPECT_FALSE(a->IsContainer());
  EXPECT_EQ(a->ChildCount(), 1u);
  EXPECT_TRUE(test::At(doc.get(), "B")->IsContainer());
  Node* agent = doc->MakeNode(Hypertext::NoteKind::kAgent, "finder", a, nullptr, 0, 0);
  EXPECT_TRUE(a->IsContainer());
  EXPECT_TRUE(agent->IsAgent());
  EXPECT_EQ(agent->XMLKind(), "agent");
  // A new agent is a 3 by 3 box kept out of export as a container; an agent read from a
  // file (a bare note) keeps whatever the file says, the registry's defaults otherwise.
  EXPECT_EQ(agent->GetDouble("Width"), 3.0);
  EXPECT_EQ(agent->GetDouble("Height"), 3.0);
  EXPECT_FALSE(agent->GetBoolean("HTMLExportChildren"));
  Node* bare = doc->MakeBareNode(Hypertext::NoteKind::kAgent);
  EXPECT_EQ(bare->GetDouble("Height"), 1.0);
  EXPECT_TRUE(bare->GetBoolean("HTMLExportChildren"));
}

TEST(NodeTest, CloneCopiesValuesAndTextUnderANewIdentity) {
  test::PinnedClock clock("2009-05-03T09:05:07");
  auto doc = test::MakeDocument("Plan");
  Node* plan = test::At(doc.get(), "Plan");
  plan->Set("Color", "red");
  plan->SetText("first line");
  clock.Set("2010-01-01T00:00:00");
  Node* copy = plan->Clone(false);
  EXPECT_EQ(copy->Name(), "Plan copy");
  EXPECT_EQ(copy->GetString("Color"), "red");
  EXPECT_EQ(copy->GetText(), "first line");
  EXPECT_NE(copy->GetID().id(), plan->GetID().id());
  EXPECT_EQ(copy->GetString("ID"), std::to_string(copy->GetID().id()));
  EXPECT_EQ(doc->FindNode(copy->GetID().id()), copy);
  EXPECT_GT(copy->GetDate("Created"), plan->GetDate("Created"));
  EXPECT_EQ(copy->Father(), nullptr);  // not yet placed
  copy->SetText("changed");
  EXPECT_EQ(plan->GetText(), "first line");
}

}  // namespace
}  // namespace fernweave
