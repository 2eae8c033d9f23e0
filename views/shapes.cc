#include "views/shapes.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

namespace fernweave {

namespace {

// Bézier handle length of a quarter ellipse, as a fraction of its radius.
constexpr double kKappa = 0.5522847498;

void AddEllipse(ShapePath* p, double cx, double cy, double rx, double ry) {
  p->MoveTo(cx + rx, cy);
  p->CurveTo(cx + rx, cy + ry * kKappa, cx + rx * kKappa, cy + ry, cx, cy + ry);
  p->CurveTo(cx - rx * kKappa, cy + ry, cx - rx, cy + ry * kKappa, cx - rx, cy);
  p->CurveTo(cx - rx, cy - ry * kKappa, cx - rx * kKappa, cy - ry, cx, cy - ry);
  p->CurveTo(cx + rx * kKappa, cy - ry, cx + rx, cy - ry * kKappa, cx + rx, cy);
  p->Close();
}

void AddRoundedRect(ShapePath* p, double l, double t, double r, double b, double radius) {
  radius = std::min({radius, (r - l) / 2, (b - t) / 2});
  const double k = radius * (1 - kKappa);
  p->MoveTo(l + radius, t);
  p->LineTo(r - radius, t);
  p->CurveTo(r - k, t, r, t + k, r, t + radius);
  p->LineTo(r, b - radius);
  p->CurveTo(r, b - k, r - k, b, r - radius, b);
  p->LineTo(l + radius, b);
  p->CurveTo(l + k, b, l, b - k, l, b - radius);
  p->LineTo(l, t + radius);
  p->CurveTo(l, t + k, l + k, t, l + radius, t);
  p->Close();
}

}  // namespace

ShapeKind ShapeNamed(std::string_view name) {
  std::string key;
  for (char c : name) {
    if (c != ' ' && c != '-' && c != '_') {
      key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  static const struct {
    const char* name;
    ShapeKind kind;
  } kNames[] = {
      {"oval", ShapeKind::kOval},       {"circle", ShapeKind::kOval},
      {"ellipse", ShapeKind::kOval},    {"diamond", ShapeKind::kDiamond},
      {"tagleft", ShapeKind::kTagLeft}, {"tagright", ShapeKind::kTagRight},
      {"lozenge", ShapeKind::kLozenge}, {"roundrect", ShapeKind::kLozenge},
      {"bubble", ShapeKind::kBubble},   {"leaf", ShapeKind::kLeaf},
      {"lotus", ShapeKind::kLotus},     {"banner", ShapeKind::kBanner},
      {"cloud", ShapeKind::kCloud},
  };
  for (const auto& entry : kNames) {
    if (key == entry.name) {
      return entry.kind;
    }
  }
  return ShapeKind::kRectangle;
}

ShapePath ShapeOutline(ShapeKind kind, const SRect& rect) {
  ShapePath p;
  const double l = rect.left;
  const double t = rect.top;
  const double r = rect.right;
  const double b = rect.bottom;
  const double w = r - l;
  const double h = b - t;
  const double cx = l + w / 2;
  const double cy = t + h / 2;
  switch (kind) {
    case ShapeKind::kRectangle:
      break;
    case ShapeKind::kOval:
      AddEllipse(&p, cx, cy, w / 2, h / 2);
      break;
    case ShapeKind::kDiamond:
      p.MoveTo(cx, t);
      p.LineTo(r, cy);
      p.LineTo(cx, b);
      p.LineTo(l, cy);
      p.Close();
      break;
    case ShapeKind::kTagLeft: {
      const double point = std::min(h / 2, w / 3);
      p.MoveTo(l + point, t);
      p.LineTo(r, t);
      p.LineTo(r, b);
      p.LineTo(l + point, b);
      p.LineTo(l, cy);
      p.Close();
      break;
    }
    case ShapeKind::kTagRight: {
      const double point = std::min(h / 2, w / 3);
      p.MoveTo(l, t);
      p.LineTo(r - point, t);
      p.LineTo(r, cy);
      p.LineTo(r - point, b);
      p.LineTo(l, b);
      p.Close();
      break;
    }
    case ShapeKind::kLozenge:
      AddRoundedRect(&p, l, t, r, b, std::min(w, h) / 4);
      break;
    case ShapeKind::kBubble:
      AddRoundedRect(&p, l, t, r, b, std::min(w, h) / 2);
      break;
    case ShapeKind::kLeaf:
      p.MoveTo(l, b);
      p.CurveTo(l, t + h * 0.2, l + w * 0.4, t, r, t);
      p.CurveTo(r, t + h * 0.8, r - w * 0.4, b, l, b);
      p.Close();
      break;
    case ShapeKind::kLotus:
      p.MoveTo(l, b);
      p.CurveTo(l, cy, l + w * 0.25, t + h * 0.3, l + w * 0.3, t + h * 0.3);
      p.CurveTo(l + w * 0.4, t, cx, t, cx, t);
      p.CurveTo(cx, t, r - w * 0.4, t, r - w * 0.3, t + h * 0.3);
      p.CurveTo(r - w * 0.25, t + h * 0.3, r, cy, r, b);
      p.Close();
      break;
    case ShapeKind::kBanner: {
      const double notch = std::min(h / 3, w / 8);
      p.MoveTo(l, t);
      p.LineTo(r, t);
      p.LineTo(r - notch, cy);
      p.LineTo(r, b);
      p.LineTo(l, b);
      p.LineTo(l + notch, cy);
      p.Close();
      break;
    }
    case ShapeKind::kCloud: {
      // Four bumps along the top and bottom, two at the ends.
      const double bump_w = w / 4;
      const double bump_h = h / 4;
      p.MoveTo(l + bump_w * 0.5, t + bump_h);
      for (int i = 0; i < 3; ++i) {
        const double x0 = l + bump_w * (0.5 + i);
        p.CurveTo(x0, t, x0 + bump_w, t, x0 + bump_w, t + bump_h);
      }
      p.CurveTo(r, t + bump_h, r, b - bump_h, r - bump_w * 0.5, b - bump_h);
      for (int i = 0; i < 3; ++i) {
        const double x0 = r - bump_w * (0.5 + i);
        p.CurveTo(x0, b, x0 - bump_w, b, x0 - bump_w, b - bump_h);
      }
      p.CurveTo(l, b - bump_h, l, t + bump_h, l + bump_w * 0.5, t + bump_h);
      p.Close();
      break;
    }
  }
  return p;
}

}  // namespace fernweave
