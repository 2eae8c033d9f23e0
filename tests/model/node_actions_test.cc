#include "model/node_actions.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/alias_node.h"
#include "model/link.h"
#include "model/link_manager.h"
#include "model/orvex.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

// Records what the creation asks of a view.
class RecordingCreationView : public NoteCreationView {
 public:
  void RevealContainer(Node* container) override { log.push_back("reveal " + container->Name()); }
  void OfferForNaming(Node* note) override { log.push_back("name " + note->Name()); }
  std::vector<std::string> log;
};

// Records every OnAdd run and, like an action "$Color=red", changes the note.
class RecordingOnAdd : public OnAddRunner {
 public:
  RecordingOnAdd() { previous_ = Install(this); }
  ~RecordingOnAdd() override { Install(previous_); }
  void RunOnAdd(Node* container, Node* note) override {
    runs.push_back(container->Name() + "<-" + note->Name());
    note->Set("Color", "red");
  }
  std::vector<std::string> runs;

 private:
  OnAddRunner* previous_;
};

Link* MakeLink(Hypertext* doc, Node* from, Node* to, const std::string& type = "") {
  LinkRecord record;
  record.source = from;
  record.dest = to;
  record.name = type;
  record.add_to_document = true;
  return doc->CreateLink(record);
}

TEST(NodeDeleteActionTest, UndoPutsTheNoteBackWithItsLinksAndAliases) {
  auto doc = test::MakeDocument("A\nB\n  B1\nC\nD");
  Node* b = test::At(doc.get(), "B");
  Node* c = test::At(doc.get(), "C");
  Node* d = test::At(doc.get(), "D");
  b->SetPosition(MapPoint{7.5, 2});
  AliasNode* alias = AliasNode::CreateFor(b, d, nullptr, 1, 1, false);
  ASSERT_NE(alias, nullptr);
  MakeLink(doc.get(), b, c);
  MakeLink(doc.get(), c, b);
  ASSERT_EQ(c->InboundLinkCount(), 1u);

  ASSERT_TRUE(doc->AttemptToDelete(b));
  EXPECT_EQ(test::ChildNames(doc->Root()), "A C D");
  EXPECT_EQ(d->Son(), nullptr);
  EXPECT_EQ(c->InboundLinkCount(), 0u);  // hidden with its source
  doc->UndoHistory().Undo();
  EXPECT_EQ(test::ChildNames(doc->Root()), "A B C D");
  EXPECT_EQ(b->ElderBrother(), test::At(doc.get(), "A"));
  EXPECT_EQ(b->Position(), (MapPoint{7.5, 2}));
  EXPECT_EQ(test::ChildNames(b), "B1");
  EXPECT_EQ(d->Son(), alias);
  EXPECT_EQ(c->InboundLinkCount(), 1u);
  EXPECT_EQ(c->OutboundLinkCount(), 1u);
  EXPECT_TRUE(b->IsSelected());
  doc->UndoHistory().Redo();
  EXPECT_TRUE(b->IsHidden());
  EXPECT_EQ(test::CheckInvariants(*doc), "");
}

TEST(NodeDeleteActionTest, DeletingAnAliasLeavesItsOriginal) {
  auto doc = test::MakeDocument("A\nB");
  Node* a = test::At(doc.get(), "A");
  AliasNode* alias = AliasNode::CreateFor(a);
  ASSERT_TRUE(doc->AttemptToDelete(alias));
  EXPECT_FALSE(a->IsHidden());
  EXPECT_TRUE(alias->IsHidden());
  doc->PostAction(std::make_unique<RenameAction>(a, "Aa"));  // frees the alias
  EXPECT_TRUE(doc->AliasesOf(a).empty());
  EXPECT_EQ(test::ChildNames(doc->Root()), "Aa B");
}

