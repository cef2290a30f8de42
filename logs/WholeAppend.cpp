#include "WholeAppend.h"

juce::Result WholeAppend::toFile (const juce::File& file, const void* data, size_t numBytes, Sync sync)
{
    // Unbuffered, the stream hands the bytes to a single write call and
    // compares the count it returns.
    juce::FileOutputStream out (file, 0);

    if (! out.openedOk())
        return out.getStatus();

    const auto wholeLength = out.getPosition();

    if (! out.write (data, numBytes))
    {
        // A write that took only part of the bytes leaves no error behind;
        // the rest, offered once more, is refused with the reason.
        const auto taken = (size_t) (out.getPosition() - wholeLength);

        if (out.getStatus().wasOk() && taken < numBytes)
            out.write (static_cast<const char*> (data) + taken, numBytes - taken);

        const auto failure = out.getStatus().failed()
                                 ? out.getStatus()
                                 : juce::Result::fail ("Only part of it could be written");
        out.setPosition (wholeLength);
        out.truncate();
        return failure;
    }

    if (sync == Sync::yes)
        out.flush();

    return out.getStatus();
}

juce::Result WholeAppend::createFolderOf (const juce::File& file)
{
    const auto created = file.getParentDirectory().createDirectory();
    return created.wasOk()
               ? created
               : juce::Result::fail ("Its folder could not be created: " + created.getErrorMessage());
}
