#include "model/attribute.h"

#include <array>
#include <string>

#include <gtest/gtest.h>

#include "model/cnode.h"
#include "model/props.h"
#include "model/special_attributes.h"
#include "model/values.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

// The notes at `paths`, for structured bindings.
template <size_t N>
std::array<CNode*, N> Notes(Hypertext* doc, const char* const (&paths)[N]) {
  std::array<CNode*, N> notes;
  for (size_t i = 0; i < N; ++i) {
    notes[i] = static_cast<CNode*>(test::At(doc, paths[i]));
  }
  return notes;
}

TEST(AttributeTest, NamesAreNormalisedWhenDeclared) {
  const struct {
    const char* text;
    const char* name;
  } kCases[] = {
      {"Due date", "Duedate"}, {"a-b", "a_b"}, {"  x  y ", "xy"},
      {"$Cost", "_Cost"},      {"n\t1", "n1"},
      // By character: letters and digits of any script are kept, blanks of any script
      // dropped; a byte that is no character becomes "_".
      {"Caf\xc3\xa9\xc2\xa0\xd9\xa3", "Caf\xc3\xa9\xd9\xa3"}, {"\xe2\x80\x94\xff", "__"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Attribute::NormalizeName(c.text), c.name) << c.text;
  }
  auto doc = test::MakeDocument("A");
  Attribute* a = doc->Properties().CreateBasicAttribute("My Attr", kUserCategory, true,
                                                        AttributeType::kString);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->Name(), "MyAttr");
  EXPECT_EQ(doc->GetAttribute("MyAttr"), a);
  EXPECT_TRUE(a->IsUserAttribute());
  EXPECT_FALSE(doc->GetAttribute("Name")->IsUserAttribute());
}

TEST(AttributeTest, UnknownNamesResolveToTheNullAttribute) {
  auto doc = test::MakeDocument("A");
  Node* a = test::At(doc.get(), "A");
  Attribute* none = a->GetAttribute("Nope");
  EXPECT_EQ(none->Name(), "NoSuchAttribute");
  EXPECT_FALSE(none->IsValid());
  EXPECT_FALSE(a->HasAttribute("Nope"));
  a->Set("Nope", "x");
  EXPECT_EQ(a->GetString("Nope"), "");
  EXPECT_FALSE(a->HasImmediate("Nope"));
  EXPECT_EQ(a->GetAttribute("$Color"), a->GetAttribute("Color"));
  EXPECT_FALSE(a->HasAttribute("System"));  // a category holds no values
  EXPECT_FALSE(a->HasAttribute("User"));
  EXPECT_FW_ERROR(a->Set(static_cast<const Attribute*>(nullptr), Value::Create("x")), "nilP");
  EXPECT_FW_ERROR(doc->Properties().AddAttribute(nullptr), "asrt");
  EXPECT_FW_ERROR(doc->Properties().NewlyCreated(nullptr), "asrt");
}

TEST(AttributeTest, RegistryKeepsNamesUniqueAndCategoriesSorted) {
  auto doc = test::MakeDocument();
  Props& props = doc->Properties();
  Attribute* zeta = props.CreateBasicAttribute("Zeta", kUserCategory, true, AttributeType::kNumber);
  Attribute* alpha =
      props.CreateBasicAttribute("alpha", kUserCategory, true, AttributeType::kString);
  Attribute* beta = props.CreateBasicAttribute("Beta", kUserCategory, true, AttributeType::kString);
  Attribute* user = props.Find(kUserCategory);
  std::string order;
  for (Attribute* a = user->Son(); a != nullptr; a = a->Brother()) {
    order += a->Name() + " ";
  }
  EXPECT_EQ(order, "Beta Zeta alpha ");  // byte-wise
  EXPECT_EQ(props.CreateBasicAttribute("Zeta", kUserCategory, true, AttributeType::kString), zeta);
  EXPECT_EQ(props.CreateBasicAttribute("Color", kUserCategory, true, AttributeType::kString),
            nullptr);  // exists in another category
  EXPECT_EQ(props.CreateBasicAttribute("New", "NoCategory", true, AttributeType::kString), nullptr);
  EXPECT_TRUE(props.Has(alpha));
  EXPECT_FALSE(props.Has(props.NoSuchAttribute()));
  props.RemoveAttribute(beta);
  EXPECT_EQ(props.Find("Beta"), nullptr);
  props.Clear();
  EXPECT_EQ(props.Find("Color"), nullptr);
  EXPECT_EQ(props.GetAttribute("Color")->Name(), "NoSuchAttribute");
}

