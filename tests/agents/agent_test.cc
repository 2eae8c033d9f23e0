#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agents/agent.h"
#include "agents/agent_manager.h"
#include "agents/agent_query.h"
#include "foundation/clock.h"
#include "lang/language.h"
#include "model/alias_node.h"
#include "model/attribute.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "model/node_actions.h"
#include "model/props.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

// A tick clock the test sets; each reading advances it by `step`.
class FakeTicks {
 public:
  FakeTicks() {
    SetTicksForTesting([this] { return now += step; });
  }
  ~FakeTicks() { SetTicksForTesting(nullptr); }
  uint64_t now = 1000;
  uint64_t step = 0;
};

class AgentTest : public ::testing::Test {
 protected:
  AgentTest()
      : doc_(test::MakeDocument("Garden\n  Tomato\n  Basil\n  Mint\nTasks\n  Water\n  Weed")) {
    InstallLanguage();
    doc_->Properties().CreateBasicAttribute("Kind", kUserCategory, true, AttributeType::kString);
    doc_->Properties().CreateBasicAttribute("Count", kUserCategory, true, AttributeType::kNumber);
    for (const char* path : {"Garden/Tomato", "Garden/Basil", "Tasks/Water"}) {
      test::At(doc_.get(), path)->Set("Kind", "plant");
    }
    manager_ = std::make_unique<AgentManager>(doc_.get());
  }
  ~AgentTest() override { manager_.reset(); }

  Node* MakeAgent(const std::string& name, const std::string& query, Node* parent = nullptr) {
    Node* agent = doc_->MakeNode(Hypertext::NoteKind::kAgent, name, parent, nullptr, 0, 0);
    agent->Set("AgentQuery", query);
    return agent;
  }
  // The agent's children: each alias's original name, "!" for anything else.
  static std::string Gathered(const Node* agent) {
    std::string out;
    for (const Node* c = agent->Son(); c != nullptr; c = c->Brother()) {
      out += (out.empty() ? "" : " ") + std::string(c->IsAlias() ? "" : "!") + c->Name();
    }
    return out;
  }
  void Scan(Node* agent) { manager_->ScanOf(agent)->Do(true); }

  std::unique_ptr<Orvex> doc_;
  std::unique_ptr<AgentManager> manager_;
};

TEST_F(AgentTest, GathersOneAliasPerMatchingNoteAndNothingElse) {
  Node* tomato = test::At(doc_.get(), "Garden/Tomato");
  AliasNode::CreateFor(tomato, test::At(doc_.get(), "Tasks"), nullptr, 0, 0, false);
  AliasNode::CreateFor(tomato, test::At(doc_.get(), "Tasks"), nullptr, 0, 0, false);
  Node* hidden = doc_->MakeNode("Hidden", test::At(doc_.get(), "Garden"), nullptr, 0, 0);
  hidden->Set("Kind", "plant");
  hidden->Hide(true);
  Node* adornment =
      doc_->MakeNode(Hypertext::NoteKind::kAdornment, "Bed", nullptr, nullptr, 0, 0);
  adornment->Set("Kind", "plant");
  doc_->Root()->Set("Kind", "plant");

  Node* plants = MakeAgent("Plants", "$Kind==\"plant\"");
  plants->Set("Kind", "plant");  // the agent itself matches, and is still not gathered
  Scan(plants);
  EXPECT_EQ(Gathered(plants), "Tomato Basil Water");
  Scan(plants);  // a second scan changes nothing
  EXPECT_FALSE(manager_->ScanOf(plants)->ChildrenChanged());
  EXPECT_EQ(manager_->ScanOf(plants)->LastOutcome().added, 0u);

  // Another agent is gathered only when it satisfies the query itself.
  Node* agents = MakeAgent("Agents", "$AgentQuery!=\"\"");
  Scan(agents);
  EXPECT_EQ(Gathered(agents), "Plants");

  // A note that stops matching loses its alias; its original stays.
  test::At(doc_.get(), "Garden/Basil")->Set("Kind", "weed");
  Scan(plants);
  EXPECT_EQ(Gathered(plants), "Tomato Water");
  EXPECT_EQ(manager_->ScanOf(plants)->LastOutcome().removed, 1u);
  EXPECT_EQ(test::CheckInvariants(*doc_), "");
}

