#include "model/link_manager.h"

#include <gtest/gtest.h>

#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

class LinkManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc_ = test::MakeDocument("A\nB\nC");
    a_ = test::At(doc_.get(), "A");
    b_ = test::At(doc_.get(), "B");
    c_ = test::At(doc_.get(), "C");
  }
  Link* Make(Node* from, Node* to, std::string name = "", int32_t start = -1,
             std::string url = "") {
    LinkRecord r;
    r.source = from;
    r.dest = to;
    r.name = std::move(name);
    r.source_span = {start, start >= 0 ? 2 : 0};
    r.url = std::move(url);
    return doc_->CreateLink(r);
  }
  std::string Names(const LinkBundle& bundle) { return bundle.ToString(false); }

  std::unique_ptr<Orvex> doc_;
  Node* a_;
  Node* b_;
  Node* c_;
};

TEST_F(LinkManagerTest, FilteredListsKeepPriorityOrder) {
  Link* ab = Make(a_, b_, "x");
  Link* ca = Make(c_, a_, "y");
  Link* text = Make(a_, c_, "t", 0);
  Link* web = Make(a_, nullptr, "w", -1, "https://example.org/");
  Make(b_, a_, "prototype");
  LinkManager& m = doc_->Links();
  EXPECT_EQ(m.size(), 5u);
  EXPECT_EQ(m.PriorityOf(text), 2);
  EXPECT_EQ(Names(m.ListLinksFrom(a_)), "A -> B [x]\nA -> C [t]\nA -> https://example.org/ [w]\n");
  EXPECT_EQ(Names(m.ListLinksTo(a_)), "C -> A [y]\nB -> A [prototype]\n");
  EXPECT_EQ(m.ListLinks(a_, true).size(), 5u);
  EXPECT_EQ(Names(m.ListTextLinksFrom(a_)), "A -> C [t]\n");
  EXPECT_EQ(Names(m.ListBasicLinksFrom(a_)), "A -> B [x]\n");
  EXPECT_EQ(Names(m.ListWebLinksFrom(a_)), "A -> https://example.org/ [w]\n");
  EXPECT_EQ(m.ListLinksTo(a_).OmitPrototypes().size(), 1u);
  EXPECT_EQ(m.All().OmitWebLinks().size(), 4u);
  EXPECT_EQ(m.All().WithUniqueSources().size(), 3u);
  EXPECT_EQ(Names(m.LinksOnPath({c_, a_, b_}, true)),
            "A -> B [x]\nC -> A [y]\nA -> C [t]\nB -> A [prototype]\n");

  // Moving a link to the front changes every list's order.
  std::unique_ptr<Link> taken = m.Remove(web);
  ASSERT_EQ(taken.get(), web);
  m.Insert(std::move(taken), 0);
  EXPECT_EQ(m.PriorityOf(web), 0);
  EXPECT_EQ(Names(m.ListLinksFrom(a_)), "A -> https://example.org/ [w]\nA -> B [x]\nA -> C [t]\n");
  std::unique_ptr<Link> again = m.Remove(ca);
  m.InsertBefore(std::move(again), ab);
  EXPECT_EQ(m.PriorityOf(ca), 1);
  EXPECT_EQ(m.Remove(nullptr), nullptr);
  EXPECT_FW_ERROR(m.Insert(nullptr, 0), "asrt");
}

TEST_F(LinkManagerTest, AddingAndRemovingReportsOnBothEnds) {
  test::RecordingView view(doc_.get());
  Link* ab = Make(a_, b_);
  EXPECT_NE(view.Joined().find("A:20"), std::string::npos) << view.Joined();
  EXPECT_NE(view.Joined().find("B:20"), std::string::npos) << view.Joined();
  view.Clear();
  doc_->Links().Remove(ab);
  EXPECT_NE(view.Joined().find("B:20"), std::string::npos) << view.Joined();
}

TEST_F(LinkManagerTest, DeletedNotesHideTheirLinksAndDestroyedOnesLoseThem) {
  Make(a_, b_);
  Make(c_, b_);
  Make(b_, a_);
  EXPECT_EQ(b_->GetLong("InboundLinkCount"), 2);
  EXPECT_EQ(a_->GetLong("OutboundLinkCount"), 1);
  EXPECT_EQ(doc_->HiddenLinkCount(), 0u);

  a_->Hide(true);
  EXPECT_EQ(doc_->LinkCount(), 3u);
  EXPECT_EQ(doc_->HiddenLinkCount(), 2u);
  EXPECT_EQ(b_->GetLong("InboundLinkCount"), 1);
  EXPECT_EQ(b_->GetLong("OutboundLinkCount"), 0);
  EXPECT_EQ(doc_->Links().ListLinks(b_, true).size(), 1u);

  a_->Hide(false);  // the undo of the deletion brings the links back unchanged
  EXPECT_EQ(doc_->HiddenLinkCount(), 0u);
  EXPECT_EQ(b_->GetLong("InboundLinkCount"), 2);

  a_->Hide(true);
  doc_->DestroyNode(a_);
  EXPECT_EQ(doc_->LinkCount(), 1u);
  EXPECT_EQ(b_->GetLong("InboundLinkCount"), 1);
}

TEST_F(LinkManagerTest, ComputedCountsAndAliases) {
  Make(a_, b_);
  Make(a_, nullptr, "", -1, "https://example.org/");
  Make(a_, c_, "prototype");
  EXPECT_EQ(a_->GetLong("OutboundLinkCount"), 2);  // the prototype link is not counted
  EXPECT_EQ(a_->GetLong("WebLinkCount"), 1);
  EXPECT_TRUE(b_->GetString("InboundLinkCount") == "1");
  EXPECT_FALSE(a_->IsDestinationOfWebLink());
  EXPECT_FALSE(a_->HasTextLinks());
  Make(a_, c_, "", 0);
  EXPECT_TRUE(a_->HasTextLinks());
}

}  // namespace
}  // namespace fernweave