TEST(AttributeTest, EffectiveValueComesFromTheNoteThenPrototypesThenTheDefault) {
  auto doc = test::MakeDocument("P1\nP2\nP3\nN");
  auto [p1, p2, p3, n] = Notes(doc.get(), {"P1", "P2", "P3", "N"});
  n->SetPrototypeCache(p1);
  p1->SetPrototypeCache(p2);
  p2->SetPrototypeCache(p3);
  const Attribute* color = doc->GetAttribute("Color");
  EXPECT_EQ(n->GetString("Color"), "cool gray");
  EXPECT_TRUE(n->UsesDefault(color));
  p3->Set("Color", "red");
  EXPECT_EQ(n->GetString("Color"), "red");
  EXPECT_FALSE(n->UsesDefault(color));
  EXPECT_FALSE(n->HasImmediate("Color"));
  p2->Set("Color", "blue");
  EXPECT_EQ(n->GetString("Color"), "blue");
  n->Set("Color", "green");
  EXPECT_EQ(n->GetString("Color"), "green");
  n->Remove("Color");
  EXPECT_EQ(n->GetString("Color"), "blue");
  // Not inheritable: the prototype's width never reaches the note.
  p1->SetDouble("Width", 9);
  EXPECT_EQ(n->Width(), 3);
  // A deleted prototype is skipped until it is restored.
  p2->Hide(true);
  EXPECT_EQ(n->GetString("Color"), "cool gray");
  p2->Hide(false);
  EXPECT_EQ(n->GetString("Color"), "blue");
}

TEST(AttributeTest, PrototypeChainsThatLoopStillEnd) {
  auto doc = test::MakeDocument("A\nB\nC");
  auto [a, b, c] = Notes(doc.get(), {"A", "B", "C"});
  a->SetPrototypeCache(b);
  b->SetPrototypeCache(a);  // back to the note asked
  EXPECT_EQ(a->GetString("Color"), "cool gray");
  b->SetPrototypeCache(c);
  c->SetPrototypeCache(b);  // a loop that never returns to a
  EXPECT_EQ(a->GetString("Color"), "cool gray");
  c->Set("Color", "red");
  EXPECT_EQ(a->GetString("Color"), "red");
  // A long loop: longer than the walk checks without remembering what it saw.
  std::vector<CNode*> ring;
  for (int i = 0; i < 50; ++i) {
    ring.push_back(static_cast<CNode*>(doc->MakeNode("r", nullptr, nullptr, 0, 0)));
  }
  for (size_t i = 0; i < ring.size(); ++i) {
    ring[i]->SetPrototypeCache(ring[(i + 1) % ring.size()]);
  }
  CNode* outside = static_cast<CNode*>(doc->MakeNode("o", nullptr, nullptr, 0, 0));
  outside->SetPrototypeCache(ring[0]);
  EXPECT_EQ(outside->GetString("Color"), "cool gray");
}

TEST(AttributeTest, TypedTextIsParsedByTheAttributeType) {
  auto doc = test::MakeDocument("A");
  Node* a = test::At(doc.get(), "A");
  Props& props = doc->Properties();
  props.CreateBasicAttribute("Cost", kUserCategory, true, AttributeType::kNumber);
  props.CreateBasicAttribute("Done", kUserCategory, true, AttributeType::kBoolean);
  const struct {
    const char* attribute;
    const char* text;
    const char* shown;
  } kCases[] = {
      {"Cost", "1,234", "1234"}, {"Cost", "1,234.5", "1234.5"}, {"Cost", "abc", "0"},
      {"Done", "no", "true"},    {"Done", "0", "false"},        {"Done", "false", "false"},
  };
  for (const auto& c : kCases) {
    a->Set(c.attribute, c.text);
    EXPECT_EQ(a->GetString(c.attribute), c.shown) << c.attribute << " " << c.text;
  }
}

