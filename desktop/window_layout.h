// The window's layout kept in the document, so that a document reopens as it was left:
// which container the map showed, the window's size, where the pane dividers stood and
// the map's zoom. It is stored as the document's saved window of kind "skepmap" (the
// combined window of outline, map and note), front window first; saved windows of other
// kinds that the file holds are kept as they are.
//
// A record written by another program may hold anything: numbers that do not read, or
// read out of range, leave that part of the layout at the window's own default.

#ifndef FERNWEAVE_DESKTOP_WINDOW_LAYOUT_H_
#define FERNWEAVE_DESKTOP_WINDOW_LAYOUT_H_

#include <optional>

namespace fernweave {

class Hypertext;
class Node;

struct WindowLayout {
  // 0 stands for "the window's default" in every size and position.
  int width = 0;
  int height = 0;
  int outline_width = 0;  // the divider between the outline and the map
  int map_width = 0;      // the divider between the map and the note pane
  int zoom = 5;           // the map's zoom setting (MapScale's settings)
};

// Stores the layout, with `container` as the map's container, as the document's front
// saved window. Does not mark the document as changed: the layout rides along with the
// next save.
void RecordWindowLayout(Hypertext* hypertext, const WindowLayout& layout,
                        const Node* container);

// The layout of the document's combined window, or nullopt when the document has none.
// *container gets the live container it showed, or null when that note is gone.
std::optional<WindowLayout> ReadWindowLayout(const Hypertext& hypertext, Node** container);

}  // namespace fernweave

#endif  // FERNWEAVE_DESKTOP_WINDOW_LAYOUT_H_
