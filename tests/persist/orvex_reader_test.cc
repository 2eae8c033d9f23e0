// Reading document files: version rules and their messages, the order of sections,
// identities, aliases, and text offsets that do not fit their text.

#include "persist/orvex_reader.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/clock.h"
#include "model/alias_node.h"
#include "model/content.h"
#include "model/link.h"
#include "model/link_manager.h"
#include "model/link_type.h"
#include "model/props.h"
#include "model/value.h"
#include "persist/orvex_writer.h"
#include "tests/support/fakes.h"
#include "tests/support/file_faults.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

std::string File(const std::string& root_attributes, const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<fernweave " + root_attributes + ">\n" +
         body + "</fernweave>\n";
}

std::string Item(uint32_t id, const std::string& name, const std::string& inner = "") {
  return "<item ID=\"" + std::to_string(id) + "\" Creator=\"c\" ><attribute name=\"Name\" >" +
         name + "</attribute>" + inner + "</item>\n";
}

// A root item holding the given notes.
std::string Notes(const std::string& inner) {
  return "<item ID=\"1\" Creator=\"c\" >" + inner + "</item>\n";
}

TEST(OrvexReaderTest, VersionRules) {
  const std::string picture = Item(10, "P", "<picture >AAAA</picture>");
  struct Case {
    std::string root;
    std::string notes;
    bool loads;
    bool untitled;
    std::vector<std::string> messages;
  } cases[] = {
      {"version=\"3\" revision=\"0\"", "", false, false, {kNewerVersionMessage}},
      {"version=\"12\"", "", false, false, {kNewerVersionMessage}},
      {"version=\"2\" revision=\"8\"", picture, true, false, {}},
      {"version=\"2\" revision=\"4\"", "", true, true, {kOlderRevisionMessage}},
      {"version=\"2\" revision=\"7\"", picture, true, true, {kImageRevisionMessage}},
      {"version=\"2\" revision=\"7\"", Item(10, "P"), true, false, {}},
      {"version=\"2\" revision=\"3\"",
       picture,
       true,
       true,
       {kOlderRevisionMessage, kImageRevisionMessage}},
      {"version=\"1\"", picture, true, false, {}},
      {"", "", true, false, {}},
  };
  for (const Case& c : cases) {
    test::CollectingMessages messages;
    ReadOutcome outcome;
    auto doc = OrvexReader::ReadDocumentFromString(File(c.root, Notes(c.notes)), &outcome);
    EXPECT_EQ(doc != nullptr, c.loads) << c.root;
    EXPECT_EQ(outcome.open_as_untitled, c.untitled) << c.root;
    EXPECT_EQ(messages.messages(), c.messages) << c.root;
    if (!c.loads) {
      EXPECT_EQ(outcome.failure, ReadOutcome::Failure::kNewerVersion) << c.root;
    }
  }
}

// A missing file fails quietly here: the document that asked names the file itself.
TEST(OrvexReaderTest, AMissingFileFailsWithoutAMessage) {
  test::CollectingMessages messages;
  ReadOutcome outcome;
  EXPECT_EQ(OrvexReader::ReadDocument("/nonexistent/dir/x.skep", &outcome), nullptr);
  EXPECT_EQ(outcome.failure, ReadOutcome::Failure::kUnreadable);
  EXPECT_TRUE(messages.messages().empty());
}

TEST(OrvexReaderTest, SectionsAreReadWhereverTheyStandAndUnknownOnesAreSkipped) {
  const std::string body =
      "<extension ><item ID=\"99\" Creator=\"c\" /></extension>\n"
      "<links ><link sourceid=\"10\" sourcecreator=\"c\" destid=\"11\" destcreator=\"c\" "
      "name=\"brandnew\" /></links>\n"
      "<linkTypes ><linkType name=\"quiet\" /></linkTypes>\n" +
      Notes(Item(10, "A", "<attribute name=\"Mood\" >calm</attribute>") + Item(11, "B")) +
      "<colors ><color name=\"late\" color=\"#112233\" /></colors>\n"
      "<attrib Name=\"Mood\" parent=\"User\" type=\"0\" editable=\"1\" />\n"
      "<windows ><window type=\"map\" ID=\"10\" Creator=\"c\" /></windows>\n"
      "<macros ><macro name=\"m\" >x</macro></macros>\n"
      "<windows ><window type=\"outline\" ID=\"11\" Creator=\"c\" /></windows>\n"
      "<later />\n";
  test::ScratchFolder dir;
  const std::string file = File("version=\"2\" revision=\"8\"", body);
  test::WriteFile(dir / "mixed.skep", file);
  for (const bool streamed : {true, false}) {  // built as it streams in, or from a tree
    test::CollectingMessages messages;
    auto doc = streamed ? OrvexReader::ReadDocument(dir / "mixed.skep")
                        : OrvexReader::ReadDocumentFromString(file);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(test::Dump(doc->Root(), {"Mood"}), "A Mood=calm\nB Mood=\n") << streamed;
    EXPECT_TRUE(doc->Colors().Find("late") && doc->Records().GetMacro("m"));
    EXPECT_EQ(doc->Records().Windows().size(), 2u);  // both sections
    EXPECT_EQ(doc->LinkCount(), 1u);
    EXPECT_TRUE(doc->GetLinkTypes()->Has("brandnew"));  // a link brings its type
    const LinkType* quiet = doc->GetLinkTypes()->Get("quiet");
    EXPECT_TRUE(quiet != nullptr && !quiet->visible && !quiet->show_label);
    EXPECT_EQ(messages.messages(),
              std::vector<std::string>{"Fernweave skipped parts of this file it does not know "
                                       "(extension, later); they will not be kept when the "
                                       "document is saved."});
  }
}