TEST(NodeCreateActionTest, UndoHidesAndRedoShowsAtTheSamePlace) {
  auto doc = test::MakeDocument("A\nB\nC");
  Node* a = test::At(doc.get(), "A");
  Node* b = test::At(doc.get(), "B");
  a->SetPosition(MapPoint{0, 0});
  b->SetPosition(MapPoint{4, 0});
  Node* made = doc->CreateSiblingFor(a);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(test::ChildNames(doc->Root()), "A untitled B C");
  const MapPoint placed = made->Position();
  EXPECT_EQ(placed, (MapPoint{2, 0}));  // between A and B
  doc->UndoHistory().Undo();
  EXPECT_TRUE(made->IsHidden());
  EXPECT_EQ(test::ChildNames(doc->Root()), "A B C");
  // Moving the neighbours would give a new computed place; Redo keeps the old one.
  b->SetPosition(MapPoint{10, 5});
  doc->UndoHistory().Redo();
  EXPECT_EQ(test::ChildNames(doc->Root()), "A untitled B C");
  EXPECT_EQ(made->Position(), placed);
  EXPECT_EQ(test::CheckInvariants(*doc), "");
}

TEST(NodeCreateActionTest, PrototypeOnAddAndViewInThatOrder) {
  auto doc = test::MakeDocument("Proto\nBox");
  Node* proto = test::At(doc.get(), "Proto");
  Node* box = test::At(doc.get(), "Box");
  proto->SetBoolean("IsPrototype", true);
  proto->Set("Width", "5");
  doc->SetDefaultPrototype(proto);
  RecordingOnAdd on_add;
  RecordingCreationView view;
  Node* made = doc->CreateNote(box, nullptr, &view);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->GetPrototype(), proto);
  EXPECT_EQ(on_add.runs, std::vector<std::string>{"Box<-untitled"});
  EXPECT_EQ(made->GetString("Color"), "red");
  EXPECT_EQ(view.log, (std::vector<std::string>{"reveal Box", "name untitled"}));
  EXPECT_TRUE(made->IsSelected());
  // Redo after undo does not run OnAdd again.
  doc->UndoHistory().Undo();
  doc->UndoHistory().Redo();
  EXPECT_EQ(on_add.runs.size(), 1u);
  Node* agent = doc->CreateAgent(nullptr, box);
  ASSERT_NE(agent, nullptr);
  EXPECT_TRUE(agent->IsAgent());
  EXPECT_EQ(agent->ElderBrother(), box);
  EXPECT_TRUE(doc->CreateAdornment(box, nullptr)->IsAdornment());
}

TEST(NodeCreateActionTest, EntryPointsPlaceTheNewNote) {
  auto doc = test::MakeDocument("A\n  A1\nB");
  Node* a = test::At(doc.get(), "A");
  EXPECT_EQ(doc->CreateChildFor(a)->ElderBrother(), test::At(doc.get(), "A/A1"));
  Node* at = doc->CreateAt(nullptr, MapPoint{3.5, 8});
  EXPECT_EQ(at->Position(), (MapPoint{3.5, 8}));
  EXPECT_EQ(at->Father(), doc->Root());
  EXPECT_EQ(at->Brother(), nullptr);
  EXPECT_EQ(doc->CreateSiblingFor(doc->Root()), nullptr);
  AliasNode* alias = AliasNode::CreateFor(a);
  EXPECT_EQ(doc->CreateChildFor(alias), nullptr);  // aliases hold no children
  doc->SetCanEdit(false);
  EXPECT_EQ(doc->CreateChildFor(a), nullptr);
  doc->SetCanEdit(true);
  EXPECT_EQ(test::CheckInvariants(*doc), "");
}