TEST(AttributeTest, SetEditsAddRemoveAndToggleMembers) {
  auto doc = test::MakeDocument("A");
  Node* a = test::At(doc.get(), "A");
  doc->Properties().CreateBasicAttribute("Tags", kUserCategory, true, AttributeType::kSet);
  const struct {
    const char* edit;
    const char* result;
  } kSteps[] = {
      {"red;blue", "red;blue"}, {"+green", "red;blue;green"}, {"+red", "red;blue;green"},
      {"-blue", "red;green"},   {"~red;gold", "green;gold"},  {"-absent", "green;gold"},
      {"plain", "plain"},
  };
  for (const auto& s : kSteps) {
    a->SetSet("Tags", s.edit);
    EXPECT_EQ(a->GetString("Tags"), s.result) << s.edit;
  }
  a->SetSet("Name", "+x");  // not a set: replaces
  EXPECT_EQ(a->Name(), "+x");
}

TEST(AttributeTest, SequentialNumbersAndDateStampsOnNewNotes) {
  test::PinnedClock clock("2009-05-03T09:05:07");
  auto doc = test::MakeDocument("A\nB");
  Props& props = doc->Properties();
  Attribute* seq =
      props.CreateBasicAttribute("Number", kUserCategory, true, AttributeType::kNumber);
  seq->BeSequential(true);
  seq->Initialize(doc.get());
  Attribute* stamp = props.CreateBasicAttribute("When", kUserCategory, true, AttributeType::kDate);
  stamp->BeSequential(true);  // only numbers count in sequence
  stamp->Initialize(doc.get());
  EXPECT_EQ(test::At(doc.get(), "A")->GetLong("Number"), 1);
  EXPECT_EQ(test::At(doc.get(), "B")->GetLong("Number"), 2);
  Node* c = doc->MakeNode("C", nullptr, nullptr, 0, 0);
  EXPECT_EQ(c->GetLong("Number"), 3);
  Attribute* due = props.CreateBasicAttribute("Due", kUserCategory, true, AttributeType::kDate);
  Node* d = doc->MakeNode("D", nullptr, nullptr, 0, 0);
  EXPECT_FALSE(d->HasImmediate("Due"));  // a never default stamps nothing
  due->SetDefault(Value::ForDate(int64_t{3'000'000'000}));
  Node* e = doc->MakeNode("E", nullptr, nullptr, 0, 0);
  EXPECT_TRUE(e->HasImmediate("Due"));
  EXPECT_EQ(e->GetDate("Due"), 3'000'000'000);
  EXPECT_FALSE(e->HasImmediate("When") || test::At(doc.get(), "A")->HasImmediate("When"));
}

TEST(AttributeTest, PreferenceDefaultsAreReadLive) {
  auto doc = test::MakeDocument("A");
  Node* a = test::At(doc.get(), "A");
  EXPECT_EQ(a->GetString("TitleForegroundColor"), "");
  doc->Preferences().Set(11, Value::ForColor("#ff0000"));
  EXPECT_EQ(a->GetString("TitleForegroundColor"), "#ff0000");
  a->Set("TitleForegroundColor", "blue");
  EXPECT_EQ(a->GetString("TitleForegroundColor"), "blue");
  a->Remove("TitleForegroundColor");
  doc->Preferences().Set(11, nullptr);
  EXPECT_EQ(a->GetString("TitleForegroundColor"), "");
}

TEST(AttributeTest, ComputedAndReadOnlyAttributes) {
  auto doc = test::MakeDocument("A\n  B\n    C\n  D");
  auto [a, d] = Notes(doc.get(), {"A", "A/D"});
  a->SetText("three small words");
  const struct {
    const Node* note;
    const char* attribute;
    const char* value;
  } kCases[] = {
      {a, "ChildCount", "2"},   {a, "DescendantCount", "3"},  {a, "WordCount", "3"},
      {a, "Wordcount", "3"},    {a, "TextLength", "17"},      {d, "SiblingOrder", "2"},
      {d, "OutlineDepth", "2"}, {a, "InboundLinkCount", "0"}, {a, "Text", "three small words"},
      {a, "IsAlias", "false"},  {a, "DisplayName", "A"},      {a, "Path", "/A"},
      {d, "WordCount", "0"},    {d, "Wordcount", "0"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(c.note->GetString(c.attribute), c.value) << c.attribute;
  }
  a->Set("Text", "replaced");
  EXPECT_EQ(a->GetText(), "replaced");
}

TEST(AttributeTest, ReadOnlyAttributesIgnoreWritesAndResetsAndCreatorIsTheIdentity) {
  auto doc = test::MakeDocument("A\n  B\nOther");
  auto [a, other] = Notes(doc.get(), {"A", "Other"});
  a->SetBySystem(a->GetAttribute("ReadCount"), Value::ForInt(3));
  for (const char* name : {"Alias", "Created", "Modified", "ID", "ReadCount", "LastFetched",
                           "OutlineOrder", "ChildCount", "Path", "IsAlias", "DisplayName"}) {
    const std::string before = a->GetString(name);
    a->Set(name, std::to_string(other->GetID().id()));
    a->Remove(name);
    EXPECT_EQ(a->GetString(name), before) << name;
  }
  // A user attribute stays writable whatever its editable flag says.
  doc->Properties().CreateBasicAttribute("Locked", kUserCategory, false, AttributeType::kString);
  a->Set("Locked", "yes");
  EXPECT_EQ(a->GetString("Locked"), "yes");
  const uint32_t id = a->GetID().id();
  a->Set("Creator", "bob");
  EXPECT_EQ(doc->FindNode(id, "bob"), a);
  other->SetID(id, "eve");
  other->Set("Creator", "bob");  // would take A's identity: refused
  EXPECT_EQ(other->GetID().creator(), "eve");
  a->Remove("Creator");  // back to the creator of new notes
  EXPECT_EQ(a->GetString("Creator"), "system");
}

TEST(AttributeTest, WritingContainerMovesTheNote) {
  auto doc = test::MakeDocument("A\n  B\nC\n  E");
  auto [b, a, c] = Notes(doc.get(), {"A/B", "A", "C"});
  b->Set("Container", "/C");
  EXPECT_EQ(test::Dump(doc->Root()), "A\nC\n  E\n  B\n");
  b->Set("Container", "/../Missing");  // above the root: nowhere to make it
  EXPECT_EQ(b->Father()->Name(), "C");
  a->Set("Container", "/C/B");  // into itself? no: B lies outside A now
  EXPECT_EQ(test::Dump(doc->Root()), "C\n  E\n  B\n    A\n");
  c->Set("Container", "/C/B/A");  // inside the moved note: refused
  EXPECT_EQ(c->Father(), doc->Root());
  b->Set("Container", "");  // the root
  EXPECT_EQ(test::ChildNames(doc->Root()), "C B");
  // A missing target path is made; any path resolves, designators too.
  Node* e = test::At(doc.get(), "C/E");
  e->Set("Container", "/Made/Here");
  EXPECT_EQ(test::Dump(doc->Root()), "C\nB\n  A\nMade\n  Here\n    E\n");
  e->Set("Container", "C/");
  EXPECT_EQ(e->Father(), c);
  e->Set("Container", "/");
  EXPECT_EQ(e->Father(), doc->Root());
  a->Set("Container", "parent(/Made/Here)");
  EXPECT_EQ(a->Father()->Name(), "Made");
  // A refused move makes nothing along the path.
  Node* made = test::At(doc.get(), "Made");
  made->Set("Container", "/Made/Here/Brand/New");
  made->Set("Container", "/Made/A/Brand/New");
  EXPECT_EQ(test::Dump(doc->Root()), "C\nB\nMade\n  Here\n  A\nE\n");
  EXPECT_EQ(test::CheckInvariants(*doc), "");
}

TEST(AttributeTest, CopyingAttributesLeavesInheritableValuesBehind) {
  auto doc = test::MakeDocument("N\nM");
  auto [n, m] = Notes(doc.get(), {"N", "M"});
  n->Set("Color", "blue");   // inheritable: not copied
  n->SetDouble("Width", 7);  // not inheritable: copied
  m->CopyAttributesFrom(n);
  EXPECT_EQ(m->Width(), 7);
  EXPECT_EQ(m->GetString("Color"), "cool gray");
  m->CloneValue("Color", n);
  EXPECT_EQ(m->GetString("Color"), "blue");
}

}  // namespace
}  // namespace fernweave