TEST_F(AgentTest, ANoteMatchesThroughItsAliasesElsewhere) {
  Node* mint = test::At(doc_.get(), "Garden/Mint");
  AliasNode::CreateFor(mint, test::At(doc_.get(), "Tasks"), nullptr, 0, 0, false);
  Node* agent = MakeAgent("InTasks", "$Container==\"/Tasks/\"");
  Scan(agent);
  EXPECT_EQ(Gathered(agent), "Mint Water Weed");
}

TEST_F(AgentTest, CaseFlagChangeReparsesTheQuery) {
  Node* agent = MakeAgent("Tom", "Name(TOMATO)");
  agent->SetBoolean("AgentCaseSensitive", true);
  Scan(agent);
  EXPECT_EQ(Gathered(agent), "");
  agent->SetBoolean("AgentCaseSensitive", false);
  Scan(agent);
  EXPECT_EQ(Gathered(agent), "Tomato");
}

TEST_F(AgentTest, CleanupActionPlacesNewAliases) {
  const struct {
    const char* cleanup;
    bool all_at_origin;
  } kCases[] = {{"grid", false}, {"none", false}, {"stay", true}};
  for (const auto& c : kCases) {
    Node* agent = MakeAgent(c.cleanup, "$Kind==\"plant\"");
    agent->Set("CleanupAction", c.cleanup);
    Scan(agent);
    std::vector<MapPoint> places;
    for (Node* a = agent->Son(); a != nullptr; a = a->Brother()) {
      if (std::find(places.begin(), places.end(), a->Position()) == places.end()) {
        places.push_back(a->Position());
      }
    }
    EXPECT_EQ(places.size(), c.all_at_origin ? 1u : 3u) << c.cleanup;
    if (c.all_at_origin) {
      EXPECT_EQ(places[0], (MapPoint{0, 0}));
    }
  }
}

TEST_F(AgentTest, ActionRunsOnEveryMatchAtTheEndOfEachScanAndChildrenSort) {
  Node* agent = MakeAgent("Count", "$Kind==\"plant\"");
  agent->Set("AgentAction", "$Count=$Count+1");
  agent->Set("Sort", "Name");
  Scan(agent);
  Scan(agent);
  EXPECT_EQ(test::At(doc_.get(), "Garden/Tomato")->GetString("Count"), "2");
  EXPECT_FALSE(test::At(doc_.get(), "Garden/Mint")->HasImmediate("Count"));
  EXPECT_EQ(Gathered(agent), "Basil Tomato Water");
}

// An action that moves the very aliases it walks out of the agent, and one that replaces
// the agent's action: the walk survives both and nothing freed is touched.
TEST_F(AgentTest, PerformActionsSurvivesActionsThatMoveItsAliases) {
  Node* agent = MakeAgent("Mover", "$Kind==\"plant\"");
  agent->Set("AgentAction", "$Container=\"/Tasks\"; $Count=$Count+1");
  Scan(agent);
  EXPECT_EQ(test::ChildNames(test::At(doc_.get(), "Tasks")), "Water Weed Tomato Basil Water");
  EXPECT_EQ(test::At(doc_.get(), "Garden/Tomato")->GetString("Count"), "1");
  Scan(agent);  // the moved aliases still stand for matches elsewhere: made again

  Node* self = MakeAgent("Self", "$Kind==\"plant\"");
  self->Set("AgentAction", "$AgentAction(agent)=\"$Count=100\"; $Count=$Count+1");
  Scan(self);
  // The first alias ran the statement that replaced the action and stopped there.
  EXPECT_EQ(self->GetAction("AgentAction"), "$Count=100");
  EXPECT_EQ(test::CheckInvariants(*doc_), "");
}

