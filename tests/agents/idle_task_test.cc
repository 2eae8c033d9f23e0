#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "agents/idle_task.h"
#include "foundation/clock.h"
#include "lang/language.h"
#include "model/attribute.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "model/node_actions.h"
#include "model/props.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

// A tick clock the test sets by hand.
class PinnedTicks {
 public:
  PinnedTicks() {
    SetTicksForTesting([this] { return now; });
  }
  ~PinnedTicks() { SetTicksForTesting(nullptr); }
  uint64_t now = 10000;
};

class IdleTaskTest : public ::testing::Test {
 protected:
  IdleTaskTest() : doc_(test::MakeDocument("A\nB\nC\nD")) {
    InstallLanguage();
    doc_->Properties().CreateBasicAttribute("Runs", kUserCategory, true, AttributeType::kNumber);
    test::At(doc_.get(), "A")->Set("Rule", "$Runs=$Runs+1");
    test::At(doc_.get(), "B")->Set("Rule", "$Runs=(");  // invalid: skipped
    test::At(doc_.get(), "C")->Set("Rule", "$Runs=$Runs+1");
    agent_ = doc_->MakeNode(Hypertext::NoteKind::kAgent, "Ran", nullptr, nullptr, 0, 0);
    agent_->Set("AgentQuery", "$Runs>0");
    task_ = std::make_unique<IdleTask>(doc_.get());
  }
  ~IdleTaskTest() override { task_.reset(); }

  int Runs(const char* name) { return test::At(doc_.get(), name)->GetLong("Runs"); }

  PinnedTicks clock_;
  std::unique_ptr<Orvex> doc_;
  Node* agent_;
  std::unique_ptr<IdleTask> task_;
};

TEST_F(IdleTaskTest, RulesWaitForTheKeyboardAndRunOneNotePerCall) {
  task_->KeyPressed();
  clock_.now += 119;
  task_->SpendTime();
  EXPECT_EQ(Runs("A") + Runs("C"), 0);
  clock_.now += 1;
  task_->SpendTime();  // one note a call, invalid rules passed over
  EXPECT_EQ(Runs("A"), 1);
  EXPECT_EQ(Runs("C"), 0);
  task_->SpendTime();
  EXPECT_EQ(Runs("C"), 1);
  task_->SpendTime();  // the pass ends; the next call starts again at the root
  task_->SpendTime();
  EXPECT_EQ(Runs("A"), 2);
  EXPECT_EQ(Runs("B"), 0);

  task_->SetUpdateMode(IdleTask::kFastMode);
  task_->SpendTime();  // the rest of the pass at once
  EXPECT_EQ(Runs("C"), 2);
  task_->SetBusy(true);
  task_->SpendTime();
  EXPECT_EQ(Runs("A"), 2);
}

TEST_F(IdleTaskTest, AgentsWaitForTheirIntervalAfterUpdatesAndKeys) {
  test::At(doc_.get(), "D")->Set("Runs", "1");
  task_->SetRuleDelay(1000000);  // rules out of the way
  task_->SetUpdateMode(IdleTask::kFastMode);
  task_->KeyPressed();
  clock_.now += 179;
  task_->SpendTime();
  EXPECT_EQ(agent_->ChildCount(), 0u);
  clock_.now += 1;
  task_->SpendTime();  // the pinned clock never ends a slice: the scan completes
  EXPECT_EQ(agent_->ChildCount(), 1u);
  EXPECT_EQ(task_->last_agent_update(), clock_.now);

  // Outside the fast mode the interval counts units of 30 ticks; and the document may
  // forbid automatic updates altogether.
  test::At(doc_.get(), "A")->Set("Runs", "1");
  task_->SetUpdateMode(0);
  clock_.now += 180 * 30 - 1;
  task_->SpendTime();
  EXPECT_EQ(agent_->ChildCount(), 1u);
  doc_->SetAgentsEnabled(false);
  clock_.now += 1;
  task_->SpendTime();
  EXPECT_EQ(agent_->ChildCount(), 1u);
  doc_->SetAgentsEnabled(true);
  task_->SpendTime();
  EXPECT_EQ(agent_->ChildCount(), 2u);
}

// An explicit request brings the agents up to date at once, whatever the interval, the
// key presses and the document's automatic-update preference say; never while agents
// are switched off.
TEST_F(IdleTaskTest, UpdateAgentsNowRunsAFullUpdateThroughTheTask) {
  test::At(doc_.get(), "D")->Set("Runs", "1");
  doc_->SetAgentsEnabled(false);
  task_->KeyPressed();
  {
    StDisableAgents off;
    doc_->UpdateAgentsNow();
    EXPECT_EQ(agent_->ChildCount(), 0u);
  }
  clock_.now += 7;
  test::At(doc_.get(), "A")->UpdateAgentsNow();
  EXPECT_EQ(agent_->ChildCount(), 1u);
  EXPECT_EQ(task_->last_agent_update(), clock_.now);
}

TEST_F(IdleTaskTest, DeletingTheRuleCursorRestartsThePass) {
  task_->DoRules();
  ASSERT_EQ(task_->rules().cursor(), test::At(doc_.get(), "A"));
  Node* a = test::At(doc_.get(), "A");
  ASSERT_TRUE(doc_->PostAction(std::make_unique<NodeDeleteAction>(a)));
  EXPECT_EQ(task_->rules().cursor(), nullptr);
  doc_->UndoHistory().Clear();  // the deleted note is destroyed
  task_->DoRules();
  EXPECT_EQ(Runs("C"), 1);
}

}  // namespace
}  // namespace fernweave