TEST(OrvexReaderTest, OlderRootNameReadsTheSame) {
  auto doc = OrvexReader::ReadDocumentFromString("<orvex version=\"1\">" + Notes(Item(10, "Old")) +
                                                 "</orvex>");
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(test::ChildNames(doc->Root()), "Old");
}

TEST(OrvexReaderTest, MacrosAndStampsKeepCharactersOutsideThe8BitSet) {
  const std::string text = "Ωμέγα Кириллица 日本語 🙂 café";
  const std::string body =
      "<menu name=\"Value\" kind=\"stamps\" ><stamp name=\"s\" attribute=\"Name\" >" + text +
      "</stamp><separator /></menu>\n" + Notes("") + "<macros ><macro name=\"m\" >" + text +
      "\nnext</macro></macros>\n";
  auto doc = OrvexReader::ReadDocumentFromString(File("version=\"2\" revision=\"8\"", body));
  ASSERT_NE(doc, nullptr);
  ASSERT_NE(doc->Records().GetMacro("m"), nullptr);
  EXPECT_EQ(*doc->Records().GetMacro("m"), text + "\rnext");
  ASSERT_EQ(doc->Records().Stamps().size(), 1u);
  EXPECT_EQ(doc->Records().Stamps()[0].action, text);
}

TEST(OrvexReaderTest, MinusOneIdsEachGetAFreshIdAndTheCounterRises) {
  NodeID::SetLastIdForTesting(100);
  const std::string body =
      Notes(Item(4294967295u, "A") + Item(4294967295u, "B") + Item(4000000000u, "C"));
  auto doc = OrvexReader::ReadDocumentFromString(File("version=\"2\"", body));
  ASSERT_NE(doc, nullptr);
  Node* a = test::At(doc.get(), "A");
  Node* b = test::At(doc.get(), "B");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a->GetID().id(), b->GetID().id());
  EXPECT_NE(a->GetID().id(), 4294967295u);
  // A note made after reading never takes a stored id.
  EXPECT_GT(NodeID::MakeUniqueNumber(), 4000000000u);
}

TEST(OrvexReaderTest, RepeatedIdentityInAFileGetsAFreshId) {
  const std::string body =
      Notes(Item(50, "A", "<text >aaaa</text>") + Item(50, "B")) +
      "<links ><link name=\"x\" sourceid=\"50\" sourcecreator=\"c\" sstart=\"-1\" slen=\"0\" "
      "style=\"0\" destid=\"1\" destcreator=\"c\" /></links>\n";
  auto doc = OrvexReader::ReadDocumentFromString(File("version=\"2\"", body));
  ASSERT_NE(doc, nullptr);
  Node* a = test::At(doc.get(), "A");
  Node* b = test::At(doc.get(), "B");
  EXPECT_EQ(a->GetID().id(), 50u);
  EXPECT_NE(b->GetID().id(), 50u);
  EXPECT_EQ(doc->FindNode(50, "c"), a);
  ASSERT_EQ(doc->Links().size(), 1u);
  EXPECT_EQ(doc->Links().Get(0)->SourceNode(), a);
}

