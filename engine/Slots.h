#pragma once

/** The six measured slots, in the one order that layouts, meters, arrays of
    readings and remote addresses all use. */
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
} // namespace Slots
