// The update step of an ordinary container: its smart adornments (adornments carrying an
// "AgentQuery") gather the container's notes that satisfy their queries onto themselves.

#include <algorithm>
#include <string>
#include <vector>

#include "agents/agent_manager.h"
#include "lang/action.h"
#include "model/node.h"

namespace fernweave {

namespace {

// The gap kept between a note and the adornment's edge or the next note, in map units.
constexpr double kMargin = 0.25;

// A note lies on an adornment when its centre is inside the adornment's box (as the grid
// cleanup decides it too).
bool LiesOn(const Node* note, const Node* adornment) {
  const MapPoint p = note->Position();
  const MapPoint a = adornment->Position();
  const double cx = p.x + note->Width() / 2;
  const double cy = p.y + note->Height() / 2;
  return cx >= a.x && cx <= a.x + adornment->Width() && cy >= a.y &&
         cy <= a.y + adornment->Height();
}

void MoveTo(Node* note, MapPoint p) {
  if (!(note->Position() == p)) {
    note->SetPosition(p);
  }
}

void PutOnAdornment(Node* note, const Node* adornment) {
  if (!LiesOn(note, adornment)) {
    const MapPoint a = adornment->Position();
    MoveTo(note, MapPoint{a.x + kMargin, a.y + kMargin});
  }
}

// Off to the right of the adornment, at the same height.
void MoveOffAdornment(Node* note, const Node* adornment) {
  if (LiesOn(note, adornment)) {
    const MapPoint a = adornment->Position();
    MoveTo(note, MapPoint{a.x + adornment->Width() + kMargin, note->Position().y});
  }
}

// Lays the adornment's notes out in rows inside its box, in sibling order.
void Cleanup(const Node* adornment, const std::vector<Node*>& notes) {
  const MapPoint a = adornment->Position();
  const double right = a.x + adornment->Width();
  double x = a.x + kMargin;
  double y = a.y + kMargin;
  double row = 0;
  for (Node* note : notes) {
    if (x > a.x + kMargin && x + note->Width() > right) {
      x = a.x + kMargin;
      y += row + kMargin;
      row = 0;
    }
    MoveTo(note, MapPoint{x, y});
    x += note->Width() + kMargin;
    row = std::max(row, note->Height());
  }
}

}  // namespace

bool AgentManager::DoSmartAdornments(Node* container) {
  if (container == nullptr || container->Son() == nullptr) {
    return false;
  }
  // Every note of the document has this turn, and few containers hold adornments: the
  // notes are only looked at once a smart adornment is found.
  std::vector<Node*> adornments;
  for (Node* c = container->Son(); c != nullptr; c = c->Brother()) {
    if (c->IsAdornment() && !c->GetString("AgentQuery").empty()) {
      adornments.push_back(c);
    }
  }
  if (adornments.empty()) {
    return false;
  }
  std::vector<Node*> notes;
  for (Node* c = container->Son(); c != nullptr; c = c->Brother()) {
    if (!c->IsAdornment() && !c->IsSeparator() && !c->GetBoolean("Lock")) {
      notes.push_back(c);
    }
  }
  std::vector<std::vector<Node*>> gathered(adornments.size());
  for (Node* note : notes) {
    for (size_t i = 0; i < adornments.size(); ++i) {
      Node* adornment = adornments[i];
      const std::string query = adornment->GetString("AgentQuery");
      if (query.empty()) {
        continue;
      }
      const bool case_sensitive = adornment->GetBoolean("AgentCaseSensitive");
      if (LogicalResult(Action::Evaluate(note, query, case_sensitive)).IsTrue()) {
        PutOnAdornment(note, adornment);
        gathered[i].push_back(note);
        break;
      }
      MoveOffAdornment(note, adornment);
    }
  }
  for (size_t i = 0; i < adornments.size(); ++i) {
    Cleanup(adornments[i], gathered[i]);
  }
  return false;
}

}  // namespace fernweave
