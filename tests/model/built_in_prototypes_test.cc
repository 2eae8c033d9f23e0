#include "model/built_in_prototypes.h"

#include <string>

#include <gtest/gtest.h>

#include "model/ht_path.h"
#include "model/orvex.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

// The values a note stores itself, for the listed attributes: "Name=value;...".
std::string Own(const Node* n, std::initializer_list<const char*> attributes) {
  std::string out;
  for (const char* a : attributes) {
    out += std::string(a) + "=" + (n->HasImmediate(a) ? n->GetString(a) : "<none>") + ";";
  }
  return out;
}

TEST(BuiltInPrototypesTest, EachPrototypeGetsItsValuesInsideTheContainer) {
  auto doc = test::MakeDocument("A");
  BuiltInPrototypes built_in(doc.get());
  EXPECT_FALSE(built_in.HasContainer());
  EXPECT_FALSE(built_in.HasPersonPrototype());

  Node* person = built_in.ForPerson();
  ASSERT_NE(person, nullptr);
  EXPECT_TRUE(built_in.HasContainer());
  EXPECT_TRUE(built_in.HasPersonPrototype());
  Node* container = test::At(doc.get(), "Prototypes");
  ASSERT_NE(container, nullptr);
  EXPECT_EQ(person->Father(), container);
  EXPECT_EQ(Own(container,
                {"OnAdd", "Width", "Height", "MapScrollX", "HTMLDontExport", "HTMLExportChildren"}),
            "OnAdd=$IsPrototype=true;Width=10;Height=4;MapScrollX=6;HTMLDontExport=true;"
            "HTMLExportChildren=false;");

  const struct {
    Node* (BuiltInPrototypes::*make)();
    const char* name;
    std::initializer_list<const char*> attributes;
    const char* values;
  } kCases[] = {
      {&BuiltInPrototypes::ForPerson,
       "Person",
       {"IsPrototype", "Badge", "KeyAttributes", "Color", "Pattern", "Shape", "Width"},
       "IsPrototype=true;Badge=person;"
       "KeyAttributes=FullName;Organization;Address;Email;Telephone;AIM;Twitter;URL;"
       "Color=green;Pattern=;Shape=lozenge;Width=4;"},
      {&BuiltInPrototypes::ForEvent,
       "Event",
       {"IsPrototype", "Badge", "KeyAttributes", "Color", "Color2"},
       "IsPrototype=true;Badge=clock;KeyAttributes=StartDate;EndDate;Color=muted red;"
       "Color2=dark red;"},
      {&BuiltInPrototypes::ForTask,
       "Task",
       {"Badge", "KeyAttributes", "Color", "Color2", "BorderColor", "Shape", "DisplayExpression",
        "OnAdd"},
       "Badge=calendar;KeyAttributes=DueDate;Checked;Color=cool gray;Color2=dark cool gray;"
       "BorderColor=dark cool gray;Shape=left tag;"
       "DisplayExpression=if($ChildCount){$Name+\" (\"+$ChildCount+\")\"}else{$Name};"
       "OnAdd=Prototype|=\"Task\";"},
      {&BuiltInPrototypes::ForTemplate,
       "HTML Template",
       {"IsTemplate", "Badge", "Color", "HTMLParagraphStart", "HTMLParagraphEnd",
        "HTMLFirstParagraphStart", "HTMLFirstParagraphEnd", "HTMLIndentedParagraphStart",
        "HTMLIndentedParagraphEnd", "ParagraphSpacing", "LineSpacing", "TextFont",
        "AutomaticIndent", "HTMLDontExport", "TextSidebar"},
       "IsTemplate=true;Badge=tools;Color=lighter black;HTMLParagraphStart=;HTMLParagraphEnd=;"
       "HTMLFirstParagraphStart=;HTMLFirstParagraphEnd=;HTMLIndentedParagraphStart=;"
       "HTMLIndentedParagraphEnd=;ParagraphSpacing=0;LineSpacing=100;TextFont=Andale Mono;"
       "AutomaticIndent=false;HTMLDontExport=true;TextSidebar=false;"},
      {&BuiltInPrototypes::ForCode,
       "Code",
       {"IsTemplate", "Badge", "Color", "HTMLParagraphStart", "TextFont", "HTMLDontExport"},
       "IsTemplate=false;Badge=design;Color=lightest black;HTMLParagraphStart=;"
       "TextFont=Andale Mono;HTMLDontExport=true;"},
  };
  for (const auto& c : kCases) {
    Node* p = (built_in.*c.make)();
    ASSERT_NE(p, nullptr) << c.name;
    EXPECT_EQ(p->Name(), c.name);
    EXPECT_EQ(p->Father(), container) << c.name;
    EXPECT_TRUE(p->GetBoolean("IsPrototype")) << c.name;
    EXPECT_EQ(Own(p, c.attributes), c.values) << c.name;
  }
  EXPECT_EQ(built_in.ForTemplate()->GetText(), "<!--  Fernweave: ^title -->");
  EXPECT_EQ(built_in.ForCode()->GetText(), "");
  EXPECT_EQ(test::ChildNames(container), "Person Event Task HTML Template Code");
}

