#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "foundation/xml_item.h"
#include "model/color_table.h"
#include "model/config.h"
#include "model/hypertext.h"
#include "model/link_type.h"
#include "model/orvex.h"
#include "model/props.h"
#include "model/special_attributes.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

const std::filesystem::path kConfig = std::filesystem::path(FW_SOURCE_DIR) / "config";

// One built-in attribute as documents rely on it. Flags: "r" read-only, "h" not shown
// in the inspector, "n" not inherited. Defaults are the file (XML) form.
struct Expected {
  const char* name;
  const char* category;
  int type;
  const char* default_xml;
  const char* kind;
  const char* flags;
  uint32_t facets;
  int preference;
};

// Type codes: 0 string, 1 colour, 2 number, 3 file, 4 boolean, 5 date, 6 unsigned,
// 7 action, 8 set, 9 URL, 10 rectangle.
const Expected kTable[] = {
    {"EntryScript", "Internal", 0, "", "basic", "rh", 0, 0},
    {"ExitScript", "Internal", 0, "", "basic", "rh", 0, 0},
    {"WindowPlace", "Internal", 10, "", "preference", "hn", 0, 21},
    {"Alias", "Internal", 6, "0", "basic", "rh", 0, 0},
    {"AgentQuery", "Agent", 0, "", "basic", "", 0, 0},
    {"AgentCaseSensitive", "Agent", 4, "true", "basic", "", 0, 0},
    {"AgentAction", "Agent", 7, "", "basic", "", 0, 0},
    {"AgentPriority", "Agent", 2, "1", "basic", "", 0, 0},
    {"Created", "General", 5, "never", "basic", "rn", 0, 0},
    {"Modified", "General", 5, "never", "basic", "rn", 0, 0},
    {"ID", "General", 2, "0", "basic", "rhn", 0, 0},
    {"Creator", "General", 0, "", "preference", "n", 0, 1},
    {"Checked", "General", 4, "false", "basic", "", 0x201, 0},
    {"Name", "General", 0, "untitled", "name", "n", 0, 0},
    {"ReadCount", "General", 2, "0", "basic", "rn", 0, 0},
    {"SelectionCount", "General", 2, "0", "basic", "rn", 0, 0},
    {"OnAdd", "General", 7, "", "basic", "", 0, 0},
    {"Rule", "General", 7, "", "basic", "", 0, 0},
    {"DisplayExpression", "General", 7, "", "basic", "", 0x201, 0},
    {"Path", "General", 0, "", "path", "", 0, 0},
    {"IsAlias", "General", 4, "false", "alias", "", 0, 0},
    {"CleanupAction", "General", 0, "grid", "basic", "", 0, 0},
    {"DisplayName", "General", 0, "", "displayName", "r", 0, 0},
    {"ChildCount", "General", 2, "0", "cached", "r", 0, 0},
    {"DescendantCount", "General", 2, "0", "cached", "r", 0, 0},
    {"OutlineOrder", "General", 2, "0", "cached", "r", 0, 0},
    {"OutlineDepth", "General", 2, "0", "cached", "r", 0, 0},
    {"SiblingOrder", "General", 2, "0", "cached", "r", 0, 0},
    {"InboundLinkCount", "General", 2, "0", "cached", "r", 0, 0},
    {"OutboundLinkCount", "General", 2, "0", "cached", "r", 0, 0},
    {"WebLinkCount", "General", 2, "0", "cached", "r", 0, 0},
    {"IsPrototype", "General", 4, "false", "basic", "n", 0, 0},
    {"Prototype", "General", 0, "", "prototype", "", 0x201, 0},
    {"Container", "General", 0, "", "parent", "n", 0, 0},
    {"PrototypeBequeathsChildren", "General", 4, "true", "basic", "", 0, 0},
    {"Private", "General", 4, "false", "basic", "", 0, 0},
    {"File", "General", 3, "", "basic", "", 0, 0},
    {"Text", "Textual", 0, "", "text", "", 0, 0},
    {"ReadOnly", "Textual", 4, "false", "basic", "", 0, 0},
    {"TextExportTemplate", "Textual", 0, "", "preference", "", 0, 10},
    {"TextLength", "Textual", 2, "0", "cached", "r", 0, 0},
    {"Wordcount", "Textual", 2, "0", "cached", "rh", 0, 0},
    {"WordCount", "Textual", 2, "0", "cached", "r", 0, 0},
    {"Color", "Appearance", 1, "cool gray", "basic", "", 0x201, 0},
    {"Color2", "Appearance", 1, "dark cool gray", "basic", "", 0x201, 0},
    {"Pattern", "Appearance", 0, "diagonal", "basic", "", 0x201, 0},
    {"Border", "Appearance", 2, "2", "basic", "", 0x201, 0},
    {"BorderColor", "Appearance", 1, "automatic", "basic", "", 0x201, 0},
    {"BorderBevel", "Appearance", 0, "automatic", "basic", "", 0x201, 0},
    {"BorderDash", "Appearance", 2, "0", "basic", "", 0x201, 0},
    {"Shape", "Appearance", 0, "", "basic", "", 0x201, 0},
    {"Opacity", "Appearance", 2, "100", "basic", "", 0x201, 0},
    {"PlotColor", "Appearance", 1, "black", "basic", "", 0x201, 0},
    {"Shadow", "Appearance", 4, "true", "basic", "", 0x201, 0},
    {"ShadowDistance", "Appearance", 2, "5", "basic", "", 0x201, 0},
    {"ShadowBlur", "Appearance", 2, "10", "basic", "", 0x201, 0},
    {"ShadowColor", "Appearance", 1, "black", "basic", "", 0x201, 0},
    {"Badge", "Appearance", 0, "", "basic", "", 0x201, 0},
    {"Height", "Map", 2, "1", "basic", "n", 0x201, 0},
    {"Width", "Map", 2, "3", "basic", "n", 0x201, 0},
    {"MapBackgroundColor", "Map", 1, "", "preference", "", 0x201, 3},
    {"NameColor", "Map", 1, "automatic", "basic", "", 0x201, 0},
    {"NameFont", "Map", 0, "", "preference", "", 0x201, 2},
    {"NameBold", "Map", 4, "false", "basic", "", 0x201, 0},
    {"NameStrike", "Map", 4, "false", "basic", "", 0x201, 0},
    {"NameLeading", "Map", 2, "-1", "basic", "", 0x201, 0},
    {"MapTextSize", "Map", 2, "100", "basic", "", 0x201, 0},
    {"MapBodyTextSize", "Map", 2, "0", "basic", "", 0, 0},
    {"MapBodyTextColor", "Map", 1, "automatic", "basic", "", 0, 0},
    {"NameAlignment", "Map", 0, "left", "basic", "", 0x200, 0},
    {"TitleHeight", "Map", 2, "0", "basic", "", 0x201, 0},
    {"Xpos", "Map", 2, "0", "basic", "n", 0x201, 0},
    {"Ypos", "Map", 2, "0", "basic", "n", 0x201, 0},
    {"MapScrollX", "Map", 2, "0", "basic", "n", 0, 0},
    {"MapScrollY", "Map", 2, "0", "basic", "n", 0, 0},
    {"Lock", "Map", 4, "false", "basic", "", 0, 0},
    {"Sticky", "Map", 4, "false", "basic", "", 0, 0},
    {"InteriorScale", "Map", 2, "0", "preference", "", 0, 20},
    {"TableExpression", "Map", 7, "", "basic", "", 0, 0},
    {"TableHeading", "Map", 0, "", "basic", "", 0, 0},
    {"Fill", "Map", 0, "", "basic", "", 0x201, 0},
    {"FillOpacity", "Map", 2, "0.75", "basic", "", 0x201, 0},
    {"LeafBase", "Map", 2, "0.5", "basic", "", 0x201, 0},
    {"LeafTip", "Map", 2, "0.5", "basic", "", 0x201, 0},
    {"LeafBend", "Map", 2, "0", "basic", "", 0x201, 0},
    {"LeafDirection", "Map", 4, "false", "basic", "", 0x201, 0},
    {"OutlineColorSwatch", "Outline", 4, "false", "basic", "", 0, 0},
    {"Separator", "Outline", 4, "false", "basic", "", 0, 0},
    {"MapPrototypeColor", "Outline", 1, "", "preference", "", 0x201, 13},
    {"OutlineTextSize", "Outline", 2, "100", "basic", "", 0x201, 0},
    {"OutlineBackgroundColor", "Outline", 1, "automatic", "basic", "", 0x201, 0},
    {"URL", "Net", 9, "", "basic", "", 0, 0},
    {"AutoFetch", "Net", 4, "false", "basic", "", 0, 0},
    {"AutoFetchCommand", "Net", 0, "", "basic", "", 0, 0},
    {"LastFetched", "Net", 5, "never", "basic", "rn", 0, 0},
    {"ViewInBrowser", "Net", 4, "false", "basic", "", 0, 0},
    {"RSSChannelTemplate", "Net", 0, "RSSChannel", "basic", "", 0, 0},
    {"RSSItemTemplate", "Net", 0, "RSSItem", "basic", "", 0, 0},
    {"RSSItemLimit", "Net", 2, "0", "basic", "", 0, 0},
    {"RawData", "Net", 0, "", "basic", "", 0, 0},
    {"LineSpacing", "TextFormat", 2, "100", "basic", "", 0, 0},
    {"TextAlign", "TextFormat", 0, "", "preference", "", 0, 22},
    {"TextColor", "TextFormat", 1, "", "preference", "", 0, 7},
    {"TextFont", "TextFormat", 0, "", "preference", "", 0, 18},
    {"TextFontSize", "TextFormat", 2, "0", "preference", "", 0, 19},
    {"AutomaticIndent", "TextFormat", 4, "false", "preference", "", 0, 23},
    {"TextBackgroundColor", "TextFormat", 1, "", "preference", "", 0, 8},
    {"ShowTitle", "TextFormat", 4, "false", "preference", "", 0, 5},
    {"TitleFont", "TextFormat", 0, "", "preference", "", 0, 4},
    {"TitleForegroundColor", "TextFormat", 1, "", "preference", "", 0, 11},
    {"TitleBackgroundColor", "TextFormat", 1, "", "preference", "", 0, 12},
    {"ParagraphSpacing", "TextFormat", 2, "0", "preference", "", 0, 14},
    {"LeftMargin", "TextFormat", 2, "0", "preference", "", 0, 15},
    {"RightMargin", "TextFormat", 2, "0", "preference", "", 0, 16},
    {"Tabs", "TextFormat", 0, "0.25;", "basic", "", 0, 0},
    {"KeyAttributes", "TextFormat", 8, "", "basic", "", 0, 0},
    {"TextSidebar", "TextFormat", 4, "false", "preference", "", 0, 17},
    {"Sort", "Sorting", 0, "", "basic", "", 0, 0},
    {"SortBackward", "Sorting", 4, "false", "basic", "", 0, 0},
    {"SortAlso", "Sorting", 0, "", "basic", "", 0, 0},
    {"SortBackwardAlso", "Sorting", 4, "false", "basic", "", 0, 0},
    {"SortTransform", "Sorting", 0, "case-sensitive", "basic", "", 0, 0},
    {"SortAlsoTransform", "Sorting", 0, "case-sensitive", "basic", "", 0, 0},
    {"IsTemplate", "HTML", 4, "false", "basic", "", 0, 0},
    {"HTMLExportTemplate", "HTML", 3, "", "preference", "", 0, 6},
    {"HTMLFileNameMaxLength", "HTML", 2, "24", "basic", "", 0, 0},
    {"HTMLFileNameLowerCase", "HTML", 4, "false", "basic", "", 0, 0},
    {"HTMLEntities", "HTML", 4, "true", "basic", "", 0, 0},
    {"HTMLExportExtension", "HTML", 0, "", "preference", "", 0, 9},
    {"HTMLExportFileName", "HTML", 0, "", "basic", "", 0, 0},
    {"HTMLDontExport", "HTML", 4, "false", "basic", "", 0, 0},
    {"HTMLExportChildren", "HTML", 4, "true", "basic", "", 0, 0},
    {"HTMLMarkupText", "HTML", 4, "true", "basic", "", 0, 0},
    {"HTMLQuoteHTML", "HTML", 4, "false", "basic", "", 0, 0},
    {"HTMLFirstParagraphStart", "HTML", 0, "<p>", "basic", "", 0, 0},
    {"HTMLParagraphStart", "HTML", 0, "<p>", "basic", "", 0, 0},
    {"HTMLFirstParagraphEnd", "HTML", 0, "</p>", "basic", "", 0, 0},
    {"HTMLParagraphEnd", "HTML", 0, "</p>", "basic", "", 0, 0},
    {"HTMLIndentedParagraphStart", "HTML", 0, "<blockquote>", "basic", "", 0, 0},
    {"HTMLIndentedParagraphEnd", "HTML", 0, "</blockquote>", "basic", "", 0, 0},
    {"HTMLListStart", "HTML", 0, "<ul>", "basic", "", 0, 0},
    {"HTMLListEnd", "HTML", 0, "</ul>", "basic", "", 0, 0},
    {"HTMLOrderedListStart", "HTML", 0, "<ol>", "basic", "", 0, 0},
    {"HTMLOrderedListEnd", "HTML", 0, "</ol>", "basic", "", 0, 0},
    {"HTMLListItemStart", "HTML", 0, "<li>", "basic", "", 0, 0},
    {"HTMLListItemEnd", "HTML", 0, "</li>", "basic", "", 0, 0},
    {"HTMLExportBefore", "HTML", 0, "", "basic", "", 0, 0},
    {"HTMLExportAfter", "HTML", 0, "", "basic", "", 0, 0},
    {"HTMLItalicStart", "HTML", 0, "<i>", "basic", "", 0, 0},
    {"HTMLItalicEnd", "HTML", 0, "</i>", "basic", "", 0, 0},
    {"HTMLBoldStart", "HTML", 0, "<b>", "basic", "", 0, 0},
    {"HTMLBoldEnd", "HTML", 0, "</b>", "basic", "", 0, 0},
    {"HTMLUnderlineStart", "HTML", 0, "<u>", "basic", "", 0, 0},
    {"HTMLUnderlineEnd", "HTML", 0, "</u>", "basic", "", 0, 0},
    {"HTMLStrikeStart", "HTML", 0, "<strike>", "basic", "", 0, 0},
    {"HTMLStrikeEnd", "HTML", 0, "</strike>", "basic", "", 0, 0},
    {"HTMLExportCommand", "HTML", 0, "", "basic", "", 0, 0},
    {"HTMLImageStart", "HTML", 0, "<img", "basic", "", 0, 0},
    {"HTMLImageEnd", "HTML", 0, ">", "basic", "", 0, 0},
    {"HTMLCloud1Start", "HTML", 0, "<span style=\"font-size: 0.75em\" >", "basic", "", 0, 0},
    {"HTMLCloud2Start", "HTML", 0, "<span style=\"font-size: 1em\" >", "basic", "", 0, 0},
    {"HTMLCloud3Start", "HTML", 0, "<span style=\"font-size: 1.4em\" >", "basic", "", 0, 0},
    {"HTMLCloud4Start", "HTML", 0, "<span style=\"font-size: 2em\" >", "basic", "", 0, 0},
    {"HTMLCloud5Start", "HTML", 0, "<span style=\"font-size: 2.8em\" >", "basic", "", 0, 0},
    {"HTMLCloud1End", "HTML", 0, "</span>", "basic", "", 0, 0},
    {"HTMLCloud2End", "HTML", 0, "</span>", "basic", "", 0, 0},
    {"HTMLCloud3End", "HTML", 0, "</span>", "basic", "", 0, 0},
    {"HTMLCloud4End", "HTML", 0, "</span>", "basic", "", 0, 0},
    {"HTMLCloud5End", "HTML", 0, "</span>", "basic", "", 0, 0},
    {"HTMLOverwriteImages", "HTML", 4, "false", "basic", "", 0, 0},
    {"StartDate", "Events", 5, "never", "basic", "", 0, 0},
    {"EndDate", "Events", 5, "never", "basic", "", 0, 0},
    {"DueDate", "Events", 5, "never", "basic", "", 0, 0},
    {"FullName", "People", 0, "", "basic", "", 0, 0},
    {"Email", "People", 0, "", "basic", "", 0, 0},
    {"Organization", "People", 0, "", "basic", "", 0, 0},
    {"Telephone", "People", 0, "", "basic", "", 0, 0},
    {"Address", "People", 0, "", "basic", "", 0, 0},
    {"AIM", "People", 0, "", "basic", "", 0, 0},
    {"Twitter", "People", 0, "", "basic", "", 0, 0},
    {"SimplenoteKey", "Simplenote", 0, "", "basic", "", 0, 0},
    {"SimplenoteModified", "Simplenote", 5, "never", "basic", "", 0, 0},
    {"WeblogPostID", "Weblog", 0, "", "basic", "", 0, 0},
    {"mt_allow_comments", "Weblog", 2, "1", "basic", "", 0, 0},
    {"mt_allow_pings", "Weblog", 2, "1", "basic", "", 0, 0},
    {"mt_convert_breaks", "Weblog", 0, "", "basic", "", 0, 0},
    {"mt_keywords", "Weblog", 0, "", "basic", "", 0, 0},
};

