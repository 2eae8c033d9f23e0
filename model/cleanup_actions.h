// Undoable tidying of a container's map: the grid cleanup, and the row, column, box and
// nudge forms. Each chooses the notes it moves and their new places once, when it is
// made (`Prepare`); Redo sets every moved note's `Xpos`/`Ypos` to its new place and Undo
// back to the old one. Positions are in map units (the same units as `Width`).
//
// The notes moved are the container's children in sibling order, leaving out locked
// notes (`Lock`), adornments, separators and notes lying on a smart adornment (one with
// a non-empty `AgentQuery`); when two or more of them are selected, only the selected
// ones move. With nothing to move the action is not postable.

#ifndef FERNWEAVE_MODEL_CLEANUP_ACTIONS_H_
#define FERNWEAVE_MODEL_CLEANUP_ACTIONS_H_

#include <vector>

#include "model/action.h"
#include "model/node.h"

namespace fernweave {

class NodeCleanupAction : public NodeAction {
 public:
  struct Move {
    Node* note;
    MapPoint old_position;
    MapPoint new_position;
  };

  // The grid: rows about as many as the square root of the number of notes moved,
  // `spacing` map units apart; with `staggered`, odd rows start half a column in.
  // REQUIRES: container is not null ("nilP").
  NodeCleanupAction(Node* container, double spacing, bool staggered = false);
  bool IsPostable() const override { return !moves_.empty(); }

  // The notes that would move, in sibling order (see the top of this file).
  static std::vector<Node*> MovedNodes(const Node* container);
  const std::vector<Move>& Moves() const { return moves_; }
  double Spacing() const { return spacing_; }

 protected:
  // For the other forms: the notes are chosen, and Prepare gives them their places.
  NodeCleanupAction(Node* container, double spacing, int);
  virtual void Prepare(const std::vector<Node*>& notes);
  void RedoSelf() override;
  void UndoSelf() override;
  void Add(Node* note, MapPoint new_position);
  // Runs Prepare on the chosen notes; the constructors of the forms call it.
  void Choose();

 private:
  double spacing_;
  bool staggered_ = false;
  std::vector<Move> moves_;
};

// Side by side on the first note's line, `spacing` apart.
class NodeCleanupRowAction : public NodeCleanupAction {
 public:
  NodeCleanupRowAction(Node* container, double spacing);

 protected:
  void Prepare(const std::vector<Node*>& notes) override;
};

// One above the other from the first note down, `spacing` apart.
class NodeCleanupColumnAction : public NodeCleanupAction {
 public:
  NodeCleanupColumnAction(Node* container, double spacing);

 protected:
  void Prepare(const std::vector<Node*>& notes) override;
};

// Round the edges of a rectangle from (0, 0): rightwards along the top, down the right
// side, leftwards along the bottom, up the left side. Two or more notes.
class NodeCleanupBoxAction : public NodeCleanupAction {
 public:
  NodeCleanupBoxAction(Node* container, double spacing);

 protected:
  void Prepare(const std::vector<Node*>& notes) override;
};

// Every position multiplied by `factor`: apart for a factor above 1, together below.
class NodeNudgeAction : public NodeCleanupAction {
 public:
  NodeNudgeAction(Node* container, double factor);

 protected:
  void Prepare(const std::vector<Node*>& notes) override;

 private:
  double factor_;
};

// The spacing an agent's "grid" `CleanupAction` uses.
inline constexpr double kAgentGridSpacing = 0.5;

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_CLEANUP_ACTIONS_H_
