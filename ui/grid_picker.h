// A grid of labelled choices, one of which is selected.
#pragma once

#include "ui/widget.h"

// Entries are VBoxes holding their value, `columns` to a row; a click selects an
// entry and the picker answers its own change_value.
class GridPicker : public Table {
public:
    GridPicker();

    int value = 0;
    int columns = 5;
    int count = 0;

    int get_value_i() override { return value; }
    // Stores the value and marks the entries holding it as selected.
    void set_value_i(int v) override;
    int event(const Event& ev) override;

    // True when an entry holds v.
    virtual bool has_value(int v);
    virtual void refresh_selection();
    // A "font3" entry; `width` 0 keeps the text's own width.
    virtual void add_entry(const char* text, int value, int width);
    void reset_as_new() override;
};
