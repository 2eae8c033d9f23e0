#include "model/exploder.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/alias_node.h"
#include "model/content.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

using test::At;
using test::MakeDocument;

// Answers the explode question with fixed settings and records the defaults offered.
class AnsweringExploder : public Exploder {
 public:
  explicit AnsweringExploder(ExplodeSettings answer, bool accept = true)
      : answer_(std::move(answer)), accept_(accept) {}
  bool AskToExplode(ExplodeSettings* settings) override {
    offered.push_back(*settings);
    *settings = answer_;
    return accept_;
  }
  std::vector<ExplodeSettings> offered;

 private:
  ExplodeSettings answer_;
  bool accept_;
};

ExplodeSettings BySize(int size, int name_mode = Exploder::kNoName) {
  return ExplodeSettings{size, "", false, name_mode, false};
}
ExplodeSettings ByDelimiter(const std::string& typed, bool skip,
                            int name_mode = Exploder::kNoName) {
  return ExplodeSettings{0, Exploder::ProcessSpecialExplodeChars(typed), skip, name_mode, false};
}

StyleRun LookAt(int32_t start, const std::string& font) {
  StyleRun run;
  run.start = start;
  run.font = font;
  return run;
}

// The texts of the notes made, each in brackets.
std::string Texts(const Node* exploded) {
  std::string out;
  for (const Node* n = exploded->Son(); n != nullptr; n = n->Brother()) {
    out += "[" + n->GetText() + "]";
  }
  return out;
}

// Explodes a new note holding `text` and returns "Exploded Text".
Node* Explode(Hypertext* doc, const std::string& text, const ExplodeSettings& settings) {
  Node* source = doc->MakeNode("Source", nullptr, doc->Root()->YoungestSon(), 0, 0);
  source->SetText(text);
  AnsweringExploder exploder(settings);
  return exploder.Do(source, settings);
}

TEST(ExploderTest, DelimiterEscapes) {
  struct {
    std::string typed;
    std::string delimiter;
  } cases[] = {
      {"\\n", "\r"},  {"\\r", "\r"},     {"\\t", "\t"},      {"a\\", "a\\"},
      {"\\q\\\\", "q\\"}, {"--\\n--", "--\r--"}, {"x\ny", "x\ry"}, {"\r\n", "\r"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Exploder::ProcessSpecialExplodeChars(c.typed), c.delimiter) << c.typed;
  }
}

TEST(ExploderTest, ChunksByEachMode) {
  struct Case {
    std::string text;
    ExplodeSettings settings;
    std::string notes;
  } cases[] = {
      // The comma at the boundary of two fixed chunks stays in the second.
      {"Hello, world", BySize(5), "[Hello][, world]"},
      {"one two  three", BySize(2), "[one][two][three]"},
      {"One.\rTwo.\r\rThree.", ByDelimiter("\\n", true), "[One.][Two.][Three.]"},
      {"One.\rTwo.\r\rThree.", ByDelimiter("\\n", false), "[One.\r][Two.\r][Three.]"},
      {"a--b----c--", ByDelimiter("--", true), "[a][b][c]"},
      {"no delimiter here", ByDelimiter("|", true), "[no delimiter here]"},
      {" \r \t\r  ", BySize(3), ""},
      {" \r \t\r  ", ByDelimiter("\\r", false), ""},
      {"", BySize(0), ""},
      // Emoji with a skin tone and "e" with a combining accent are never split.
      {"\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD\xF0\x9F\x91\x8D", BySize(2),
       "[\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD][\xF0\x9F\x91\x8D]"},
      {"e\xCC\x81te\xCC\x81 ok", BySize(2), "[e\xCC\x81te\xCC\x81][ok]"},
  };
  for (const Case& c : cases) {
    auto doc = MakeDocument();
    Node* exploded = Explode(doc.get(), c.text, c.settings);
    ASSERT_NE(exploded, nullptr) << c.text;
    EXPECT_EQ(Texts(exploded), c.notes) << c.text;
  }
}