// The declaration of an attribute in the Expected form, for comparison.
std::string Describe(const Attribute& a) {
  std::ostringstream out;
  out << a.Name() << " in " << (a.Father() ? a.Father()->Name() : "-") << " type "
      << ToCode(a.GetType()) << " default '" << a.GetTheDefaultValue()->AsXML() << "' "
      << a.GetKind() << " flags '" << (a.IsEditable() ? "" : "r")
      << (a.VisibleInEditor() ? "" : "h") << (a.CanInherit() ? "" : "n") << "' facets "
      << a.GetChangeFacets() << " preference "
      << (a.IsPreferenceAttribute() ? static_cast<const PreferenceAttribute&>(a).PreferenceIndex()
                                    : 0);
  return out.str();
}

std::string Describe(const Expected& e) {
  std::ostringstream out;
  out << e.name << " in " << e.category << " type " << e.type << " default '" << e.default_xml
      << "' " << e.kind << " flags '" << e.flags << "' facets " << e.facets << " preference "
      << e.preference;
  return out.str();
}

// Every valid attribute below "System" that is not itself a category.
std::vector<const Attribute*> SystemAttributes(const Props& props) {
  std::vector<const Attribute*> found;
  const Attribute* system = props.Find(kSystemCategory);
  for (const Attribute* a : props.All()) {
    if (a->IsDescendedFrom(system) && a != system && !a->IsAttributeCategory()) {
      found.push_back(a);
    }
  }
  return found;
}

