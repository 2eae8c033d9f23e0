// The window's selection: which container's map the window shows and which notes are
// selected, one thing across the outline, the map and the note pane.
//
// The selected notes are the document's own selection (Hypertext::Select), which the
// map draws with handles and which the document clears of every note that leaves it
// (deleted, undone, an alias an agent dropped). The map's container and the primary
// note (the one the note pane shows) are remembered by id and looked up on each use, so
// a note that has gone is never touched: the map falls back to the root, the primary to
// the most recently selected note still selected.

#ifndef FERNWEAVE_DESKTOP_SELECTION_H_
#define FERNWEAVE_DESKTOP_SELECTION_H_

#include <cstdint>
#include <vector>

namespace fernweave {

class Hypertext;
class Node;

class WindowSelection {
 public:
  WindowSelection() = default;

  // Starts over on `hypertext` (borrowed; null detaches): the root's map, nothing
  // selected.
  void Reset(Hypertext* hypertext);

  // The container whose map is shown: the live note last shown, else the root.
  Node* MapContainer() const;
  // Shows the map of `container` (ignored when null or not live) and clears the
  // selection.
  void ShowMap(Node* container);
  // Shows the map of the container's parent with the container selected; nothing at the
  // root. Returns whether the map changed.
  bool GoUp();

  // Selects `note` alone. The map moves to the note's parent when it shows another
  // container. Selecting the root shows the root's map with nothing selected. Ignored
  // when the note is null or not live.
  void Select(Node* note);
  // Adds the note to the selection, or takes it out when it is selected already (the
  // Shift- or Ctrl-click on a map). Notes outside the map's container are ignored.
  void Toggle(Node* note);
  void Clear();
  // After an undo or redo moved the primary note to another container: the map follows
  // it there, with it selected. Nothing when it is where the map is.
  void FollowPrimary();

  // The note the note pane shows: the most recently selected note still selected, or
  // null.
  Node* Primary() const;
  // The selected notes in selection order.
  std::vector<Node*> Selected() const;
  bool IsSelected(const Node* note) const;

 private:
  Node* Live(uint32_t id) const;

  Hypertext* hypertext_ = nullptr;
  uint32_t map_id_ = 0;
  bool map_is_root_ = true;
  std::vector<uint32_t> order_;  // ids in selection order, the latest last
};

}  // namespace fernweave

#endif  // FERNWEAVE_DESKTOP_SELECTION_H_
