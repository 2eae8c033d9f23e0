#include "model/hypertext.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/alias_node.h"
#include "model/cnode.h"
#include "model/link.h"
#include "model/orvex.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

TEST(HypertextTest, ConstructionNamesTheRootAfterTheFile) {
  const struct {
    const char* file;
    const char* root;
  } kCases[] = {
      {"Notes.skep", "Notes"}, {"my.notes.skep", "my.notes"},
      {"plain", "plain"},      {".skep", "untitled"},
      {"", "untitled"},
  };
  for (const auto& c : kCases) {
    auto doc = Orvex::Create(c.file);
    EXPECT_EQ(doc->Root()->Name(), c.root) << c.file;
    EXPECT_TRUE(doc->PendingChanges().empty()) << c.file;  // built without reporting
    EXPECT_EQ(doc->FirstNode(), nullptr);
    EXPECT_TRUE(doc->HasNode(doc->Root()));
  }
  auto generic = Hypertext::Create("Generic.skep");
  EXPECT_EQ(generic->Root()->Name(), "Generic");
  Node* n = generic->MakeNode("a", nullptr, nullptr, 3, 4);
  EXPECT_EQ(n->Position(), (MapPoint{3, 4}));
  EXPECT_EQ(n->Width(), 0);  // the generic registry has no Width
}

TEST(HypertextTest, MakeNodePlacesAfterTheGivenNote) {
  auto doc = test::MakeDocument("A\nB");
  Node* a = test::At(doc.get(), "A");
  doc->MakeNode("C", nullptr, a, 0, 0);
  doc->MakeNode("D", nullptr, nullptr, 0, 0);
  EXPECT_EQ(test::ChildNames(doc->Root()), "D A C B");
  Node* e = doc->MakeNode("E", a, test::At(doc.get(), "B"), 0, 0);  // B is not A's child
  EXPECT_EQ(e->Father(), a);
  EXPECT_EQ(test::CheckInvariants(*doc), "");
}