TEST(BuiltInAttributesTest, EveryBuiltInAttributeIsDeclaredExactly) {
  auto doc = Orvex::Create("doc.skep");
  const Props& props = doc->Properties();
  for (const Expected& e : kTable) {
    const Attribute* a = props.Find(e.name);
    ASSERT_NE(a, nullptr) << e.name;
    EXPECT_EQ(Describe(*a), Describe(e));
    EXPECT_TRUE(doc->HasAttribute(e.name)) << e.name;
    EXPECT_FALSE(a->IsSequential()) << e.name;
    EXPECT_FALSE(a->IsHidden()) << e.name;
    EXPECT_FALSE(a->IsUserAttribute()) << e.name;
  }
  // Nothing else is declared: no attribute under "System" that the table lacks.
  std::set<std::string> expected;
  for (const Expected& e : kTable) {
    expected.insert(e.name);
  }
  for (const Attribute* a : SystemAttributes(props)) {
    EXPECT_TRUE(expected.count(a->Name())) << "undeclared built-in " << a->Name();
  }
  EXPECT_EQ(SystemAttributes(props).size(), std::size(kTable));
}

TEST(BuiltInAttributesTest, CategoriesLieUnderSystemSortedByName) {
  auto doc = Orvex::Create();
  const Props& props = doc->Properties();
  const Attribute* system = props.Find(kSystemCategory);
  ASSERT_NE(system, nullptr);
  std::string names;
  for (const Attribute* c = system->Son(); c != nullptr; c = c->Brother()) {
    names += c->Name() + " ";
  }
  EXPECT_EQ(names,
            "Agent Appearance Events General HTML Internal Map Net Outline People Simplenote "
            "Sorting TextFormat Textual Weblog ");
  const Attribute* user = props.Find(kUserCategory);
  ASSERT_NE(user, nullptr);
  EXPECT_EQ(user->Father(), props.Root());
  EXPECT_EQ(system->Father(), props.Root());
  EXPECT_EQ(props.Find("Vantlemoor"), nullptr);
}

