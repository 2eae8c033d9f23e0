#include <gtest/gtest.h>

#include "model/link_manager.h"
#include "model/text_link_manager.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

TEST(TextLinkTest, AdjustSpanCoversEveryCase) {
  struct Case {
    const char* what;
    TextSpan anchor;
    TextEdit edit;
    bool extend;
    TextSpan expected;
  };
  const Case cases[] = {
      {"1 edit after the anchor", {4, 3}, {9, 9, 2}, false, {4, 3}},
      {"1 typing just past the end is not at the end", {4, 3}, {8, 8, 1}, true, {4, 3}},
      {"2 typing before shifts", {4, 3}, {1, 1, 2}, false, {6, 3}},
      {"2 typing at the start of a non-empty anchor shifts", {4, 3}, {4, 4, 2}, false, {6, 3}},
      {"2 deleting before shifts back", {4, 3}, {0, 2, -2}, false, {2, 3}},
      {"2 deleting right up to the anchor", {4, 3}, {2, 4, -2}, false, {2, 3}},
      {"3 backspace at an empty anchor", {4, 0}, {4, 4, -1}, false, {3, 0}},
      {"4 typing at the end without extending", {4, 3}, {7, 7, 2}, false, {4, 3}},
      {"4 typing at the end extends", {4, 3}, {7, 7, 2}, true, {4, 5}},
      {"4 deleting the anchor's tail and beyond", {4, 4}, {6, 10, -4}, false, {4, 2}},
      {"4 deleting the whole anchor leaves it empty", {4, 3}, {4, 7, -3}, false, {4, 0}},
      {"4 deleting the whole anchor, extending", {4, 3}, {4, 7, -3}, true, {4, 0}},
      {"5 typing inside lengthens", {4, 3}, {5, 5, 2}, false, {4, 5}},
      {"5 deleting inside shortens", {4, 6}, {5, 7, -2}, false, {4, 4}},
      {"6 deleting across the start", {4, 6}, {2, 6, -4}, false, {2, 4}},
      {"6 replacing across the start", {4, 6}, {2, 6, -1}, false, {2, 7}},
      {"6 never below zero", {4, 2}, {2, 5, -10}, false, {2, 0}},
      {"6 replacing the whole anchor and more empties it", {4, 3}, {2, 9, -2}, false, {2, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextLinkManager::AdjustSpan(c.anchor, c.edit, c.extend), c.expected) << c.what;
  }
}

TEST(TextLinkTest, TextChangedMovesSourceAndDestinationAnchors) {
  auto doc = test::MakeDocument("A\nB");
  Node* a = test::At(doc.get(), "A");
  Node* b = test::At(doc.get(), "B");
  a->SetText("0123456789");
  LinkRecord out(a, 4, 3);
  out.dest = b;
  Link* outbound = doc->CreateLink(out);
  LinkRecord in(b, 0, 1);
  in.dest = a;
  in.dest_span = {5, 2};
  Link* inbound = doc->CreateLink(in);
  LinkRecord plain;
  plain.source = a;
  plain.dest = b;
  Link* unanchored = doc->CreateLink(plain);

  TextLinkManager::TextChanged(a, TextEdit{0, 0, 3}, false);
  EXPECT_EQ(outbound->SourceSpan(), (TextSpan{7, 3}));
  EXPECT_EQ(inbound->DestSpan(), (TextSpan{8, 2}));
  EXPECT_EQ(inbound->SourceSpan(), (TextSpan{0, 1}));  // anchored in B, untouched
  EXPECT_EQ(unanchored->GetSourceStart(), -1);

  TextLinkManager::TextChanged(a, TextEdit{7, 10, -3}, false);
  EXPECT_EQ(outbound->SourceSpan(), (TextSpan{7, 0}));
  EXPECT_EQ(TextLinkManager::DropEmptyAnchors(a), 1u);
  EXPECT_FALSE(doc->Links().Has(outbound));
  EXPECT_TRUE(doc->Links().Has(inbound));
}

TEST(TextLinkTest, ReplacingTheTextMovesAnchorsAndDropsEmptiedOnes) {
  auto doc = test::MakeDocument("S\nT");
  Node* s = test::At(doc.get(), "S");
  s->SetText("h\xc3\xa9llo target world");
  LinkRecord record(s, 6, 6);
  record.dest = test::At(doc.get(), "T");
  Link* target = doc->CreateLink(record);
  s->SetText("h\xc3\xa9llo big target world");  // only the middle is edited; UTF-16 offsets
  EXPECT_EQ(target->SourceSpan(), (TextSpan{10, 6}));
  s->SetText("x");
  EXPECT_FALSE(doc->Links().Has(target));
}

}  // namespace
}  // namespace fernweave