TEST(HypertextTest, BareNotesWaitToBePlacedAndRegistered) {
  test::PinnedClock clock("2009-05-03T09:05:07");
  auto doc = test::MakeDocument("A");
  Node* bare = doc->MakeBareNode(Hypertext::NoteKind::kAgent);
  EXPECT_TRUE(bare->IsAgent());
  EXPECT_EQ(bare->Father(), nullptr);
  EXPECT_FALSE(doc->HasNode(bare));
  EXPECT_EQ(bare->Position(), (MapPoint{0, 0}));
  EXPECT_EQ(bare->Name(), "untitled");
  EXPECT_TRUE(bare->IsUntitled());
  EXPECT_EQ(bare->GetDate("Created"), bare->GetDate("Modified"));
  EXPECT_GT(bare->GetDate("Created"), 0);
  bare->SetID(4'000'000'000u, "reader");  // an id read from a file
  ASSERT_TRUE(bare->DoMoveToInternal(doc->Root(), test::At(doc.get(), "A"), MapPoint{2, 3}));
  doc->AddNode(bare);
  EXPECT_EQ(doc->FindNode(4'000'000'000u), bare);
  EXPECT_EQ(bare->GetString("ID"), "4000000000");
  EXPECT_EQ(test::CheckInvariants(*doc), "");
}

TEST(HypertextTest, FindNodeNamedTakesTheFirstLiveNoteInDocumentOrder) {
  auto doc = test::MakeDocument("X\n  Twin\nTwin\nroot");
  Node* nested = test::At(doc.get(), "X/Twin");
  Node* top = doc->Root()->Son()->Brother();
  EXPECT_EQ(doc->FindNodeNamed("Twin"), nested);
  nested->Hide(true);
  EXPECT_EQ(doc->FindNodeNamed("Twin"), top);
  EXPECT_EQ(doc->FindNodeNamed("twin"), nullptr);  // case matters
  EXPECT_EQ(doc->FindNodeNamed("Test"), nullptr);  // the root is never a match
  EXPECT_EQ(doc->FindNodeNamed("root"), top->Brother());
  top->Hide(true);
  EXPECT_EQ(doc->FindNodeNamed("Twin"), nullptr);
}

class ScriptedHooks : public DocumentHooks {
 public:
  bool ConfirmDelete(const Node& note) override {
    asked.push_back(note.Name());
    return answer;
  }
  bool answer = false;
  std::vector<std::string> asked;
};

TEST(HypertextTest, DeletingAContainerAsksFirst) {
  auto doc = test::MakeDocument("A\n  B\nC");
  ScriptedHooks hooks;
  doc->SetHooks(&hooks);
  Node* a = test::At(doc.get(), "A");
  Node* c = test::At(doc.get(), "C");
  EXPECT_FALSE(doc->AttemptToDelete(a));
  EXPECT_EQ(hooks.asked, std::vector<std::string>{"A"});
  EXPECT_FALSE(a->IsHidden());
  EXPECT_TRUE(doc->AttemptToDelete(c));  // a leaf is not asked about
  EXPECT_EQ(hooks.asked.size(), 1u);
  hooks.answer = true;
  EXPECT_TRUE(doc->AttemptToDelete(a));
  EXPECT_TRUE(test::At(doc.get(), "A") == nullptr);
  EXPECT_FALSE(doc->AttemptToDelete(doc->Root()));
  doc->SetHooks(nullptr);
  EXPECT_EQ(test::CheckInvariants(*doc), "");
}

TEST(HypertextTest, HidingTakesTheSubtreeOutAndShowingPutsItBack) {
  auto doc = test::MakeDocument("A\nB\n  C\n  D\nE");
  Node* b = test::At(doc.get(), "B");
  Node* c = test::At(doc.get(), "B/C");
  test::RecordingView view(doc.get());
  doc->Select(c);
  b->Hide(true);
  EXPECT_EQ(test::ChildNames(doc->Root()), "A E");
  EXPECT_TRUE(c->IsHidden());
  EXPECT_EQ(c->Father(), b);  // children stay attached to the deleted note
  EXPECT_FALSE(doc->IsSelected(c));
  EXPECT_FALSE(doc->HasNode(c));
  EXPECT_EQ(view.Joined(), "B:42 Test:2 C:40 D:40");
  EXPECT_EQ(test::CheckInvariants(*doc), "");
  view.Clear();
  b->Hide(false);
  EXPECT_EQ(test::ChildNames(doc->Root()), "A B E");
  EXPECT_TRUE(doc->HasNode(c));
  EXPECT_EQ(test::CheckInvariants(*doc), "");
  doc->SetCanEdit(false);
  b->Hide(true);  // a locked document cannot be changed
  EXPECT_FALSE(b->IsHidden());
}

TEST(HypertextTest, MovesIntoTheNoteOwnSubtreeAreRefused) {
  auto doc = test::MakeDocument("A\n  B\n    C\nD");
  Node* a = test::At(doc.get(), "A");
  Node* b = test::At(doc.get(), "A/B");
  Node* c = test::At(doc.get(), "A/B/C");
  Node* d = test::At(doc.get(), "D");
  EXPECT_FALSE(a->DoMoveTo(c, nullptr));
  EXPECT_FALSE(a->DoMoveTo(a, nullptr));
  EXPECT_FALSE(b->DoMoveToInternal(b, c, MapPoint{}));
  EXPECT_FALSE(d->DoMoveTo(a, c));  // c is not a child of a
  EXPECT_FALSE(d->DoMoveTo(nullptr, nullptr));
  EXPECT_EQ(test::Dump(doc->Root()), "A\n  B\n    C\nD\n");
  EXPECT_TRUE(c->DoMoveTo(d, nullptr));
  EXPECT_TRUE(a->DoMoveTo(d, c));
  EXPECT_EQ(test::Dump(doc->Root()), "D\n  C\n  A\n    B\n");
  EXPECT_EQ(test::CheckInvariants(*doc), "");
}

TEST(HypertextTest, DestroyingADeletedNoteReleasesItSafely) {
  auto doc = test::MakeDocument("A\n  B\nP\nC");
  Node* a = test::At(doc.get(), "A");
  Node* b = test::At(doc.get(), "A/B");
  auto* c = static_cast<CNode*>(test::At(doc.get(), "C"));
  c->SetPrototypeCache(b);
  AliasNode* alias = AliasNode::CreateFor(b, doc->Root(), nullptr, 0, 0, false);
  ASSERT_NE(alias, nullptr);
  a->Hide(true);
  doc->DestroyNode(b);  // b lies inside a deleted note: destroying a live note is refused
  doc->DestroyNode(a);
  EXPECT_EQ(c->PrototypeCache(), nullptr);
  EXPECT_EQ(alias->GetOriginal(), nullptr);
  EXPECT_EQ(alias->Name(), "");
  EXPECT_FW_ERROR(alias->GetContent(), "asrt");
  Node* p = test::At(doc.get(), "P");
  doc->DestroyNode(p);  // live: nothing happens
  EXPECT_EQ(test::At(doc.get(), "P"), p);
  // The note made last, and a note moved into a deleted one, which is refused.
  Node* last = doc->MakeNode("Last", nullptr, nullptr, 0, 0);
  last->Hide(true);
  EXPECT_FALSE(p->DoMoveTo(last, nullptr));
  doc->DestroyNode(last);
  EXPECT_EQ(test::CheckInvariants(*doc), "");
}

// Many notes at once (an agent dropping its aliases): nested, repeated, live and null
// entries in the list; links, aliases and prototype caches of the doomed go.
TEST(HypertextTest, DestroyingManyNotesAtOnce) {
  auto doc = test::MakeDocument("A\n  B\n    C\nP\nQ\nR");
  Node* a = test::At(doc.get(), "A");
  Node* b = test::At(doc.get(), "A/B");
  Node* c = test::At(doc.get(), "A/B/C");
  Node* p = test::At(doc.get(), "P");
  Node* q = test::At(doc.get(), "Q");
  Node* r = test::At(doc.get(), "R");
  static_cast<CNode*>(r)->SetPrototypeCache(c);
  AliasNode* alias = AliasNode::CreateFor(c, doc->Root(), nullptr, 0, 0, false);
  LinkRecord record;
  record.add_to_document = true;
  record.source = r;
  record.dest = q;
  ASSERT_NE(doc->CreateLink(record), nullptr);
  record.dest = b;
  ASSERT_NE(doc->CreateLink(record), nullptr);
  a->Hide(true);
  q->Hide(true);
  const size_t owned = doc->OwnedNodes().size();
  doc->DestroyNodes({c, a, nullptr, p, q, a, doc->Root()});
  EXPECT_EQ(doc->OwnedNodes().size(), owned - 4);  // A, B, C and Q; P is live
  EXPECT_EQ(test::At(doc.get(), "P"), p);
  EXPECT_EQ(alias->GetOriginal(), nullptr);
  EXPECT_EQ(static_cast<CNode*>(r)->PrototypeCache(), nullptr);
  EXPECT_EQ(doc->LinkCount(), 0u);
  EXPECT_EQ(test::CheckInvariants(*doc), "");
}

// A seeded random sequence of structural operations, checked against the tree
// invariants after every step.
TEST(HypertextTest, RandomOperationsKeepTheInvariants) {
  auto doc = test::MakeDocument();
  std::mt19937 random(20260);
  std::vector<Node*> made;
  std::vector<Node*> deleted;
  int restored = 0;
  int destroyed = 0;
  auto pick = [&random](const std::vector<Node*>& from) {
    return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(random)];
  };
  for (int step = 0; step < 3000; ++step) {
    const int op = std::uniform_int_distribution<int>(0, 12)(random);
    const std::vector<Node*> notes = doc->AllNodes().notes();
    Node* n = pick(notes);
    Node* m = pick(notes);
    switch (op) {
      case 0:
      case 1:
      case 2:
      case 10:
      case 11:
        if (Node* made_note = doc->MakeNode("n" + std::to_string(step), n, m, 0, 0)) {
          made.push_back(made_note);
        } else {
          ASSERT_FALSE(n->CanReceiveChildren());
        }
        break;
      case 3:
      case 4:
        n->DoMoveTo(m, nullptr);
        break;
      case 5:
        n->DoMoveTo(m->Father(), m);
        break;
      case 6:
        if (n != doc->Root()) {
          n->Hide(true);
          deleted.push_back(n);
        }
        break;
      case 7:
        if (!deleted.empty()) {
          Node* d = pick(deleted);
          d->Hide(false);  // comes back only when its old father is live
          restored += d->IsHidden() ? 0 : 1;
        }
        break;
      case 8:
        AliasNode::CreateFor(n);
        break;
      case 9:
        n->SortNow();
        n->Set("Sort", "Name");
        break;
      case 12:
        // The undo history forgets a deletion: the note and its subtree go for good.
        if (!deleted.empty()) {
          Node* d = pick(deleted);
          if (d->IsHidden() && d->Father() == nullptr) {
            std::vector<Node*> gone;
            for (Node* g = d; g != nullptr; g = g->NextWithin(d)) {
              gone.push_back(g);
            }
            std::erase_if(deleted, [&gone](Node* x) {
              return std::find(gone.begin(), gone.end(), x) != gone.end();
            });
            doc->DestroyNode(d);
            ++destroyed;
          }
        }
        break;
    }
    const std::string breach = test::CheckInvariants(*doc);
    ASSERT_EQ(breach, "") << "after step " << step << " (operation " << op << ")";
  }
  // The sequence exercised what it should: a sizeable tree, and deletions undone.
  EXPECT_GT(doc->NodeCount(), 50u);
  EXPECT_GT(restored, 20);
  EXPECT_GT(destroyed, 20);
}

}  // namespace
}  // namespace fernweave