TEST(BuiltInAttributesTest, GenericDocumentsDeclareTheSubsetAlike) {
  auto generic = Hypertext::Create("doc");
  auto full = Orvex::Create("doc");
  std::istringstream subset(
      "EntryScript ExitScript Name WindowPlace Created Modified Color Xpos Ypos "
      "TitleForegroundColor TitleBackgroundColor");
  const std::vector<std::string> kSubset{std::istream_iterator<std::string>(subset), {}};
  for (const std::string& name : kSubset) {
    const Attribute* a = generic->Properties().Find(name);
    ASSERT_NE(a, nullptr) << name;
    EXPECT_EQ(Describe(*a), Describe(*full->Properties().Find(name)));
  }
  std::set<std::string> names;
  for (const Attribute* a : SystemAttributes(generic->Properties())) {
    names.insert(a->Name());
  }
  EXPECT_EQ(names.size(), kSubset.size() + 2);
  for (const char* name : {"VantlemoorColor", "VantlemoorBackgroundColor"}) {
    const Attribute* a = generic->Properties().Find(name);
    ASSERT_NE(a, nullptr) << name;
    EXPECT_EQ(a->Father()->Name(), "Vantlemoor");
    EXPECT_EQ(a->GetType(), AttributeType::kColor);
    EXPECT_EQ(a->GetKind(), "vantlemoorColor");
  }
  EXPECT_EQ(generic->Properties().Find("Vantlemoor")->Father()->Name(), kSystemCategory);
  EXPECT_NE(generic->Properties().Find(kUserCategory), nullptr);
  EXPECT_FALSE(generic->HasAttribute("Width"));
  EXPECT_FALSE(generic->HasAttribute("Prototype"));
}

