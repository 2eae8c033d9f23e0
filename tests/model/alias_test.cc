#include <gtest/gtest.h>

#include "model/alias_node.h"
#include "model/content.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

TEST(AliasTest, CreateForPlacesTheAliasBesideItsOriginal) {
  auto doc = test::MakeDocument("A\nB");
  Node* a = test::At(doc.get(), "A");
  a->SetPosition(MapPoint{2, 5});
  test::RecordingView view(doc.get());
  AliasNode* alias = AliasNode::CreateFor(a);
  ASSERT_NE(alias, nullptr);
  EXPECT_EQ(test::ChildNames(doc->Root()), "A A B");
  EXPECT_EQ(alias->Position(), (MapPoint{5.5, 5}));  // x + width 3 + 0.5
  EXPECT_TRUE(alias->IsAliasFor(a));
  EXPECT_EQ(alias->GetAliasID(), a->GetID().id());
  EXPECT_EQ(alias->GetUnsignedLong("Alias"), a->GetID().id());
  EXPECT_NE(alias->GetID().id(), a->GetID().id());
  EXPECT_EQ(alias->GetString("ID"), std::to_string(alias->GetID().id()));
  EXPECT_TRUE(alias->GetBoolean("IsAlias"));
  EXPECT_EQ(alias->XMLKind(), "alias");
  EXPECT_NE(view.Joined().find("Test:2"), std::string::npos);
  EXPECT_EQ(test::CheckInvariants(*doc), "");
}

TEST(AliasTest, WhatCannotBeAliasedOrHoldChildren) {
  auto doc = test::MakeDocument("A\nB\nC");
  Node* a = test::At(doc.get(), "A");
  Node* b = test::At(doc.get(), "B");
  Node* c = test::At(doc.get(), "C");
  EXPECT_FW_ERROR(AliasNode::CreateFor(nullptr), "asrt");
  EXPECT_EQ(AliasNode::CreateFor(doc->Root()), nullptr);
  c->Hide(true);
  EXPECT_EQ(AliasNode::CreateFor(c), nullptr);
  AliasNode* first = AliasNode::CreateFor(a);
  AliasNode* second = AliasNode::CreateFor(first);  // an alias of an alias
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->GetOriginal(), a);
  EXPECT_FALSE(first->CanBeAliased());
  EXPECT_EQ(test::ChildNames(doc->Root()), "A A A B");
  // Nothing can be placed inside an alias.
  EXPECT_FALSE(b->DoMoveTo(first, nullptr));
  EXPECT_EQ(doc->MakeNode("D", first, nullptr, 0, 0), nullptr);
  EXPECT_EQ(AliasNode::CreateFor(b, first, nullptr, 0, 0, false), nullptr);
  EXPECT_EQ(first->Son(), nullptr);
}

TEST(AliasTest, SharedValuesAndOwnPlace) {
  test::PinnedClock clock("2009-05-03T09:05:07");
  auto doc = test::MakeDocument("Original\nFolder");
  Node* original = test::At(doc.get(), "Original");
  Node* folder = test::At(doc.get(), "Folder");
  doc->Properties().CreateBasicAttribute("Owner", kUserCategory, true, AttributeType::kString);
  original->SetText("shared text");
  clock.Set("2012-01-01T00:00:00");
  AliasNode* alias = AliasNode::CreateFor(original, folder, nullptr, 7, 8, true);
  ASSERT_NE(alias, nullptr);
  EXPECT_TRUE(doc->IsSelected(alias));
  EXPECT_EQ(alias->Position(), (MapPoint{7, 8}));
  EXPECT_EQ(alias->GetDate("Created"), original->GetDate("Created"));
  // The name follows later renames of the original, and writing it on the alias
  // renames the original.
  original->SetName("Renamed");
  EXPECT_EQ(alias->Name(), "Renamed");
  alias->SetName("Again");
  EXPECT_EQ(original->Name(), "Again");
  EXPECT_FALSE(alias->HasImmediate("Name"));
  // User attributes and colour are shared; position and size are the alias's own.
  alias->Set("Owner", "kim");
  EXPECT_EQ(original->GetString("Owner"), "kim");
  alias->Set("Color", "red");
  EXPECT_EQ(original->GetString("Color"), "red");
  alias->SetPosition(MapPoint{40, 41});
  EXPECT_EQ(original->Position(), (MapPoint{0, 0}));
  alias->SetDouble("Width", 12);
  EXPECT_EQ(original->Width(), 3);
  // Resetting on the alias resets the original; its own place stays.
  alias->Remove("Owner");
  EXPECT_EQ(original->GetString("Owner"), "");
  alias->Remove("Xpos");
  EXPECT_EQ(alias->Position().x, 0);
  EXPECT_EQ(original->Position(), (MapPoint{0, 0}));
  alias->Remove("Name");  // the name is the original's: resetting it resets the original
  EXPECT_EQ(original->Name(), "untitled");
  original->SetName("Again");
  // The text is the original's.
  EXPECT_EQ(alias->GetText(), "shared text");
  alias->SetText("edited through the alias");
  EXPECT_EQ(original->GetText(), "edited through the alias");
  EXPECT_EQ(alias->GetContent(), original->GetContent());
  // Modified comes from the original only.
  clock.Set("2013-01-01T00:00:00");
  original->HasBeenModified();
  EXPECT_EQ(alias->GetDate("Modified"), original->GetDate("Modified"));
  const int64_t before = original->GetDate("Modified");
  clock.Set("2014-01-01T00:00:00");
  alias->HasBeenModified();  // an edit through the alias dates the original
  EXPECT_GT(original->GetDate("Modified"), before);
}

