#include "model/word_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "model/alias_node.h"
#include "model/attribute.h"
#include "model/config.h"
#include "model/content.h"
#include "model/props.h"
#include "tests/support/file_faults.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

const std::filesystem::path kConfig = std::filesystem::path(FW_SOURCE_DIR) / "config";

// "word:count" for each entry, sorted by word.
std::string Dump(const WordIndex& index) {
  std::vector<std::string> entries;
  for (size_t i = 0; i < index.size(); ++i) {
    entries.push_back(std::string(index.WordAt(i)) + ":" + std::to_string(index.CountAt(i)));
  }
  std::sort(entries.begin(), entries.end());
  std::string out;
  for (const std::string& e : entries) {
    out += (out.empty() ? "" : " ") + e;
  }
  return out;
}

// The names of notes, joined by " ".
std::string Names(const std::vector<Node*>& notes) {
  std::string out;
  for (const Node* n : notes) {
    out += (out.empty() ? "" : " ") + n->Name();
  }
  return out;
}

TEST(WordIndexTest, WordsOfTexts) {
  const StopList stop = StopList::FromText("the\nOF\n");
  const struct {
    std::string text;
    std::string dump;
  } cases[] = {
      {"", ""},
      {"  ,;!? -- ", ""},
      {"The rest of the REST", "rest:2"},  // stop words go, case folds
      {"Line one\rline two\r\nLINE", "line:3 one:1 two:1"},
      {"version 2.5 of v2, 2009", "2.5:1 2009:1 v2:1 version:1"},
      {"can't stop", "can't:1 stop:1"},
      {"Straße STRASSE strasse", "strasse:3"},  // full folding
      {"ΣΊΣΥΦΟΣ σίσυφος", "σίσυφοσ:2"},
      {"naïve café", "café:1 naïve:1"},
      {"bad \xff\xfe bytes \xc3", "bad:1 bytes:1"},  // ill-formed bytes form no word
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Dump(WordIndex::Build(c.text, stop)), c.dump) << c.text;
  }
}

