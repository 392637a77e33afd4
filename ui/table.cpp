// The grid table and its span-distribution layout.
#include <algorithm>
#include <cstdio>

#include "ui/widget.h"

namespace {

// Grid indices and spans are kept inside a sane grid, so a stray cell number
// cannot make the layout allocate without bound.
constexpr int GRID_LIMIT = 1024;

int grid_index(int v) { return std::clamp(v, 0, GRID_LIMIT - 1); }
int grid_span(int v) { return std::clamp(v, 1, GRID_LIMIT); }

// Spreads the deficit of every child over its spanned tracks. `first` and
// `span` give a child's first track and span; `need` its size.
template <class First, class Span, class Need>
void spread(const std::vector<Widget*>& order, std::vector<int>& tracks, First first, Span span,
            Need need) {
    for (const Widget* c : order) {
        const int f = first(c);
        const int n = span(c);
        int sum = 0;
        for (int j = f; j < f + n; ++j) sum += tracks[j];
        const int deficit = need(c) - sum;
        if (deficit <= 0) continue;
        for (int j = f; j < f + n; ++j)
            tracks[j] += deficit / n + ((j % n) < (deficit % n) ? 1 : 0);
    }
}

}  // namespace

Table::Table() { add_filler(); }

void Table::add_filler() {
    filler = new Widget;
    filler->disabled = 1;
    add(this, filler);
}

bool Table::release_child(Widget* child, Widget* successor) {
    if (child == filler) {
        fprintf(stderr, "a table keeps its filler\n");
        return false;
    }
    return Container::release_child(child, successor);
}

void Table::reset_as_new() {
    cur_row = -1;
    cur_col = 0;
    add_filler();
}

void Table::measure_content() {
    // Cells resized below re-measure their subtrees within this same pass.
    LayoutPass pass;
    Container::measure_content();

    // The filler counts as one cell at (0, 0), so even an empty table has a
    // column and a row to take its width and height; its span is set from the
    // other cells below (counting the old span would keep a grid from shrinking).
    int ncols = filler ? 1 : 0, nrows = filler ? 1 : 0;
    for (const Widget* c : children) {
        if (c == filler) continue;
        ncols = std::max(ncols, grid_index(c->col) + grid_span(c->colspan));
        nrows = std::max(nrows, grid_index(c->row) + grid_span(c->rowspan));
    }
    ncols = std::min(ncols, GRID_LIMIT);
    nrows = std::min(nrows, GRID_LIMIT);

    const Style& s = styles[STYLE_CURRENT];
    if (filler) {
        filler->col = 0;
        filler->row = 0;
        filler->colspan = ncols;
        filler->rowspan = nrows;
        filler->x = 0;
        filler->y = 0;
        filler->w = style_or(s.width, 0);
        filler->h = style_or(s.height, 0);
    }

    // Cells that reach past the grid (beyond GRID_LIMIT) are left out.
    auto fits = [&](const Widget* c) {
        return grid_index(c->col) + grid_span(c->colspan) <= ncols &&
               grid_index(c->row) + grid_span(c->rowspan) <= nrows;
    };

    std::vector<int> widths(size_t(ncols), 0), heights(size_t(nrows), 0);

    std::stable_sort(children.begin(), children.end(), [](const Widget* a, const Widget* b) {
        return grid_span(a->colspan) < grid_span(b->colspan);
    });
    std::vector<Widget*> placed;
    for (Widget* c : children)
        if (fits(c)) placed.push_back(c);
    spread(
        placed, widths, [](const Widget* c) { return grid_index(c->col); },
        [](const Widget* c) { return grid_span(c->colspan); }, [](const Widget* c) { return c->w; });

    std::stable_sort(children.begin(), children.end(), [](const Widget* a, const Widget* b) {
        return grid_span(a->rowspan) < grid_span(b->rowspan);
    });
    placed.clear();
    for (Widget* c : children)
        if (fits(c)) placed.push_back(c);
    spread(
        placed, heights, [](const Widget* c) { return grid_index(c->row); },
        [](const Widget* c) { return grid_span(c->rowspan); }, [](const Widget* c) { return c->h; });

    std::vector<int> xs(size_t(ncols) + 1, 0), ys(size_t(nrows) + 1, 0);
    for (int j = 0; j < ncols; ++j) xs[j + 1] = xs[j] + widths[j];
    for (int j = 0; j < nrows; ++j) ys[j + 1] = ys[j] + heights[j];

    for (Widget* c : placed) {
        const int col = grid_index(c->col), row = grid_index(c->row);
        c->x = xs[col];
        c->y = ys[row];
        const int cw = xs[col + grid_span(c->colspan)] - xs[col];
        const int ch = ys[row + grid_span(c->rowspan)] - ys[row];
        if (cw != c->w || ch != c->h) c->resize(cw, ch);
    }
    content_w = xs[ncols];
    content_h = ys[nrows];
}

// ---------------------------------------------------------------------------
// Rows and cells

void tr(Table* t) {
    if (!t) return;
    t->cur_row += 1;
    t->cur_col = 0;
}

void td(Table* t, Widget* child) {
    if (!t || !child) return;
    if (t->cur_row < 0) t->cur_row = 0;
    child->col = t->cur_col;
    child->row = t->cur_row;
    child->colspan = 1;
    child->rowspan = 1;
    t->cur_col += 1;
    child->x = 0;
    child->y = 0;
    add(t, child);
}

void td_span(Table* t, int col, int row, int colspan, Widget* child) {
    if (!t || !child) return;
    if (col != -1) t->cur_col = col;
    if (row != -1) t->cur_row = row;
    if (t->cur_row < 0) t->cur_row = 0;
    child->col = t->cur_col;
    child->row = t->cur_row;
    child->colspan = colspan;
    child->rowspan = 1;
    t->cur_col += colspan;
    child->x = 0;
    child->y = 0;
    add(t, child);
}
