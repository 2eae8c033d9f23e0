#include "foundation/xml_reader.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/xml_writer.h"
#include "tests/support/fakes.h"

namespace fernweave {
namespace {

constexpr char kMalformed[] =
    "Fernweave was unable to parse this file. It may be damaged, or you may need a newer "
    "version of Fernweave.  The XML parser said:";

// A reader that counts Finish calls and hands its tree to an optional client; with
// `ahead`, it parses streams on a second thread.
class CountingReader : public XMLReader {
 public:
  explicit CountingReader(bool ahead = false) { ParseOnSecondThread(ahead); }
  int finishes = 0;
  XMLClient* client = nullptr;

 protected:
  bool Finish() override {
    ++finishes;
    return client != nullptr ? XMLReader::Finish(*client) : true;
  }
};

class KindClient : public XMLClient {
 public:
  std::string kind;
  size_t descendants = 0;
  void ReadXML(XMLItem* root) override {
    kind = root->Kind();
    descendants = root->Descendants();
  }
};

std::unique_ptr<XMLItem> ParseOrDie(const std::string& text) {
  XMLReader reader;
  EXPECT_TRUE(reader.Parse(text)) << text << ": " << reader.error();
  return reader.Release();
}

// A document of exactly `size` bytes: notes whose texts pad it out.
std::string DocumentOfSize(size_t size) {
  std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<r>\n";
  const std::string close = "</r>\n";
  const std::string note = "<note name=\"n\">" + std::string(20, 'x') + "</note>\n";
  while (doc.size() + note.size() + close.size() <= size) {
    doc += note;
  }
  doc += std::string(size - doc.size() - close.size(), ' ');
  return doc + close;
}

// `depth` elements, each the only child of the one around it.
std::string Nested(int depth) {
  std::string text;
  text.reserve(depth * 7);
  for (int i = 0; i < depth; ++i) {
    text += "<a>";
  }
  for (int i = 0; i < depth; ++i) {
    text += "</a>";
  }
  return text;
}

std::filesystem::path TempFile(const std::string& name, const std::string& contents) {
  std::filesystem::path path = std::filesystem::path(testing::TempDir()) / name;
  std::ofstream(path, std::ios::binary) << contents;
  return path;
}

// Serves the first `good` bytes of a text, then fails as a disk read would.
class FailingBuffer : public std::streambuf {
 public:
  FailingBuffer(std::string text, size_t good) : text_(std::move(text)), good_(good) {}

 protected:
  int_type underflow() override {
    if (served_ >= good_) {
      throw std::ios_base::failure("read error");
    }
    size_t n = std::min<size_t>(4096, good_ - served_);
    char* start = text_.data() + served_;
    setg(start, start, start + n);
    served_ += n;
    return traits_type::to_int_type(*start);
  }

 private:
  std::string text_;
  size_t good_;
  size_t served_ = 0;
};

TEST(XMLReaderTest, SplitsNamespaceFromLocalName) {
  auto root = ParseOrDie(
      "<n:note xmlns:n=\"http://example.com/ns\" xmlns=\"urn:d\"><plain/><n:x/></n:note>");
  EXPECT_EQ(root->Kind(), "note");
  EXPECT_EQ(root->Namespace(), "http://example.com/ns");
  EXPECT_EQ(root->Son()->Kind(), "plain");
  EXPECT_EQ(root->Son()->Namespace(), "urn:d");
  auto bare = ParseOrDie("<plain/>");
  EXPECT_EQ(bare->Namespace(), "");
}

TEST(XMLReaderTest, NavigatesTheTreeAndAccumulatesTextAroundChildren) {
  auto root = ParseOrDie("<r>t<a i='1'/>e<b/><a i='2'/>x<c><a i='3'/></c>t</r>");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->Kind(), "r");
  EXPECT_EQ(root->Text(), "text");
  EXPECT_EQ(root->UnicodeText(), "text");
  EXPECT_TRUE(root->IsRoot());
  EXPECT_EQ(root->Children(), 4u);
  EXPECT_EQ(root->Descendants(), 5u);
  XMLItem* first = root->First("a");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Get("i"), "1");
  EXPECT_EQ(first->Text(), "");
  EXPECT_EQ(first->Son(), nullptr);
  EXPECT_EQ(first->ElderBrother(), nullptr);
  EXPECT_FALSE(first->IsRoot());
  EXPECT_EQ(first->Parent(), root.get());
  XMLItem* second = first->Next("a");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->Get("i"), "2");
  EXPECT_EQ(second->ElderBrother()->Kind(), "b");
  EXPECT_EQ(second->Next("a"), nullptr) << "Next stays among siblings";
  EXPECT_EQ(root->LastChild()->Kind(), "c");
  EXPECT_EQ(root->LastChild()->Brother(), nullptr);
  EXPECT_EQ(root->First("zz"), nullptr);
}