TEST(WordIndexTest, CountFoldsAndTrimsTheQuestion) {
  const WordIndex index =
      WordIndex::Build("Alpha beta alpha Ärger", StopList::FromText("beta"));
  const struct {
    std::string word;
    uint32_t count;
  } cases[] = {
      {"alpha", 2}, {"ALPHA", 2},  {" alpha\t", 2}, {"ärger", 1},   {"ÄRGER", 1},
      {"beta", 0},  {"alpha beta", 0}, {"", 0},    {"alph", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(index.Count(c.word), c.count) << c.word;
  }
  EXPECT_EQ(index.TotalWords(), 3u);
}

TEST(WordIndexTest, StopListFile) {
  const StopList list = StopList::FromText("# common words\r\n\r\n  The \r\nÜBER\n#not\n");
  EXPECT_EQ(list.size(), 2u);
  EXPECT_TRUE(list.Contains("the"));
  EXPECT_TRUE(list.Contains("über"));
  EXPECT_FALSE(list.Contains("#not"));
  EXPECT_EQ(StopList::FromFile(kConfig / "no such file").size(), 0u);
  EXPECT_EQ(StopList::FromFile(kConfig).size(), 0u);  // a folder is not a list
  // The shipped list, large enough to make the lookup table grow several times.
  const std::string text = test::ReadFile(kConfig / kStopListFileName);
  const StopList shipped = StopList::FromText(text);
  EXPECT_GT(shipped.size(), 100u);
  size_t found = 0;
  for (size_t start = 0, end; start < text.size(); start = end + 1) {
    end = text.find('\n', start);
    const std::string line = text.substr(start, end - start);
    if (!line.empty() && line[0] != '#') {
      EXPECT_TRUE(shipped.Contains(line)) << line;
      EXPECT_FALSE(shipped.Contains(line + "q")) << line;
      ++found;
    }
  }
  EXPECT_EQ(found, shipped.size());
}

TEST(WordIndexTest, AddingAfterFinishMergesCounts) {
  WordIndex index;
  index.Add("pear apple", StopList());
  index.Finish();
  index.Add("apple fig apple", StopList());
  index.Finish();
  EXPECT_EQ(Dump(index), "apple:3 fig:1 pear:1");
  EXPECT_EQ(index.TotalWords(), 5u);
  EXPECT_DOUBLE_EQ(index.Norm(), std::sqrt(11.0));
}

TEST(WordIndexTest, CosineSimilarity) {
  const StopList none;
  const struct {
    std::string a;
    std::string b;
    double similarity;
  } cases[] = {
      {"red green", "green red", 1.0},
      {"red red green", "red green green", 0.8},  // (2 + 2) / (sqrt 5 * sqrt 5)
      {"red", "red green", 0.70710678},
      {"red", "blue", 0.0},
      {"", "red", 0.0},
      {"", "", 0.0},
  };
  for (const auto& c : cases) {
    const WordIndex a = WordIndex::Build(c.a, none);
    const WordIndex b = WordIndex::Build(c.b, none);
    EXPECT_NEAR(Similarity(a, b), c.similarity, 1e-7) << c.a << " / " << c.b;
    EXPECT_DOUBLE_EQ(Similarity(a, b), Similarity(b, a)) << c.a << " / " << c.b;
  }
}

TEST(NoteWordIndexTest, FollowsTextUserStringsAndStopList) {
  test::ScratchFolder config;
  test::WriteFile(config / kStopListFileName, "the\n");
  ScopedConfigFolder use(config.path());
  auto doc = test::MakeDocument("A\nB");
  doc->Properties().CreateBasicAttribute("Owner", kUserCategory, true, AttributeType::kString);
  Node* a = test::At(doc.get(), "A");
  a->SetText("the kettle");
  EXPECT_EQ(Dump(a->GetWordIndex()), "kettle:1");

  // Changed through the note, through its content, and by copying another content.
  a->SetText("teapot");
  EXPECT_EQ(Dump(a->GetWordIndex()), "teapot:1");
  a->GetContent()->SetText("cup cup");
  EXPECT_EQ(Dump(a->GetWordIndex()), "cup:2");
  *a->GetContent() = Content("saucer");
  EXPECT_EQ(Dump(a->GetWordIndex()), "saucer:1");

  // A user string value joins the words, and leaves them when reset.
  a->Set("Owner", "Kim Saucer");
  EXPECT_EQ(Dump(a->GetWordIndex()), "kim:1 saucer:2");
  a->Remove("Owner");
  EXPECT_EQ(Dump(a->GetWordIndex()), "saucer:1");

  // Another configuration folder brings another stop list.
  std::filesystem::create_directories(config / "other");
  test::WriteFile(config / "other" / kStopListFileName, "saucer\n");
  {
    ScopedConfigFolder other(config / "other");
    EXPECT_EQ(Dump(a->GetWordIndex()), "");
  }
  EXPECT_EQ(Dump(a->GetWordIndex()), "saucer:1");
}

TEST(NoteWordIndexTest, AliasesAndCopies) {
  ScopedConfigFolder use(kConfig);
  auto doc = test::MakeDocument("A\nB");
  Node* a = test::At(doc.get(), "A");
  a->SetText("Kettle on the stove");
  AliasNode* alias = AliasNode::CreateFor(a);
  ASSERT_NE(alias, nullptr);
  // An alias shows its original's words but does not hold them itself.
  EXPECT_EQ(Dump(alias->GetWordIndex()), "kettle:1 stove:1");
  EXPECT_TRUE(NoteHoldsWord(*a, "KETTLE"));
  EXPECT_FALSE(NoteHoldsWord(*alias, "kettle"));
  EXPECT_FALSE(NoteHoldsWord(*a, "the"));
  a->SetText("kettle");
  EXPECT_EQ(Dump(alias->GetWordIndex()), "kettle:1");

  // A copy starts with the same words; later changes stay apart.
  Node* copy = a->Clone(false);
  copy->SetText("pan");
  EXPECT_EQ(Dump(copy->GetWordIndex()), "pan:1");
  EXPECT_EQ(Dump(a->GetWordIndex()), "kettle:1");
}

TEST(MostSimilarNotesTest, RanksLiveOriginalsOtherThanTheTarget) {
  ScopedConfigFolder use(kConfig);
  auto doc = test::MakeDocument("Target\nTwin\nHalf\nAlsoHalf\nStranger\nGone\nEmpty");
  const struct {
    const char* name;
    const char* text;
  } texts[] = {
      {"Target", "apple pear plum"}, {"Twin", "plum pear apple"},
      {"Half", "apple kiwi"},        {"AlsoHalf", "pear kiwi"},
      {"Stranger", "granite"},       {"Gone", "apple pear plum"},
  };
  for (const auto& t : texts) {
    test::At(doc.get(), t.name)->SetText(t.text);
  }
  Node* target = test::At(doc.get(), "Target");
  AliasNode* alias = AliasNode::CreateFor(test::At(doc.get(), "Twin"));
  ASSERT_NE(alias, nullptr);
  test::At(doc.get(), "Gone")->Hide(true);

  // Equal scores (Half, AlsoHalf) keep document order; no-match and empty notes,
  // the hidden twin and the alias never appear.
  EXPECT_EQ(Names(MostSimilarNotes(*target, 10)), "Twin Half AlsoHalf");
  EXPECT_EQ(Names(MostSimilarNotes(*target, 2)), "Twin Half");
  EXPECT_EQ(Names(MostSimilarNotes(*target, 0)), "");
  // An alias as the target ranks for its original, which is left out.
  EXPECT_EQ(Names(MostSimilarNotes(*alias, 1)), "Target");
  EXPECT_EQ(Names(MostSimilarNotes(*test::At(doc.get(), "Empty"), 5)), "");
}

}  // namespace
}  // namespace fernweave
