#include <string>

#include <gtest/gtest.h>

#include "export/entities.h"

namespace fernweave {
namespace {

TEST(EntitiesTest, FilterEscapesWhatItMustAndKeepsEntities) {
  const struct {
    const char* text;
    bool keep_ampersands;
    bool quote;
    const char* out;
  } kCases[] = {
      {"a < b & c", false, false, "a < b &amp; c"},
      {"a < b & c", false, true, "a &lt; b &amp; c"},
      {"&amp; &#233; &x y;", false, false, "&amp; &#233; &amp;x y;"},
      {"a & b", true, false, "a & b"},
      {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", false, false, "caf&#xe9; &#x20ac; &#x1f600;"},
      {"~\x7f", false, false, "~&#x7f;"},
      // Broken UTF-8 never passes through raw.
      {"a\xc3", false, false, "a&#xfffd;"},
      {"\xe2\x82", false, false, "&#xfffd;&#xfffd;"},
      {"\x80z", false, false, "&#xfffd;z"},
      // Inside a code block markup is shown, not run.
      {"<code>a<b></code><i>", false, false, "<code>a&lt;b&gt;</code><i>"},
      {"", false, true, ""},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(EntityFilter(c.text, c.keep_ampersands, c.quote), c.out) << c.text;
  }
  EXPECT_EQ(EncodeQuotes("a\"b\"\""), "a&quot;b&quot;&quot;");
  EXPECT_EQ(EncodeAmpersands("&amp;"), "&amp;amp;");
  EXPECT_EQ(EncodeAttribute("x\" onclick='y' <&>"), "x&quot; onclick=&#39;y&#39; &lt;&amp;&gt;");
}

}  // namespace
}  // namespace fernweave
