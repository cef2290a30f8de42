#pragma once

#include <juce_core/juce_core.h>

/** Appends bytes to a file in one write call, whole or not at all.

    A nearly full disk may take only the first part of a write. That part is
    cut off again, so the file still ends where the last whole append ended
    and the next append does not continue a fragment.

        if (WholeAppend::toFile (log, line.toRawUTF8(), line.getNumBytesAsUTF8()).failed()) ...
*/
class WholeAppend
{
public:
    enum class Sync
    {
        no,
        yes
    };

    /** Creates the file when missing (not its folder). Ok when every byte
        reached the file, and with Sync::yes the disk as well; otherwise the
        system's reason. */
    static juce::Result toFile (const juce::File& file, const void* data, size_t numBytes,
                                Sync sync = Sync::no);

    /** Makes the file's folder (and the folders above it) when missing; the
        reason, in the writers' words, when that cannot be done. */
    static juce::Result createFolderOf (const juce::File& file);
};
