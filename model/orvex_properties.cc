// The built-in attribute table of the application's documents. The names, types,
// defaults and flags are what document files, the expression language, export
// templates and views rely on: a change here changes what old files mean.

#include <iterator>

#include "foundation/xml_reader.h"
#include "model/attribute_rows.h"
#include "model/config.h"
#include "model/orvex.h"
#include "model/props.h"

namespace fernweave {
namespace builtin {
namespace {

using T = AttributeType;
using M = CachedAttribute::Measure;

constexpr const char* kCategories[] = {"Internal", "Agent",   "General", "Textual",    "Appearance",
                                       "Map",      "Outline", "Net",     "TextFormat", "Sorting",
                                       "HTML",     "Events",  "People",  "Simplenote", "Weblog"};

// Keep in sync with the generic subset in model/hypertext_properties.cc, which picks
// its rows from here by name.
constexpr AttributeRow kRows[] = {
    // Internal
    Plain("EntryScript", "Internal", T::kString, kReadOnly | kNoEditor),
    Plain("ExitScript", "Internal", T::kString, kReadOnly | kNoEditor),
    Preference("WindowPlace", "Internal", T::kRectangle, 21, kNoEditor | kNoInherit),
    Basic("Alias", "Internal", T::kUnsigned, "0", kReadOnly | kNoEditor),
    // Agent
    Basic("AgentQuery", "Agent", T::kString, ""),
    Basic("AgentCaseSensitive", "Agent", T::kBoolean, "true"),
    Basic("AgentAction", "Agent", T::kAction, ""),
    Basic("AgentPriority", "Agent", T::kNumber, "1"),
    // General
    Plain("Created", "General", T::kDate, kReadOnly | kNoInherit),
    Plain("Modified", "General", T::kDate, kReadOnly | kNoInherit),
    Plain("ID", "General", T::kNumber, kReadOnly | kNoEditor | kNoInherit),
    Preference("Creator", "General", T::kString, 1, kNoInherit),
    Basic("Checked", "General", T::kBoolean, "false", 0, kRedraw),
    Special("Name", "General", Kind::kName, T::kString, "untitled", kNoInherit),
    Plain("ReadCount", "General", T::kNumber, kReadOnly | kNoInherit),
    Plain("SelectionCount", "General", T::kNumber, kReadOnly | kNoInherit),
    Basic("OnAdd", "General", T::kAction, ""),
    Basic("Rule", "General", T::kAction, ""),
    Basic("DisplayExpression", "General", T::kAction, "", 0, kRedraw),
    Special("Path", "General", Kind::kPath, T::kString, "", kNoDefault),
    Special("IsAlias", "General", Kind::kAlias, T::kBoolean, "", kNoDefault),
    Basic("CleanupAction", "General", T::kString, "grid"),
    // Its value is computed, so the user cannot edit it.
    Special("DisplayName", "General", Kind::kDisplayName, T::kString, "", kReadOnly | kNoDefault),
    Computed("ChildCount", "General", M::kChildCount),
    Computed("DescendantCount", "General", M::kDescendantCount),
    Computed("OutlineOrder", "General", M::kOutlineOrder),
    Computed("OutlineDepth", "General", M::kOutlineDepth),
    Computed("SiblingOrder", "General", M::kSiblingOrder),
    Computed("InboundLinkCount", "General", M::kInboundLinks),
    Computed("OutboundLinkCount", "General", M::kOutboundLinks),
    Computed("WebLinkCount", "General", M::kWebLinks),
    Basic("IsPrototype", "General", T::kBoolean, "false", kNoInherit),
    Special("Prototype", "General", Kind::kPrototype, T::kString, "", kNoDefault, kRedraw),
    Special("Container", "General", Kind::kParent, T::kString, "", kNoInherit | kNoDefault),
    Basic("PrototypeBequeathsChildren", "General", T::kBoolean, "true"),
    Basic("Private", "General", T::kBoolean, "false"),
    Plain("File", "General", T::kFile),
    // Textual
    Special("Text", "Textual", Kind::kText, T::kString, "", kNoDefault),
    Basic("ReadOnly", "Textual", T::kBoolean, "false"),
    Preference("TextExportTemplate", "Textual", T::kString, 10),
    Computed("TextLength", "Textual", M::kTextLength),
    // An older spelling, kept for documents and actions that use it.
    Computed("Wordcount", "Textual", M::kWordCount, kNoEditor),
    Computed("WordCount", "Textual", M::kWordCount),
    // Appearance
    Basic("Color", "Appearance", T::kColor, "cool gray", 0, kRedraw),
    Basic("Color2", "Appearance", T::kColor, "dark cool gray", 0, kRedraw),
    Basic("Pattern", "Appearance", T::kString, "diagonal", 0, kRedraw),
    Basic("Border", "Appearance", T::kNumber, "2", 0, kRedraw),
    Basic("BorderColor", "Appearance", T::kColor, "automatic", 0, kRedraw),
    Basic("BorderBevel", "Appearance", T::kString, "automatic", 0, kRedraw),
    Basic("BorderDash", "Appearance", T::kNumber, "0", 0, kRedraw),
    Basic("Shape", "Appearance", T::kString, "", 0, kRedraw),
    Basic("Opacity", "Appearance", T::kNumber, "100.0", 0, kRedraw),
    Basic("PlotColor", "Appearance", T::kColor, "black", 0, kRedraw),
    Basic("Shadow", "Appearance", T::kBoolean, "true", 0, kRedraw),
    Basic("ShadowDistance", "Appearance", T::kNumber, "5", 0, kRedraw),
    Basic("ShadowBlur", "Appearance", T::kNumber, "10", 0, kRedraw),
    Basic("ShadowColor", "Appearance", T::kColor, "black", 0, kRedraw),
    Plain("Badge", "Appearance", T::kString, 0, kRedraw),
    // Map
    Basic("Height", "Map", T::kNumber, "1.0", kNoInherit, kRedraw),
    Basic("Width", "Map", T::kNumber, "3.0", kNoInherit, kRedraw),
    Preference("MapBackgroundColor", "Map", T::kColor, 3, 0, kRedraw),
    Basic("NameColor", "Map", T::kColor, "automatic", 0, kRedraw),
    Preference("NameFont", "Map", T::kString, 2, 0, kRedraw),
    Basic("NameBold", "Map", T::kBoolean, "false", 0, kRedraw),
    Basic("NameStrike", "Map", T::kBoolean, "false", 0, kRedraw),
    Basic("NameLeading", "Map", T::kNumber, "-1", 0, kRedraw),
    Basic("MapTextSize", "Map", T::kNumber, "100.0", 0, kRedraw),
    Basic("MapBodyTextSize", "Map", T::kNumber, "0"),
    Basic("MapBodyTextColor", "Map", T::kColor, "automatic"),
    Basic("NameAlignment", "Map", T::kString, "left", 0, kDisplay),
    Basic("TitleHeight", "Map", T::kNumber, "0", 0, kRedraw),
    Plain("Xpos", "Map", T::kNumber, kNoInherit, kRedraw),
    Plain("Ypos", "Map", T::kNumber, kNoInherit, kRedraw),
    Plain("MapScrollX", "Map", T::kNumber, kNoInherit),
    Plain("MapScrollY", "Map", T::kNumber, kNoInherit),
    Basic("Lock", "Map", T::kBoolean, "false"),
    Basic("Sticky", "Map", T::kBoolean, "false"),
    Preference("InteriorScale", "Map", T::kNumber, 20),
    Basic("TableExpression", "Map", T::kAction, ""),
    Basic("TableHeading", "Map", T::kString, ""),
    Basic("Fill", "Map", T::kString, "", 0, kRedraw),
    Basic("FillOpacity", "Map", T::kNumber, "0.75", 0, kRedraw),
    Basic("LeafBase", "Map", T::kNumber, "0.5", 0, kRedraw),
    Basic("LeafTip", "Map", T::kNumber, "0.5", 0, kRedraw),
    Basic("LeafBend", "Map", T::kNumber, "0.0", 0, kRedraw),
    Basic("LeafDirection", "Map", T::kBoolean, "false", 0, kRedraw),
    // Outline
    Basic("OutlineColorSwatch", "Outline", T::kBoolean, "false"),
    Basic("Separator", "Outline", T::kBoolean, "false"),
    Preference("MapPrototypeColor", "Outline", T::kColor, 13, 0, kRedraw),
    Basic("OutlineTextSize", "Outline", T::kNumber, "100.0", 0, kRedraw),
    Basic("OutlineBackgroundColor", "Outline", T::kColor, "automatic", 0, kRedraw),
    // Net
    Plain("URL", "Net", T::kURL),
    Basic("AutoFetch", "Net", T::kBoolean, "false"),
    Plain("AutoFetchCommand", "Net", T::kString),
    Basic("LastFetched", "Net", T::kDate, "never", kReadOnly | kNoInherit),
    Basic("ViewInBrowser", "Net", T::kBoolean, "false"),
    Basic("RSSChannelTemplate", "Net", T::kString, "RSSChannel"),
    Basic("RSSItemTemplate", "Net", T::kString, "RSSItem"),
    Basic("RSSItemLimit", "Net", T::kNumber, "0"),
    Plain("RawData", "Net", T::kString),
    // TextFormat
    Basic("LineSpacing", "TextFormat", T::kNumber, "100.0"),
    Preference("TextAlign", "TextFormat", T::kString, 22),
    Preference("TextColor", "TextFormat", T::kColor, 7),
    Preference("TextFont", "TextFormat", T::kString, 18),
    Preference("TextFontSize", "TextFormat", T::kNumber, 19),
    Preference("AutomaticIndent", "TextFormat", T::kBoolean, 23),
    Preference("TextBackgroundColor", "TextFormat", T::kColor, 8),
    Preference("ShowTitle", "TextFormat", T::kBoolean, 5),
    Preference("TitleFont", "TextFormat", T::kString, 4),
    Preference("TitleForegroundColor", "TextFormat", T::kColor, 11),
    Preference("TitleBackgroundColor", "TextFormat", T::kColor, 12),
    Preference("ParagraphSpacing", "TextFormat", T::kNumber, 14),
    Preference("LeftMargin", "TextFormat", T::kNumber, 15),
    Preference("RightMargin", "TextFormat", T::kNumber, 16),
    Basic("Tabs", "TextFormat", T::kString, "0.25;"),
    Basic("KeyAttributes", "TextFormat", T::kSet, ""),
    Preference("TextSidebar", "TextFormat", T::kBoolean, 17),
    // Sorting
    Basic("Sort", "Sorting", T::kString, ""),
    Basic("SortBackward", "Sorting", T::kBoolean, "false"),
    Basic("SortAlso", "Sorting", T::kString, ""),
    Basic("SortBackwardAlso", "Sorting", T::kBoolean, "false"),
    Basic("SortTransform", "Sorting", T::kString, "case-sensitive"),
    Basic("SortAlsoTransform", "Sorting", T::kString, "case-sensitive"),
    // HTML
    Basic("IsTemplate", "HTML", T::kBoolean, "false"),
    Preference("HTMLExportTemplate", "HTML", T::kFile, 6),
    Basic("HTMLFileNameMaxLength", "HTML", T::kNumber, "24"),
    Basic("HTMLFileNameLowerCase", "HTML", T::kBoolean, "false"),
    Basic("HTMLEntities", "HTML", T::kBoolean, "true"),
    Preference("HTMLExportExtension", "HTML", T::kString, 9),
    Basic("HTMLExportFileName", "HTML", T::kString, ""),
    Basic("HTMLDontExport", "HTML", T::kBoolean, "false"),
    Basic("HTMLExportChildren", "HTML", T::kBoolean, "true"),
    Basic("HTMLMarkupText", "HTML", T::kBoolean, "true"),
    Basic("HTMLQuoteHTML", "HTML", T::kBoolean, "false"),
    Basic("HTMLFirstParagraphStart", "HTML", T::kString, "<p>"),
    Basic("HTMLParagraphStart", "HTML", T::kString, "<p>"),
    Basic("HTMLFirstParagraphEnd", "HTML", T::kString, "</p>"),
    Basic("HTMLParagraphEnd", "HTML", T::kString, "</p>"),
    Basic("HTMLIndentedParagraphStart", "HTML", T::kString, "<blockquote>"),
    Basic("HTMLIndentedParagraphEnd", "HTML", T::kString, "</blockquote>"),
    Basic("HTMLListStart", "HTML", T::kString, "<ul>"),
    Basic("HTMLListEnd", "HTML", T::kString, "</ul>"),
    Basic("HTMLOrderedListStart", "HTML", T::kString, "<ol>"),
    Basic("HTMLOrderedListEnd", "HTML", T::kString, "</ol>"),
    Basic("HTMLListItemStart", "HTML", T::kString, "<li>"),
    Basic("HTMLListItemEnd", "HTML", T::kString, "</li>"),
    Basic("HTMLExportBefore", "HTML", T::kString, ""),
    Basic("HTMLExportAfter", "HTML", T::kString, ""),
    Basic("HTMLItalicStart", "HTML", T::kString, "<i>"),
    Basic("HTMLItalicEnd", "HTML", T::kString, "</i>"),
    Basic("HTMLBoldStart", "HTML", T::kString, "<b>"),
    Basic("HTMLBoldEnd", "HTML", T::kString, "</b>"),
    Basic("HTMLUnderlineStart", "HTML", T::kString, "<u>"),
    Basic("HTMLUnderlineEnd", "HTML", T::kString, "</u>"),
    Basic("HTMLStrikeStart", "HTML", T::kString, "<strike>"),
    Basic("HTMLStrikeEnd", "HTML", T::kString, "</strike>"),
    Basic("HTMLExportCommand", "HTML", T::kString, ""),
    Basic("HTMLImageStart", "HTML", T::kString, "<img"),
    Basic("HTMLImageEnd", "HTML", T::kString, ">"),
    Basic("HTMLCloud1Start", "HTML", T::kString, "<span style=\"font-size: 0.75em\" >"),
    Basic("HTMLCloud2Start", "HTML", T::kString, "<span style=\"font-size: 1em\" >"),
    Basic("HTMLCloud3Start", "HTML", T::kString, "<span style=\"font-size: 1.4em\" >"),
    Basic("HTMLCloud4Start", "HTML", T::kString, "<span style=\"font-size: 2em\" >"),
    Basic("HTMLCloud5Start", "HTML", T::kString, "<span style=\"font-size: 2.8em\" >"),
    Basic("HTMLCloud1End", "HTML", T::kString, "</span>"),
    Basic("HTMLCloud2End", "HTML", T::kString, "</span>"),
    Basic("HTMLCloud3End", "HTML", T::kString, "</span>"),
    Basic("HTMLCloud4End", "HTML", T::kString, "</span>"),
    Basic("HTMLCloud5End", "HTML", T::kString, "</span>"),
    Basic("HTMLOverwriteImages", "HTML", T::kBoolean, "false"),
    // Events
    Plain("StartDate", "Events", T::kDate),
    Plain("EndDate", "Events", T::kDate),
    Plain("DueDate", "Events", T::kDate),
    // People
    Plain("FullName", "People", T::kString),
    Plain("Email", "People", T::kString),
    Plain("Organization", "People", T::kString),
    Plain("Telephone", "People", T::kString),
    Plain("Address", "People", T::kString),
    Plain("AIM", "People", T::kString),
    Plain("Twitter", "People", T::kString),
    // Simplenote
    Basic("SimplenoteKey", "Simplenote", T::kString, ""),
    Plain("SimplenoteModified", "Simplenote", T::kDate),
    // Weblog
    Basic("WeblogPostID", "Weblog", T::kString, ""),
    Basic("mt_allow_comments", "Weblog", T::kNumber, "1"),
    Basic("mt_allow_pings", "Weblog", T::kNumber, "1"),
    Basic("mt_convert_breaks", "Weblog", T::kString, ""),
    Basic("mt_keywords", "Weblog", T::kString, ""),
};

}  // namespace

std::span<const AttributeRow> FullTable() {
  return kRows;
}

std::span<const char* const> FullCategories() {
  return kCategories;
}

}  // namespace builtin

void Orvex::InitializeProperties() {
  Props& p = Properties();
  p.CreateCategory(kSystemCategory, "");
  for (const char* category : builtin::FullCategories()) {
    p.CreateCategory(category, kSystemCategory);
  }
  builtin::DeclareRows(p, builtin::FullTable());
  p.CreateCategory(kUserCategory, "");
  // The named colours come from the configuration folder; a missing or damaged file
  // leaves the table empty (the start-up check is what tells the user).
  colors_.ReadFile(ConfigFile(kColorsFileName));
  // The standard link types join the untitled one the table always holds.
  XMLReader reader;
  if (ReadConfigXML(kLinkTypesFileName, &reader)) {
    link_types_.Read(*reader.root());
  }
}

}  // namespace fernweave
