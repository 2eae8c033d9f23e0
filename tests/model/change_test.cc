#include "model/change.h"

#include <gtest/gtest.h>

#include "model/hypertext.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

TEST(ChangeTest, RecordKeepsFirstReportOrderAndOrsFacets) {
  auto doc = test::MakeDocument("A\nB");
  const Node* a = test::At(doc.get(), "A");
  const Node* b = test::At(doc.get(), "B");
  Change change;
  change.Add(b, facet::kMoved);
  change.Add(a, facet::kNoModify);
  change.Add(b, facet::kChildren);
  change.Add(nullptr, 0);
  ASSERT_EQ(change.Entries().size(), 3u);
  EXPECT_EQ(change.Entries()[0].node, b);
  EXPECT_EQ(change.FacetsFor(b), 3u);
  EXPECT_TRUE(change.ModifiesDocument());
  change.Remove(b);
  EXPECT_EQ(change.FacetsFor(b), 0u);
  EXPECT_FALSE(change.ModifiesDocument());  // only 16 and 0 remain
  EXPECT_EQ(change.Entries().size(), 2u);
}

TEST(ChangeTest, ViewsReceiveChangesAndOnlySomeSetTheModifiedFlag) {
  auto doc = test::MakeDocument("A\nB");
  Node* a = test::At(doc.get(), "A");
  Node* b = test::At(doc.get(), "B");
  doc->SetModified(false);
  test::RecordingView view(doc.get());
  ASSERT_TRUE(b->DoMoveToInternal(a, nullptr, MapPoint{1, 2}));
  // One batch: the old father, the new father and the moved note; the position
  // attributes carry their redraw facets.
  EXPECT_EQ(view.Joined(), "Test:2 B:201 A:2");
  EXPECT_TRUE(doc->IsModified());
  // A change marked not to modify is delivered but leaves the flag alone.
  doc->SetModified(false);
  view.Clear();
  a->Changed(facet::kNoModify);
  EXPECT_EQ(view.Joined(), "A:10");
  EXPECT_FALSE(doc->IsModified());
  a->Changed(0u);  // nothing to report
  EXPECT_EQ(view.log().size(), 1u);
  // Storing the value a note holds already is no change; an inherited value stored for
  // the first time, or another value, is.
  a->Set("Checked", "true");
  doc->SetModified(false);
  view.Clear();
  a->Set("Checked", "true");
  EXPECT_EQ(view.log().size(), 0u);
  EXPECT_FALSE(doc->IsModified());
  b->SetPrototype(a, false);
  b->Set("Checked", "true");
  EXPECT_TRUE(b->HasImmediate("Checked"));
  EXPECT_TRUE(doc->IsModified());
  doc->SetModified(false);
  a->Set("Checked", "false");
  EXPECT_TRUE(doc->IsModified());
}

TEST(ChangeTest, GuardsBatchSuppressAndNest) {
  auto doc = test::MakeDocument("A\nB");
  Node* a = test::At(doc.get(), "A");
  Node* b = test::At(doc.get(), "B");
  test::RecordingView view(doc.get());
  {
    StChanges outer(doc.get());
    a->Changed(facet::kMoved);
    {
      StChanges inner(doc.get());
      b->Changed(facet::kMoved);
      a->Changed(facet::kChildren);
    }
    EXPECT_TRUE(view.log().empty());  // the inner guard does not deliver early
  }
  EXPECT_EQ(view.Joined(), "A:3 B:1");
  view.Clear();
  {
    StIgnoreChanges ignore(doc.get());
    a->Changed(facet::kMoved);
  }
  doc->DoChanges();
  EXPECT_TRUE(view.log().empty());
  doc->HoldChanges(true);
  a->Changed(facet::kLinks);
  EXPECT_TRUE(view.log().empty());
  doc->HoldChanges(false);
  EXPECT_EQ(view.Joined(), "A:20");
}

TEST(ChangeTest, HiddenNotesAndRemovedViewsHearNothing) {
  auto doc = test::MakeDocument("A");
  Node* a = test::At(doc.get(), "A");
  auto view = std::make_unique<test::RecordingView>(doc.get());
  a->Hide(true);
  view->Clear();
  a->Changed(facet::kMoved);
  EXPECT_TRUE(view->log().empty());
  view.reset();                                // unregisters itself
  doc->MakeNode("B", nullptr, nullptr, 0, 0);  // must not reach the destroyed view
}

// A view that reports a change while handling one: the report is ignored rather
// than re-entering delivery.
class EchoingView : public Changeable {
 public:
  explicit EchoingView(Node* n) : n_(n) {}
  void NoteChanged(const Node*, uint32_t) override {
    ++calls_;
    n_->Changed(facet::kMoved);
  }
  void DocumentChanged() override {}
  int calls_ = 0;

 private:
  Node* n_;
};

TEST(ChangeTest, ChangesReportedDuringDeliveryAreIgnored) {
  auto doc = test::MakeDocument("A");
  Node* a = test::At(doc.get(), "A");
  EchoingView view(a);
  doc->AddView(&view);
  a->Changed(facet::kMoved);
  EXPECT_EQ(view.calls_, 1);
  EXPECT_TRUE(doc->PendingChanges().empty());
  doc->RemoveView(&view);
}

}  // namespace
}  // namespace fernweave
