#include "model/attribute_actions.h"

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "model/alias_node.h"
#include "model/attribute.h"
#include "model/node_actions.h"
#include "model/props.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

// The names of the values the note stores itself, in stored order.
std::string StoredNames(const Node* n) {
  std::string out;
  for (const PropertyMap::Entry& e : n->Properties().entries()) {
    out += (out.empty() ? "" : " ") + e.attribute->Name();
  }
  return out;
}

Attribute* MakeUserAttribute(Hypertext* doc, const std::string& name, AttributeType type) {
  doc->PostAction(std::make_unique<CreateAttributeAction>(doc, name, "", false, type));
  return doc->Properties().Find(name);
}

TEST(CreateAttributeActionTest, UndoFreesTheNameAndRedoRegistersTheSameObject) {
  auto doc = test::MakeDocument("A\nB");
  auto action = std::make_unique<CreateAttributeAction>(doc.get(), "Due date", "5", true,
                                                        AttributeType::kNumber);
  CreateAttributeAction* create = action.get();
  ASSERT_TRUE(doc->PostAction(std::move(action)));
  Attribute* a = doc->Properties().Find("Duedate");
  ASSERT_EQ(a, create->Created());
  EXPECT_TRUE(a->IsUserAttribute());
  EXPECT_TRUE(a->IsEditable());
  // Sequential: existing notes are numbered from the default on.
  EXPECT_EQ(test::At(doc.get(), "A")->GetString("Duedate"), "6");
  EXPECT_EQ(test::At(doc.get(), "B")->GetString("Duedate"), "7");
  doc->UndoHistory().Undo();
  EXPECT_EQ(doc->Properties().Find("Duedate"), nullptr);
  EXPECT_TRUE(a->IsHidden());
  doc->UndoHistory().Redo();
  EXPECT_EQ(doc->Properties().Find("Duedate"), a);
  EXPECT_FALSE(a->IsHidden());
  // A taken name or an empty one is not postable.
  for (const char* name : {"Duedate", "Width", " "}) {
    EXPECT_FALSE(doc->PostAction(std::make_unique<CreateAttributeAction>(doc.get(), name, "", false,
                                                                         AttributeType::kString)))
        << name;
  }
}

TEST(CreateAttributeActionTest, ADiscardedUndoneCreationTakesItsNumbersAlong) {
  auto doc = test::MakeDocument("A\nB");
  doc->PostAction(
      std::make_unique<CreateAttributeAction>(doc.get(), "N", "", true, AttributeType::kNumber));
  Node* a = test::At(doc.get(), "A");
  ASSERT_NE(a->StoredValue(doc->Properties().Find("N")), nullptr);
  Attribute* n = doc->Properties().Find("N");
  doc->UndoHistory().Undo();
  doc->PostAction(std::make_unique<RenameAction>(a, "Aa"));
  EXPECT_EQ(a->StoredValue(n), nullptr);
  // The name is free for a new attribute of another type.
  Attribute* again = MakeUserAttribute(doc.get(), "N", AttributeType::kString);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(a->GetString("N"), "");
}

TEST(DeleteAttributeActionTest, ValuesWaitInTheNotesUntilTheDeletionIsFinal) {
  auto doc = test::MakeDocument("A\nB");
  Node* a = test::At(doc.get(), "A");
  Attribute* tag = MakeUserAttribute(doc.get(), "Tag", AttributeType::kString);
  a->Set(tag, "kept");
  ASSERT_TRUE(doc->PostAction(std::make_unique<DeleteAttributeAction>(doc.get(), tag)));
  EXPECT_FALSE(doc->HasAttribute("Tag"));
  EXPECT_EQ(a->GetString("Tag"), "");
  doc->UndoHistory().Undo();
  EXPECT_EQ(doc->Properties().Find("Tag"), tag);
  EXPECT_EQ(a->GetString("Tag"), "kept");
  doc->UndoHistory().Redo();
  // Another action makes the deletion final: the values go, the object stays (a note
  // hidden elsewhere could still key a value by it).
  doc->PostAction(std::make_unique<RenameAction>(a, "Aa"));
  EXPECT_EQ(a->StoredValue(tag), nullptr);
  EXPECT_EQ(tag->Name(), "Tag");
  // Built-in attributes cannot be deleted.
  EXPECT_FALSE(doc->PostAction(
      std::make_unique<DeleteAttributeAction>(doc.get(), doc->Properties().Find("Width"))));
  EXPECT_FW_ERROR(DeleteAttributeAction(doc.get(), nullptr), "nilP");
}