// A note is made empty and takes only what the file says; what a new note would have
// and the file leaves out comes afterwards: a fresh identity, the time of reading, the
// map's corner. An `attribute` child naming the creator wins over the element's.
TEST(OrvexReaderTest, NotesTakeWhatTheFileLeavesOutFromANewNote) {
  test::PinnedClock clock("2009-05-03T09:05:07");
  const std::string body = Notes(
      "<item Creator=\"e\" ><attribute name=\"Name\" >Bare</attribute></item>\n" +
      Item(60, "Renamed", "<attribute name=\"Creator\" >d</attribute>") +
      "<item ID=\"61\" Creator=\"c\" ><attribute name=\"Name\" >Placed</attribute>"
      "<attribute name=\"Created\" >2001-02-03T04:05:06+00:00</attribute>"
      "<attribute name=\"Xpos\" >7</attribute></item>\n");
  auto doc = OrvexReader::ReadDocumentFromString(File("version=\"2\"", body));
  ASSERT_NE(doc, nullptr);
  Node* bare = test::At(doc.get(), "Bare");
  ASSERT_NE(bare, nullptr);
  EXPECT_NE(bare->GetID().id(), 0u);
  EXPECT_EQ(bare->Creator(), "e");
  EXPECT_EQ(doc->FindNode(bare->GetID().id(), "e"), bare);
  EXPECT_EQ(bare->GetDate("Created"), NowLocalSeconds());
  EXPECT_EQ(bare->GetDate("Modified"), NowLocalSeconds());
  EXPECT_EQ(bare->Position(), (MapPoint{0, 0}));
  EXPECT_EQ(test::At(doc.get(), "Renamed")->Creator(), "d");
  EXPECT_EQ(doc->FindNode(60, "d"), test::At(doc.get(), "Renamed"));
  Node* placed = test::At(doc.get(), "Placed");
  EXPECT_EQ(placed->GetString("Created"), Value::ForDate("2001-02-03T04:05:06+00:00")->AsString());
  EXPECT_EQ(placed->GetDate("Modified"), NowLocalSeconds());
  EXPECT_EQ(placed->Position(), (MapPoint{7, 0}));
}

// Texts repeated from note to note are stored once; each note still changes its own,
// and storing the text a note already holds changes nothing.
TEST(OrvexReaderTest, RepeatedTextsAreSharedYetEachNoteKeepsItsOwn) {
  auto doc = OrvexReader::ReadDocumentFromString(
      File("version=\"2\"", Notes(Item(70, "Twin") + Item(71, "Twin") + Item(72, "Twin"))));
  ASSERT_NE(doc, nullptr);
  std::vector<Node*> twins;
  for (Node* n = doc->FirstNode(); n != nullptr; n = n->Next()) {
    twins.push_back(n);
  }
  ASSERT_EQ(twins.size(), 3u);
  const Attribute* name = doc->GetNameAttribute();
  EXPECT_EQ(twins[1]->StoredValue(name), twins[2]->StoredValue(name));
  EXPECT_EQ(twins[1]->StoredValue(doc->Properties().Find("Creator")),
            twins[2]->StoredValue(doc->Properties().Find("Creator")));
  const Value* shared = twins[2]->StoredValue(name);
  twins[2]->SetName("Twin");
  EXPECT_EQ(twins[2]->StoredValue(name), shared) << "the same text stores nothing new";
  twins[1]->SetName("Other");
  EXPECT_EQ(twins[2]->StoredValue(name), shared);
  EXPECT_EQ(twins[0]->Name(), "Twin");
  EXPECT_EQ(twins[1]->Name(), "Other");
  EXPECT_EQ(twins[2]->Name(), "Twin");
}

TEST(OrvexReaderTest, ProxiesBecomeAliasesOrAreDropped) {
  auto alias_item = [](uint32_t id, uint32_t of) {
    return "<item ID=\"" + std::to_string(id) + "\" Creator=\"c\" ><attribute name=\"Alias\" >" +
           std::to_string(of) + "</attribute><attribute name=\"Xpos\" >7</attribute></item>\n";
  };
  const std::string body =
      Notes(Item(10, "Orig", "<text >hello</text>") + alias_item(20, 10) +  // alias of Orig
            alias_item(21, 21) +                                            // names itself: dropped
            alias_item(22, 23) +   // names a proxy of Orig: follows it
            alias_item(23, 10) +   //
            alias_item(24, 25) +   // two proxies naming each other
            alias_item(25, 24) +   //
            alias_item(26, 999));  // names nothing: dropped
  auto doc = OrvexReader::ReadDocumentFromString(File("version=\"2\"", body));
  ASSERT_NE(doc, nullptr);
  Node* orig = test::At(doc.get(), "Orig");
  ASSERT_NE(orig, nullptr);
  std::string kinds;
  for (Node* n = doc->Root()->Son(); n != nullptr; n = n->Brother()) {
    kinds += std::to_string(n->GetID().id()) + (n->IsAlias() ? "a " : " ");
    if (n->IsAlias()) {
      EXPECT_EQ(n->GetOriginal(), orig);
      EXPECT_EQ(n->Name(), "Orig");
      EXPECT_EQ(n->Position().x, 7);
    }
  }
  EXPECT_EQ(kinds, "10 20a 22a 23a ");
  EXPECT_EQ(test::CheckInvariants(*doc), "");
  // Saved again, the aliases stay aliases of the same note.
  auto again = OrvexReader::ReadDocumentFromString(OrvexWriter::WriteToString(*doc));
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->AliasesOf(test::At(again.get(), "Orig")).size(), 3u);
}