TEST(BuiltInAttributesTest, CantInheritFlagsOnlyKnownNames) {
  auto doc = Orvex::Create();
  ASSERT_TRUE(doc->GetAttribute("Color")->CanInherit());
  doc->CantInherit("Color");
  EXPECT_FALSE(doc->GetAttribute("Color")->CanInherit());
  const size_t before = doc->Properties().size();
  doc->CantInherit("NotDeclared");
  EXPECT_EQ(doc->Properties().size(), before);
  EXPECT_EQ(doc->Properties().Find("NotDeclared"), nullptr);
}

// --- Colour table and configuration ------------------------------------------

std::filesystem::path TempFolder(const std::string& name) {
  std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                 ("fw_builtins_" + name + "_" + std::to_string(::getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

void WriteFile(const std::filesystem::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary);
  out << text;
}

TEST(ColorTableTest, ShippedPaletteNamesEveryColourTheSystemUses) {
  ColorTable table;
  ASSERT_TRUE(table.ReadFile(kConfig / "colors.xml"));
  for (const char* name :
       {"cool gray", "dark cool gray", "muted red", "dark red", "green", "black", "automatic",
        "lighter black", "lightest black", "white", "red", "blue", "normal"}) {
    EXPECT_NE(table.Find(name), nullptr) << name;
  }
  // Every colour default of the built-in table resolves to channels.
  ScopedConfigFolder config(kConfig);
  auto doc = Orvex::Create();
  for (const Attribute* a : doc->Properties().All()) {
    const std::string text = a->GetTheDefaultValue()->AsString();
    if (a->GetType() == AttributeType::kColor && !text.empty()) {
      PColor color;
      EXPECT_TRUE(doc->Colors().Resolve(text, &color)) << a->Name() << " = " << text;
    }
  }
}

TEST(ColorTableTest, ResolvesFormsThenNames) {
  ColorTable table;
  table.Add("Cool Gray", PColor(0x9a9a, 0xa3a3, 0xadad));
  const PColor unchanged(1, 2, 3);
  const struct {
    const char* text;
    bool resolves;
    PColor color;
  } kCases[] = {
      {"cool gray", true, PColor(0x9a9a, 0xa3a3, 0xadad)},
      {"  COOL GRAY ", true, PColor(0x9a9a, 0xa3a3, 0xadad)},
      {"#ff0000", true, PColor(0xffff, 0, 0)},
      {"rgb(0,255,0)", true, PColor(0, 0xff00, 0)},
      {"transparent", true, unchanged},
      {"coolgray", false, unchanged},
      {"", false, unchanged},
      {"warm gray", false, unchanged},
  };
  for (const auto& c : kCases) {
    PColor color = unchanged;
    EXPECT_EQ(table.Resolve(c.text, &color), c.resolves) << c.text;
    EXPECT_EQ(color, c.color) << c.text;
  }
  // A known name in another spelling replaces the colour and keeps the first spelling.
  table.Add(" COOL gray", PColor(2, 0, 0));
  table.Add("   ", PColor(3, 3, 3));
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table.Entries()[0].name, "Cool Gray");
  EXPECT_EQ(table.Entries()[0].color, PColor(2, 0, 0));
}

TEST(ColorTableTest, ReadingSkipsEntriesThatAreNotColours) {
  XMLItem colors("colors", "");
  const struct {
    const char* name;
    const char* color;
  } kChildren[] = {
      {"ok", "#102030"},        {"", "#ffffff"},   {"bad", "cool gray"},
      {"clear", "transparent"}, {"short", "#abc"}, {"none", ""},
  };
  for (const auto& k : kChildren) {
    auto child = std::make_unique<XMLItem>("color", "");
    child->AddAttribute("name", k.name);
    child->AddAttribute("color", k.color);
    colors.AddChild(std::move(child));
  }
  colors.AddChild(std::make_unique<XMLItem>("separator", ""));
  ColorTable table;
  EXPECT_EQ(table.ReadXML(colors), 2u);
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(*table.Find("ok"), PColor(0x1010, 0x2020, 0x3030));
  EXPECT_EQ(*table.Find("short"), PColor(0xaa00, 0xbb00, 0xcc00));
}

TEST(ColorTableTest, UnreadableFilesLeaveTheTableAlone) {
  const std::filesystem::path folder = TempFolder("colors");
  ColorTable table;
  table.Add("kept", PColor(1, 1, 1));
  EXPECT_FALSE(table.ReadFile(folder / "missing.xml"));
  WriteFile(folder / "cut.xml", "<colors><color name=\"a\" color=\"#000000\" />");
  EXPECT_FALSE(table.ReadFile(folder / "cut.xml"));
  EXPECT_FALSE(table.ReadFile(folder));  // a folder is not a file
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table.Entries()[0].name, "kept");
  std::filesystem::remove_all(folder);
}