TEST(BuiltInPrototypesTest, TaskBorderStyleIsIgnoredNotInvented) {
  auto doc = test::MakeDocument();
  const size_t declared = doc->Properties().size();
  Node* task = BuiltInPrototypes(doc.get()).ForTask();
  ASSERT_NE(task, nullptr);
  EXPECT_EQ(doc->Properties().Find("BorderStyle"), nullptr);
  EXPECT_FALSE(task->HasAttribute("BorderStyle"));
  EXPECT_FALSE(task->HasImmediate("BorderStyle"));
  EXPECT_EQ(task->GetString("BorderStyle"), "");
  EXPECT_EQ(doc->Properties().size(), declared);
  // The rest of the prototype's values still arrived.
  EXPECT_EQ(task->GetString("BorderColor"), "dark cool gray");
}

TEST(BuiltInPrototypesTest, CallingTwiceReusesWhatExists) {
  auto doc = test::MakeDocument();
  BuiltInPrototypes built_in(doc.get());
  Node* person = built_in.ForPerson();
  Node* inbox = built_in.Inbox();
  ASSERT_NE(person, nullptr);
  ASSERT_NE(inbox, nullptr);
  EXPECT_EQ(inbox->Father(), doc->Root());
  EXPECT_EQ(Own(inbox, {"Width", "Height", "IsPrototype"}), "Width=6;Height=4;IsPrototype=<none>;");
  // A user's change to an existing prototype survives a second request.
  person->Set("Color", "red");
  inbox->Set("Width", "9");
  const size_t notes = doc->NodeCount();
  EXPECT_EQ(built_in.ForPerson(), person);
  EXPECT_EQ(built_in.Inbox(), inbox);
  EXPECT_EQ(BuiltInPrototypes(doc.get()).ForPerson(), person);
  EXPECT_EQ(doc->NodeCount(), notes);
  EXPECT_EQ(person->GetString("Color"), "red");
  EXPECT_EQ(inbox->GetString("Width"), "9");
  EXPECT_EQ(test::ChildNames(doc->Root()), "Prototypes Inbox");
}

TEST(BuiltInPrototypesTest, ExistingNotesAtThePathsAreKeptAsTheyAre) {
  auto doc = test::MakeDocument("Prototypes\n  Event\nInbox");
  Node* event = test::At(doc.get(), "Prototypes/Event");
  Node* inbox = test::At(doc.get(), "Inbox");
  BuiltInPrototypes built_in(doc.get());
  EXPECT_EQ(built_in.ForEvent(), event);
  EXPECT_EQ(built_in.Inbox(), inbox);
  EXPECT_FALSE(event->HasImmediate("Badge"));
  EXPECT_FALSE(inbox->HasImmediate("Width"));
  // The container was found, not made: it keeps the defaults.
  EXPECT_FALSE(test::At(doc.get(), "Prototypes")->HasImmediate("OnAdd"));
  // A new prototype in the found container gets its values.
  Node* person = built_in.ForPerson();
  ASSERT_NE(person, nullptr);
  EXPECT_EQ(person->GetString("Badge"), "person");
}

TEST(BuiltInPrototypesTest, ReadOnlyDocumentsGetNothing) {
  auto doc = test::MakeDocument("A");
  doc->SetCanEdit(false);
  BuiltInPrototypes built_in(doc.get());
  EXPECT_EQ(built_in.ForPerson(), nullptr);
  EXPECT_EQ(built_in.Container(), nullptr);
  EXPECT_EQ(built_in.Inbox(), nullptr);
  EXPECT_FALSE(built_in.HasContainer());
  EXPECT_EQ(test::ChildNames(doc->Root()), "A");
}

TEST(BuiltInPrototypesTest, NotesInheritFromABuiltInPrototype) {
  auto doc = test::MakeDocument("Contact");
  Node* person = BuiltInPrototypes(doc.get()).ForPerson();
  Node* contact = test::At(doc.get(), "Contact");
  ASSERT_NE(person, nullptr);
  contact->Set("Prototype", "Person");
  ASSERT_EQ(contact->GetPrototype(), person);
  EXPECT_EQ(contact->GetString("Color"), "green");
  EXPECT_EQ(contact->GetString("Badge"), "person");
  EXPECT_EQ(contact->GetString("Pattern"), "");  // the prototype's empty value, not "diagonal"
  // Width is not inherited: the contact keeps the default.
  EXPECT_EQ(contact->GetString("Width"), "3");
  // Clearing the prototype brings the defaults back.
  contact->Set("Prototype", "");
  EXPECT_EQ(contact->GetPrototype(), nullptr);
  EXPECT_EQ(contact->GetString("Color"), "cool gray");
  EXPECT_EQ(contact->GetString("Pattern"), "diagonal");
}

}  // namespace
}  // namespace fernweave
