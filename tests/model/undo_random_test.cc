// A long seeded sequence of posts, undos and redos over one document, with the tree
// invariants checked after every step. Under the address sanitizer a note destroyed
// while an action still refers to it, or destroyed twice, fails here.

#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/action.h"
#include "model/alias_node.h"
#include "model/attribute_actions.h"
#include "model/cleanup_actions.h"
#include "model/link.h"
#include "model/link_actions.h"
#include "model/link_manager.h"
#include "model/node_actions.h"
#include "model/orvex.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

class Driver {
 public:
  explicit Driver(uint32_t seed) : rng_(seed), doc_(test::MakeDocument("A\n  A1\n  A2\nB\nC")) {}

  // A live note other than the root, or the root when there is none.
  Node* AnyNote() {
    NodeVector all = doc_->AllNodes();
    std::vector<Node*> notes;
    for (Node* n : all) {
      if (n != doc_->Root()) {
        notes.push_back(n);
      }
    }
    if (notes.empty()) {
      return doc_->Root();
    }
    return notes[Pick(notes.size())];
  }
  // Any note the document owns, hidden ones too (actions must refuse what they cannot
  // do with them).
  Node* AnyOwned() {
    std::vector<Node*> owned = doc_->OwnedNodes();
    return owned[Pick(owned.size())];
  }
  size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }

  std::string Step(int step) {
    Node* n = AnyNote();
    switch (Pick(16)) {
      case 0:
        doc_->UndoHistory().Undo();
        return "undo";
      case 1:
        doc_->UndoHistory().Redo();
        return "redo";
      case 2:
        doc_->AttemptToDelete(n);
        return "delete " + n->Name();
      case 3:
        doc_->CreateChildFor(n);
        return "child of " + n->Name();
      case 4:
        doc_->CreateSiblingFor(n);
        return "sibling of " + n->Name();
      case 5:
        doc_->Duplicate(n);
        return "duplicate " + n->Name();
      case 6: {
        Node* to = AnyNote();
        doc_->PostAction(std::make_unique<NodeMoveAction>(n, to, to->YoungestSon()));
        return "move " + n->Name() + " into " + to->Name();
      }
      case 7: {
        // Out of the trash, perhaps: a hidden note moved under a live one.
        Node* hidden = AnyOwned();
        if (hidden == doc_->Root()) {
          return "nothing";
        }
        doc_->PostAction(std::make_unique<NodeMoveAction>(hidden, doc_->Root(), nullptr));
        return "restore by move";
      }
      case 8:
        doc_->PostAction(std::make_unique<NodePromoteAction>(n));
        return "promote " + n->Name();
      case 9:
        doc_->PostAction(std::make_unique<NodeDemoteAction>(n));
        return "demote " + n->Name();
      case 10:
        doc_->PostAction(std::make_unique<RenameAction>(n, "n" + std::to_string(step)));
        return "rename";
      case 11:
        if (n != doc_->Root()) {
          AliasNode::CreateFor(n);
        }
        return "alias of " + n->Name();
      case 12: {
        if (n == doc_->Root()) {
          return "nothing";
        }
        if (doc_->LinkCount() > 0 && Pick(2) == 0) {
          Link* link = doc_->Links().Get(Pick(doc_->LinkCount()));
          doc_->PostAction(std::make_unique<DeleteLinkAction>(link));
          return "delete link";
        }
        LinkRecord record;
        record.source = n;
        record.dest = AnyNote();
        doc_->PostAction(std::make_unique<CreateLinkAction>(doc_.get(), record));
        return "link";
      }
      case 13:
        doc_->PostAction(std::make_unique<NodeCleanupAction>(n, 0.5, step % 2 == 0));
        return "cleanup";
      case 14: {
        const std::string name = "U" + std::to_string(Pick(3));
        Attribute* a = doc_->Properties().Find(name);
        if (a == nullptr) {
          doc_->PostAction(std::make_unique<CreateAttributeAction>(doc_.get(), name, "", false,
                                                                   AttributeType::kNumber));
        } else if (Pick(2) == 0) {
          n->Set(a, std::to_string(step));
          doc_->PostAction(std::make_unique<DeleteAttributeAction>(doc_.get(), a));
        } else {
          EditAttributeAction::Settings s = EditAttributeAction::SettingsOf(*a);
          s.type =
              s.type == AttributeType::kNumber ? AttributeType::kString : AttributeType::kNumber;
          doc_->PostAction(std::make_unique<EditAttributeAction>(doc_.get(), a, s));
        }
        return "attribute";
      }
      default:
        doc_->MakeNote(n, 0, 3);
        return "make note";
    }
  }

  Orvex* doc() { return doc_.get(); }

 private:
  std::mt19937 rng_;
  std::unique_ptr<Orvex> doc_;
};

TEST(UndoRandomTest, ThousandsOfStepsKeepTheDocumentSound) {
  for (uint32_t seed : {1u, 7u, 2024u}) {
    Driver driver(seed);
    size_t last_owned = driver.doc()->OwnedNodes().size();
    int freed = 0;
    for (int step = 0; step < 1500; ++step) {
      const std::string what = driver.Step(step);
      ASSERT_EQ(test::CheckInvariants(*driver.doc()), "")
          << "seed " << seed << " step " << step << ": " << what;
      // Every link held is between notes the document still owns.
      const std::vector<Node*> owned_list = driver.doc()->OwnedNodes();
      const std::set<const Node*> owned(owned_list.begin(), owned_list.end());
      freed += owned_list.size() < last_owned ? 1 : 0;
      last_owned = owned_list.size();
      for (Link* link : driver.doc()->Links().All()) {
        ASSERT_TRUE(owned.count(link->SourceNode()) == 1 && owned.count(link->DestNode()) == 1)
            << "seed " << seed << " step " << step << ": " << what;
      }
    }
    EXPECT_GT(freed, 20) << seed;  // the sequence did discard deletions and creations
    // Let the last action go, then close the document.
    driver.doc()->UndoHistory().Clear();
    EXPECT_EQ(test::CheckInvariants(*driver.doc()), "") << seed;
  }
}

}  // namespace
}  // namespace fernweave