// Repeated scans as membership shifts: the same number of matches but other notes, a
// match lost with nothing gained, one gained, and none at all; each scan in one call
// and in slices.
TEST_F(AgentTest, RescansFollowShiftingMembership) {
  for (const uint64_t step : {uint64_t{0}, uint64_t{3}}) {
    FakeTicks clock;
    clock.step = step;  // 3: each slice examines a note or two
    Node* agent = MakeAgent("Shift" + std::to_string(step), "$Kind==\"plant\"");
    auto scan = [&] {
      AgentScan* s = manager_->ScanOf(agent);
      for (int i = 0; i < 100 && (i == 0 || !s->HasBeenDone()); ++i) {
        s->Do(false);
      }
    };
    // Each step sets Kind of one note, or of two (the second made a plant).
    const struct {
      const char* note;
      const char* kind;
      const char* plant;
      const char* gathered;
    } kSteps[] = {
        {"Garden/Tomato", "plant", nullptr, "Tomato Basil Water"},
        {"Garden/Tomato", "", nullptr, "Basil Water"},
        {"Garden/Mint", "plant", nullptr, "Basil Mint Water"},
        {"Garden/Basil", "", "Tasks/Weed", "Mint Water Weed"},  // same size, other notes
        {"Tasks/Water", "", nullptr, "Mint Weed"},
        {"Garden/Tomato", "plant", nullptr, "Tomato Mint Weed"},
    };
    for (const auto& c : kSteps) {
      test::At(doc_.get(), c.note)->Set("Kind", c.kind);
      if (c.plant != nullptr) {
        test::At(doc_.get(), c.plant)->Set("Kind", "plant");
      }
      scan();
      EXPECT_EQ(Gathered(agent), c.gathered) << c.note << " step " << step;
    }
    agent->Set("AgentQuery", "$Kind==\"none\"");
    scan();
    EXPECT_EQ(Gathered(agent), "");
    for (const char* path : {"Garden/Tomato", "Garden/Basil", "Tasks/Water"}) {
      test::At(doc_.get(), path)->Set("Kind", "plant");
    }
    for (const char* path : {"Garden/Mint", "Tasks/Weed"}) {
      test::At(doc_.get(), path)->Set("Kind", "");
    }
  }
}

TEST_F(AgentTest, PriorityTurns) {
  FakeTicks clock;
  clock.step = 1;  // each reading is one tick later: a slice examines a few notes
  for (int i = 0; i < 40; ++i) {
    doc_->MakeNode("n" + std::to_string(i), nullptr, nullptr, 0, 0);
  }
  Node* off = MakeAgent("Off", "$Kind==\"plant\"");
  off->Set("AgentPriority", "-1");
  EXPECT_TRUE(manager_->ScanOf(off)->Do(false));
  EXPECT_TRUE(manager_->ScanOf(off)->HasBeenDone());

  Node* slow = MakeAgent("Slow", "$Kind==\"plant\"");
  slow->Set("AgentPriority", "3");
  AgentScan* scan = manager_->ScanOf(slow);
  std::string turns;  // s: a slice of work, p: a turn let pass
  for (int i = 0; i < 40 && (turns.empty() || !scan->HasBeenDone()); ++i) {
    const uint64_t before = clock.now;
    scan->Do(false);
    turns += clock.now == before ? 'p' : 's';
  }
  ASSERT_GE(turns.size(), 4u);
  EXPECT_EQ(turns.substr(0, 4), "spps") << turns;
  EXPECT_EQ(turns.find('p', 3), std::string::npos) << turns;
  EXPECT_EQ(Gathered(slow), "Tomato Basil Water");
}

TEST_F(AgentTest, SliceAndUpdateBounds) {
  FakeTicks clock;
  clock.step = 1;
  for (int i = 0; i < 60; ++i) {
    doc_->MakeNode("n" + std::to_string(i), nullptr, nullptr, 0, 0);
  }
  Node* agent = MakeAgent("Plants", "$Kind==\"plant\"");
  // One reading starts the slice and one follows each note: the slice stops once the
  // reading is 7 ticks past its start, so exactly 7 notes are examined.
  const uint64_t start = clock.now;
  manager_->ScanOf(agent)->Do(false);
  EXPECT_EQ(clock.now - start, 1u + AgentScan::kSliceTicks);

  // Update starts turns until more than 5 ticks have passed since it began.
  const uint64_t update_start = clock.now;
  manager_->Update(false);
  EXPECT_LE(clock.now - update_start, 1 + AgentManager::kUpdateTicks + 1 + AgentScan::kSliceTicks);

  // Switched off for a scope, nothing runs; the old value comes back after.
  {
    StDisableAgents off;
    const uint64_t before = clock.now;
    manager_->Update(false);
    manager_->UpdateAll();
    EXPECT_EQ(clock.now, before);
  }
  EXPECT_TRUE(AgentManager::sEnabled);
}