TEST(EditAttributeActionTest, RenamingKeepsStoredValuesInNameOrder) {
  auto doc = test::MakeDocument("A\nB");
  Node* a = test::At(doc.get(), "A");
  Attribute* zed = MakeUserAttribute(doc.get(), "Zed", AttributeType::kString);
  Attribute* mid = MakeUserAttribute(doc.get(), "Mid", AttributeType::kString);
  a->Set(zed, "z");
  a->Set(mid, "m");
  AliasNode* alias = AliasNode::CreateFor(a);
  alias->SetForwarding(false);
  alias->Set(zed, "own");  // an alias's own value stays its own
  alias->SetForwarding(true);
  const std::string before = StoredNames(a);
  ASSERT_NE(before.find("Mid"), std::string::npos);

  EditAttributeAction::Settings s = EditAttributeAction::SettingsOf(*zed);
  s.name = "Aaa";
  ASSERT_TRUE(doc->PostAction(std::make_unique<EditAttributeAction>(doc.get(), zed, s)));
  EXPECT_EQ(StoredNames(a).rfind("Aaa", 0), 0u) << StoredNames(a);  // now first
  EXPECT_EQ(a->GetString("Aaa"), "z");
  EXPECT_EQ(alias->StoredValue(zed)->AsString(), "own");
  EXPECT_FALSE(doc->HasAttribute("Zed"));
  // A value stored now lands in order too.
  a->Set(mid, "m2");
  EXPECT_EQ(a->GetString("Mid"), "m2");
  doc->UndoHistory().Undo();
  EXPECT_EQ(StoredNames(a), before);
  EXPECT_EQ(a->GetString("Zed"), "z");
  EXPECT_EQ(doc->Properties().Find("Zed"), zed);
  EXPECT_EQ(doc->Properties().Find("Aaa"), nullptr);
  // Renaming onto another attribute's name would hide one of them.
  s.name = "Mid";
  EXPECT_FALSE(doc->PostAction(std::make_unique<EditAttributeAction>(doc.get(), zed, s)));
  s = EditAttributeAction::SettingsOf(*zed);
  EXPECT_FALSE(doc->PostAction(std::make_unique<EditAttributeAction>(doc.get(), zed, s)));
}

TEST(EditAttributeActionTest, ChangingTheTypeConvertsThroughTheFileText) {
  auto doc = test::MakeDocument("A\nB\nC");
  Node* a = test::At(doc.get(), "A");
  Node* b = test::At(doc.get(), "B");
  Attribute* size = MakeUserAttribute(doc.get(), "Size", AttributeType::kNumber);
  Attribute* word = MakeUserAttribute(doc.get(), "Word", AttributeType::kString);
  a->Set(size, "3.5");
  b->Set(word, "abc");
  a->Set(word, "12");

  EditAttributeAction::Settings to_string = EditAttributeAction::SettingsOf(*size);
  to_string.type = AttributeType::kString;
  to_string.default_text = "none";
  doc->PostAction(std::make_unique<EditAttributeAction>(doc.get(), size, to_string));
  EXPECT_EQ(a->GetString("Size"), "3.5");
  EXPECT_EQ(a->StoredValue(size)->AsXML(), "3.5");
  EXPECT_EQ(b->GetString("Size"), "none");  // the new default

  EditAttributeAction::Settings to_number = EditAttributeAction::SettingsOf(*word);
  to_number.type = AttributeType::kNumber;
  doc->PostAction(std::make_unique<EditAttributeAction>(doc.get(), word, to_number));
  EXPECT_EQ(b->GetString("Word"), "0");
  EXPECT_EQ(a->GetDouble("Word"), 12);
  // Undo brings back the text a number could not hold.
  doc->UndoHistory().Undo();
  EXPECT_EQ(b->GetString("Word"), "abc");
  EXPECT_EQ(a->GetString("Word"), "12");
  EXPECT_TRUE(word->IsString());
  doc->UndoHistory().Redo();
  EXPECT_EQ(b->GetString("Word"), "0");
}

}  // namespace
}  // namespace fernweave
