// The widget toolkit's per-frame work: the layout of a menu screen and of a long
// level list (screens lay out their whole tree every painted frame), routing a
// pointer motion through the list, and typing into a text field. Text is
// measured with the tests' font model, so the figures do not depend on the
// artwork. Run the Release build:
//   cmake -S . -B build-rel -DCMAKE_BUILD_TYPE=Release && cmake --build build-rel --target ui_bench
//   build-rel/bench/ui_bench --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/ui/test_gfx.h"
#include "ui/grid_picker.h"
#include "ui/scroll_box.h"
#include "ui/slider.h"
#include "ui/text_input.h"

namespace {

double fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

// A settings-like screen: a title, two sliders, two text fields, a five-column
// picker of eight choices and a row of four buttons, in nested tables.
void build_menu(Container& root) {
    Table* t = new Table;
    t->styles[STYLE_BASE].width = 960;
    tr(t);
    td_span(t, -1, -1, 4, new Label(2, "Settings"));
    tr(t);
    td_span(t, -1, -1, 4, make_slider("music", 50, 1));
    tr(t);
    td_span(t, -1, -1, 4, make_slider("sfx", 50, 0));
    tr(t);
    td_span(t, -1, -1, 4, make_text_field("name", "someone", 0, 0));
    tr(t);
    td_span(t, -1, -1, 4, make_text_field("passwd", "secret", 0, 1));
    tr(t);
    GridPicker* p = new GridPicker;
    for (int i = 0; i < 8; ++i) p->add_entry("1280x720", i, 0);
    td_span(t, -1, -1, 4, p);
    tr(t);
    for (int i = 0; i < 4; ++i) td(t, make_button("Button", i + 1, 200, 0));
    add(&root, t);
}

// A level list: 100 entries of a title and an author in a scroll box with its bar.
ScrollBox2* build_list(Container& root) {
    Table* list = new Table;
    for (int i = 0; i < 100; ++i) {
        tr(list);
        Table* entry = new Table;
        tr(entry);
        td(entry, new Label(2, "A level with a long title"));
        tr(entry);
        td(entry, new Label(3, "by its author"));
        VBox* box = new VBox(entry);
        box->styles[STYLE_BASE].width = 320;
        set_paddings(box->styles[STYLE_BASE], 10);
        set_borders(box->styles[STYLE_BASE], 2);
        box->styles[STYLE_BASE].background = 0x111111;
        box->styles[STYLE_HOVER].background = 0x222222;
        box->click_value = 1000 + i;
        td(list, box);
    }
    ScrollBox* sb = new ScrollBox(list);
    sb->styles[STYLE_BASE].width = 340;
    sb->styles[STYLE_BASE].height = 600;
    ScrollBox2* pair = new ScrollBox2(sb);
    pair->y = 120;
    add(&root, pair);
    return pair;
}

void BM_LayoutMenu(benchmark::State& state) {
    uitest::FakeGfx fake;
    Container root;
    build_menu(root);
    for (auto _ : state) {
        root.measure_content();
        benchmark::DoNotOptimize(root.content_h);
    }
}
BENCHMARK(BM_LayoutMenu)->ComputeStatistics("min", fastest)->Unit(benchmark::kMicrosecond);

void BM_LayoutList100(benchmark::State& state) {
    uitest::FakeGfx fake;
    Container root;
    build_list(root);
    for (auto _ : state) {
        root.measure_content();
        benchmark::DoNotOptimize(root.content_h);
    }
}
BENCHMARK(BM_LayoutList100)->ComputeStatistics("min", fastest)->Unit(benchmark::kMicrosecond);

// Layout and paint (into the recorder) of the list: one whole frame of widgets.
void BM_FrameList100(benchmark::State& state) {
    uitest::FakeGfx fake;
    Container root;
    build_list(root);
    for (auto _ : state) {
        root.measure_content();
        root.paint_content();
        uitest::recorder().calls.clear();
    }
}
BENCHMARK(BM_FrameList100)->ComputeStatistics("min", fastest)->Unit(benchmark::kMicrosecond);

void BM_RouteMotionOverList(benchmark::State& state) {
    uitest::FakeGfx fake;
    Container root;
    build_list(root);
    root.measure_content();
    float y = 120;
    for (auto _ : state) {
        y = y >= 700 ? 120 : y + 7;
        benchmark::DoNotOptimize(root.event(uitest::mouse(EV_MOUSEMOVE, 100, y)));
    }
}
BENCHMARK(BM_RouteMotionOverList)->ComputeStatistics("min", fastest)->Unit(benchmark::kNanosecond);

// 255 characters typed into a multi-line field, each with its undo entry and
// scroll keeping, then the field emptied.
void BM_TypeFullMultiLineField(benchmark::State& state) {
    uitest::FakeGfx fake;
    Container root;
    TextInput* t = make_text_field("text", "", 1, 0);
    add(&root, t);
    root.measure_content();
    t->focus();
    for (auto _ : state) {
        for (int i = 0; i < 255; ++i) t->event(uitest::typed(i % 9 == 8 ? ' ' : 'a' + i % 26));
        t->set_value_s("");
    }
}
BENCHMARK(BM_TypeFullMultiLineField)->ComputeStatistics("min", fastest)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
