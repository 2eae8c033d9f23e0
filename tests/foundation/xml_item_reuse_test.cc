#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "foundation/xml_item.h"
#include "foundation/xml_reader.h"

namespace fernweave {
namespace {

// Children deleted from the end leave the rest of the list linked both ways, and the
// emptied item takes new children normally.
TEST(XMLItemReuse, DeleteLastChildKeepsTheRestLinked) {
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
TEST(XMLItemReuse, ReusedItemsStartEmpty) {
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
