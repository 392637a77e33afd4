// The rating widget under the pointer, painted into the draw recorder.
#include <gtest/gtest.h>

#include "test_gfx.h"
#include "ui/stars.h"

namespace {

using uitest::Call;
using uitest::mouse;

struct StarsTest : ::testing::Test {
    uitest::FakeGfx fake;
    Container root;
    Stars* stars = nullptr;

    void SetUp() override {
        stars = new Stars(2, 7, 60);
        stars->x = 100;
        stars->y = 50;
        add(&root, stars);
        root.measure_content();
    }
    // The lit pass of a paint: its clip width and its tint.
    struct Lit {
        int clip = -1;
        float r = 0, g = 0, b = 0;
    };
    Lit lit() {
        uitest::Recorder& r = fake.rec();
        r = uitest::Recorder();
        stars->paint_content();
        const std::vector<Call> images = r.of("image");
        EXPECT_EQ(images.size(), 10u);
        EXPECT_EQ(r.clips.size(), 1u);
        if (images.size() != 10 || r.clips.size() != 1) return Lit();
        for (size_t i = 0; i < images.size(); ++i) {
            EXPECT_EQ(images[i].id, 7);
            EXPECT_FLOAT_EQ(images[i].x, float(60 * (i % 5)));
            EXPECT_FLOAT_EQ(images[i].w, 60);
        }
        EXPECT_FLOAT_EQ(images[0].tint[0], 0.35f);  // the unlit row first
        EXPECT_FLOAT_EQ(r.tint[2], 1);              // and the tint reset after
        return Lit{r.clips[0].first, images[5].tint[0], images[5].tint[1], images[5].tint[2]};
    }
};

TEST_F(StarsTest, HoverShowsTheRatingUnderThePointerAndAClickKeepsIt) {
    EXPECT_EQ(stars->w, 300);
    EXPECT_EQ(stars->h, 60);
    // The stored value in blue.
    const Lit stored = lit();
    EXPECT_EQ(stored.clip, 120);
    EXPECT_FLOAT_EQ(stored.r, 0.35f);
    EXPECT_FLOAT_EQ(stored.g, 0.7f);
    EXPECT_FLOAT_EQ(stored.b, 1);

    // The rating under the pointer, in yellow: the star the pointer is on counts.
    struct Case {
        float x;
        int shown;
    };
    for (const Case& c : {Case{100, 1}, Case{159, 1}, Case{160, 2}, Case{250, 3}, Case{399, 5}}) {
        root.event(mouse(EV_MOUSEMOVE, c.x, 70));
        EXPECT_FLOAT_EQ(stars->hover_value, float(c.shown)) << c.x;
        const Lit hover = lit();
        EXPECT_EQ(hover.clip, 60 * c.shown) << c.x;
        EXPECT_FLOAT_EQ(hover.r, 1) << c.x;
        EXPECT_FLOAT_EQ(hover.b, 0.35f) << c.x;
        EXPECT_EQ(stars->get_value_i(), 2) << "hovering changes nothing";
    }

    // Leaving shows the stored value again.
    root.event(mouse(EV_MOUSEMOVE, 500, 70));
    EXPECT_FLOAT_EQ(stars->hover_value, 0);
    EXPECT_EQ(lit().clip, 120);

    // A click on the fourth star stores 4.
    for (int kind : {EV_MOUSEMOVE, EV_MOUSEDOWN, EV_MOUSEUP}) root.event(mouse(kind, 300, 70, 1));
    EXPECT_EQ(stars->get_value_i(), 4);
    root.event(mouse(EV_MOUSEMOVE, 500, 70));
    EXPECT_EQ(lit().clip, 240);
}

TEST_F(StarsTest, FractionsOddValuesAndDisabled) {
    stars->value = 2.5f;  // a list's average
    EXPECT_EQ(stars->get_value_i(), 2);
    EXPECT_EQ(lit().clip, 150);
    stars->set_value_i(99);  // a stored rating from elsewhere: drawn as at most five
    EXPECT_EQ(lit().clip, 300);
    stars->set_value_i(-3);
    EXPECT_EQ(lit().clip, 0);
    stars->set_value_i(1);
    stars->disabled = 1;
    const Lit disabled = lit();
    EXPECT_EQ(disabled.clip, 60);
    EXPECT_FLOAT_EQ(disabled.r, 1);
    EXPECT_FLOAT_EQ(disabled.b, 0.35f);
}

}  // namespace
