// How one note's box is painted on the map: its body, frame, title, text, resize
// handles, widgets and badge, boxes drawn inside containers, and adornments. The map
// artist (views/map_artist.h) decides the order of the boxes; this policy the order
// within one box.

#ifndef FERNWEAVE_VIEWS_MAP_DRAWING_POLICY_H_
#define FERNWEAVE_VIEWS_MAP_DRAWING_POLICY_H_

#include <string>

#include "views/draw_context.h"
#include "views/layout_map.h"
#include "views/map_layout_policy.h"

namespace fernweave {

class Node;

// The colour a colour attribute of the note names; `fallback` for "automatic", an
// empty value or a text that is not a colour.
DrawColor NoteColor(const Node* note, const char* attribute, const DrawColor& fallback);

class OrvexMapDrawingPolicy {
 public:
  // Neither is owned; both must outlive the policy.
  OrvexMapDrawingPolicy(const MapLayoutPolicy* layout, const TextMeasurer* measurer);

  // Starts a paint: the context (not owned), the area to update, the view's text size,
  // the background colour, and whether the paint goes to print or an off-screen
  // picture (handles are then painted solid).
  void Begin(DrawContext* dc, const SRect& update, int text_size, const DrawColor& background,
             bool offscreen);
  // When set, boxes inside containers are drawn in full rather than as plain boxes.
  void SetDrawInteriorsInFull(bool full) { interiors_in_full_ = full; }

  // Paints one record when its frame meets the update area.
  void Draw(const LayoutInfo& info, const LayoutMap& map);

  // --- Geometry -----------------------------------------------------------------
  SRect TitleBarRect(const LayoutInfo& info) const;
  SRect BodyRect(const LayoutInfo& info) const;
  SRect BadgeRect(const LayoutInfo& info) const;
  int ScaledBorder(const LayoutInfo& info) const;
  // The note's `Opacity` as 0–1.
  double Opacity(const Node* note) const;
  DrawColor GetBorderColor(const Node* note) const;
  bool IsRectangular(const Node* note) const;
  // An adornment drawn as a line: its `Width` or `Height` is 0.
  bool IsDivider(const LayoutInfo& info) const;

 private:
  void DrawItem(const LayoutInfo& info, const LayoutMap& map);
  void DrawNode(const LayoutInfo& info, const LayoutMap& map, bool collection);
  void DrawAdornment(const LayoutInfo& info);
  // The adornment's own picture, fitted inside its border.
  void DrawAdornmentPicture(const LayoutInfo& info);
  // The note's shadow below its box: per `Shadow`, offset by `ShadowDistance` and
  // softened over `ShadowBlur` (both in pixels at the standard scale), in
  // `ShadowColor`. Not for adornments or boxes drawn inside containers.
  void DrawShadow(const LayoutInfo& info);
  void DrawBody(const LayoutInfo& info);
  void DrawContainerBody(const LayoutInfo& info);
  void DrawAgentBody(const LayoutInfo& info);
  void DrawPrototypeTab(const LayoutInfo& info);
  void DrawInterior(const LayoutInfo& info, const LayoutMap& map);
  void DrawInteriorNode(const LayoutInfo& info);
  void DrawOutline(const LayoutInfo& info);
  void DrawTitle(const LayoutInfo& info);
  void DrawText(const LayoutInfo& info);
  void DrawHandles(const LayoutInfo& info);
  void DrawWidgets(const LayoutInfo& info);
  void DrawBadge(const LayoutInfo& info);
  void DrawDogEar(const LayoutInfo& info);
  void FillShape(const LayoutInfo& info, const SRect& r, const DrawColor& color);
  DrawColor BodyColor(const Node* note) const;
  int TitleTextSize(const Node* note) const;

  const MapLayoutPolicy* layout_;
  const TextMeasurer* measurer_;
  DrawContext* dc_ = nullptr;
  SRect update_;
  int text_size_ = 12;
  DrawColor background_ = DrawColor::Gray(1);
  bool offscreen_ = false;
  bool interiors_in_full_ = false;
  double unit_ = 1;  // a quarter of the box's pixels per map unit
};

}  // namespace fernweave

#endif  // FERNWEAVE_VIEWS_MAP_DRAWING_POLICY_H_
