// Save → load → save: the bytes are identical and the loaded document holds exactly
// what was saved.

#include <string>

#include <gtest/gtest.h>

#include "model/link.h"
#include "model/link_manager.h"
#include "model/link_type.h"
#include "persist/orvex_reader.h"
#include "persist/orvex_writer.h"
#include "tests/support/document_dump.h"
#include "tests/support/document_generator.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

TEST(RoundTripTest, GeneratedDocumentsSaveLoadSaveIdentically) {
  test::CollectingMessages messages;
  // Both shapes: the rich one, and the plain one other programs write.
  for (uint32_t seed : {1u, 2u, 7u}) {
    test::GeneratorOptions options;
    options.notes = 600;
    options.seed = seed;
    options.plain = seed == 2u;
    auto doc = test::GenerateDocument(options);
    const std::string saved = OrvexWriter::WriteToString(*doc);
    ReadOutcome outcome;
    auto loaded = OrvexReader::ReadDocumentFromString(saved, &outcome);
    ASSERT_NE(loaded, nullptr) << "seed " << seed;
    EXPECT_EQ(test::DumpDocument(*loaded), test::DumpDocument(*doc)) << "seed " << seed;
    EXPECT_EQ(OrvexWriter::WriteToString(*loaded), saved) << "seed " << seed;
    EXPECT_FALSE(outcome.open_as_untitled);
    EXPECT_FALSE(loaded->IsModified());
  }
  EXPECT_TRUE(messages.messages().empty());
}

TEST(RoundTripTest, TextsKeepMarkupCharactersAndCarriageReturns) {
  const std::string texts[] = {
      "a < b & c \"quoted\" 'single'",
      "line one\rline two\r\rafter a blank line",
      "tab\there, trailing spaces   ",
      "Ωμέγα 日本語 🙂 ]]> &amp;",
  };
  for (const std::string& text : texts) {
    auto doc = test::MakeDocument("A");
    Node* a = test::At(doc.get(), "A");
    a->SetText(text);
    a->SetName(text);
    auto loaded = OrvexReader::ReadDocumentFromString(OrvexWriter::WriteToString(*doc));
    ASSERT_NE(loaded, nullptr) << text;
    Node* b = loaded->Root()->Son();
    ASSERT_NE(b, nullptr) << text;
    EXPECT_EQ(b->GetText(), text);
    EXPECT_EQ(b->Name(), text);
  }
}

TEST(RoundTripTest, ChangedBuiltInDefaultSurvives) {
  auto doc = test::MakeDocument("A");
  doc->Properties().SetDefault("NameFont", "Optima");
  doc->Properties().SetDefault("Width", "5");
  const std::string saved = OrvexWriter::WriteToString(*doc);
  EXPECT_NE(saved.find("<attrib Name=\"Width\" "), std::string::npos);
  // An unchanged built-in is not written.
  EXPECT_EQ(saved.find("<attrib Name=\"Height\" "), std::string::npos);
  auto loaded = OrvexReader::ReadDocumentFromString(saved);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->GetAttribute("Width")->GetTheDefaultValue()->AsXML(), "5");
  EXPECT_EQ(loaded->GetAttribute("NameFont")->GetTheDefaultValue()->AsXML(), "Optima");
}

TEST(RoundTripTest, LinkTypeRequiredFlagAndAnchorsSurvive) {
  auto doc = test::MakeDocument("A\nB");
  Node* a = test::At(doc.get(), "A");
  Node* b = test::At(doc.get(), "B");
  a->SetText("0123456789");
  b->SetText("abcdef");
  LinkType t = LinkType::Named("cites");
  t.required = true;
  doc->GetLinkTypes()->Add(t);
  LinkRecord plain;
  plain.add_to_document = true;
  plain.source = a;
  plain.dest = b;
  plain.name = "cites";
  doc->CreateLink(plain);
  LinkRecord anchored = plain;
  anchored.source_span = {0, 0};  // an anchor at offset 0 is an anchor
  anchored.dest_span = {0, 4};
  doc->CreateLink(anchored);

  auto loaded = OrvexReader::ReadDocumentFromString(OrvexWriter::WriteToString(*doc));
  ASSERT_NE(loaded, nullptr);
  EXPECT_TRUE(loaded->GetLinkTypes()->Get("cites")->required);
  ASSERT_EQ(loaded->Links().size(), 2u);
  EXPECT_EQ(loaded->Links().Get(0)->GetDestStart(), -1);
  EXPECT_EQ(loaded->Links().Get(1)->GetSourceStart(), 0);
  EXPECT_EQ(loaded->Links().Get(1)->GetDestStart(), 0);
  EXPECT_EQ(loaded->Links().Get(1)->GetDestLength(), 4);
  EXPECT_EQ(test::DumpDocument(*loaded), test::DumpDocument(*doc));
}

}  // namespace
}  // namespace fernweave
