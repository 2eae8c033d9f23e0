// Clippings: copying notes with fresh ids and pasting them, once or many times.

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "model/action.h"
#include "model/alias_node.h"
#include "model/link.h"
#include "model/link_manager.h"
#include "persist/node_paste_action.h"
#include "persist/orvex_reader.h"
#include "persist/orvex_writer.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

Link* AddLink(Hypertext* doc, Node* from, Node* to, const std::string& name) {
  LinkRecord record;
  record.add_to_document = true;
  record.source = from;
  record.dest = to;
  record.name = name;
  return doc->CreateLink(record);
}

TEST(ClippingTest, NestedNotesAreWrittenOnceWithReservedIds) {
  auto doc = test::MakeDocument("A\n  B\nC\nD");
  Node* a = test::At(doc.get(), "A");
  Node* b = test::At(doc.get(), "A/B");
  Node* c = test::At(doc.get(), "C");
  AddLink(doc.get(), b, c, "inside");                          // source inside the clipping
  AddLink(doc.get(), test::At(doc.get(), "D"), a, "outside");  // source outside
  NodeVector list;
  list.Add(c);
  list.Add(b);
  list.Add(a);
  const uint32_t before = NodeID::LastIdForTesting();
  OrvexWriter writer(*doc);
  std::ostringstream os;
  ASSERT_TRUE(writer.ToClip(os, list));
  const std::string clip = os.str();
  // A (with B inside it) before C; B once.
  EXPECT_LT(clip.find(">A<"), clip.find(">C<"));
  EXPECT_EQ(clip.find(">B<"), clip.rfind(">B<"));
  // Every number written was reserved: a new note takes none of them.
  const uint32_t mapped_a = writer.MappedID(a->GetID().id());
  const uint32_t mapped_b = writer.MappedID(b->GetID().id());
  const uint32_t mapped_c = writer.MappedID(c->GetID().id());
  EXPECT_GE(std::min({mapped_a, mapped_b, mapped_c}), before);
  EXPECT_GE(NodeID::LastIdForTesting(), before + 3);
  EXPECT_GT(NodeID::MakeUniqueNumber(), std::max({mapped_a, mapped_b, mapped_c}));
  EXPECT_NE(clip.find("sourceid=\"" + std::to_string(mapped_b) + "\""), std::string::npos);
  EXPECT_NE(clip.find("destid=\"" + std::to_string(mapped_c) + "\""), std::string::npos);
  EXPECT_EQ(clip.find("outside"), std::string::npos);
  EXPECT_EQ(clip.find("<macros"), std::string::npos);
}

TEST(ClippingTest, PastingTwiceGivesDistinctIdsAndKeepsLinksApart) {
  auto doc = test::MakeDocument("A\n  B\nTarget");
  Node* a = test::At(doc.get(), "A");
  AddLink(doc.get(), test::At(doc.get(), "A/B"), a, "up");
  const std::string clip = OrvexWriter::ClipToString(NodeVector(std::vector<Node*>{a}));
  Node* target = test::At(doc.get(), "Target");
  NodeVector first = OrvexReader::PasteClipping(clip, target, nullptr);
  NodeVector second = OrvexReader::PasteClipping(clip, target, nullptr);
  ASSERT_EQ(first.size(), 2u);
  ASSERT_EQ(second.size(), 2u);
  std::set<uint32_t> ids;
  for (Node* n : doc->AllNodes()) {
    EXPECT_TRUE(ids.insert(n->GetID().id()).second) << n->Name();
  }
  EXPECT_EQ(test::CheckInvariants(*doc), "");
  // Each copy's link joins that copy's own notes.
  for (const NodeVector* copy : {&first, &second}) {
    Node* pasted_a = (*copy)[0];
    Node* pasted_b = (*copy)[1];
    ASSERT_EQ(doc->Links().ListLinksFrom(pasted_b).size(), 1u);
    EXPECT_EQ(doc->Links().ListLinksFrom(pasted_b)[0]->DestNode(), pasted_a);
  }
  EXPECT_EQ(test::ChildNames(target), "A A");
}

