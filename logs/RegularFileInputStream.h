#pragma once

#include <juce_core/juce_core.h>

/** Reads a file only when it is a regular file. A named pipe, a device or a
    folder is never opened to be read: opening a pipe waits until some
    program writes to it, possibly for ever.

    Otherwise as the framework's FileInputStream, and the state says why a
    file was not opened: it does not exist, it is no regular file, or the
    system refused (getStatus gives its reason).

        RegularFileInputStream in (file);
        if (in.getState() == RegularFileInputStream::State::open)
            in.readIntoMemoryBlock (bytes);

    One thread at a time.
*/
class RegularFileInputStream : public juce::InputStream
{
public:
    enum class State
    {
        open,
        missing,
        notRegularFile,
        refused
    };

    explicit RegularFileInputStream (const juce::File& file);
    ~RegularFileInputStream() override;

    //==============================================================================
    State getState() const noexcept { return state; }
    bool openedOk() const noexcept { return state == State::open; }

    /** The system's reason when it refused the file or a read; ok otherwise. */
    const juce::Result& getStatus() const noexcept { return status; }

    //==============================================================================
    juce::int64 getTotalLength() override { return totalLength; }
    bool isExhausted() override { return position >= totalLength; }
    int read (void* destBuffer, int maxBytesToRead) override;
    juce::int64 getPosition() override { return position; }
    bool setPosition (juce::int64 newPosition) override;

private:
    int descriptor = -1;
    State state = State::refused;
    juce::Result status = juce::Result::ok();
    juce::int64 totalLength = 0, position = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RegularFileInputStream)
};