TEST(OrvexReaderTest, OffsetsAreClampedToTheText) {
  const std::string body =
      Notes(
          Item(10, "A",
               "<text >abc</text><styles > <tstyle font=\"F\" start=\"99\" size=\"9\" /></styles>"
               "<strike >1 50 -4 2 </strike>"
               "<pictures ><picture position=\"77\" left=\"0\" top=\"0\" right=\"1\" bottom=\"1\" "
               ">AAAA</picture></pictures>") +
          Item(11, "B")) +
      "<links ><link name=\"x\" sourceid=\"10\" sourcecreator=\"c\" sstart=\"2\" slen=\"40\" "
      "style=\"0\" destid=\"11\" destcreator=\"c\" dstart=\"5\" dlen=\"2\" /></links>\n";
  auto doc = OrvexReader::ReadDocumentFromString(File("version=\"2\" revision=\"8\"", body));
  ASSERT_NE(doc, nullptr);
  const Content* c = test::At(doc.get(), "A")->GetContent();
  ASSERT_EQ(c->style_runs().size(), 1u);
  EXPECT_EQ(c->style_runs()[0].start, 3);
  ASSERT_EQ(c->struck_spans().size(), 2u);
  EXPECT_EQ(c->struck_spans()[0], (StruckSpan{1, 2}));
  EXPECT_EQ(c->struck_spans()[1], (StruckSpan{0, 2}));
  EXPECT_EQ(c->pictures()[0].position, 3);
  ASSERT_EQ(doc->Links().size(), 1u);
  EXPECT_EQ(doc->Links().Get(0)->SourceSpan(), (TextSpan{2, 1}));
  EXPECT_EQ(doc->Links().Get(0)->DestSpan(), (TextSpan{0, 0}));
}

TEST(OrvexReaderTest, LinksWithAMissingEndAreDropped) {
  const std::string body =
      Notes(Item(10, "A") + Item(11, "B")) +
      "<links >"
      "<link name=\"ok\" sourceid=\"10\" sourcecreator=\"c\" destid=\"11\" destcreator=\"c\" />"
      "<link name=\"wrong creator\" sourceid=\"10\" sourcecreator=\"z\" destid=\"11\" "
      "destcreator=\"c\" />"
      "<link name=\"no dest\" sourceid=\"10\" sourcecreator=\"c\" destid=\"12\" destcreator=\"c\" "
      "/>"
      "<link name=\"web\" sourceid=\"11\" sourcecreator=\"c\" destid=\"0\" destcreator=\"\" "
      "URL=\"http://x\" />"
      "</links>\n";
  auto doc = OrvexReader::ReadDocumentFromString(File("version=\"2\"", body));
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->Links().All().ToString(false),
            "A -> B [ok]\nB -> " + doc->Root()->Name() + " [web]\n");
}

TEST(OrvexReaderTest, LinksOfEverySectionAreMadeInFileOrderWithTheirNotesCreators) {
  // Two links sections around the notes, a link with an element inside it, an element
  // that is no link, and creators named on the element and by an `attribute` child
  // (which comes later and wins).
  const std::string body =
      "<links ><link name=\"first\" sourceid=\"10\" sourcecreator=\"x\" destid=\"11\" "
      "destcreator=\"y\" dstart=\"1\" dlen=\"1\" ><extra /></link><note /></links>\n" +
      Notes("<item ID=\"10\" Creator=\"x\" ><attribute name=\"Name\" >A</attribute>"
            "<text >abc</text></item>"
            "<item ID=\"11\" Creator=\"x\" ><attribute name=\"Name\" >B</attribute>"
            "<attribute name=\"Creator\" >y</attribute><text >abc</text></item>") +
      "<links ><link name=\"second\" sourceid=\"11\" sourcecreator=\"y\" destid=\"10\" "
      "destcreator=\"x\" /><link name=\"lost\" sourceid=\"11\" sourcecreator=\"x\" "
      "destid=\"10\" destcreator=\"x\" /></links>\n";
  auto doc = OrvexReader::ReadDocumentFromString(File("version=\"2\"", body));
  ASSERT_NE(doc, nullptr);
  Node* a = test::At(doc.get(), "A");
  Node* b = test::At(doc.get(), "B");
  ASSERT_TRUE(a != nullptr && b != nullptr);
  EXPECT_EQ(a->GetID(), NodeID(10, "x"));
  EXPECT_EQ(b->GetID(), NodeID(11, "y"));
  EXPECT_EQ(b->GetString("Creator"), "y");
  EXPECT_EQ(doc->Links().All().ToString(false), "A -> B [first]\nB -> A [second]\n");
  EXPECT_EQ(doc->Links().Get(0)->DestSpan(), (TextSpan{1, 1}));
}