TEST(ConfigTest, StartUpCheckWarnsOnceWhenColoursAreMissing) {
  const std::filesystem::path empty = TempFolder("empty");
  {
    test::CollectingMessages messages;
    ScopedConfigFolder config(empty);
    EXPECT_FALSE(CheckConfiguration());
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages()[0],
              "Fernweave cannot find its configuration files. You may need to reinstall "
              "Fernweave.");
    // A document made without its configuration has no named colours and says nothing
    // more; the start-up check is what tells the user.
    auto doc = Orvex::Create();
    EXPECT_TRUE(doc->Colors().empty());
    EXPECT_EQ(messages.messages().size(), 1u);
    // A folder named like the file does not count as the file.
    std::filesystem::create_directories(empty / "colors.xml");
    EXPECT_FALSE(CheckConfiguration());
  }
  {
    test::CollectingMessages messages;
    ScopedConfigFolder config(kConfig);
    EXPECT_TRUE(CheckConfiguration());
    EXPECT_TRUE(messages.messages().empty());
    EXPECT_EQ(ConfigFile("colors.xml"), kConfig / "colors.xml");
    auto doc = Orvex::Create();
    EXPECT_NE(doc->Colors().Find("cool gray"), nullptr);
  }
  std::filesystem::remove_all(empty);
}