TEST(XMLReaderTest, AttributesSortedByByteOrderAndKeptAsUtf8) {
  auto root = ParseOrDie("<r z='1' a='2' B='3' a2='&lt;&amp;&#9;' u='caf\xC3\xA9' \xC3\xA9='e'/>");
  EXPECT_EQ(root->Attributes().GetAttributeList(),
            (std::vector<std::string>{"B", "a", "a2", "u", "z", "\xC3\xA9"}));
  EXPECT_EQ(root->Get("u"), "caf\xC3\xA9");
  EXPECT_EQ(root->Get("a2"), "<&\t") << "a tab character reference is kept as a tab";
  EXPECT_EQ(root->Get("missing"), "");
  EXPECT_TRUE(root->Has("B"));
  EXPECT_FALSE(root->Has("b"));

  XMLAttributes attributes;
  attributes.Add({"k", "j", "k"}, {"1", "2", "3"});
  EXPECT_EQ(attributes.Get("k"), "3") << "a later Add replaces";
  EXPECT_EQ(attributes.GetAttributeList(), (std::vector<std::string>{"j", "k"}));
}

TEST(XMLReaderTest, TextIsConvertedToMacRomanAndKeptAsUtf8) {
  auto root = ParseOrDie("<r>caf\xC3\xA9 \xE4\xB8\xAD<c>in</c>&amp;done</r>");
  EXPECT_EQ(root->UnicodeText(), "caf\xC3\xA9 \xE4\xB8\xAD&done");
  EXPECT_EQ(root->Text(), "caf\x8E ?&done");
  EXPECT_EQ(root->Son()->Text(), "in");

  // The 8-bit text catches up with text added after it was read.
  XMLItem item("x", "");
  item.AddText("ab");
  EXPECT_EQ(item.Text(), "ab");
  item.AddText(std::string("\xC3\xA9"));
  EXPECT_EQ(item.Text(), "ab\x8E");
  item.AddText("c", 1);
  item.AddText("\xE2\x82\xAC");
  EXPECT_EQ(item.Text(),
            "ab\x8E"
            "c\xDB");
  EXPECT_EQ(item.UnicodeText(),
            "ab\xC3\xA9"
            "c\xE2\x82\xAC");
}

TEST(XMLReaderTest, SingleByteEncodingsIcuConvertsAreRead) {
  // 0x8E is e acute and 0xA5 a bullet in Mac OS Roman.
  auto roman = ParseOrDie("<?xml version=\"1.0\" encoding=\"macintosh\" ?><r n=\"\xA5\">\x8E</r>");
  EXPECT_EQ(roman->UnicodeText() + roman->Get("n"), "\xC3\xA9\xE2\x80\xA2");
  XMLReader reader;  // not single-byte: refused as before
  EXPECT_FALSE(reader.Parse(std::string("<?xml version=\"1.0\" encoding=\"Shift_JIS\" ?><r>x</r>")));
}

