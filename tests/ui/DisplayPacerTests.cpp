#include "DisplayPacer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

// Whatever the window's refresh rate, the display ticks twenty times a
// second, each tick within one refresh of its place on the 50 ms grid.
TEST (DisplayPacer, TicksTwentyTimesASecondAtAnyRefreshRate)
{
    for (const double hz : { 24.0, 30.0, 59.94, 60.0, 75.0, 100.0, 120.0, 144.0, 240.0 })
    {
        SCOPED_TRACE (hz);
        const double period = 1000.0 / hz, seconds = 60.0;
        std::mt19937 random (7);
        std::uniform_real_distribution<double> jitter (-1.0, 1.0);

        DisplayPacer pacer (50.0);
        pacer.start (0.0);
        int ticks = 0;
        double last = 0.0, longest = 0.0, shortest = 1.0e9;
        for (int i = 0; i * period < seconds * 1000.0; ++i)
        {
            const double now = std::max (0.0, i * period + jitter (random));
            if (! pacer.isTickDue (now))
                continue;
            if (ticks++ > 0)
            {
                longest = std::max (longest, now - last);
                shortest = std::min (shortest, now - last);
            }
            last = now;
        }
        EXPECT_NEAR (20.0 * seconds, ticks, 1.0);
        EXPECT_LE (longest, 50.0 + period + 2.0);
        EXPECT_GE (shortest, 50.0 - period - 2.0);
    }
}

// A stall (the message thread busy elsewhere) is not made up in a burst.
TEST (DisplayPacer, AfterAStallThePaceStartsAgain)
{
    DisplayPacer pacer (50.0);
    pacer.start (0.0);
    EXPECT_TRUE (pacer.isTickDue (0.0));
    EXPECT_TRUE (pacer.isTickDue (400.0));
    EXPECT_FALSE (pacer.isTickDue (410.0));
    EXPECT_FALSE (pacer.isTickDue (440.0));
    EXPECT_TRUE (pacer.isTickDue (450.0));
}
