#pragma once

#include <juce_core/juce_core.h>

#include <cstdint>

/** A file held open for appends, each of which goes out in one write call,
    whole or not at all.

    A nearly full disk may take only the first part of a write. That part is
    cut off again, so the file still ends where the last whole append ended
    and the next append does not continue a fragment.

    Held open, the file may be removed or replaced behind the writer's back;
    isOpenAt tells with one stat call whether the file at the path is still
    the one being written, so the writer can open it anew instead.

        WholeAppend log;
        if (! log.isOpenAt (file))
            log.open (file);
        if (log.append (line.toRawUTF8(), line.getNumBytesAsUTF8()).failed()) ...

    One thread at a time.
*/
class WholeAppend
{
public:
    enum class Sync
    {
        no,
        yes
    };

    WholeAppend() = default;

    /** Closes the file. */
    ~WholeAppend();

    //==============================================================================
    /** Closes any file open before, then opens this one for appends, creating
        it when missing (not its folder). Ok, or the system's reason. */
    juce::Result open (const juce::File& file);

    /** True while a file is open and is still the one found at the path. */
    bool isOpenAt (const juce::File& file) const;

    void close() noexcept;

    /** Ok when every byte reached the open file, and with Sync::yes the disk
        as well; otherwise the system's reason, with no byte of this append
        left in the file. */
    juce::Result append (const void* data, size_t numBytes, Sync sync = Sync::no);

    //==============================================================================
    /** Opens the file, appends the bytes as above and closes it again. */
    static juce::Result toFile (const juce::File& file, const void* data, size_t numBytes,
                                Sync sync = Sync::no);

    /** Makes the file's folder (and the folders above it) when missing; the
        reason, in the writers' words, when that cannot be done. */
    static juce::Result createFolderOf (const juce::File& file);

private:
    int descriptor = -1;
    std::uint64_t device = 0, inode = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WholeAppend)
};
