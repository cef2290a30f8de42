#pragma once

#include <array>
#include <utility>

/** The six measured slots, in the one order that layouts, meters, arrays of
    readings and remote addresses all use, with their names and the channel
    pairs whose correlations are measured. */
namespace Slots
{
constexpr int count = 6;

enum Index
{
    L,
    R,
    C,
    LFE,
    LS,
    RS
};

/** The slots' names, as the channel choices and the remote's addresses use them. */
constexpr std::array<const char*, count> names { "L", "R", "C", "LFE", "LS", "RS" };

/** The slots as written in a caption, the surrounds with a small s. */
constexpr std::array<const char*, count> captions { names[L], names[R], names[C], names[LFE], "Ls", "Rs" };

/** The pairs whose correlations are published, in the order of their readings. */
constexpr std::array<std::pair<int, int>, 6> correlationPairs { {
    { L, R },
    { L, C },
    { R, C },
    { LS, RS },
    { L, LS },
    { R, RS },
} };
} // namespace Slots