// The chunks of every mode, joined with what was skipped between them, give back the
// text: nothing is lost or repeated.
TEST(ExploderTest, NotesJoinedWithWhatWasSkippedGiveBackTheText) {
  std::string long_text;
  for (int i = 0; long_text.size() < 6000; ++i) {
    long_text += i % 11 == 0   ? "Caf\xC3\xA9 \xF0\x9F\x91\x8D. "
                 : i % 13 == 0 ? "\r\r"
                               : "word" + std::to_string(i) + (i % 3 == 0 ? ",  " : " ");
  }
  const std::string texts[] = {"Hello, world", "  lead and trail  ", long_text};
  const ExplodeSettings settings[] = {BySize(5),   BySize(7),
                                      BySize(0),   ByDelimiter(" ", true),
                                      ByDelimiter(" ", false), ByDelimiter("\\n", true)};
  for (const std::string& text : texts) {
    for (const ExplodeSettings& s : settings) {
      auto doc = MakeDocument();
      Node* exploded = Explode(doc.get(), text, s);
      ASSERT_NE(exploded, nullptr);
      size_t at = 0;
      for (const Node* n = exploded->Son(); n != nullptr; n = n->Brother()) {
        const std::string chunk = n->GetText();
        const size_t found = text.find(chunk, at);
        ASSERT_NE(found, std::string::npos) << chunk;
        const std::string gap = text.substr(at, found - at);
        EXPECT_EQ(gap.find_first_not_of(" \t\r" + s.delimiter), std::string::npos)
            << "lost [" << gap << "] before [" << chunk << "], size " << s.chunk_size;
        at = found + chunk.size();
      }
      EXPECT_EQ(text.substr(at).find_first_not_of(" \t\r" + s.delimiter), std::string::npos);
    }
  }
}

TEST(ExploderTest, StylesStraddlingABoundaryGoWithBothChunks) {
  auto doc = MakeDocument("Source");
  Node* source = At(doc.get(), "Source");
  source->SetText("Hello world again");
  source->GetContent()->style_runs() = {LookAt(0, "A"), LookAt(3, "B"), LookAt(8, "C")};
  source->GetContent()->struck_spans() = {StruckSpan{4, 4}};
  AnsweringExploder exploder(ByDelimiter(" ", true));
  Node* exploded = exploder.Do(source, ByDelimiter(" ", true));
  std::vector<std::string> looks;
  for (const Node* n = exploded->Son(); n != nullptr; n = n->Brother()) {
    std::string dump = n->GetText() + ":";
    for (const StyleRun& run : n->GetContent()->style_runs()) {
      dump += " " + run.font + "@" + std::to_string(run.start);
    }
    for (const StruckSpan& span : n->GetContent()->struck_spans()) {
      dump += " struck " + std::to_string(span.start) + "+" + std::to_string(span.length);
    }
    looks.push_back(dump);
  }
  EXPECT_EQ(looks, (std::vector<std::string>{"Hello: A@0 B@3 struck 4+1", "world: B@0 C@2 struck 0+2",
                                             "again: C@0"}));
}

TEST(ExploderTest, NamesFromSentencesAndParagraphsWithAndWithoutCutting) {
  struct Case {
    std::string text;
    int mode;
    bool cut;
    std::string name;
    std::string text_after;
  } cases[] = {
      {"Wait... then go! Done.", Exploder::kFirstSentence, true, "Wait...", "then go! Done."},
      {"Wait... then go! Done.", Exploder::kFirstSentenceAlso, false, "Wait...",
       "Wait... then go! Done."},
      {"Wait... then go! Done.", Exploder::kFirstTwoSentences, true, "Wait... then go!", "Done."},
      {"Is it?\r\t Yes", Exploder::kFirstSentence, true, "Is it?", "Yes"},
      {"  Title line \r\r\tBody. More.", Exploder::kFirstParagraph, true, "Title line",
       "Body. More."},
      {" no end at all ", Exploder::kFirstSentence, true, "no end at all", " no end at all "},
      {"Only one.", Exploder::kFirstTwoSentences, true, "Only one.", "Only one."},
      {"Left alone.", Exploder::kNoName, true, "", "Left alone."},
  };
  for (const Case& c : cases) {
    auto doc = MakeDocument("N");
    Node* note = At(doc.get(), "N");
    note->SetText(c.text);
    AnsweringExploder exploder(ExplodeSettings{});
    exploder.MakeNameFor(note, c.mode, c.cut);
    EXPECT_EQ(note->Name(), c.mode == Exploder::kNoName ? "N" : c.name) << c.text;
    EXPECT_EQ(note->GetText(), c.text_after) << c.text;
  }
}

