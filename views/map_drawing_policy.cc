#include "views/map_drawing_policy.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/content.h"
#include "model/node.h"
#include "model/orvex.h"
#include "model/value.h"
#include "views/map_interaction.h"
#include "views/shapes.h"

namespace fernweave {

namespace {

const DrawColor kBlack = DrawColor::Gray(0);
const DrawColor kWhite = DrawColor::Gray(1);

// A text or name colour that reads on the given body colour.
DrawColor ContrastingColor(const DrawColor& body) {
  return body.Luminance() > 0.55 ? kBlack : kWhite;
}

// The first line of the note's text, for the text area of a box.
std::string TextPreview(const Node* note) {
  std::string text = note->GetText();
  for (char& c : text) {
    if (c == '\r') {
      c = '\n';
    }
  }
  return text;
}

}  // namespace

DrawColor NoteColor(const Node* note, const char* attribute, const DrawColor& fallback) {
  const std::string text = note->GetString(attribute);
  if (text.empty() || text == "automatic" || text == "transparent") {
    return fallback;
  }
  // Colour names ("cool gray") are the document's; the colour forms parse directly.
  PColor color;
  if (const auto* doc = dynamic_cast<const Orvex*>(note->GetHypertext())) {
    if (doc->Colors().Resolve(text, &color)) {
      return DrawColor::FromPColor(color);
    }
    return fallback;
  }
  return color.FromString(text) ? DrawColor::FromPColor(color) : fallback;
}

OrvexMapDrawingPolicy::OrvexMapDrawingPolicy(const MapLayoutPolicy* layout,
                                             const TextMeasurer* measurer)
    : layout_(layout), measurer_(measurer) {}

void OrvexMapDrawingPolicy::Begin(DrawContext* dc, const SRect& update, int text_size,
                                  const DrawColor& background, bool offscreen) {
  dc_ = dc;
  update_ = update;
  text_size_ = std::max(1, text_size);
  background_ = background;
  offscreen_ = offscreen;
}

bool OrvexMapDrawingPolicy::IsDivider(const LayoutInfo& info) const {
  return info.IsAdornment() &&
         (info.node->GetDouble("Width") == 0 || info.node->GetDouble("Height") == 0);
}

bool OrvexMapDrawingPolicy::IsRectangular(const Node* note) const {
  return ShapeNamed(note->GetString("Shape")) == ShapeKind::kRectangle;
}

double OrvexMapDrawingPolicy::Opacity(const Node* note) const {
  const double percent = note->GetDouble("Opacity");
  if (!std::isfinite(percent)) {
    return 1.0;
  }
  return std::clamp(percent / 100.0, 0.0, 1.0);
}

DrawColor OrvexMapDrawingPolicy::BodyColor(const Node* note) const {
  return NoteColor(note, "Color", DrawColor::Gray(0.6));
}

DrawColor OrvexMapDrawingPolicy::GetBorderColor(const Node* note) const {
  return NoteColor(note, "BorderColor", BodyColor(note).Faded(0.6));
}

int OrvexMapDrawingPolicy::ScaledBorder(const LayoutInfo& info) const {
  double border = info.node->GetDouble("Border");
  if (!std::isfinite(border) || border < 0) {
    border = 0;
  }
  // Border 2 is two pixels at the standard scale, where the unit is 9.
  return static_cast<int>(std::clamp(std::round(border * unit_ / 9.0), 0.0, 20.0));
}

int OrvexMapDrawingPolicy::TitleTextSize(const Node* note) const {
  return PercentTextSize(note, "MapTextSize", text_size_);
}

SRect OrvexMapDrawingPolicy::TitleBarRect(const LayoutInfo& info) const {
  if (!IsEmpty(info.title)) {
    return info.title;
  }
  SRect title = info.frame;
  title.bottom = std::min(info.frame.bottom,
                          AddClamped(info.frame.top, layout_->TitleBarHeight(info, text_size_)));
  return title;
}

SRect OrvexMapDrawingPolicy::BodyRect(const LayoutInfo& info) const {
  SRect body = Inset(info.frame, 1);
  body.top = std::min(body.bottom, TitleBarRect(info).bottom);
  return body;
}

SRect OrvexMapDrawingPolicy::BadgeRect(const LayoutInfo& info) const {
  const SRect inner = Inset(info.frame, ScaledBorder(info));
  const int32_t side = std::min({Height(TitleBarRect(info)), Width(inner) / 3, 24});
  return SRect{inner.right - side, inner.top, inner.right, inner.top + std::max(0, side)};
}

void OrvexMapDrawingPolicy::Draw(const LayoutInfo& info, const LayoutMap& map) {
  const SRect reach = IsDivider(info) ? Inset(info.frame, -1) : info.frame;
  if (!Overlaps(reach, update_)) {
    return;
  }
  const double width = info.node->GetDouble("Width");
  unit_ = (width == 0 || !std::isfinite(width) ? 1.0 : Width(info.frame) / width) * 0.25;
  const Node* note = info.node;
  if (note->IsAdornment()) {
    DrawAdornment(info);
  } else if (note->IsSeparator()) {
    return;
  } else if (info.IsContainer() || note->IsAgent()) {
    DrawNode(info, map, true);
  } else {
    DrawItem(info, map);
  }
  if (note->HasText() && IsRectangular(note) && !info.inside) {
    DrawDogEar(info);
  }
}

void OrvexMapDrawingPolicy::DrawItem(const LayoutInfo& info, const LayoutMap& map) {
  DrawNode(info, map, false);
}

void OrvexMapDrawingPolicy::DrawNode(const LayoutInfo& info, const LayoutMap& map,
                                     bool collection) {
  if (info.inside && !interiors_in_full_) {
    DrawInteriorNode(info);
    return;
  }
  DrawShadow(info);
  if (!collection) {
    DrawBody(info);
  } else if (info.node->IsAgent()) {
    DrawAgentBody(info);
  } else {
    DrawContainerBody(info);
  }
  DrawPrototypeTab(info);
  if (collection) {
    DrawInterior(info, map);
  }
  DrawOutline(info);
  DrawTitle(info);
  if (!collection) {
    DrawText(info);
  }
  if (info.IsSelected() && !info.inside) {
    DrawHandles(info);
    DrawWidgets(info);
  }
  DrawBadge(info);
}

void OrvexMapDrawingPolicy::FillShape(const LayoutInfo& info, const SRect& r,
                                      const DrawColor& color) {
  const ShapeKind kind = ShapeNamed(info.node->GetString("Shape"));
  if (kind == ShapeKind::kRectangle) {
    dc_->FillRect(r, color);
  } else {
    dc_->FillPath(ShapeOutline(kind, r), color);
  }
}

void OrvexMapDrawingPolicy::DrawShadow(const LayoutInfo& info) {
  const Node* note = info.node;
  if (info.inside || info.IsAdornment() || !note->GetBoolean("Shadow")) {
    return;
  }
  // Damaged or extreme values give no shadow or a bounded one, never a huge fill.
  auto pixels = [&info](double v) {
    const double s = info.scale > 0 && std::isfinite(info.scale) ? info.scale / 36.0 : 1.0;
    return std::isfinite(v) ? std::clamp(v, 0.0, 100.0) * s : 0.0;
  };
  const double distance = pixels(note->GetDouble("ShadowDistance"));
  const double blur = pixels(note->GetDouble("ShadowBlur"));
  if (distance <= 0 && blur <= 0) {
    return;
  }
  const DrawColor color = NoteColor(note, "ShadowColor", DrawColor::Gray(0));
  const SRect shadow = Offset(info.frame, ClampPixel(distance), ClampPixel(distance));
  // A blurred shadow reads as a wider, fainter one: one fill per box keeps a map of
  // many notes about as quick to paint as without shadows.
  const int32_t grow = ClampPixel(blur / 4);
  const double alpha = 0.3 / (1.0 + blur / 20.0);
  FillShape(info, Inset(shadow, -grow), DrawColor{color.red, color.green, color.blue, alpha});
}

void OrvexMapDrawingPolicy::DrawBody(const LayoutInfo& info) {
  const DrawColor color = BodyColor(info.node);
  FillShape(info, info.frame, DrawColor{color.red, color.green, color.blue, Opacity(info.node)});
  if (!IsRectangular(info.node) || Width(info.frame) < 8 || Height(info.frame) < 8) {
    return;
  }
  // The bevel: a lighter edge along the top and left, a darker one along the bottom
  // and right.
  const SRect f = Inset(info.frame, 1);
  LineStyle line;
  dc_->DrawLine({double(f.left), f.top + 0.5}, {double(f.right), f.top + 0.5},
                color.Blend(kWhite, 0.4), line);
  dc_->DrawLine({f.left + 0.5, double(f.top)}, {f.left + 0.5, double(f.bottom)},
                color.Blend(kWhite, 0.4), line);
  dc_->DrawLine({double(f.left), f.bottom - 0.5}, {double(f.right), f.bottom - 0.5},
                color.Faded(0.7), line);
  dc_->DrawLine({f.right - 0.5, double(f.top)}, {f.right - 0.5, double(f.bottom)},
                color.Faded(0.7), line);
}

void OrvexMapDrawingPolicy::DrawContainerBody(const LayoutInfo& info) {
  const DrawColor color = BodyColor(info.node);
  FillShape(info, info.frame, DrawColor{color.red, color.green, color.blue, Opacity(info.node)});
  // The interior is a lighter well below the title band.
  const SRect body = Inset(BodyRect(info), 2);
  if (!IsEmpty(body) && IsRectangular(info.node)) {
    dc_->FillRect(body, color.Blend(kWhite, 0.35));
  }
}

void OrvexMapDrawingPolicy::DrawAgentBody(const LayoutInfo& info) {
  const DrawColor color = BodyColor(info.node);
  FillShape(info, info.frame, DrawColor{color.red, color.green, color.blue, Opacity(info.node)});
  // Agents show diagonal stripes in their body, so they read apart from containers.
  const SRect body = Inset(BodyRect(info), 2);
  if (IsEmpty(body)) {
    return;
  }
  dc_->Save();
  dc_->ClipRect(body);
  const DrawColor stripe = color.Blend(kWhite, 0.25);
  LineStyle line;
  line.width = 2;
  for (int32_t x = body.left - Height(body); x < body.right; x += 8) {
    dc_->DrawLine({double(x), double(body.bottom)},
                  {double(x) + Height(body), double(body.top)}, stripe, line);
  }
  dc_->Restore();
}

void OrvexMapDrawingPolicy::DrawPrototypeTab(const LayoutInfo& info) {
  if (!info.node->GetBoolean("IsPrototype") || Width(info.frame) < 24) {
    return;
  }
  const int32_t h = std::max(3, Height(TitleBarRect(info)) / 4);
  const SRect tab{info.frame.left + 4, info.frame.top - h, info.frame.left + 4 + Width(info.frame) / 4,
                  info.frame.top};
  dc_->FillRect(tab, GetBorderColor(info.node));
}

void OrvexMapDrawingPolicy::DrawInterior(const LayoutInfo& info, const LayoutMap& map) {
  const SRect body = BodyRect(info);
  if (IsEmpty(body)) {
    return;
  }
  // Children in reverse, so the eldest lies on top, as on the map itself.
  std::vector<const LayoutInfo*> inner;
  for (const Node* c = info.node->Son(); c != nullptr; c = c->Brother()) {
    const LayoutInfo* r = map.Get(c);
    if (r != nullptr && r->inside && r->visible) {
      inner.push_back(r);
    }
  }
  if (inner.empty()) {
    return;
  }
  dc_->Save();
  dc_->ClipRect(body);
  for (auto it = inner.rbegin(); it != inner.rend(); ++it) {
    if (interiors_in_full_) {
      DrawNode(**it, map, false);
    } else {
      DrawInteriorNode(**it);
    }
  }
  dc_->Restore();
}

void OrvexMapDrawingPolicy::DrawInteriorNode(const LayoutInfo& info) {
  dc_->FillRect(info.frame, BodyColor(info.node));
}

void OrvexMapDrawingPolicy::DrawOutline(const LayoutInfo& info) {
  const int border = std::max(1, ScaledBorder(info));
  const DrawColor color = GetBorderColor(info.node);
  const ShapeKind kind = ShapeNamed(info.node->GetString("Shape"));
  if (kind == ShapeKind::kRectangle) {
    dc_->FrameRect(info.frame, color, border);
  } else {
    LineStyle line;
    line.width = border;
    dc_->StrokePath(ShapeOutline(kind, info.frame), color, line);
  }
}

void OrvexMapDrawingPolicy::DrawTitle(const LayoutInfo& info) {
  const Node* note = info.node;
  SRect title = Inset(TitleBarRect(info), 2);
  title.left += 2;
  if (IsEmpty(title)) {
    return;
  }
  TextStyle style;
  style.font.family = note->GetString("NameFont");
  style.font.size = TitleTextSize(note);
  style.font.bold = note->GetBoolean("NameBold");
  style.font.italic = note->IsAlias();
  style.color = NoteColor(note, "NameColor", ContrastingColor(BodyColor(note)));
  const std::string align = note->GetString("NameAlignment");
  style.align = align == "center" ? TextAlign::kCenter
                : align == "right" ? TextAlign::kRight
                                   : TextAlign::kLeft;
  style.wrap = true;
  dc_->DrawText(note->DisplayName(), title, style);
}

void OrvexMapDrawingPolicy::DrawText(const LayoutInfo& info) {
  const Node* note = info.node;
  if (!note->HasText()) {
    return;
  }
  SRect body = Inset(BodyRect(info), 3);
  const int size = std::max(6, TitleTextSize(note) * 3 / 4);
  if (Height(body) < size + 2 || Width(body) < 2 * size) {
    return;
  }
  TextStyle style;
  style.font.family = note->GetString("TextFont");
  style.font.size = size;
  style.color = ContrastingColor(BodyColor(note)).Blend(BodyColor(note), 0.25);
  dc_->DrawText(TextPreview(note), body, style);
}

void OrvexMapDrawingPolicy::DrawHandles(const LayoutInfo& info) {
  for (int handle = 1; handle <= 8; ++handle) {
    const SRect r = ResizeHandleRect(info.frame, handle);
    if (offscreen_) {
      dc_->FillRect(r, kBlack);
    } else {
      dc_->EraseRect(r, background_);
      dc_->FrameRect(r, kBlack, 1);
    }
  }
}

void OrvexMapDrawingPolicy::DrawWidgets(const LayoutInfo& info) {
  // A locked or sticky note shows a small mark at its bottom-left corner.
  const Node* note = info.node;
  const SRect f = Inset(info.frame, std::max(1, ScaledBorder(info)) + 1);
  int32_t x = f.left;
  for (const char* flag : {"Lock", "Sticky"}) {
    if (!note->GetBoolean(flag) || Width(f) < 20 || Height(f) < 10) {
      continue;
    }
    const SRect mark{x, f.bottom - 6, x + 6, f.bottom};
    dc_->FillRect(mark, ContrastingColor(BodyColor(note)));
    x += 8;
  }
}

void OrvexMapDrawingPolicy::DrawBadge(const LayoutInfo& info) {
  const std::string badge = info.node->GetString("Badge");
  const SRect r = BadgeRect(info);
  if (badge.empty() || Width(r) < 6 || Height(r) < 6) {
    return;
  }
  // Badge pictures are not installed here; the badge is a disc with its initial.
  ShapePath disc = ShapeOutline(ShapeKind::kOval, Inset(r, 1));
  dc_->FillPath(disc, DrawColor::Gray(0.15));
  TextStyle style;
  style.font.size = std::max(4, Height(r) * 2 / 3);
  style.font.bold = true;
  style.color = kWhite;
  style.align = TextAlign::kCenter;
  style.wrap = false;
  const size_t length = (static_cast<unsigned char>(badge[0]) & 0x80) == 0 ? 1 : badge.size();
  dc_->DrawText(badge.substr(0, std::min<size_t>(length, 4)), Inset(r, 1), style);
}

void OrvexMapDrawingPolicy::DrawDogEar(const LayoutInfo& info) {
  const SRect f = Inset(info.frame, 2);
  const int32_t size = std::min({8, Width(f) / 4, Height(f) / 4});
  if (size < 3) {
    return;
  }
  ShapePath ear;
  ear.MoveTo(f.right - size, f.top);
  ear.LineTo(f.right, f.top + size);
  ear.LineTo(f.right - size, f.top + size);
  ear.Close();
  dc_->FillPath(ear, BodyColor(info.node).Blend(kWhite, 0.5));
}

void OrvexMapDrawingPolicy::DrawAdornment(const LayoutInfo& info) {
  const Node* note = info.node;
  const DrawColor color = BodyColor(note);
  if (IsDivider(info)) {
    LineStyle line;
    line.width = std::max(1, ScaledBorder(info));
    const SRect& f = info.frame;
    dc_->DrawLine({double(f.left), double(f.top)}, {double(f.right), double(f.bottom)},
                  GetBorderColor(note), line);
    return;
  }
  FillShape(info, info.frame, DrawColor{color.red, color.green, color.blue, Opacity(note)});
  DrawAdornmentPicture(info);
  if (ScaledBorder(info) > 0) {
    DrawOutline(info);
  }
  DrawTitle(info);
}

void OrvexMapDrawingPolicy::DrawAdornmentPicture(const LayoutInfo& info) {
  const std::string& picture = info.node->GetContent()->picture();
  if (picture.empty()) {
    return;
  }
  // Over the body, inside the border, and within the outline of a shaped adornment.
  const SRect area = Inset(info.frame, ScaledBorder(info));
  if (IsEmpty(area)) {
    return;
  }
  const ShapeKind kind = ShapeNamed(info.node->GetString("Shape"));
  dc_->Save();
  if (kind == ShapeKind::kRectangle) {
    dc_->ClipRect(area);
  } else {
    dc_->ClipPath(ShapeOutline(kind, area));
  }
  dc_->DrawPicture(picture, area);
  dc_->Restore();
}

}  // namespace fernweave
