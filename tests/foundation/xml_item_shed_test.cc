#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "foundation/xml_item.h"
#include "foundation/xml_reader.h"

namespace fernweave {
namespace {

// Shedding frees an item's contents but leaves the item, and the tree around it, in
// place: a walk that already moved past it still finds its brothers.
TEST(XMLItemShed, FreesContentsAndKeepsPlaceInTree) {
  XMLReader reader;
  ASSERT_TRUE(reader.Parse(
      std::string("<r><a x=\"1\" y=\"long value well past the short-string size\">caf\xC3\xA9"
                  "<b><c/>tail</b></a><d z=\"2\">text</d></r>")));
  XMLItem* a = reader.root()->Son();
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(a->Descendants(), 2u);
  EXPECT_EQ(a->Text(), "caf\x8E");  // the 8-bit form was made before shedding

  a->Shed();
  EXPECT_EQ(a->Son(), nullptr);
  EXPECT_EQ(a->LastChild(), nullptr);
  EXPECT_EQ(a->Children(), 0u);
  EXPECT_EQ(a->Descendants(), 0u);
  EXPECT_EQ(a->Attributes().size(), 0u);
  EXPECT_EQ(a->UnicodeText(), "");
  EXPECT_EQ(a->Text(), "");
  EXPECT_EQ(a->Kind(), "a");
  EXPECT_EQ(a->Parent(), reader.root());

  const XMLItem* d = a->Brother();
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->Kind(), "d");
  EXPECT_EQ(d->Get("z"), "2");
  EXPECT_EQ(d->UnicodeText(), "text");
  EXPECT_EQ(reader.root()->Descendants(), 2u);

  // Text added after shedding is converted afresh, not against the old state.
  a->AddText("\xC3\xA9");
  EXPECT_EQ(a->Text(), "\x8E");
  a->AddText("x");
  EXPECT_EQ(a->Text(), "\x8Ex");
}

// A chain nested far deeper than a recursive delete could survive is shed without
// recursion, and shedding twice is harmless.
TEST(XMLItemShed, DeepChainWithoutRecursion) {
  auto root = std::make_unique<XMLItem>("r", "");
  XMLItem* at = root.get();
  for (int i = 0; i < 200000; ++i) {
    at = at->AddChild(std::make_unique<XMLItem>("n", ""));
  }
  root->Son()->Shed();
  EXPECT_EQ(root->Descendants(), 1u);
  root->Shed();
  root->Shed();
  EXPECT_EQ(root->Son(), nullptr);
  EXPECT_EQ(root->Descendants(), 0u);
}

// Children deleted from the end leave the rest of the list linked both ways, and the
// emptied item takes new children normally.
TEST(XMLItemShed, DeleteLastChildKeepsTheRestLinked) {
  XMLReader reader;
  ASSERT_TRUE(reader.Parse(std::string("<r><a/><b/><c><x><y/></x></c></r>")));
  XMLItem* r = reader.root();
  const std::string kinds[] = {"a", "b", "c"};
  for (size_t i = 3; i-- > 0;) {
    EXPECT_EQ(r->LastChild()->Kind(), kinds[i]) << i;
    r->DeleteLastChild();
    EXPECT_EQ(r->Children(), i) << i;
    if (i > 0) {
      EXPECT_EQ(r->LastChild()->Kind(), kinds[i - 1]) << i;
      EXPECT_EQ(r->LastChild()->Brother(), nullptr) << i;
      EXPECT_EQ(r->Son()->Kind(), "a") << i;
    }
  }
  EXPECT_EQ(r->Son(), nullptr);
  EXPECT_EQ(r->LastChild(), nullptr);
  r->DeleteLastChild();
  r->AddChild(std::make_unique<XMLItem>("d", ""));
  EXPECT_EQ(r->Son(), r->LastChild());
  EXPECT_EQ(r->Children(), 1u);
}

// An item reused for another element keeps nothing of the one before.
TEST(XMLItemShed, ReusedItemsStartEmpty) {
  XMLReader reader;
  ASSERT_TRUE(reader.Parse(std::string("<r><a x=\"1\" y=\"2\">text</a></r>")));
  std::unique_ptr<XMLItem> a = reader.root()->DetachLastChild();
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(reader.root()->Son(), nullptr);
  a->Reuse("c", "ns");
  EXPECT_EQ(a->Kind(), "c");
  EXPECT_EQ(a->Namespace(), "ns");
  EXPECT_EQ(a->Attributes().size(), 0u);
  EXPECT_EQ(a->UnicodeText(), "");
  EXPECT_EQ(a->Text(), "");
  const char* pairs[] = {"z", "3", "x", "4", nullptr};
  a->SetAttributes(pairs);
  EXPECT_EQ(a->Get("x"), "4");
  EXPECT_EQ(a->Get("y"), "");
  EXPECT_EQ(a->Get("z"), "3");
}

}  // namespace
}  // namespace fernweave