TEST(NodeDuplicateActionTest, CopiesOutboundLinksAndThePrototypeButNotPrototypeLinks) {
  auto doc = test::MakeDocument("Proto\nSrc\nT\nU");
  Node* proto = test::At(doc.get(), "Proto");
  Node* src = test::At(doc.get(), "Src");
  Node* t = test::At(doc.get(), "T");
  Node* u = test::At(doc.get(), "U");
  src->SetPrototype(proto, false);
  u->SetPrototype(src, false);  // Src is itself a prototype: that link is not copied
  MakeLink(doc.get(), src, t, "agree");
  MakeLink(doc.get(), t, src);  // inbound: not copied
  src->SetText("body");
  Node* copy = doc->Duplicate(src);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Name(), "Src copy");
  EXPECT_EQ(copy->GetText(), "body");
  EXPECT_EQ(copy->ElderBrother(), src);
  EXPECT_EQ(copy->GetPrototype(), proto);
  EXPECT_EQ(copy->OutboundLinkCount(), 1u);
  EXPECT_EQ(copy->InboundLinkCount(), 0u);
  EXPECT_EQ(doc->Links().ListLinksFrom(copy).ToString(false), "Src copy -> T [agree]\n");
  EXPECT_EQ(u->GetPrototype(), src);
  doc->UndoHistory().Undo();
  EXPECT_TRUE(copy->IsHidden());
  EXPECT_EQ(test::ChildNames(doc->Root()), "Proto Src T U");
  doc->UndoHistory().Redo();
  EXPECT_EQ(test::ChildNames(doc->Root()), "Proto Src Src copy T U");
  EXPECT_EQ(test::CheckInvariants(*doc), "");
}

TEST(NodePromoteDemoteTest, RoundTripsRestoreOrderAndPositions) {
  auto doc = test::MakeDocument("A\n  A1\n  A2\n  A3\nB\nC");
  Node* a = test::At(doc.get(), "A");
  std::vector<MapPoint> before;
  double x = 1;
  for (Node* c = a->Son(); c != nullptr; c = c->Brother(), x += 4) {
    c->SetPosition(MapPoint{x, 2});
    before.push_back(c->Position());
  }
  const std::string start = test::Dump(doc->Root());
  ASSERT_TRUE(doc->PostAction(std::make_unique<NodePromoteAction>(a)));
  EXPECT_EQ(test::ChildNames(doc->Root()), "A A1 A2 A3 B C");
  doc->UndoHistory().Undo();
  EXPECT_EQ(test::Dump(doc->Root()), start);
  size_t i = 0;
  for (Node* c = a->Son(); c != nullptr; c = c->Brother(), ++i) {
    EXPECT_EQ(c->Position(), before[i]) << c->Name();
  }
  doc->UndoHistory().Redo();
  EXPECT_EQ(test::ChildNames(doc->Root()), "A A1 A2 A3 B C");

  Node* a1 = test::At(doc.get(), "A1");
  const MapPoint a3_at = test::At(doc.get(), "A3")->Position();
  ASSERT_TRUE(doc->PostAction(std::make_unique<NodeDemoteAction>(a1)));
  EXPECT_EQ(test::ChildNames(doc->Root()), "A A1");
  EXPECT_EQ(test::ChildNames(a1), "A2 A3 B C");
  doc->UndoHistory().Undo();
  EXPECT_EQ(test::ChildNames(doc->Root()), "A A1 A2 A3 B C");
  EXPECT_EQ(test::At(doc.get(), "A3")->Position(), a3_at);
  // Nothing to promote or demote: not posted, the history keeps the demotion.
  EXPECT_FALSE(doc->PostAction(std::make_unique<NodePromoteAction>(test::At(doc.get(), "C"))));
  EXPECT_FALSE(doc->PostAction(std::make_unique<NodeDemoteAction>(test::At(doc.get(), "C"))));
  EXPECT_EQ(doc->UndoHistory().Current()->GetDescription(), 14);
  EXPECT_EQ(test::CheckInvariants(*doc), "");
}

