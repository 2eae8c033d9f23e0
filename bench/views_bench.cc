// Benchmarks of the views: laying out an outline, a chart and a treemap of the
// generated 100k-note document, and drawing a map of one container holding 1,000
// notes to a picture beside a bare Cairo program that draws the same rectangles and
// titles (the baseline of the ratio). Names are measured with Pango, as a render does.

#include <cairo.h>
#include <pango/pangocairo.h>

#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "app/cairo/cairo_draw_context.h"
#include "bench/generated_document.h"
#include "model/node.h"
#include "views/chart_layout_policy.h"
#include "views/map_artist.h"
#include "views/map_layout_policy.h"
#include "views/outline_layout_policy.h"
#include "views/treemap_layout_policy.h"

#include "tests/support/document_generator.cc"  // NOLINT(bugprone-suspicious-include)

namespace fernweave {
namespace {

Node* Root100k() { return bench::Generated(100000).doc->Root(); }

PangoTextMeasurer& Measurer() {
  static PangoTextMeasurer measurer;
  return measurer;
}

// A fresh map each time: every name is measured.
template <typename Policy>
void FirstLayout(benchmark::State& state, SRect bounds, double scale) {
  Node* root = Root100k();
  size_t records = 0;
  for (auto _ : state) {
    Policy policy;
    policy.SetTextMeasurer(&Measurer());
    LayoutMap map;
    LayOutView(&policy, scale, root, &map, bounds);
    records = map.size();
  }
  state.counters["records"] = static_cast<double>(records);
}

// The same map again, as after a change: cached measurements are kept.
template <typename Policy>
void Relayout(benchmark::State& state, SRect bounds, double scale) {
  Node* root = Root100k();
  Policy policy;
  policy.SetTextMeasurer(&Measurer());
  LayoutMap map;
  LayOutView(&policy, scale, root, &map, bounds);
  for (auto _ : state) {
    LayOutView(&policy, scale, root, &map, bounds);
  }
  state.counters["records"] = static_cast<double>(map.size());
}

void BM_OutlineFirstLayout100k(benchmark::State& state) {
  FirstLayout<OrvexOutlineLayoutPolicy>(state, SRect{0, 0, 640, 0}, 16);
}
void BM_OutlineRelayout100k(benchmark::State& state) {
  Relayout<OrvexOutlineLayoutPolicy>(state, SRect{0, 0, 640, 0}, 16);
}
// Every note expanded: 100k rows, each measured once.
void BM_OutlineAllExpanded100k(benchmark::State& state) {
  Node* root = Root100k();
  OrvexOutlineLayoutPolicy policy;
  policy.SetTextMeasurer(&Measurer());
  LayoutMap map;
  for (Node* n = root; n != nullptr; n = n->Next()) {
    map.CreateFor(n)->expanded = true;
  }
  LayOutView(&policy, 16, root, &map, SRect{0, 0, 640, 0});
  for (auto _ : state) {
    LayOutView(&policy, 16, root, &map, SRect{0, 0, 640, 0});
  }
  state.counters["records"] = static_cast<double>(map.size());
}
void BM_ChartFirstLayout100k(benchmark::State& state) {
  FirstLayout<ChartLayoutPolicy>(state, SRect{}, 36);
}
void BM_ChartRelayout100k(benchmark::State& state) { Relayout<ChartLayoutPolicy>(state, SRect{}, 36); }
void BM_TreemapLayout100k(benchmark::State& state) {
  FirstLayout<TreemapLayoutPolicy>(state, SRect{0, 0, 1024, 768}, 36);
}

BENCHMARK(BM_OutlineFirstLayout100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OutlineRelayout100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OutlineAllExpanded100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartFirstLayout100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartRelayout100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TreemapLayout100k)->Unit(benchmark::kMillisecond);

// One container holding 1,000 notes in 25 rows of 40.
struct Container {
  Container() : doc(Orvex::Create("bench")) {
    Node* last = nullptr;
    for (int i = 0; i < 1000; ++i) {
      last = doc->MakeNode("note " + std::to_string(i), doc->Root(), last, (i % 40) * 3.5,
                           (i / 40) * 1.5);
    }
    LayOutView(&layout, 36, doc->Root(), &map, SRect{});
    map.ForEach([this](LayoutInfo* r) { bounds = Union(bounds, r->frame); });
  }
  std::unique_ptr<Orvex> doc;
  OrvexMapLayoutPolicy layout;
  LayoutMap map;
  SRect bounds{0, 0, 0, 0};
};

Container& Map1000() {
  static Container container;
  return container;
}

void BM_MapDraw1000ToPicture(benchmark::State& state) {
  Container& c = Map1000();
  OrvexMapDrawingPolicy drawing(&c.layout, &Measurer());
  PlainLinkPolicy links;
  for (auto _ : state) {
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, c.bounds.right, c.bounds.bottom);
    cairo_t* cr = cairo_create(surface);
    {
      CairoDrawContext dc(cr);
      MapArtist artist(&c.map, c.doc->Root(), &c.layout, &drawing, &links);
      artist.SetUseLayers(false);  // as `fernweave render` draws
      artist.Draw(&dc, c.bounds, c.bounds);
    }
    cairo_surface_flush(surface);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
}

// The baseline: the same boxes filled and framed and the same titles set with Pango,
// straight onto Cairo.
void BM_BareCairoDraw1000(benchmark::State& state) {
  Container& c = Map1000();
  for (auto _ : state) {
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, c.bounds.right, c.bounds.bottom);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* font = pango_font_description_from_string("DejaVu Sans 9");
    pango_layout_set_font_description(layout, font);
    for (const LayoutInfo* r : c.map.Records()) {
      const SRect& f = r->frame;
      cairo_set_source_rgb(cr, 0.6, 0.64, 0.68);
      cairo_rectangle(cr, f.left, f.top, Width(f), Height(f));
      cairo_fill(cr);
      cairo_set_source_rgb(cr, 0.36, 0.38, 0.4);
      cairo_set_line_width(cr, 2);
      cairo_rectangle(cr, f.left + 1, f.top + 1, Width(f) - 2, Height(f) - 2);
      cairo_stroke(cr);
      const std::string name = r->node->Name();
      pango_layout_set_width(layout, (Width(f) - 6) * PANGO_SCALE);
      pango_layout_set_text(layout, name.data(), static_cast<int>(name.size()));
      cairo_set_source_rgb(cr, 0, 0, 0);
      cairo_move_to(cr, f.left + 4, f.top + 2);
      pango_cairo_show_layout(cr, layout);
    }
    pango_font_description_free(font);
    g_object_unref(layout);
    cairo_surface_flush(surface);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
}

BENCHMARK(BM_MapDraw1000ToPicture)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareCairoDraw1000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace fernweave
