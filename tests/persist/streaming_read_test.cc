// A whole document is built while the file is parsed, each element let go once used;
// a parsed tree handed to the reader is walked instead. Both must build the same
// document from the same bytes, whatever order a note's children come in.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/xml_reader.h"
#include "model/content.h"
#include "persist/orvex_reader.h"
#include "persist/orvex_writer.h"
#include "tests/support/document_dump.h"
#include "tests/support/document_generator.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

// The document built by walking a tree parsed beforehand.
std::unique_ptr<Orvex> ReadThroughTree(const std::string& bytes) {
  auto doc = Orvex::Create("");
  XMLReader parser;
  if (!parser.Parse(bytes)) {
    return nullptr;
  }
  OrvexReader reader(doc->Root(), nullptr, true);
  reader.ReadXML(parser.root());
  doc->SetModified(false);
  return doc;
}

std::string File(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<fernweave version=\"2\" revision=\"8\" "
         ">\n" +
         body + "</fernweave>\n";
}

TEST(StreamingReadTest, StreamAndTreeBuildTheSameDocument) {
  test::CollectingMessages messages;
  // Notes without dates are stamped with "now" as they are read; a pinned clock keeps a
  // second boundary between the two reads from showing up as a difference.
  test::PinnedClock clock("2009-05-03T09:05:07");
  test::GeneratorOptions options;
  options.notes = 300;
  options.seed = 5;
  const std::string generated = OrvexWriter::WriteToString(*test::GenerateDocument(options));
  // Children in orders the writer never uses: text, an `attribute` and styles after a
  // nested note; notes nested three deep with nothing but a name; a top-level note
  // after the root note; a link to an alias proxy's original.
  const std::string odd = File(
      "<item ID=\"1\" Creator=\"c\" ><attribute name=\"Name\" >root</attribute>"
      "<item ID=\"10\" Creator=\"c\" ><attribute name=\"Name\" >A</attribute>"
      "<item ID=\"11\" Creator=\"c\" ><item ID=\"12\" Creator=\"c\" >"
      "<item ID=\"13\" Creator=\"c\" /></item></item>"
      "<text >late text</text><attribute name=\"Badge\" >late</attribute>"
      "<styles ><tstyle start=\"2\" font=\"F\" size=\"9\" /></styles></item>"
      "<item ID=\"20\" Creator=\"c\" ><attribute name=\"Alias\" >10</attribute></item>"
      "</item>\n<item ID=\"30\" Creator=\"c\" ><text >after the root</text></item>\n"
      "<links ><link sourceid=\"20\" sourcecreator=\"c\" destid=\"30\" destcreator=\"c\" "
      "sstart=\"0\" slen=\"3\" /></links>\n");
  for (const std::string& bytes : {generated, odd}) {
    auto streamed = OrvexReader::ReadDocumentFromString(bytes);
    auto walked = ReadThroughTree(bytes);
    ASSERT_NE(streamed, nullptr);
    ASSERT_NE(walked, nullptr);
    EXPECT_EQ(test::DumpDocument(*streamed), test::DumpDocument(*walked));
    EXPECT_EQ(OrvexWriter::WriteToString(*streamed), OrvexWriter::WriteToString(*walked));
  }
  // The late children reached their note, and the nesting held.
  auto doc = OrvexReader::ReadDocumentFromString(odd);
  Node* a = test::At(doc.get(), "A");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->GetContent()->text(), "late text");
  EXPECT_EQ(a->GetString("Badge"), "late");
  ASSERT_EQ(a->GetContent()->style_runs().size(), 1u);
  EXPECT_EQ(a->Son()->Son()->Son()->GetID().id(), 13u);
  ASSERT_NE(a->Brother(), nullptr);
  EXPECT_TRUE(a->Brother()->IsAlias());
  ASSERT_NE(a->Brother()->Brother(), nullptr);
  EXPECT_EQ(a->Brother()->Brother()->GetID().id(), 30u);
  EXPECT_TRUE(messages.messages().empty());
}

TEST(StreamingReadTest, TheIndicatorNamesEachStageInTurn) {
  const std::string bytes = File(
      "<item ID=\"1\" Creator=\"c\" ><item ID=\"10\" Creator=\"c\" /></item>\n"
      "<links ><link sourceid=\"10\" sourcecreator=\"c\" destid=\"1\" destcreator=\"c\" "
      "/></links>\n");
  const std::vector<std::string> stages = {"Loading...", "Resolving aliases", "Loading 1 links..."};
  for (bool streamed : {true, false}) {
    test::RecordingProgressFactory progress;
    ASSERT_NE(streamed ? OrvexReader::ReadDocumentFromString(bytes) : ReadThroughTree(bytes),
              nullptr);
    EXPECT_EQ(progress.log().titles, stages) << streamed;
  }
}

TEST(StreamingReadTest, ANewerFileIsRefusedBeforeTheRestIsRead) {
  test::CollectingMessages messages;
  ReadOutcome outcome;
  // Malformed further on: the version alone decides, and nothing is built.
  auto doc = OrvexReader::ReadDocumentFromString(
      "<fernweave version=\"3\"><item ID=\"1\"><item></fernweave>", &outcome);
  EXPECT_EQ(doc, nullptr);
  EXPECT_EQ(outcome.failure, ReadOutcome::Failure::kNewerVersion);
  EXPECT_EQ(messages.messages(), std::vector<std::string>{kNewerVersionMessage});
}

TEST(StreamingReadTest, AFileCutShortLosesThePartBuilt) {
  test::CollectingMessages messages;
  test::GeneratorOptions options;
  options.notes = 200;
  const std::string saved = OrvexWriter::WriteToString(*test::GenerateDocument(options));
  // Cut inside the notes, inside the links, and just before the root's end tag.
  for (size_t cut : {saved.size() / 2, saved.find("<link ") + 40, saved.size() - 14}) {
    messages.Clear();
    ReadOutcome outcome;
    EXPECT_EQ(OrvexReader::ReadDocumentFromString(saved.substr(0, cut), &outcome), nullptr) << cut;
    EXPECT_EQ(outcome.failure, ReadOutcome::Failure::kMalformed) << cut;
    ASSERT_EQ(messages.messages().size(), 1u) << cut;
    EXPECT_EQ(messages.messages()[0].rfind("Fernweave was unable to parse this file.", 0), 0u);
  }
}

}  // namespace
}  // namespace fernweave
