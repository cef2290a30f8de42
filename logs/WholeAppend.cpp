#include "WholeAppend.h"

bool WholeAppend::toFile (const juce::File& file, const void* data, size_t numBytes, Sync sync)
{
    // Unbuffered, the stream hands the bytes to a single write call and
    // compares the count it returns.
    juce::FileOutputStream out (file, 0);

    if (! out.openedOk())
        return false;

    const auto wholeLength = out.getPosition();

    if (! out.write (data, numBytes))
    {
        out.setPosition (wholeLength);
        out.truncate();
        return false;
    }

    if (sync == Sync::yes)
        out.flush();

    return out.getStatus().wasOk();
}
