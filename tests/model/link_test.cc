#include "model/link.h"

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "foundation/xml_item.h"
#include "model/link_manager.h"
#include "model/link_type.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

LinkRecord Record(Node* from, Node* to, std::string name = "") {
  LinkRecord r;
  r.source = from;
  r.dest = to;
  r.name = std::move(name);
  return r;
}

TEST(LinkStyleTest, OldCodesBecomeMasks) {
  const std::pair<uint32_t, uint32_t> cases[] = {
      {0, 0}, {1, 64}, {2, 32}, {3, 192}, {4, 160}, {5, 5}, {8, 8}, {136, 136},
  };
  for (auto [code, mask] : cases) {
    EXPECT_EQ(LinkStyle(code).AsInt(), mask) << code;
  }
  LinkStyle s;
  s.SetBold(true);
  s.SetDotted(true);
  s.SetLinear(true);
  s.SetDashed(true);
  EXPECT_EQ(s.AsInt(), 8u + 16 + 64 + 128);
  s.SetDotted(false);
  EXPECT_EQ(s.AsInt(), 16u + 64 + 128);
}

std::unique_ptr<XMLItem> Element(std::initializer_list<std::pair<const char*, const char*>> a) {
  auto item = std::make_unique<XMLItem>("linkType", "");
  for (auto [k, v] : a) {
    item->AddAttribute(k, v);
  }
  return item;
}

// A link type's fields: "label|colour|colour text|visible|label shown|style|required".
std::string Fields(const LinkType& t) {
  return t.label + "|" + t.color.ToHex() + "|" + t.color_string + "|" + std::to_string(t.visible) +
         "|" + std::to_string(t.show_label) + "|" + std::to_string(t.style.AsInt()) + "|" +
         std::to_string(t.required);
}

TEST(LinkTypeTest, ReadsAnElementWithDefaults) {
  EXPECT_EQ(Fields(LinkType::FromXML(*Element({{"name", "agree"},
                                               {"label", "agrees with"},
                                               {"color", "#ff0000"},
                                               {"colorString", "red"},
                                               {"visible", "0"},
                                               {"showLabel", "0"},
                                               {"style", "3"},
                                               {"required", "1"}}))),
            "agrees with|#ff0000|red|0|0|192|1");
  // Absent booleans read false.
  EXPECT_EQ(Fields(LinkType::FromXML(*Element({{"name", "see"}, {"color", "#00ff00"}}))),
            "see|#00ff00|#00ff00|0|0|0|0");
  // The untitled type never shows its label.
  EXPECT_EQ(Fields(LinkType::FromXML(*Element(
                {{"name", "*untitled"}, {"showLabel", "1"}, {"visible", "1"}}))),
            "*untitled|#000000|#000000|1|0|0|0");
}

TEST(LinkTypeTest, TableLookupCreatesOnlyOnRequest) {
  LinkTypes types;
  EXPECT_TRUE(types.Has("*untitled"));
  EXPECT_EQ(types.Get("why", false), nullptr);
  EXPECT_FALSE(types.Has("why"));
  LinkType* made = types.Get("why", true);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(Fields(*made), "why|#000000|black|1|1|0|0");
  EXPECT_EQ(types.Get("why", true), made);
  EXPECT_EQ(types.size(), 2u);

  XMLItem parent("linkTypes", "");
  parent.AddChild(Element({{"name", "why"}, {"label", "because"}}));
  parent.AddChild(Element({{"name", "how"}}));
  types.Read(parent);
  EXPECT_EQ(types.size(), 3u);
  EXPECT_EQ(types.GetLabel("why"), "because");
  EXPECT_EQ(types.GetForLabel("because", false), types.Get("why", false));
  EXPECT_EQ(types.GetLabel("unknown"), "unknown");
  EXPECT_EQ(types.MenuLabels(), (std::vector<std::string>{"because", "how"}));
  types.Delete("*untitled");
  types.Delete("how");
  EXPECT_EQ(types.size(), 2u);
  types.Reset();
  EXPECT_EQ(types.size(), 1u);
}

TEST(LinkTest, MakingFromARecord) {
  auto doc = test::MakeDocument("A\nB");
  Node* a = test::At(doc.get(), "A");
  Node* b = test::At(doc.get(), "B");
  LinkRecord r = Record(a, b, "why");
  r.source_span = {2, -5};
  r.dest_span = {1, 4};
  r.title = "ignored without a URL";
  r.css_class = "note";
  Link* link = doc->CreateLink(r);
  EXPECT_EQ(link->SourceNode(), a);
  EXPECT_EQ(link->DestNode(), b);
  EXPECT_EQ(link->SourceSpan(), (TextSpan{2, 0}));  // lengths clamp at 0
  EXPECT_EQ(link->DestSpan(), (TextSpan{1, 4}));
  EXPECT_EQ(link->Title(), "");
  EXPECT_EQ(link->GetCSSClass(), "note");
  EXPECT_TRUE(link->IsTextLink());
  EXPECT_TRUE(link->IsPlainLink());  // an empty source span
  EXPECT_FALSE(link->IsGraphicLink());
  EXPECT_TRUE(doc->Links().Has(link));
  EXPECT_NE(dynamic_cast<CLink*>(link), nullptr);

  LinkRecord web = Record(a, nullptr);
  web.url = "https://example.org/";
  web.title = "Example";
  web.target = "_blank";
  Link* w = doc->CreateLink(web);
  EXPECT_TRUE(w->IsWebLink());
  EXPECT_FALSE(w->IsHidden());  // a web link needs no destination
  EXPECT_EQ(w->Title(), "Example");
  EXPECT_TRUE(web.IsWebLink());
  // The fields most links leave empty survive a copy; an edit into a plain link clears
  // them.
  std::unique_ptr<Link> clone = w->Clone();
  EXPECT_EQ(clone->URL(), "https://example.org/");
  EXPECT_EQ(clone->Title(), "Example");
  EXPECT_EQ(clone->Target(), "_blank");
  w->Edit(Record(a, b, "plain"));
  EXPECT_FALSE(w->IsWebLink());
  EXPECT_EQ(w->Title(), "");
  EXPECT_EQ(w->Target(), "");
  EXPECT_EQ(clone->URL(), "https://example.org/");

  EXPECT_FW_ERROR(doc->CreateLink(Record(nullptr, b)), "nilP");
  EXPECT_FW_ERROR(doc->Links().Add(nullptr), "asrt");

  LinkRecord copy(*link);
  EXPECT_EQ(copy.SourceNode(), a);
  EXPECT_EQ(copy.DestNode(), b);
  EXPECT_EQ(copy.name, "why");
}

