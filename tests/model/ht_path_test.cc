#include "model/ht_path.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/alias_node.h"
#include "model/path_evaluator.h"
#include "model/random_source.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

constexpr char kOutline[] =
    "Top\n"
    "  A\n"
    "    A1\n"
    "    A2\n"
    "    A3\n"
    "  B\n"
    "Other\n"
    "  Deep\n"
    "    Deeper";

// The name of a resolved note, "(null)" for none, "(root)" for the document root.
std::string NameOf(const Node* n) {
  if (n == nullptr) {
    return "(null)";
  }
  return n->IsRoot() ? "(root)" : n->Name();
}

// Draws a fixed raw number, as a seeded C library generator would.
class FixedRandom : public RandomSource {
 public:
  explicit FixedRandom(uint32_t raw) : raw_(raw), previous_(SetRandom(this)) {}
  ~FixedRandom() override { SetRandom(previous_); }
  uint32_t Next(uint32_t n) override { return n == 0 ? 0 : raw_ % n; }
  uint32_t Raw() override { return raw_; }

 private:
  uint32_t raw_;
  RandomSource* previous_;
};

// Returns a fixed answer and records every expression it is asked to evaluate.
class RecordingEvaluator : public PathExpressionEvaluator {
 public:
  explicit RecordingEvaluator(std::string answer)
      : answer_(std::move(answer)), previous_(InstallPathEvaluator(this)) {}
  ~RecordingEvaluator() override { InstallPathEvaluator(previous_); }
  std::string Evaluate(Node* context, const std::string& expression) override {
    calls_.push_back(NameOf(context) + ":" + expression);
    return answer_;
  }
  const std::vector<std::string>& calls() const { return calls_; }

 private:
  std::string answer_;
  PathExpressionEvaluator* previous_;
  std::vector<std::string> calls_;
};

TEST(HTPathTest, ParseSplitsPathAndArgument) {
  struct Case {
    const char* text;
    const char* path;
    const char* argument;
  } cases[] = {
      {"parent(/Projects/Alpha)", "parent", "/Projects/Alpha"},
      {"  child \t", "child", ""},
      {"next(parent(A))", "next", "parent(A)"},
      {"$Name(x) ", "$Name(x) ", ""},  // an expression keeps its whole text
      {"'quoted' ", "'quoted' ", ""},
      {"a)b(c", "a)b(c", ""},  // ")" before "(" is no argument
      {"f()", "f", ""},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    HTPath path(c.text);
    EXPECT_EQ(path.path(), c.path) << c.text;
    EXPECT_EQ(path.argument(), c.argument) << c.text;
  }
  EXPECT_TRUE(HTPath::IsExpression("'x'"));
  EXPECT_FALSE(HTPath::IsExpression(" $x"));
}

