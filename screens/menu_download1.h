// MenuDownload1: the categories of online levels. Choosing one downloads it
// and shows the online list at once with the rows already stored for it.
#pragma once

#include "screens/screen.h"

class MenuDownload1 : public Screen {
public:
    explicit MenuDownload1(game* g);
    void enter() override;
    void paint() override;  // as a menu
    void event(Event e) override;
    void frame() override;  // the root's tick
};

// The download categories, in order: the label shown and the query sent.
struct DownloadCategory {
    const char* label;
    const char* query;
};
enum : int { DOWNLOAD_CATEGORIES = 5 };
extern const DownloadCategory download_categories[DOWNLOAD_CATEGORIES];
