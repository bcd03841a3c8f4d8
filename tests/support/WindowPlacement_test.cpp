#include "support/WindowPlacement.h"

#include <gtest/gtest.h>

namespace corvix {
namespace {

TEST(WindowPlacement, AboveTheStatusBarElseBesideElseCentred)
{
    const QRect screen(0, 24, 1280, 1000); // less a 24 px panel at the top
    struct Row {
        const char *what;
        QRect around, keep;
        QSize size;
        QRect placed;
    } rows[] = {
        {"over the window", {100, 100, 1000, 800}, {100, 876, 1000, 24}, {800, 600}, {200, 189, 800, 600}},
        {"above before beside", {0, 24, 600, 900}, {0, 900, 600, 24}, {500, 400}, {50, 263, 500, 400}},
        {"beside when too tall above", {0, 24, 600, 400}, {0, 400, 600, 24}, {640, 700}, {600, 24, 640, 700}},
        {"left when right is full", {700, 24, 580, 400}, {700, 400, 580, 24}, {640, 700}, {60, 24, 640, 700}},
        {"shrunk above before nothing", {0, 300, 1280, 724}, {0, 1000, 1280, 24}, {1240, 1000}, {20, 24, 1240, 976}},
        {"no room: centred on screen", {0, 24, 1280, 400}, {0, 200, 1280, 24}, {1000, 800}, {140, 124, 1000, 800}},
        {"a window below the screen", {100, 900, 800, 600}, {100, 1476, 800, 24}, {800, 600}, {100, 424, 800, 600}},
    };
    for (const Row &row : rows)
        EXPECT_EQ(PlaceClearOf(screen, row.around, row.keep, row.size, QSize(340, 300)), row.placed) << row.what;
}

} // namespace
} // namespace corvix