TEST(HTPathTest, DesignatorsAndPaths) {
  auto doc = test::MakeDocument(kOutline);
  struct Case {
    const char* context;  // "" is the root
    const char* path;
    const char* expected;
  } cases[] = {
      {"Top/A/A2", "this", "A2"},
      {"Top/A/A2", "parent", "A"},
      {"Top/A/A2", "..", "A"},
      {"Top", "parent", "(null)"},  // the root is never returned
      {"", "parent", "(null)"},
      {"Top/A/A2", "grandparent", "Top"},
      {"Top/A", "grandparent", "(null)"},
      {"Top/A", "child", "A1"},
      {"Top/A", "lastchild", "A3"},
      {"Top/B", "child", "(null)"},
      {"Top/A/A2", "nextsibling", "A3"},
      {"Top/A/A3", "nextSibling", "(null)"},
      {"Top/A/A2", "prevsibling", "A1"},
      {"Top/A/A1", "previoussibling", "(null)"},
      {"Top/A/A3", "firstsibling", "A1"},
      {"Top/A/A1", "lastSibling", "A3"},
      {"Top", "firstSibling", "Top"},
      {"", "firstsibling", "(null)"},  // the root has no father to read
      {"", "lastsibling", "(null)"},
      {"Top/A/A3", "next", "B"},
      {"Other/Deep/Deeper", "next", "(null)"},
      {"Top/B", "previous", "A3"},
      {"Top", "previous", "(null)"},  // stepping back from the first note: the root
      {"Top/A/A1", "cover", "Top"},
      {"Top/A/A1", "Parent", "(null)"},  // designators are case-sensitive
      // Paths.
      {"Other", "/Top/A", "A"},
      {"Top", "A//A2", "A"},
      {"Top", "A/A2/", "A2"},
      {"Top/A", "../B", "B"},
      {"Other", "/Top/../Other/Deep", "Deep"},
      {"Top", "/", "(null)"},
      {"", "Top/..", "(null)"},  // a walk ending on the root
      {"Top", "A/Nope", "(null)"},
      // Bare names: a child first, then the whole document.
      {"Top/A", "A2", "A2"},
      {"Top/A", "Deeper", "Deeper"},
      {"Top/A", "Missing", "(null)"},
      // Arguments.
      {"Other", "parent(/Top/A/A1)", "A"},
      {"Other", "child(/Nope)", "(null)"},
      {"Other", "parent(/Top)", "(null)"},
      {"Other", "parent(child(/Top))", "Top"},
      {"Top/A", "lastchild(parent(A2))", "A3"},
  };
  for (const Case& c : cases) {
    Node* context = *c.context == '\0' ? doc->Root() : test::At(doc.get(), c.context);
    ASSERT_NE(context, nullptr) << c.context;
    EXPECT_EQ(NameOf(HTPath(c.path).Get(context)), c.expected) << c.path << " from " << c.context;
  }
  const Node* a = test::At(doc.get(), "Top/A");
  EXPECT_EQ(NameOf(HTPath("child").Get(a)), "A1");
  EXPECT_EQ(HTPath("this").Get(static_cast<Node*>(nullptr)), nullptr);
}

TEST(HTPathTest, DeeplyNestedArgumentsDoNotOverflow) {
  auto doc = test::MakeDocument("A\n  B");
  std::string text;
  constexpr int kDepth = 20000;
  for (int i = 0; i < kDepth; ++i) {
    text += "this(";
  }
  text += "/A/B";
  text += std::string(kDepth, ')');
  EXPECT_EQ(NameOf(HTPath(text).Get(doc->Root())), "B");
}

TEST(HTPathTest, NotesWithoutAFatherHaveNoSiblingsOrParents) {
  auto doc = test::MakeDocument("A\n  B\n    C\nD");
  Node* b = test::At(doc.get(), "A/B");
  b->Hide(true);
  ASSERT_EQ(b->Father(), nullptr);
  for (const char* path : {"firstsibling", "lastsibling", "parent", "grandparent", "nextsibling",
                           "prevsibling", "previous"}) {
    EXPECT_EQ(HTPath(path).Get(b), nullptr) << path;
  }
  EXPECT_EQ(NameOf(HTPath("child").Get(b)), "C");
}

TEST(HTPathTest, CurrentAgentAndAdornment) {
  auto doc = test::MakeDocument("A\nB");
  Node* a = test::At(doc.get(), "A");
  EXPECT_EQ(HTPath("agent").Get(a), nullptr);
  EXPECT_EQ(HTPath("adornment").Get(a), nullptr);
  Node* agent = doc->MakeNode(Hypertext::NoteKind::kAgent, "Finder", nullptr, nullptr, 0, 0);
  Node* adornment = doc->MakeNode(Hypertext::NoteKind::kAdornment, "Band", nullptr, nullptr, 0, 0);
  doc->SetCurrentAgent(agent);
  doc->SetCurrentAdornment(adornment);
  EXPECT_EQ(HTPath("agent").Get(a), agent);
  EXPECT_EQ(HTPath("adornment").Get(a), adornment);
  EXPECT_EQ(NameOf(HTPath("cover").Get(a)), "Band");  // made first, so the first note
}