TEST(OrvexReaderTest, UserAttributesNestAndBuiltInsOnlyTakeTheirDefault) {
  const std::string body =
      "<attrib Name=\"Project\" parent=\"User\" editable=\"1\" visibleInEditor=\"0\" type=\"2\" "
      "sequential=\"1\" default=\"4\" >\n"
      "<attrib Name=\"Phase\" parent=\"Project\" editable=\"1\" visibleInEditor=\"1\" "
      "canInherit=\"0\" default=\"one\" />\n</attrib>\n"
      "<attrib Name=\"Width\" parent=\"Map\" editable=\"0\" type=\"0\" default=\"6\" />\n"
      "<attrib Name=\"Seq\" parent=\"User\" editable=\"1\" type=\"2\" sequential=\"1\" "
      "default=\"4\" />\n" +
      Notes(
          Item(
              10, "A",
              "<attribute name=\"Phase\" >two</attribute><attribute name=\"Seq\" >12</attribute>") +
          Item(11, "B"));
  auto doc = OrvexReader::ReadDocumentFromString(File("version=\"2\"", body));
  ASSERT_NE(doc, nullptr);
  Attribute* project = doc->GetAttribute("Project");
  ASSERT_TRUE(project->IsValid());
  EXPECT_EQ(project->GetType(), AttributeType::kNumber);
  EXPECT_TRUE(project->IsSequential());
  EXPECT_TRUE(project->IsAttributeCategory());
  EXPECT_FALSE(project->VisibleInEditor());
  EXPECT_TRUE(project->IsUserAttribute());
  Attribute* phase = doc->GetAttribute("Phase");
  ASSERT_TRUE(phase->IsValid());
  EXPECT_EQ(phase->Father(), project);
  EXPECT_FALSE(phase->CanInherit());
  EXPECT_EQ(phase->GetTheDefaultValue()->AsString(), "one");
  Attribute* width = doc->GetAttribute("Width");
  EXPECT_EQ(width->GetType(), AttributeType::kNumber);
  EXPECT_TRUE(width->IsEditable());
  EXPECT_EQ(width->GetTheDefaultValue()->AsDouble(), 6);
  EXPECT_EQ(test::At(doc.get(), "A")->GetString("Phase"), "two");
  // Reading numbers no note: A keeps its value, B has none of its own.
  EXPECT_EQ(test::At(doc.get(), "A")->GetString("Seq"), "12");
  EXPECT_FALSE(test::At(doc.get(), "B")->HasImmediate("Seq"));
}

TEST(OrvexReaderTest, CouldBeXMLJudgesTheRootElement) {
  test::ScratchFolder dir;
  struct Case {
    std::string bytes;
    bool expected;
  } cases[] = {
      {"<?xml version=\"1.0\" ?>\n<fernweave version=\"2\">", true},
      {"<orvex version=\"1\"><item>", true},
      {"<html><body>", false},
      {"plain text notes\n", false},
      {"", false},
  };
  for (const Case& c : cases) {
    test::WriteFile(dir / "probe.skep", c.bytes);
    EXPECT_EQ(OrvexReader::CouldBeXML(dir / "probe.skep"), c.expected) << c.bytes;
  }
}

TEST(OrvexReaderTest, ReadDocumentNamesTheRootAfterTheFile) {
  test::ScratchFolder dir;
  test::WriteFile(dir / "Kitchen garden.skep", File("version=\"2\"", Notes(Item(10, "A"))));
  ReadOutcome outcome;
  auto doc = OrvexReader::ReadDocument(dir / "Kitchen garden.skep", &outcome);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->Root()->Name(), "Kitchen garden");
  EXPECT_EQ(outcome.failure, ReadOutcome::Failure::kNone);
  EXPECT_FALSE(doc->IsModified());
}

}  // namespace
}  // namespace fernweave
