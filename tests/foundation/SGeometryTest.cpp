#include "foundation/SGeometry.h"

#include <gtest/gtest.h>

namespace {

TEST(SGeometryTest, RectangleBottomFollowsTheYDirection) {
    struct Case {
        SRect rect;
        int32_t bottom;
    } cases[] = {
        {SRect(10, 100, 50, 30), 130},
        {SRect(10, 100, 50, -30), 130},
        {SRect(10, 100, 50, 30, true), 70},
        {SRect(10, 100, 50, -30, true), 70},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.rect.getBottom(), c.bottom) << c.rect.toString().str();
        EXPECT_EQ(c.rect.getRight(), 60);
    }
    EXPECT_EQ(SRect(1, -2, 3, 4).toString().str(), "1, -2, 3, 4");
}

}  // namespace
