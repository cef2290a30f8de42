#pragma once

/** Picks, among the window's refreshes, those that run a display tick, so
    that the ticks keep a fixed pace whatever the refresh rate: each tick is
    due one interval after the last one was due, and runs at the first
    refresh that comes at most a little before that. A refresh rate that is
    not a multiple of the pace thus gives ticks a refresh early or late, never
    a drift. After a stall longer than the interval the pace starts again
    from that refresh, rather than making up the missed ticks in a burst.

        DisplayPacer pacer (50.0);
        pacer.start (now);            // the first refresh ticks
        if (pacer.isTickDue (now))    // at every refresh
            tick();

    Times in milliseconds of one steady clock.
*/
class DisplayPacer
{
public:
    explicit DisplayPacer (double intervalMs) noexcept : interval (intervalMs) {}

    /** The next refresh runs a tick. */
    void start (double nowMs) noexcept { nextTickMs = nowMs; }

    /** A refresh at nowMs: whether it runs a tick. */
    bool isTickDue (double nowMs) noexcept
    {
        if (nowMs + earlyMs < nextTickMs)
            return false;

        nextTickMs = nowMs - nextTickMs > interval ? nowMs + interval : nextTickMs + interval;
        return true;
    }

    /** How early a refresh may come for a tick due after it: half the
        period of the fastest refresh seen in practice. */
    static constexpr double earlyMs = 5.0;

private:
    double interval;
    double nextTickMs = 0.0;
};