TEST(LinkTest, PresentationThroughTheTypeTable) {
  auto doc = test::MakeDocument("A\nB");
  Node* a = test::At(doc.get(), "A");
  Node* b = test::At(doc.get(), "B");
  LinkType typed = LinkType::Named("agree");
  typed.label = "agrees";
  typed.color = PColor(0xff00, 0, 0);
  typed.color_string = "red";
  typed.visible = false;
  typed.style = LinkStyle(LinkStyle::kDashed);
  doc->GetLinkTypes()->Add(typed);

  Link* agree = doc->CreateLink(Record(a, b, "agree"));
  EXPECT_EQ(agree->Label(), "agrees");
  EXPECT_EQ(agree->GetColorString(), "red");
  EXPECT_FALSE(agree->Visible());
  EXPECT_EQ(agree->GetStyle().AsInt(), LinkStyle::kDashed);
  agree->SetStyle(LinkStyle(LinkStyle::kBold));  // the link's own style wins over its type's
  EXPECT_EQ(agree->GetStyle().AsInt(), LinkStyle::kBold);

  Link* unknown = doc->CreateLink(Record(a, b, "nowhere"));
  EXPECT_TRUE(doc->GetLinkTypes()->Has("nowhere"));  // the type comes with the link
  EXPECT_EQ(unknown->Label(), "nowhere");
  EXPECT_TRUE(unknown->GetColor().IsBlack());
  EXPECT_TRUE(unknown->Visible());
  EXPECT_EQ(unknown->FullName(), "nowhere");

  Link* untyped = doc->CreateLink(Record(a, b));
  EXPECT_EQ(untyped->FullName(), "---");
  EXPECT_FALSE(untyped->ShowLabel());  // the untitled type hides its label
}

TEST(LinkTest, GenericDocumentsMakeGuardedLinks) {
  auto doc = Hypertext::Create("x");
  auto nodes = test::AddOutline(doc.get(), "A\nB");
  LinkRecord r = Record(nodes[0], nodes[1]);
  r.guard = "red";
  Link* link = doc->CreateLink(r);
  EXPECT_NE(dynamic_cast<VlmLink*>(link), nullptr);
  EXPECT_TRUE(link->GuardSatisfied("Red"));
  EXPECT_FALSE(link->GuardSatisfied("blue"));
  EXPECT_TRUE(link->Visible());
}

TEST(LinkTest, ChoosingTheLinkToFollow) {
  auto doc = test::MakeDocument("A\nB\nC\nD");
  Node* a = test::At(doc.get(), "A");
  Node* b = test::At(doc.get(), "B");
  Node* c = test::At(doc.get(), "C");
  Node* d = test::At(doc.get(), "D");
  EXPECT_EQ(doc->ChooseDefaultLink(a), nullptr);
  Link* to_b = doc->CreateLink(Record(a, b));
  LinkRecord t1 = Record(a, c);
  t1.source_span = {0, 5};
  Link* text1 = doc->CreateLink(t1);
  LinkRecord t2 = Record(a, d);
  t2.source_span = {3, 4};
  Link* text2 = doc->CreateLink(t2);

  EXPECT_EQ(doc->ChoosePlainLink(a, ""), to_b);
  EXPECT_EQ(doc->ChooseTextLink(a, 1, false), text1);
  EXPECT_EQ(doc->ChooseTextLink(a, 7, false), text2);
  EXPECT_EQ(doc->ChooseTextLink(a, 9, false), nullptr);

  struct Picker : LinkPicker {
    size_t offered = 0;
    Link* Pick(const LinkBundle& candidates) override {
      offered = candidates.size();
      return candidates[candidates.size() - 1];
    }
  } picker;
  doc->Links().SetPicker(&picker);
  EXPECT_EQ(doc->ChooseTextLink(a, 4, true), text2);
  EXPECT_EQ(picker.offered, 2u);
  EXPECT_EQ(doc->ChooseTextLink(a, 4, false), text1);

  EXPECT_EQ(doc->ChooseDefaultLink(a), to_b);
  doc->Preferences().Set("FollowTextLinks", Value::ForBoolean(true));
  EXPECT_EQ(doc->ChooseDefaultLink(a), text1);  // the anchor at offset 0
  doc->Links().SetPicker(nullptr);
  b->Hide(true);
  doc->Preferences().Set("FollowTextLinks", nullptr);
  EXPECT_EQ(doc->ChoosePlainLink(a, ""), nullptr);  // the only plain link is hidden
}

}  // namespace
}  // namespace fernweave