TEST(XMLReaderTest, NumberAndBooleanAccessors) {
  auto root = ParseOrDie(
      "<r a='12' b=' 7' c='-3' d='12abc' e='abc' f='' g='99999999999999999999' "
      "h='4000000000' i='2.5' j='1e3' k='#ff8000' l='bad' m='-1'/>");
  const struct {
    const char* name;
    long as_long;
    unsigned long as_unsigned;
    double as_double;
  } cases[] = {
      {"a", 12, 12, 12}, {"b", 7, 7, 7},
      {"c", -3, 0, -3},  {"d", 12, 12, 12},
      {"e", 0, 0, 0},    {"f", 0, 0, 0},
      {"g", 0, 0, 1e20}, {"h", 4000000000L, 4000000000UL, 4e9},
      {"i", 2, 2, 2.5},  {"j", 1, 1, 1000},
      {"m", -1, 0, -1},  {"absent", 0, 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(root->GetLong(c.name), c.as_long) << c.name;
    EXPECT_EQ(root->GetUnsignedLong(c.name), c.as_unsigned) << c.name;
    EXPECT_DOUBLE_EQ(root->GetDouble(c.name), c.as_double) << c.name;
  }
  EXPECT_EQ(root->GetColor("k"), (RGBColor{0xffff, 0x8080, 0}));
  EXPECT_EQ(root->GetColor("l"), RGBColor{});
  EXPECT_EQ(root->GetColor("absent"), RGBColor{});

  auto flags = ParseOrDie(
      "<r t='true' one='1' f='false' zero='0' e='' yes='yes' two='2' neg='-4' TRUE='TRUE'/>");
  const struct {
    const char* name;
    bool expected;
  } booleans[] = {{"t", true},    {"one", true}, {"f", false},  {"zero", false}, {"e", false},
                  {"yes", false}, {"two", true}, {"neg", true}, {"TRUE", false}, {"absent", false}};
  for (const auto& c : booleans) {
    EXPECT_EQ(flags->GetBoolean(c.name), c.expected) << c.name;
  }

  EXPECT_EQ(ParseOrDie("<n>\n  42\n</n>")->TextAsInt(), 42);
  EXPECT_EQ(ParseOrDie("<n>x42</n>")->TextAsInt(), 0);
}

TEST(XMLReaderTest, MalformedInputShowsTheExactMessage) {
  const struct {
    std::string text;
    std::string said;
  } cases[] = {
      {"<x><y>text</y>", "no element found (line 1)"},
      {"<a>\n<b>\n</a>", "mismatched tag (line 3)"},
      {"", "no element found (line 1)"},
      {"<r>\n\x01</r>", "not well-formed (invalid token) (line 2)"},
  };
  for (const auto& c : cases) {
    test::CollectingMessages messages;
    CountingReader reader;
    std::istringstream in(c.text);
    EXPECT_FALSE(reader.Parse(in, c.text.size())) << c.text;
    EXPECT_EQ(reader.finishes, 0);
    EXPECT_EQ(messages.messages(), std::vector<std::string>{kMalformed + c.said}) << c.text;
  }
}

TEST(XMLReaderTest, ParseStringRetriesWithOnlyTheIllFormedBytesZapped) {
  test::CollectingMessages messages;
  CountingReader reader;
  // Latin-1 bytes beside well-formed UTF-8: the é and the 中 must survive.
  ASSERT_TRUE(reader.Parse(std::string("<r n='caf\xE9'>\xC3\xA9t\xE9 \xE4\xB8\xAD\xE4</r>")));
  EXPECT_EQ(reader.finishes, 1);
  EXPECT_EQ(reader.root()->Get("n"), "caf_");
  EXPECT_EQ(reader.root()->UnicodeText(), "\xC3\xA9t_ \xE4\xB8\xAD_");
  EXPECT_TRUE(messages.messages().empty());

  EXPECT_FALSE(reader.Parse(std::string("<r>\xE9")));
  EXPECT_FALSE(reader.Parse(std::string("<r></x>")));
  EXPECT_EQ(reader.finishes, 1);
  EXPECT_TRUE(messages.messages().empty()) << "Parse(string) never shows a message";

  EXPECT_EQ(XMLReader::Zap("ok \xC3\xA9 \xE2\x82 \xED\xA0\x80 \xF0\x9F\x98\x80 \xFF"),
            "ok \xC3\xA9 __ ___ \xF0\x9F\x98\x80 _");
}

// The stream tests below run twice: parsed on the calling thread, and on a second one.
TEST(XMLReaderTest, ProgressOnlyAbove64KiB) {
  for (bool ahead : {false, true}) {
  for (size_t size : {size_t{1000}, size_t{65536}, size_t{65537}, size_t{100000}}) {
    test::RecordingProgressFactory progress;
    CountingReader reader(ahead);
    std::string doc = DocumentOfSize(size);
    ASSERT_EQ(doc.size(), size);
    std::istringstream in(doc);
    EXPECT_TRUE(reader.Parse(in, size)) << size << ": " << reader.error();
    const test::ProgressLog& log = progress.log();
    if (size <= 65536) {
      EXPECT_TRUE(log.titles.empty()) << size;
      EXPECT_EQ(log.ends, 0);
    } else {
      EXPECT_EQ(log.titles, std::vector<std::string>{"Reading XML..."});
      EXPECT_EQ(log.steps, static_cast<long>(size / 32768));
      EXPECT_EQ(log.bumps, static_cast<long>((size + 32767) / 32768));
      EXPECT_EQ(log.ends, 1);
    }
  }
  }
}

TEST(XMLReaderTest, ReadErrorMidStreamFailsWithoutFinishing) {
  for (bool ahead : {false, true}) {
    test::CollectingMessages messages;
    test::RecordingProgressFactory progress;
    std::string doc = DocumentOfSize(100000);
    FailingBuffer buffer(doc, 40 * 1024);
    std::istream in(&buffer);
    CountingReader reader(ahead);
    EXPECT_FALSE(reader.Parse(in, doc.size()));
    EXPECT_EQ(reader.finishes, 0);
    EXPECT_EQ(reader.error(), "the file could not be read to its end");
    EXPECT_EQ(progress.log().ends, 1) << "the progress display is removed";

    std::istringstream whole(doc);
    EXPECT_TRUE(reader.Parse(whole, doc.size()));
    EXPECT_EQ(reader.finishes, 1);
    size_t notes = 0;
    for (size_t at = doc.find("<note"); at != std::string::npos; at = doc.find("<note", at + 1)) {
      ++notes;
    }
    EXPECT_EQ(reader.root()->Children(), notes);
  }
}

// A handler that throws while batches wait ahead stops the second thread: the
// exception reaches the caller, and the reader parses again afterwards.
TEST(XMLReaderTest, AHandlerThrowingStopsTheParseAhead) {
  class Throwing : public CountingReader {
   public:
    Throwing() : CountingReader(true) {}
    int starts = 0;
    int throw_at = 0;

   protected:
    void StartElement(const char* name, const char** attributes) override {
      if (++starts == throw_at) {
        throw std::runtime_error("stop");
      }
      XMLReader::StartElement(name, attributes);
    }
  };
  const std::string doc = DocumentOfSize(4 << 20);
  Throwing reader;
  reader.throw_at = 5000;
  std::istringstream in(doc);
  EXPECT_THROW(reader.Parse(in, doc.size()), std::runtime_error);
  EXPECT_EQ(reader.finishes, 0);
  reader.throw_at = 0;
  std::istringstream again(doc);
  EXPECT_TRUE(reader.Parse(again, doc.size()));
  EXPECT_EQ(reader.finishes, 1);
}

TEST(XMLReaderTest, FileCutAtABlockBoundaryIsRefused) {
  for (bool ahead : {false, true}) {
  std::string doc = DocumentOfSize(100000);
  CountingReader reader(ahead);
  EXPECT_TRUE(reader.Parse(TempFile("whole.xml", doc)));
  EXPECT_EQ(reader.finishes, 1);

  test::CollectingMessages messages;
  EXPECT_FALSE(reader.Parse(TempFile("cut.xml", doc.substr(0, 65536))));
  EXPECT_EQ(reader.finishes, 1);
  ASSERT_EQ(messages.messages().size(), 1u);
  EXPECT_EQ(messages.messages()[0].rfind(kMalformed, 0), 0u);

  // A complete document of exactly two blocks still reads.
  EXPECT_TRUE(reader.Parse(TempFile("exact.xml", DocumentOfSize(65536))));
  EXPECT_FALSE(reader.Parse(std::filesystem::path(testing::TempDir()) / "no-such-file.xml"));
  }
}

TEST(XMLReaderTest, DeepNestingIsRefusedAndTreesDieIteratively) {
  const int kDeep = 1000000;
  const std::string deep = Nested(kDeep);
  test::CollectingMessages messages;
  XMLReader reader;
  for (bool ahead : {false, true}) {
    CountingReader stream_reader(ahead);
    std::istringstream in(deep);
    EXPECT_FALSE(stream_reader.Parse(in, deep.size()));
  }
  EXPECT_EQ(messages.messages(),
            std::vector<std::string>(2, std::string(kMalformed) +
                                            "elements are nested more than 10000 deep (line 1)"));
  EXPECT_FALSE(reader.Parse(deep));

  ASSERT_TRUE(reader.Parse(Nested(XMLReader::kMaxDepth)));
  EXPECT_EQ(reader.root()->Descendants(), static_cast<size_t>(XMLReader::kMaxDepth - 1));

  // A chain far deeper than any recursion could survive.
  auto chain = std::make_unique<XMLItem>("a", "");
  XMLItem* tip = chain.get();
  for (int i = 0; i < kDeep; ++i) {
    tip = tip->AddChild(std::make_unique<XMLItem>("a", ""));
  }
  EXPECT_EQ(chain->Descendants(), static_cast<size_t>(kDeep));
  chain.reset();
}

TEST(XMLReaderTest, EntityBombFailsQuickly) {
  std::string bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE b [\n<!ENTITY e0 \"laughs laughs\">\n";
  for (int i = 1; i <= 12; ++i) {
    bomb += "<!ENTITY e" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) {
      bomb += "&e" + std::to_string(i - 1) + ";";
    }
    bomb += "\">\n";
  }
  bomb += "]>\n<b>&e12;</b>";
  auto start = std::chrono::steady_clock::now();
  XMLReader reader;
  EXPECT_FALSE(reader.Parse(bomb));
  EXPECT_NE(reader.error().find("amplification"), std::string::npos) << reader.error();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(XMLReaderTest, NeverReadsOutsideFiles) {
  std::filesystem::path secret = TempFile("secret.txt", "TOPSECRET");
  std::filesystem::path dtd = TempFile("outside.dtd", "<!ENTITY leak \"TOPSECRET\">");
  const std::string docs[] = {
      "<!DOCTYPE r [<!ENTITY ext SYSTEM \"file://" + secret.string() + "\">]><r>&ext;</r>",
      "<!DOCTYPE r [<!ENTITY ext SYSTEM \"" + secret.string() + "\">]><r a='1'>&ext;</r>",
      "<!DOCTYPE r [<!ENTITY % p SYSTEM \"" + dtd.string() + "\"> %p;]><r>x</r>",
      "<!DOCTYPE r SYSTEM \"" + dtd.string() + "\"><r>x</r>",
  };
  for (const std::string& doc : docs) {
    XMLReader reader;
    // The reference to the outside is skipped; the rest of the document reads.
    ASSERT_TRUE(reader.Parse(doc)) << doc << ": " << reader.error();
    EXPECT_EQ(reader.root()->UnicodeText().find("TOPSECRET"), std::string::npos) << doc;
  }
}

TEST(XMLReaderTest, ProbeReadsOnlyTheRootName) {
  const struct {
    std::string contents;
    std::string root;
  } cases[] = {
      {"<?xml version=\"1.0\" ?>\n<fernweave version=\"2\">" + std::string(1000, 'x'), "fernweave"},
      {"<o:orvex xmlns:o='urn:o'/>", "orvex"},
      {"just some text", ""},
      {"", ""},
      // The probe reads on until the root's start tag, unless the file ends first.
      {"<!--" + std::string(9000, 'c') + "--><?pi x?><r a='" + std::string(300, 'x') + "'>", "r"},
      {"<r a='" + std::string(300, 'x'), ""},
  };
  XMLReader reader;
  for (const auto& c : cases) {
    EXPECT_EQ(reader.ProbeXML(TempFile("probe.xml", c.contents)), c.root) << c.contents;
    EXPECT_EQ(reader.root(), nullptr) << "the probe keeps no tree";
  }
}

TEST(XMLReaderTest, ReleaseHandsOverTheTreeAndTheReaderIsReusable) {
  KindClient client;
  CountingReader reader;
  reader.client = &client;
  ASSERT_TRUE(reader.Parse(std::string("<one><a/><b/></one>")));
  EXPECT_EQ(client.kind, "one");
  EXPECT_EQ(client.descendants, 2u);
  std::unique_ptr<XMLItem> one = reader.Release();
  EXPECT_EQ(reader.root(), nullptr);
  EXPECT_EQ(reader.Release(), nullptr);
  ASSERT_TRUE(reader.Parse(std::string("<two/>")));
  EXPECT_EQ(client.kind, "two");
  reader.Dispose();
  EXPECT_EQ(one->Kind(), "one") << "the released tree outlives the reader's next parse";
  EXPECT_EQ(reader.GetPos(), -1);
}

class ThrowingReader : public XMLReader {
 protected:
  void StartElement(const char* name, const char** attributes) override {
    if (std::string(name) == "boom") {
      throw Error(error_code::kAsrt, "boom");
    }
    XMLReader::StartElement(name, attributes);
  }
};

TEST(XMLReaderTest, ExceptionsFromHandlersReachTheCaller) {
  ThrowingReader reader;
  EXPECT_FW_ERROR(reader.Parse(std::string("<r><boom/></r>")), "asrt");
  test::RecordingProgressFactory progress;
  std::string big = DocumentOfSize(70000);
  big.insert(big.size() - 6, "<boom/>");
  EXPECT_FALSE(reader.Parse(TempFile("boom2.xml", big)));
  EXPECT_EQ(progress.log().titles.size(), progress.log().ends) << "every display removed";
}

TEST(XMLReaderTest, WrittenTextReadsBackUnchanged) {
  const std::string texts[] = {
      "plain",
      "line one\rline two\r",
      "crlf\r\nmixed\nlf",
      "\ttabs\tand  spaces ",
      "quotes \" and ' and <tags> & entities &amp;",
      "caf\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80",
      std::string("control\x01\x02\x1f chars\0", 17),
      "bad \xE9 utf8 \xED\xA0\x80 \xEF\xBF\xBF",
      "]]> <![CDATA[ x ]]>",
      "",
  };
  for (const std::string& text : texts) {
    XMLWriter writer;
    std::ostringstream os;
    writer.XMLHeader(os);
    writer.Open(os, "item");
    writer.Put(os, "value", text);
    writer.EndTag(os, /*in_line=*/true);
    os << XMLWriter::ToXML(text, true);
    writer.Close(os, "item");
    XMLReader reader;
    ASSERT_TRUE(reader.Parse(os.str())) << os.str() << ": " << reader.error();
    std::string expected = XMLWriter::CleanText(text);
    EXPECT_EQ(reader.root()->Get("value"), expected) << os.str();
    EXPECT_EQ(reader.root()->UnicodeText(), expected) << os.str();
  }
}

TEST(XMLReaderTest, FilesWrittenWithRawWhiteSpaceReadAsBefore) {
  auto root = ParseOrDie("<r a='x\ty\nz\r\nw'>one\rtwo\r\nthree</r>");
  EXPECT_EQ(root->Get("a"), "x y z w");
  EXPECT_EQ(root->UnicodeText(), "one\ntwo\nthree");
}

}  // namespace
}  // namespace fernweave