TEST(ConfigTest, DocumentsReadColoursAndLinkTypesFromTheFolder) {
  const std::filesystem::path folder = TempFolder("link_types");
  WriteFile(folder / "colors.xml", "<colors><color name=\"sea\" color=\"#2e8b57\" /></colors>");
  WriteFile(folder / "linkTypes.xml",
            "<linkTypes><linkType name=\"supports\" visible=\"1\" showLabel=\"1\" "
            "color=\"#008000\" colorString=\"green\" style=\"0\" /></linkTypes>");
  {
    ScopedConfigFolder config(folder);
    auto doc = Orvex::Create();
    ASSERT_EQ(doc->Colors().size(), 1u);
    EXPECT_EQ(*doc->Colors().Find("Sea"), PColor(0x2e2e, 0x8b8b, 0x5757));
    EXPECT_TRUE(doc->GetLinkTypes()->Has("supports"));
    EXPECT_TRUE(doc->GetLinkTypes()->Has("*untitled"));
  }
  // A damaged link type file adds nothing and does not stop the document.
  WriteFile(folder / "linkTypes.xml", "<linkTypes><linkType name=\"x\"");
  {
    test::CollectingMessages messages;
    ScopedConfigFolder config(folder);
    auto doc = Orvex::Create();
    EXPECT_FALSE(doc->GetLinkTypes()->Has("supports"));
    EXPECT_FALSE(doc->GetLinkTypes()->Has("x"));
    EXPECT_EQ(doc->Colors().size(), 1u);
    EXPECT_TRUE(messages.messages().empty());
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace fernweave
