// The bytes the writer produces: element and attribute order, escaping, and which
// notes, values and links go into the file.

#include "persist/orvex_writer.h"

#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "model/alias_node.h"
#include "model/content.h"
#include "model/link.h"
#include "model/link_type.h"
#include "persist/orvex_reader.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

constexpr int64_t kDate = 3800000000;

// A note with a known identity and dates.
Node* Pin(Node* n, uint32_t id) {
  n->SetID(NodeID(id, "me"));
  n->SetBySystem(n->GetAttribute("Created"), Value::ForDate(kDate));
  n->SetBySystem(n->GetAttribute("Modified"), Value::ForDate(kDate));
  n->SetPosition({1, 2});
  return n;
}

bool Contains(const std::string& haystack, const std::string& needle) {
  return haystack.find(needle) != std::string::npos;
}

TEST(OrvexWriterTest, NoteElementBytes) {
  test::ScopedTimeZone tz("America/New_York");
  auto doc = test::MakeDocument("A\n  B");
  Node* a = Pin(test::At(doc.get(), "A"), 100);
  Pin(test::At(doc.get(), "A/B"), 101);
  a->SetText("x < y & \"z\"\rnext");
  a->GetContent()->struck_spans().push_back({1, 2});
  a->GetContent()->set_picture("pic");
  const std::string out = OrvexWriter::WriteToString(*doc);
  const std::string expected =
      "<item ID=\"100\" Creator=\"me\" >\n"
      "<attribute name=\"Created\" >2024-05-31T11:33:20-04:00</attribute>\n"
      "<attribute name=\"Modified\" >2024-05-31T11:33:20-04:00</attribute>\n"
      "<attribute name=\"Name\" >A</attribute>\n"
      "<attribute name=\"Xpos\" >1</attribute>\n"
      "<attribute name=\"Ypos\" >2</attribute>\n"
      "<text >x &lt; y &amp; &quot;z&quot;&#13;next</text>\n"
      "<strike >1 2 </strike>\n"
      "<item ID=\"101\" Creator=\"me\" >\n"
      "<attribute name=\"Created\" >2024-05-31T11:33:20-04:00</attribute>\n"
      "<attribute name=\"Modified\" >2024-05-31T11:33:20-04:00</attribute>\n"
      "<attribute name=\"Name\" >B</attribute>\n"
      "<attribute name=\"Xpos\" >1</attribute>\n"
      "<attribute name=\"Ypos\" >2</attribute>\n"
      "</item>\n"
      "<picture >cGlj\r</picture>\n"
      "</item>\n";
  EXPECT_TRUE(Contains(out, expected)) << out;
  EXPECT_EQ(out.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<fernweave version=\"2\" "
                      "revision=\"8\" >\n",
                      0),
            0u);
  EXPECT_TRUE(out.ends_with("</fernweave>\n"));
}

TEST(OrvexWriterTest, SectionsComeInOrder) {
  auto doc = test::MakeDocument("A");
  doc->Properties().CreateBasicAttribute("Mood", kUserCategory, true, AttributeType::kString);
  doc->Records().SetMacro("m", "body");
  doc->Records().Stamps().push_back({"s", "Mood", "$Mood=1"});
  doc->Preferences().Set("Prose", Value::ForBoolean(true));
  doc->Records().Windows().push_back({"map", 1, "me", {{"x", "2"}}});
  const std::string out = OrvexWriter::WriteToString(*doc);
  const char* order[] = {"<attrib ",    "<colors ",      "<menu name=\"Value\" kind=\"stamps\" >",
                         "<linkTypes ", "<item ",        "<links ",
                         "<macros ",    "<preferences ", "<windows "};
  size_t at = 0;
  for (const char* tag : order) {
    const size_t found = out.find(tag);
    ASSERT_NE(found, std::string::npos) << tag;
    EXPECT_GT(found, at) << tag;
    at = found;
  }
  EXPECT_TRUE(Contains(out,
                       "<attrib Name=\"Mood\" parent=\"User\" editable=\"1\" "
                       "visibleInEditor=\"1\" default=\"\"  />\n"));
  EXPECT_TRUE(Contains(out, "<stamp name=\"s\" attribute=\"Mood\" >$Mood=1</stamp>\n"));
  EXPECT_TRUE(Contains(out, "<preferences >\n   <Prose > true</Prose>\n</preferences>\n"));
  EXPECT_TRUE(Contains(out, "<window type=\"map\" ID=\"1\" Creator=\"me\" x=\"2\"  />\n"));
}