TEST(HTPathTest, NamesNeverYieldAnAlias) {
  auto doc = test::MakeDocument("Folder\nTwin");
  Node* original = test::At(doc.get(), "Twin");
  Node* folder = test::At(doc.get(), "Folder");
  // The alias comes first in document order, so the name lookup meets it first.
  AliasNode* alias = AliasNode::CreateFor(original, folder, nullptr, 0, 0, false);
  ASSERT_NE(alias, nullptr);
  ASSERT_EQ(doc->FindNodeNamed("Twin"), alias);
  EXPECT_EQ(HTPath("Twin").Get(doc->Root()), original);
  EXPECT_EQ(HTPath("Twin").Get(folder), original);  // found as a child of Folder
  EXPECT_EQ(HTPath("/Folder/Twin").Get(original), original);
  EXPECT_EQ(HTPath("\"Twin\"").Get(folder), original);
  EXPECT_EQ(HTPath("original").Get(alias), original);
  EXPECT_EQ(HTPath("this").Get(alias), alias);  // a designator names the note itself
}

TEST(HTPathTest, ExpressionPaths) {
  auto doc = test::MakeDocument(kOutline);
  Node* a1 = test::At(doc.get(), "Top/A/A1");
  // Without an evaluator the quote-trimmed text is looked up as a name.
  EXPECT_EQ(NameOf(HTPath("'Deep'").Get(a1)), "Deep");
  EXPECT_EQ(NameOf(HTPath("\"parent\"").Get(a1)), "A");
  EXPECT_EQ(HTPath("$Missing").Get(a1), nullptr);
  RecordingEvaluator evaluator("/Top/B");
  // A text naming an existing note resolves to it without evaluating.
  EXPECT_EQ(NameOf(HTPath(" \"Deeper\"").Get(a1)), "Deeper");
  EXPECT_TRUE(evaluator.calls().empty());
  EXPECT_EQ(NameOf(HTPath("$Where").Get(a1)), "B");
  EXPECT_EQ(NameOf(HTPath("'$Where'").Get(a1)), "B");
  const std::vector<std::string> expected = {"A1:$Where", "A1:$Where"};
  EXPECT_EQ(evaluator.calls(), expected);
  EXPECT_EQ(HTPath::Evaluate(a1, "'x'"), "/Top/B");
  EXPECT_EQ(evaluator.calls().back(), "A1:x");
}

TEST(HTPathTest, RandomChild) {
  auto doc = test::MakeDocument("P\n  C0\n  C1\n  C2\nLeaf");
  Node* p = test::At(doc.get(), "P");
  Node* leaf = test::At(doc.get(), "Leaf");
  struct Case {
    uint32_t raw;
    const char* expected;
  } cases[] = {
      {0, "C0"},
      {RandomSource::kRawMax / 3 - 1, "C0"},
      {RandomSource::kRawMax / 2, "C1"},
      // raw × 3 passes 2^32: computed in 64 bits it still picks the last child.
      {RandomSource::kRawMax - 1, "C2"},
      // The largest draw would index one past the last child.
      {RandomSource::kRawMax, "C2"},
  };
  for (const Case& c : cases) {
    FixedRandom random(c.raw);
    EXPECT_EQ(NameOf(HTPath("randomchild").Get(p)), c.expected) << c.raw;
    EXPECT_EQ(NameOf(HTPath("randomChild").Get(p)), c.expected) << c.raw;
  }
  FixedRandom random(12345);
  EXPECT_EQ(HTPath("randomchild").Get(leaf), leaf);
}

