#include "views/tree_artist.h"

#include <algorithm>
#include <string>

#include "model/node.h"
#include "views/map_drawing_policy.h"
#include "views/treemap_layout_policy.h"

namespace fernweave {

namespace {

const DrawColor kBlack = DrawColor::Gray(0);
const DrawColor kWhite = DrawColor::Gray(1);

DrawColor BodyColor(const Node* n) { return NoteColor(n, "Color", DrawColor::Gray(0.6)); }

DrawColor Contrasting(const DrawColor& body) {
  return body.Luminance() > 0.55 ? kBlack : kWhite;
}

TextStyle NameStyle(const Node* n, double size, const DrawColor& color) {
  TextStyle style;
  style.font.family = n->GetString("NameFont");
  style.font.size = size;
  style.font.bold = n->GetBoolean("NameBold");
  style.font.italic = n->IsAlias();
  style.color = color;
  return style;
}

void DrawCheckbox(DrawContext* dc, const Node* n, const SRect& box) {
  dc->FillRect(box, kWhite);
  dc->FrameRect(box, DrawColor::Gray(0.35), 1);
  if (n->GetBoolean("Checked")) {
    ShapePath tick;
    const double w = Width(box);
    const double h = Height(box);
    tick.MoveTo(box.left + w * 0.2, box.top + h * 0.55);
    tick.LineTo(box.left + w * 0.42, box.top + h * 0.78);
    tick.LineTo(box.left + w * 0.8, box.top + h * 0.25);
    dc->StrokePath(tick, kBlack, LineStyle{std::max(1.0, w / 8), LineStyle::Dash::kSolid});
  }
}

// The values of the columns after the first, each kept to its column.
void DrawColumns(DrawContext* dc, const Node* n, const SRect& row, int size,
                 const std::vector<OutlineColumn>& columns) {
  int64_t left = columns[0].width;
  for (size_t i = 1; i < columns.size(); ++i) {
    const int64_t right = left + columns[i].width;
    SRect cell{ClampPixel(left + 4), row.top, ClampPixel(right - 2), row.bottom};
    if (!IsEmpty(cell) && n->HasAttribute(columns[i].attribute)) {
      TextStyle style;
      style.font.size = size;
      style.color = DrawColor::Gray(0.2);
      style.wrap = false;
      dc->DrawText(n->GetString(columns[i].attribute), cell, style);
    }
    left = right;
  }
}

void DrawOutlineRow(DrawContext* dc, const LayoutInfo& info, const TreeDrawing& drawing) {
  const Node* n = info.node;
  const SRect& f = info.frame;
  if (n->IsSeparator()) {
    const double y = (f.top + f.bottom) / 2.0;
    dc->DrawLine({double(f.left), y}, {double(f.right), y}, DrawColor::Gray(0.5), LineStyle{});
    return;
  }
  const int size = std::max(1, info.text_size);
  const double mid = f.top + std::min<double>(Height(f), size * 1.3) / 2.0;
  if (n->Son() != nullptr) {
    // The expander: a triangle pointing right when collapsed, down when expanded.
    const double x = f.left - 12;
    const double s = std::max(3.0, size / 3.0);
    ShapePath triangle;
    if (info.expanded) {
      triangle.MoveTo(x - s, mid - s / 2);
      triangle.LineTo(x + s, mid - s / 2);
      triangle.LineTo(x, mid + s);
    } else {
      triangle.MoveTo(x - s / 2, mid - s);
      triangle.LineTo(x + s, mid);
      triangle.LineTo(x - s / 2, mid + s);
    }
    triangle.Close();
    dc->FillPath(triangle, DrawColor::Gray(0.35));
  }
  int32_t left = f.left;
  if (drawing.checkboxes) {
    const int32_t box = std::max(6, size * 3 / 4);
    const int32_t top = static_cast<int32_t>(mid) - box / 2;
    DrawCheckbox(dc, n, SRect{left, top, left + box, top + box});
    left = AddClamped(left, OutlineLayoutPolicy::CheckboxWidth(size));
  }
  // A colour swatch before the name.
  const int32_t swatch = std::max(4, size * 2 / 3);
  const int32_t top = static_cast<int32_t>(mid) - swatch / 2;
  dc->FillRect(SRect{left, top, left + swatch, top + swatch}, BodyColor(n));
  SRect text = f;
  text.left = left + swatch + 4;
  if (drawing.columns != nullptr && !drawing.columns->empty()) {
    text.right = std::max(text.left, std::min(text.right, (*drawing.columns)[0].width));
    DrawColumns(dc, n, f, size, *drawing.columns);
  }
  dc->DrawText(n->DisplayName(), text, NameStyle(n, size, kBlack));
}

void DrawChartBox(DrawContext* dc, const LayoutInfo& info, const LayoutMap& map) {
  const Node* n = info.node;
  const SRect& f = info.frame;
  // The connector from the parent's right edge to this box's left edge.
  if (const LayoutInfo* parent = map.Get(n->Father()); parent != nullptr && parent->visible) {
    const double x0 = parent->frame.right;
    const double y0 = (parent->frame.top + parent->frame.bottom) / 2.0;
    const double x1 = f.left;
    const double y1 = (f.top + f.bottom) / 2.0;
    const double xm = (x0 + x1) / 2;
    const DrawColor line = DrawColor::Gray(0.45);
    dc->DrawLine({x0, y0}, {xm, y0}, line, LineStyle{});
    dc->DrawLine({xm, y0}, {xm, y1}, line, LineStyle{});
    dc->DrawLine({xm, y1}, {x1, y1}, line, LineStyle{});
  }
  const DrawColor body = BodyColor(n).Blend(kWhite, 0.55);
  dc->FillRect(f, body);
  dc->FrameRect(f, BodyColor(n).Faded(0.6), 1);
  SRect text = Inset(f, 2);
  text.left = std::min(text.right, f.left + std::min(info.text_size, 24) / 2 + 2);
  dc->DrawText(n->DisplayName(), text, NameStyle(n, std::max(1, info.text_size), Contrasting(body)));
}

void DrawTreemapBox(DrawContext* dc, const LayoutInfo& info, int text_size) {
  const Node* n = info.node;
  const DrawColor color = BodyColor(n);
  const SRect title = TreemapTitleRect(info, text_size);
  dc->FillRect(info.frame, color.Blend(kWhite, 0.5));
  dc->FillRect(title, color);
  dc->FrameRect(info.frame, color.Faded(0.6), 1);
  if (Height(title) >= 6) {
    SRect text = Inset(title, 1);
    text.left += 2;
    TextStyle style = NameStyle(n, std::max(4, Height(title) - 5), Contrasting(color));
    style.wrap = false;
    dc->DrawText(n->DisplayName(), text, style);
  }
}

}  // namespace

void DrawTreeView(DrawContext* dc, const LayoutMap& map, const TreeDrawing& drawing) {
  dc->EraseRect(drawing.update, drawing.background);
  if (drawing.root == nullptr) {
    return;
  }
  // Tree order: parents before their children, so nested treemap boxes lie on top.
  // Nothing below a note without a record or a folded one is shown, so the walk
  // skips those subtrees: a large folded outline costs only its shown rows.
  Node* next = nullptr;
  for (Node* n = drawing.root; n != nullptr; n = next) {
    const LayoutInfo* info = map.Get(n);
    const bool open = info != nullptr && (info->expanded || n->IsRootNote());
    next = open ? n->NextWithin(drawing.root) : NextOutside(n, drawing.root);
    if (info == nullptr || !info->visible || info->inside) {
      continue;
    }
    const SRect reach = Inset(info->frame, -16);  // expanders and connectors lie outside
    if (!Overlaps(reach, drawing.update)) {
      continue;
    }
    switch (drawing.kind) {
      case TreeViewKind::kOutline:
        DrawOutlineRow(dc, *info, drawing);
        break;
      case TreeViewKind::kChart:
        DrawChartBox(dc, *info, map);
        break;
      case TreeViewKind::kTreemap:
        DrawTreemapBox(dc, *info, drawing.text_size);
        break;
    }
  }
}

}  // namespace fernweave