TEST(AliasTest, PrototypesAreTheOriginals) {
  auto doc = test::MakeDocument("P\nQ\nN");
  auto* p = static_cast<CNode*>(test::At(doc.get(), "P"));
  auto* q = static_cast<CNode*>(test::At(doc.get(), "Q"));
  auto* n = static_cast<CNode*>(test::At(doc.get(), "N"));
  p->Set("Color", "red");
  q->Set("Color", "blue");
  n->SetPrototypeCache(p);
  AliasNode* alias = AliasNode::CreateFor(n);
  alias->SetPrototypeCache(q);  // never consulted
  EXPECT_EQ(alias->GetPrototype(), p);
  EXPECT_EQ(alias->GetString("Color"), "red");
  EXPECT_EQ(alias->GetString("Prototype"), "P");
}

TEST(AliasTest, DeletingAnOriginalHidesItsAliasesAndRestoringShowsThem) {
  auto doc = test::MakeDocument("A\n  Keep\nB\nC");
  Node* a = test::At(doc.get(), "A");
  Node* keep = test::At(doc.get(), "A/Keep");
  Node* b = test::At(doc.get(), "B");
  Node* c = test::At(doc.get(), "C");
  AliasNode* in_b = AliasNode::CreateFor(keep, b, nullptr, 0, 0, false);
  AliasNode* in_c = AliasNode::CreateFor(keep, c, nullptr, 0, 0, false);
  AliasNode* deleted_alone = AliasNode::CreateFor(keep, c, in_c, 0, 0, false);
  deleted_alone->Hide(true);
  a->Hide(true);
  EXPECT_TRUE(in_b->IsHidden());
  EXPECT_TRUE(in_c->IsHidden());
  EXPECT_EQ(b->Son(), nullptr);
  EXPECT_EQ(test::CheckInvariants(*doc), "");
  in_b->Hide(false);  // not without its original
  EXPECT_TRUE(in_b->IsHidden());
  a->Hide(false);
  EXPECT_FALSE(in_b->IsHidden());
  EXPECT_EQ(in_b->Father(), b);
  EXPECT_EQ(in_c->Father(), c);
  EXPECT_TRUE(deleted_alone->IsHidden());  // deleted on its own: stays deleted
  EXPECT_EQ(test::CheckInvariants(*doc), "");
}

TEST(AliasTest, AliasesInsideTheDeletedSubtreeGoWithIt) {
  auto doc = test::MakeDocument("A\n  O\n  X");
  Node* a = test::At(doc.get(), "A");
  Node* o = test::At(doc.get(), "A/O");
  Node* x = test::At(doc.get(), "A/X");
  AliasNode* alias = AliasNode::CreateFor(o, x, nullptr, 0, 0, false);
  a->Hide(true);
  EXPECT_TRUE(alias->IsHidden());
  EXPECT_EQ(alias->Father(), x);  // still inside the deleted subtree
  a->Hide(false);
  EXPECT_FALSE(alias->IsHidden());
  EXPECT_EQ(alias->Father(), x);
  EXPECT_EQ(test::CheckInvariants(*doc), "");
}

TEST(AliasTest, AnAliasWaitsForItsDeletedOriginal) {
  auto doc = test::MakeDocument("Box\nO");
  Node* box = test::At(doc.get(), "Box");
  Node* o = test::At(doc.get(), "O");
  AliasNode* alias = AliasNode::CreateFor(o, box, nullptr, 0, 0, false);
  box->Hide(true);
  o->Hide(true);
  box->Hide(false);  // the box returns, but its alias of a deleted note does not
  EXPECT_TRUE(alias->IsHidden());
  EXPECT_EQ(box->Son(), nullptr);
  EXPECT_EQ(test::CheckInvariants(*doc), "");
  o->Hide(false);
  EXPECT_EQ(alias->Father(), box);
  EXPECT_FALSE(alias->IsHidden());
  EXPECT_EQ(test::CheckInvariants(*doc), "");
}

TEST(AliasTest, CopyingAnAliasMakesAnotherAliasOfTheOriginal) {
  auto doc = test::MakeDocument("A");
  Node* a = test::At(doc.get(), "A");
  AliasNode* alias = AliasNode::CreateFor(a);
  Node* copy = alias->Clone(false);
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(copy->IsAliasFor(a));
  EXPECT_EQ(copy->Name(), "A");
  EXPECT_EQ(a->Name(), "A");
}

}  // namespace
}  // namespace fernweave