TEST(NodeMoveActionTest, MovesAndMovesBack) {
  auto doc = test::MakeDocument("A\nB\n  B1\nC");
  Node* a = test::At(doc.get(), "A");
  Node* b = test::At(doc.get(), "B");
  Node* c = test::At(doc.get(), "C");
  c->SetPosition(MapPoint{9, 9});
  ASSERT_TRUE(doc->PostAction(
      std::make_unique<NodeMoveAction>(c, b, test::At(doc.get(), "B/B1"), MapPoint{1, 1})));
  EXPECT_EQ(test::ChildNames(b), "B1 C");
  EXPECT_EQ(c->Position(), (MapPoint{1, 1}));
  doc->UndoHistory().Undo();
  EXPECT_EQ(test::ChildNames(doc->Root()), "A B C");
  EXPECT_EQ(c->Position(), (MapPoint{9, 9}));
  // Refused: into its own subtree, the root, an elder of another parent.
  EXPECT_FALSE(
      doc->PostAction(std::make_unique<NodeMoveAction>(b, test::At(doc.get(), "B/B1"), nullptr)));
  EXPECT_FALSE(doc->PostAction(std::make_unique<NodeMoveAction>(doc->Root(), a, nullptr)));
  EXPECT_FALSE(doc->PostAction(std::make_unique<NodeMoveAction>(c, a, b)));
  EXPECT_EQ(test::CheckInvariants(*doc), "");
}

TEST(RenameAndColorActionTest, UndoRestoresWhatTheNoteStored) {
  auto doc = test::MakeDocument("A\nB");
  Node* a = test::At(doc.get(), "A");
  AliasNode* alias = AliasNode::CreateFor(a);
  doc->PostAction(std::make_unique<RenameAction>(alias, "Renamed"));
  EXPECT_EQ(a->Name(), "Renamed");
  doc->UndoHistory().Undo();
  EXPECT_EQ(a->Name(), "A");
  EXPECT_FALSE(doc->PostAction(std::make_unique<RenameAction>(a, "A")));  // no change

  const std::string inherited = a->GetString("Color");
  doc->PostAction(std::make_unique<NodeColorAction>(a, "#ff0000"));
  EXPECT_EQ(a->GetString("Color"), "#ff0000");
  doc->UndoHistory().Undo();
  EXPECT_FALSE(a->HasImmediate("Color"));  // inherits again, stores nothing
  EXPECT_EQ(a->GetString("Color"), inherited);
  a->Set("Color", "blue");
  doc->PostAction(std::make_unique<NodeColorAction>(a, "green"));
  doc->UndoHistory().Undo();
  EXPECT_EQ(a->GetString("Color"), "blue");
}

TEST(NoteActionTest, NamesTheNewNoteFromTheText) {
  const struct {
    const char* text;
    size_t start, length;
    const char* name;
  } kCases[] = {
      {"Hello world", 6, 5, "world"},
      {"  two\rlines  here ", 0, 100, "two lines here"},
      {"caf\xC3\xA9 \xF0\x9F\x98\x80 end", 5, 2, "\xF0\x9F\x98\x80"},  // UTF-16 units
      {"short", 9, 2, ""},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(NoteAction::NameFromText(c.text, c.start, c.length), c.name) << c.text;
  }
  auto doc = test::MakeDocument("A\nB");
  Node* a = test::At(doc.get(), "A");
  a->SetText("Buy milk today");
  Node* sibling = doc->MakeNote(a, 4, 4);
  ASSERT_NE(sibling, nullptr);
  EXPECT_EQ(test::ChildNames(doc->Root()), "A milk B");
  Node* inside = doc->MakeNoteInside(a, 0, 3);
  EXPECT_EQ(test::ChildNames(a), "Buy");
  doc->UndoHistory().Undo();
  EXPECT_TRUE(inside->IsHidden());
  EXPECT_EQ(doc->MakeNote(a, 0, 0), nullptr);  // an empty range names nothing
  EXPECT_EQ(test::CheckInvariants(*doc), "");
}

}  // namespace
}  // namespace fernweave