TEST_F(AgentTest, DeletingTheManagersCursorKeepsTheWalkGoing) {
  Node* basil = test::At(doc_.get(), "Garden/Basil");
  while (manager_->cursor() != basil) {
    manager_->Next();
  }
  ASSERT_TRUE(doc_->PostAction(std::make_unique<NodeDeleteAction>(basil)));
  EXPECT_EQ(manager_->cursor(), test::At(doc_.get(), "Garden/Tomato"));
  EXPECT_EQ(manager_->Next(), test::At(doc_.get(), "Garden/Mint"));
}

// Notes deleted (and then destroyed, when the undo history lets them go) and moved at
// every stage of scans, in a seeded random order; the sanitizer build proves that no
// scan touches a freed note, and the invariants hold after every step.
TEST_F(AgentTest, ScansSurviveDeletionsAndMovesAtEveryStage) {
  FakeTicks clock;
  clock.step = 1;
  for (int i = 0; i < 40; ++i) {
    Node* parent = test::At(doc_.get(), i % 2 ? "Garden" : "Tasks");
    Node* n = doc_->MakeNode("n" + std::to_string(i), parent, nullptr, 0, 0);
    n->Set("Kind", i % 3 ? "plant" : "tool");
  }
  Node* first = MakeAgent("A", "$Kind==\"plant\"");
  first->Set("AgentAction", "if($Count>2){$Container=\"/Tasks\"}; $Count=$Count+1");
  MakeAgent("B", "$Kind==\"tool\"")->Set("AgentPriority", "2");
  MakeAgent("C", "$Container==\"/Garden/\"")->Set("CleanupAction", "none");

  std::mt19937 random(14);
  for (int step = 0; step < 250; ++step) {
    std::vector<Node*> live = doc_->AllNodes().notes();
    Node* pick = live[random() % live.size()];
    switch (random() % 6) {
      case 0:
        if (pick->CanBeDeleted()) {
          doc_->PostAction(std::make_unique<NodeDeleteAction>(pick));
        }
        break;
      case 1:
        doc_->PostAction(std::make_unique<NodeMoveAction>(
            pick, live[random() % live.size()], nullptr));
        break;
      case 2:
        if (doc_->UndoHistory().CanUndo()) {
          doc_->UndoHistory().Undo();
        }
        break;
      case 3:
        if (!pick->IsRootNote()) {
          pick->Set("Kind", random() % 2 ? "plant" : "tool");
        }
        break;
      case 4:
        manager_->UpdateAll();
        break;
      default:
        manager_->Update(false);
        break;
    }
    ASSERT_EQ(test::CheckInvariants(*doc_), "") << "step " << step;
  }
  // After a full update without actions every live agent holds exactly its matches.
  for (Node* n : doc_->AllNodes()) {
    n->Remove("AgentAction");
  }
  manager_->UpdateAll();
  const std::vector<Node*> all = doc_->AllNodes().notes();
  for (Node* n : all) {
    if (!n->IsAgent()) {
      continue;
    }
    AgentQuery query(doc_.get(), n->GetString("AgentQuery"), true);
    size_t expected = 0;
    for (Node* m : all) {
      AgentScan* scan = manager_->ScanOf(n);
      expected += scan->CanSearch(m) && scan->Match(m, nullptr) ? 1 : 0;
    }
    EXPECT_EQ(n->ChildCount(), expected) << n->Name();
  }
}

TEST_F(AgentTest, QuerySearchFindsNotesInDocumentOrder) {
  AliasNode::CreateFor(test::At(doc_.get(), "Garden/Tomato"));
  AgentQuery query(doc_.get(), "$Kind==\"plant\"", false);
  std::vector<Node*> found;
  EXPECT_EQ(query.Search(&found), 3u);
  std::string names;
  for (Node* n : found) {
    names += n->Name() + " ";
  }
  EXPECT_EQ(names, "Tomato Basil Water ");
  AgentQuery broken(doc_.get(), "$Kind==(", false);
  EXPECT_FALSE(broken.Parse());
  EXPECT_EQ(broken.Search(&found), 0u);
  EXPECT_NE(broken.Error(), "");
}

}  // namespace
}  // namespace fernweave