TEST(ExploderTest, ExplodedTextIsACopyWithoutItsActionsHoldingTheNotes) {
  auto doc = MakeDocument("Book\n  Old child");
  Node* book = At(doc.get(), "Book");
  book->SetText("First part. Of it.\rSecond part.");
  book->Set("OnAdd", "$Color=\"red\"");
  book->Set("Rule", "$Width=9");
  book->Set("Color", "blue");
  test::RecordingProgressFactory progress;
  AnsweringExploder exploder(ByDelimiter("\\n", true, Exploder::kFirstSentence));
  // Exploding an alias explodes its original, since an alias holds no notes.
  Node* alias = AliasNode::CreateFor(book);
  ASSERT_NE(alias, nullptr);
  Node* exploded = exploder.DoExplode(alias);
  ASSERT_NE(exploded, nullptr);
  EXPECT_EQ(exploder.offered.size(), 1u);
  EXPECT_EQ(exploder.offered[0].chunk_size, 500);
  EXPECT_EQ(exploder.offered[0].name_mode, Exploder::kFirstSentence);

  EXPECT_EQ(test::Dump(book),
            "Old child\n"
            "Exploded Text\n"
            "  First part.\n"
            "  Second part.\n");
  EXPECT_EQ(exploded->GetString("Color"), "blue");
  EXPECT_EQ(book->GetText(), "First part. Of it.\rSecond part.");
  EXPECT_EQ(exploded->GetText(), book->GetText());
  EXPECT_FALSE(exploded->HasImmediate("OnAdd"));
  EXPECT_FALSE(exploded->HasImmediate("Rule"));
  EXPECT_EQ(book->GetString("Rule"), "$Width=9");
  EXPECT_EQ(test::CheckInvariants(*doc), "");
  EXPECT_EQ(progress.log().titles, std::vector<std::string>{"Exploding"});
  EXPECT_EQ(progress.log().ends, 1);
  EXPECT_LE(progress.log().bumps, progress.log().steps);
}

TEST(ExploderTest, NotesArePlacedAsTheDocumentPlacesAddedNotes) {
  auto doc = MakeDocument("Source\nByHand");
  Node* source = At(doc.get(), "Source");
  std::string text;
  for (int i = 0; i < 15; ++i) {
    text += "w" + std::to_string(i) + " ";
  }
  source->SetText(text);
  AnsweringExploder exploder(ByDelimiter(" ", true));
  Node* exploded = exploder.Do(source, ByDelimiter(" ", true));
  ASSERT_EQ(exploded->ChildCount(), 15u);
  // The same number of notes moved one by one to the end of a container.
  Node* by_hand = At(doc.get(), "ByHand");
  for (int i = 0; i < 15; ++i) {
    Node* n = doc->MakeNode("n", nullptr, nullptr, 0, 0);
    ASSERT_TRUE(n->DoMoveTo(by_hand, by_hand->YoungestSon()));
  }
  const Node* b = by_hand->Son();
  for (const Node* e = exploded->Son(); e != nullptr; e = e->Brother(), b = b->Brother()) {
    EXPECT_EQ(e->Position(), b->Position()) << e->GetText();
  }
}

// Refuses to make a note after `limit` notes.
class LimitedExploder : public AnsweringExploder {
 public:
  explicit LimitedExploder(size_t limit) : AnsweringExploder(ExplodeSettings{}), limit_(limit) {}

 protected:
  Node* MakeNoteIn(Node* container) override {
    return container->ChildCount() < limit_ ? Exploder::MakeNoteIn(container) : nullptr;
  }

 private:
  size_t limit_;
};

TEST(ExploderTest, StopsWhenNoNoteCanBeMadeOrNothingMayChange) {
  auto doc = MakeDocument("Source");
  Node* source = At(doc.get(), "Source");
  source->SetText("a b c d e");
  LimitedExploder limited(2);
  Node* exploded = limited.Do(source, ByDelimiter(" ", true));
  EXPECT_EQ(Texts(exploded), "[a][b]");

  AnsweringExploder declining(ExplodeSettings{}, false);
  EXPECT_EQ(declining.DoExplode(source), nullptr);
  EXPECT_EQ(declining.offered.size(), 1u);
  doc->SetCanEdit(false);
  AnsweringExploder unasked(ExplodeSettings{});
  EXPECT_EQ(unasked.DoExplode(source), nullptr);
  EXPECT_TRUE(unasked.offered.empty());
  EXPECT_EQ(source->ChildCount(), 1u);
  EXPECT_EQ(unasked.DoExplode(nullptr), nullptr);
}

}  // namespace
}  // namespace fernweave