TEST(ClippingTest, AliasInAClippingPastesAsAnAliasOfTheSameOriginal) {
  auto doc = test::MakeDocument("Orig\nBox");
  Node* orig = test::At(doc.get(), "Orig");
  Node* box = test::At(doc.get(), "Box");
  AliasNode* alias = AliasNode::CreateFor(orig, box, nullptr, 0, 0, false);
  ASSERT_NE(alias, nullptr);
  const std::string clip = OrvexWriter::ClipToString(NodeVector(std::vector<Node*>{alias}));
  NodeVector made = OrvexReader::PasteClipping(clip, doc->Root(), nullptr);
  ASSERT_EQ(made.size(), 1u);
  EXPECT_TRUE(made[0]->IsAlias());
  EXPECT_EQ(made[0]->GetOriginal(), orig);
  EXPECT_EQ(orig->Name(), "Orig");
}

TEST(ClippingTest, BadClippingsPasteNothing) {
  auto doc = test::MakeDocument("Box");
  Node* box = test::At(doc.get(), "Box");
  test::CollectingMessages messages;
  EXPECT_TRUE(OrvexReader::PasteClipping("", box, nullptr).empty());
  EXPECT_TRUE(OrvexReader::PasteClipping("<fernweave><item", box, nullptr).empty());
  EXPECT_TRUE(
      OrvexReader::PasteClipping("<fernweave version=\"3\"><item /></fernweave>", box, nullptr)
          .empty());
  EXPECT_EQ(messages.messages(), std::vector<std::string>{kNewerVersionMessage});
  // A clipping never changes the document's tables.
  const std::string clip =
      "<fernweave version=\"2\"><attrib Name=\"Width\" default=\"9\" /><item ID=\"5\" "
      "Creator=\"c\" /><links /><macros><macro name=\"m\">x</macro></macros></fernweave>";
  EXPECT_EQ(OrvexReader::PasteClipping(clip, box, nullptr).size(), 1u);
  EXPECT_EQ(doc->GetAttribute("Width")->GetTheDefaultValue()->AsDouble(), 3);
  EXPECT_EQ(doc->Records().GetMacro("m"), nullptr);
  EXPECT_EQ(test::CheckInvariants(*doc), "");
}

TEST(ClippingTest, NotesThatWouldLieTooDeepAreLeftOutOfThePaste) {
  auto doc = test::MakeDocument("");
  Node* deep = doc->Root();
  for (size_t depth = 1; depth < Hypertext::kMaxNoteDepth; ++depth) {
    deep->AddSon(doc->MakeBareNode(Hypertext::NoteKind::kNote));  // as the reader builds
    deep = deep->Son();
    doc->AddNode(deep);
  }
  test::CollectingMessages messages;
  const NodeVector pasted =
      OrvexReader::PasteClipping("<fernweave><item><item /></item></fernweave>", deep, nullptr);
  ASSERT_EQ(pasted.size(), 1u);
  EXPECT_EQ(pasted[0]->Son(), nullptr);
  EXPECT_EQ(messages.messages(),
            std::vector<std::string>{"Notes nested more than 9996 deep were left out of the paste."});
}

// The paste goes after the given note, and undoes and redoes as one action.
TEST(ClippingTest, PasteActionPlacesUndoesAndRedoes) {
  auto doc = test::MakeDocument("A\n  B\nBox\n  P\n  Q");
  const std::string clip =
      OrvexWriter::ClipToString(NodeVector(std::vector<Node*>{test::At(doc.get(), "A")}));
  Node* box = test::At(doc.get(), "Box");
  NodeVector made = NodePasteAction::Paste(clip, box, test::At(doc.get(), "Box/P"));
  ASSERT_EQ(made.size(), 2u);
  EXPECT_EQ(test::ChildNames(box), "P A Q");
  const uint32_t id = made[0]->GetID().id();
  doc->UndoHistory().Undo();
  EXPECT_EQ(test::ChildNames(box), "P Q");
  EXPECT_TRUE(made[0]->IsHidden());
  EXPECT_EQ(test::CheckInvariants(*doc), "");
  doc->UndoHistory().Redo();
  EXPECT_EQ(test::ChildNames(box), "P A Q");
  EXPECT_EQ(made[0]->GetID().id(), id);
  EXPECT_EQ(test::ChildNames(made[0]), "B");
  EXPECT_EQ(test::CheckInvariants(*doc), "");
  // A container that cannot take notes refuses the paste.
  EXPECT_TRUE(NodePasteAction::Paste(clip, nullptr, nullptr).empty());
}

}  // namespace
}  // namespace fernweave
