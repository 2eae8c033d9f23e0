#include "model/link_actions.h"

#include <memory>

#include <gtest/gtest.h>

#include "model/link_manager.h"
#include "model/node_actions.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

LinkRecord Record(Node* from, Node* to, const char* type = "") {
  LinkRecord record;
  record.source = from;
  record.dest = to;
  record.name = type;
  return record;
}

TEST(LinkActionsTest, CreateAndDeleteRoundTripAtTheSamePriority) {
  auto doc = test::MakeDocument("A\nB\nC");
  Node* a = test::At(doc.get(), "A");
  Node* b = test::At(doc.get(), "B");
  Node* c = test::At(doc.get(), "C");
  doc->CreateLink(Record(a, b, "first"));
  auto create = std::make_unique<CreateLinkAction>(doc.get(), Record(a, c, "second"));
  ASSERT_TRUE(doc->PostAction(std::move(create)));
  doc->CreateLink(Record(b, c, "third"));
  EXPECT_EQ(doc->LinkCount(), 3u);
  doc->UndoHistory().Undo();
  EXPECT_EQ(doc->Links().All().ToString(false), "A -> B [first]\nB -> C [third]\n");
  doc->UndoHistory().Redo();  // made again from the record, at the end of the list
  EXPECT_EQ(doc->Links().All().ToString(false),
            "A -> B [first]\nB -> C [third]\nA -> C [second]\n");

  Link* third = doc->Links().Get(1);
  ASSERT_TRUE(doc->PostAction(std::make_unique<DeleteLinkAction>(doc->Links().Get(0))));
  EXPECT_EQ(doc->LinkCount(), 2u);
  EXPECT_EQ(b->InboundLinkCount(), 0u);
  doc->UndoHistory().Undo();
  EXPECT_EQ(doc->Links().All().ToString(false),
            "A -> B [first]\nB -> C [third]\nA -> C [second]\n");
  EXPECT_EQ(doc->Links().Get(1), third);
  EXPECT_FW_ERROR(doc->PostAction(std::make_unique<CreateLinkAction>(doc.get(), LinkRecord())),
                  "nilP");
}

TEST(LinkActionsTest, EditingTheTypeToAndFromPrototypeMovesThePrototype) {
  auto doc = test::MakeDocument("P\nN");
  Node* p = test::At(doc.get(), "P");
  Node* n = test::At(doc.get(), "N");
  Link* link = doc->CreateLink(Record(p, n, "agree"));
  LinkEditAction::Fields f = LinkEditAction::FieldsOf(*link);
  f.name = "prototype";
  f.title = "t";
  ASSERT_TRUE(doc->PostAction(std::make_unique<LinkEditAction>(link, f)));
  EXPECT_EQ(n->GetPrototype(), p);
  EXPECT_EQ(link->Title(), "t");
  doc->UndoHistory().Undo();
  EXPECT_EQ(n->GetPrototype(), nullptr);
  EXPECT_EQ(link->Name(), "agree");
  EXPECT_EQ(link->Title(), "");
  doc->UndoHistory().Redo();
  EXPECT_EQ(n->GetPrototype(), p);
}

TEST(LinkActionsTest, ALinkToANoteInTheTrashSurvivesTheDeletionBeingLetGo) {
  auto doc = test::MakeDocument("A\nB");
  Node* a = test::At(doc.get(), "A");
  Node* b = test::At(doc.get(), "B");
  Link* link = doc->CreateLink(Record(a, b));
  doc->AttemptToDelete(b);
  ASSERT_TRUE(doc->PostAction(std::make_unique<DeleteLinkAction>(link)));
  EXPECT_EQ(doc->LinkCount(), 0u);
  doc->UndoHistory().Undo();
  EXPECT_EQ(doc->LinkCount(), 1u);
  EXPECT_TRUE(b->IsHidden());  // the link action took the hidden note over
  doc->PostAction(std::make_unique<RenameAction>(a, "Aa"));
  EXPECT_EQ(doc->LinkCount(), 0u);  // now B and its link are gone
  EXPECT_EQ(test::ChildNames(doc->Root()), "Aa");
}

}  // namespace
}  // namespace fernweave
