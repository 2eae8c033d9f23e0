#include "model/exploder.h"

#include <cstdint>
#include <string>
#include <utility>
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

// Answers the explode question with fixed settings, records the defaults offered, and
// makes no more than `limit` notes.
class AnsweringExploder : public Exploder {
 public:
  explicit AnsweringExploder(ExplodeSettings answer = {}, bool accept = true, size_t limit = SIZE_MAX)
      : answer_(std::move(answer)), accept_(accept), limit_(limit) {}
  bool AskToExplode(ExplodeSettings* settings) override {
    offered.push_back(*settings);
    *settings = answer_;
    return accept_;
  }
  std::vector<ExplodeSettings> offered;

 protected:
  Node* MakeNoteIn(Node* container, std::string_view name) override {
    return container->ChildCount() < limit_ ? Exploder::MakeNoteIn(container, name) : nullptr;
  }

 private:
  ExplodeSettings answer_;
  bool accept_;
  size_t limit_;
};

ExplodeSettings BySize(int size) {
  return ExplodeSettings{size, "", false, Exploder::kNoName, false};
}
ExplodeSettings ByDelimiter(const std::string& typed, bool skip, int name = Exploder::kNoName) {
  return ExplodeSettings{0, Exploder::ProcessSpecialExplodeChars(typed), skip, name, false};
}

// Explodes a new note holding `text`; the texts of the notes made, each in brackets.
std::string Explode(const std::string& text, const ExplodeSettings& settings) {
  auto doc = MakeDocument("Source");
  At(doc.get(), "Source")->SetText(text);
  const Node* exploded = AnsweringExploder().Do(At(doc.get(), "Source"), settings);
  std::string out;
  for (const Node* n = exploded->Son(); n != nullptr; n = n->Brother()) {
    out += "[" + n->GetText() + "]";
  }
  return out;
}

TEST(ExploderTest, DelimiterEscapes) {
  const std::pair<std::string, std::string> cases[] = {
      {"\\n", "\r"},     {"\\r", "\r"},         {"\\t", "\t"},    {"a\\", "a\\"},
      {"\\q\\\\", "q\\"}, {"--\\n--", "--\r--"}, {"x\ny", "x\ry"}, {"\r\n", "\r"}};
  for (const auto& [typed, delimiter] : cases) {
    EXPECT_EQ(Exploder::ProcessSpecialExplodeChars(typed), delimiter) << typed;
  }
}

TEST(ExploderTest, ChunksByEachMode) {
  const std::string thumbs = "\xF0\x9F\x91\x8D";
  const std::string thumbs_toned = thumbs + "\xF0\x9F\x8F\xBD";  // a skin tone is one character
  const std::string e_acute = "e\xCC\x81";                       // with a combining accent
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
      {thumbs_toned + thumbs, BySize(2), "[" + thumbs_toned + "][" + thumbs + "]"},
      {e_acute + "t" + e_acute + " ok", BySize(2), "[" + e_acute + "t" + e_acute + "][ok]"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Explode(c.text, c.settings), c.notes) << c.text;
  }
}