TEST(HTPathTest, ExportingOnlySkipsNotesThatCannotBeExported) {
  auto doc = test::MakeDocument(
      "Top\n"
      "  A\n"
      "    Hidden1\n"
      "    Shown\n"
      "    Hidden2\n"
      "  B\n"
      "  C");
  if (!doc->HasAttribute("HTMLDontExport")) {
    doc->Properties().CreateBasicAttribute("HTMLDontExport", kUserCategory, true,
                                           AttributeType::kBoolean);
  }
  for (const char* name : {"Top/A/Hidden1", "Top/A/Hidden2", "Top/B"}) {
    test::At(doc.get(), name)->SetBoolean("HTMLDontExport", true);
  }
  struct Case {
    const char* context;
    const char* path;
    const char* plain;
    const char* exporting;
  } cases[] = {
      {"Top/A", "next", "Hidden1", "Shown"},
      // Leaving the context's subtree on a note that cannot be exported ends the walk.
      {"Top/A/Shown", "next", "Hidden2", "(null)"},
      {"Top/A/Hidden2", "next", "B", "(null)"},
      {"Top/A/Hidden1", "nextsibling", "Shown", "Shown"},
      {"Top/A/Shown", "nextsibling", "Hidden2", "(null)"},
      {"Top/A/Hidden2", "prevsibling", "Shown", "Shown"},
      {"Top/A", "nextsibling", "B", "C"},
      {"Top/C", "previous", "B", "(null)"},  // B lies outside C
      {"Top/A/Shown", "prevsibling", "Hidden1", "(null)"},
  };
  for (const Case& c : cases) {
    Node* context = test::At(doc.get(), c.context);
    EXPECT_EQ(NameOf(HTPath(c.path).Get(context)), c.plain) << c.path << " from " << c.context;
    EXPECT_EQ(NameOf(HTPath(c.path, true).Get(context)), c.exporting)
        << c.path << " from " << c.context;
  }
}

TEST(HTPathTest, CreateMakesMissingNotesAlongAPath) {
  auto doc = test::MakeDocument("Top\n  A\nOther");
  Node* top = test::At(doc.get(), "Top");
  Node* other = test::At(doc.get(), "Other");
  const size_t before = doc->NodeCount();
  EXPECT_EQ(HTPath("/Top/A").Create(other), test::At(doc.get(), "Top/A"));
  EXPECT_EQ(doc->NodeCount(), before);

  Node* made = HTPath("/Top/A/New/Deeper").Create(other);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made, test::At(doc.get(), "Top/A/New/Deeper"));
  EXPECT_EQ(doc->NodeCount(), before + 2);
  EXPECT_EQ(HTPath("/Top/A/New/Deeper").Create(top), made);  // found, not made again

  EXPECT_EQ(NameOf(HTPath("X/Y").Create(other)), "Y");  // relative to the context
  EXPECT_NE(test::At(doc.get(), "Other/X/Y"), nullptr);
  EXPECT_EQ(NameOf(HTPath("Z//W").Create(top)), "Z");  // "//" ends the walk
  EXPECT_EQ(test::ChildNames(top), "A Z");

  const size_t now = doc->NodeCount();
  EXPECT_EQ(HTPath("../../../Up").Create(top), nullptr);  // above the root
  EXPECT_EQ(HTPath("/").Create(top), nullptr);
  EXPECT_EQ(HTPath("child(/Nowhere)").Create(top), nullptr);
  EXPECT_EQ(HTPath("").Create(nullptr), nullptr);
  EXPECT_EQ(doc->NodeCount(), now);
  // Through an alias the walk goes on in its original; aliases hold no children.
  AliasNode* alias = AliasNode::CreateFor(other, top, nullptr, 0, 0, false);
  ASSERT_NE(alias, nullptr);
  Node* inside = HTPath("/Top/Other/Inside").Create(top);
  ASSERT_NE(inside, nullptr);
  EXPECT_EQ(inside->Father(), other);
  EXPECT_EQ(alias->Son(), nullptr);
  // Resolution looks there too, so a second walk finds what the first made.
  EXPECT_EQ(HTPath("/Top/Other/Inside").Get(top), inside);
  Node* y = HTPath("/Top/Other/Inside/x/y").Create(top);
  EXPECT_EQ(HTPath("/Top/Other/Inside/x/z").Create(top)->Father(), y->Father());
  EXPECT_EQ(test::CheckInvariants(*doc), "");
}

}  // namespace
}  // namespace fernweave