TEST(OrvexWriterTest, GenericDocumentHasNoStampsOrMacros) {
  auto doc = Hypertext::Create("g");
  doc->MakeNode("A", nullptr, nullptr, 0, 0);
  const std::string out = OrvexWriter::WriteToString(*doc);
  EXPECT_FALSE(Contains(out, "<menu "));
  EXPECT_FALSE(Contains(out, "<macros "));
  EXPECT_FALSE(Contains(out, "<colors "));
  EXPECT_TRUE(Contains(out, ">A</attribute>"));
}

TEST(OrvexWriterTest, AliasesAndLinks) {
  auto doc = test::MakeDocument("Orig\nGone\nBox");
  Node* orig = Pin(test::At(doc.get(), "Orig"), 200);
  Node* gone = Pin(test::At(doc.get(), "Gone"), 201);
  Node* box = Pin(test::At(doc.get(), "Box"), 202);
  orig->SetText("text of the original");
  AliasNode* kept = AliasNode::CreateFor(orig, box, nullptr, 0, 0, false);
  Pin(kept, 300);
  AliasNode* lost = AliasNode::CreateFor(gone, box, kept, 0, 0, false);
  Pin(lost, 301);
  LinkRecord web;
  web.add_to_document = true;
  web.source = orig;
  web.dest = doc->Root();
  web.url = "http://e.org/?a&b";
  web.title = "T";
  doc->CreateLink(web);
  LinkRecord to_gone;
  to_gone.add_to_document = true;
  to_gone.source = orig;
  to_gone.dest = gone;
  doc->CreateLink(to_gone);
  LinkType t = LinkType::Named("t");
  t.required = true;
  doc->GetLinkTypes()->Add(t);
  ASSERT_TRUE(doc->AttemptToDelete(gone));

  const std::string out = OrvexWriter::WriteToString(*doc);
  // The alias is an item with its Alias value and no text; the alias of a deleted
  // note is not written, nor the link to it.
  EXPECT_TRUE(Contains(out, "<item ID=\"300\" Creator=\"me\" >\n<attribute name=\"Alias\" >200"))
      << out;
  EXPECT_EQ(out.find("text of the original"), out.rfind("text of the original"));
  EXPECT_FALSE(Contains(out, "ID=\"301\""));
  EXPECT_FALSE(Contains(out, "ID=\"201\""));
  EXPECT_TRUE(Contains(out,
                       "<link name=\"\" sourceid=\"200\" sourcecreator=\"me\" sstart=\"-1\" "
                       "slen=\"0\" style=\"0\" destid=\"" +
                           std::to_string(doc->Root()->GetID().id()) + "\" destcreator=\"" +
                           doc->Root()->Creator() +
                           "\" URL=\"http://e.org/?a&amp;b\" title=\"T\"  />\n"));
  EXPECT_FALSE(Contains(out, "destid=\"201\""));
  EXPECT_TRUE(Contains(out,
                       "<linkType name=\"t\" visible=\"1\" showLabel=\"1\" color=\"#000000\" "
                       "colorString=\"black\" style=\"0\" required=\"1\"  />\n"));
}

// The deepest note the model allows, with styled text (the deepest elements a note
// writes), is written without recursion and read back whole.
TEST(OrvexWriterTest, TheDeepestTreeTheModelAllowsIsWrittenAndReadBack) {
  auto doc = test::MakeDocument("");
  Node* parent = doc->Root();
  for (size_t depth = 1; depth <= Hypertext::kMaxNoteDepth; ++depth) {
    parent->AddSon(doc->MakeBareNode(Hypertext::NoteKind::kNote));  // as the reader builds
    parent = parent->Son();
    doc->AddNode(parent);
  }
  parent->SetText("styled");
  parent->GetContent()->style_runs().push_back(StyleRun{});
  auto read = OrvexReader::ReadDocumentFromString(OrvexWriter::WriteToString(*doc));
  ASSERT_NE(read, nullptr);
  const Node* n = read->Root();
  while (n->Son() != nullptr) {
    n = n->Son();
  }
  EXPECT_EQ(n->GetLong("OutlineDepth"), static_cast<int32_t>(Hypertext::kMaxNoteDepth));
  EXPECT_EQ(n->GetContent()->style_runs().size(), 1u);
}

}  // namespace
}  // namespace fernweave