// The notes of every mode, joined with what was skipped between them, give back the
// text: nothing is lost or repeated.
TEST(ExploderTest, NotesJoinedWithWhatWasSkippedGiveBackTheText) {
  std::string long_text;  // long enough for the text's offset index
  for (int i = 0; long_text.size() < 6000; ++i) {
    long_text += i % 11 == 0   ? "Caf\xC3\xA9 \xF0\x9F\x91\x8D. "
                 : i % 13 == 0 ? "\r\r"
                               : "word" + std::to_string(i) + (i % 3 == 0 ? ",  " : " ");
  }
  for (const std::string& text : {std::string("  lead and trail  "), long_text}) {
    for (const ExplodeSettings& s : {BySize(5), BySize(0), ByDelimiter(" ", true),
                                     ByDelimiter(" ", false), ByDelimiter("\\n", true)}) {
      const std::string notes = Explode(text, s);
      size_t at = 0;
      for (size_t open = 0; (open = notes.find('[', open)) != std::string::npos;) {
        const size_t close = notes.find(']', open);
        const std::string chunk = notes.substr(open + 1, close - open - 1);
        open = close;
        const size_t found = text.find(chunk, at);
        ASSERT_NE(found, std::string::npos) << chunk;
        EXPECT_EQ(text.substr(at, found - at).find_first_not_of(" \t\r" + s.delimiter),
                  std::string::npos)
            << "lost before [" << chunk << "], size " << s.chunk_size;
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
  Content* content = source->GetContent();
  const std::pair<int, const char*> runs[] = {{0, "A"}, {3, "B"}, {8, "C"}};
  for (const auto& [start, font] : runs) {
    content->style_runs().emplace_back().start = start;
    content->style_runs().back().font = font;
  }
  content->struck_spans() = {StruckSpan{4, 4}};
  content->pictures().emplace_back().position = 17;  // at the very end
  std::vector<std::string> looks;
  for (const Node* n = AnsweringExploder().Do(source, ByDelimiter(" ", true))->Son(); n != nullptr;
       n = n->Brother()) {
    looks.push_back(n->GetText() + ":");
    for (const StyleRun& run : n->GetContent()->style_runs()) {
      looks.back() += " " + run.font + "@" + std::to_string(run.start);
    }
    for (const StruckSpan& span : n->GetContent()->struck_spans()) {
      looks.back() += " struck " + std::to_string(span.start) + "+" + std::to_string(span.length);
    }
    for (const TextPicture& picture : n->GetContent()->pictures()) {
      looks.back() += " picture@" + std::to_string(picture.position);
    }
  }
  EXPECT_EQ(looks, (std::vector<std::string>{"Hello: A@0 B@3 struck 4+1",
                                             "world: B@0 C@2 struck 0+2", "again: C@0 picture@5"}));
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
      {"Left alone.", Exploder::kNoName, true, "N", "Left alone."},
  };
  for (const Case& c : cases) {
    auto doc = MakeDocument("N");
    Node* note = At(doc.get(), "N");
    note->SetText(c.text);
    AnsweringExploder().MakeNameFor(note, c.mode, c.cut);
    EXPECT_EQ(note->Name(), c.name) << c.text;
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
  // An alias holds no notes: exploding it explodes its original.
  Node* exploded = exploder.DoExplode(AliasNode::CreateFor(book));
  ASSERT_NE(exploded, nullptr);
  ASSERT_EQ(exploder.offered.size(), 1u);
  EXPECT_EQ(exploder.offered[0].chunk_size, 500);
  EXPECT_EQ(exploder.offered[0].name_mode, Exploder::kFirstSentence);

  EXPECT_EQ(test::Dump(book), "Old child\nExploded Text\n  First part.\n  Second part.\n");
  EXPECT_EQ(book->GetText(), "First part. Of it.\rSecond part.");
  EXPECT_EQ(exploded->GetText(), book->GetText());
  EXPECT_EQ(exploded->GetString("Color"), "blue");
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
  std::string text;
  for (int i = 0; i < 15; ++i) {
    text += "w" + std::to_string(i) + " ";
  }
  At(doc.get(), "Source")->SetText(text);
  const Node* exploded = AnsweringExploder().Do(At(doc.get(), "Source"), ByDelimiter(" ", true));
  ASSERT_EQ(exploded->ChildCount(), 15u);
  // As many notes moved one by one to the end of another container, in rows.
  Node* by_hand = At(doc.get(), "ByHand");
  for (int i = 0; i < 15; ++i) {
    ASSERT_TRUE(doc->MakeNode("n", nullptr, nullptr, 0, 0)->DoMoveTo(by_hand, by_hand->YoungestSon()));
  }
  const Node* b = by_hand->Son();
  for (const Node* e = exploded->Son(); e != nullptr; e = e->Brother(), b = b->Brother()) {
    EXPECT_EQ(e->Position(), b->Position()) << e->GetText();
  }
}

TEST(ExploderTest, StopsWhenNoNoteCanBeMadeOrNothingMayChange) {
  auto doc = MakeDocument("Source");
  Node* source = At(doc.get(), "Source");
  source->SetText("a b c d e");
  const Node* exploded = AnsweringExploder({}, true, 2).Do(source, ByDelimiter(" ", true));
  EXPECT_EQ(test::Dump(exploded), "\n\n");  // two unnamed notes, then the run stopped

  AnsweringExploder declining({}, false);
  EXPECT_EQ(declining.DoExplode(source), nullptr);
  EXPECT_EQ(declining.offered.size(), 1u);
  doc->SetCanEdit(false);
  AnsweringExploder unasked;
  EXPECT_EQ(unasked.DoExplode(source), nullptr);
  EXPECT_TRUE(unasked.offered.empty());
  EXPECT_EQ(unasked.DoExplode(nullptr), nullptr);
  EXPECT_EQ(source->ChildCount(), 1u);
}

}  // namespace
}  // namespace fernweave
