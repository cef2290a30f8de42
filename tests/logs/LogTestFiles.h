#pragma once

#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

/** File helpers shared by the logs tests. */
namespace LogTestFiles
{
/** A fresh folder under the system's temporary folder, removed with its contents. */
class TemporaryFolder
{
public:
    TemporaryFolder()
        : folder (juce::File::getSpecialLocation (juce::File::tempDirectory)
                      .getNonexistentChildFile ("zelx_logs_test", {}, false))
    {
        folder.createDirectory();
    }

    ~TemporaryFolder() { folder.deleteRecursively(); }

    const juce::File& get() const noexcept { return folder; }
    juce::File getChildFile (const juce::String& path) const { return folder.getChildFile (path); }

private:
    juce::File folder;
};

/** The file's bytes as text, unchanged (no line-end translation). */
inline juce::String readBytes (const juce::File& file)
{
    juce::MemoryBlock data;
    file.loadFileAsData (data);
    return data.toString();
}

/** The lines of a CSV log, each of which must end with CR LF. */
inline juce::StringArray readCrLfLines (const juce::File& file)
{
    const auto text = readBytes (file);
    juce::StringArray lines;
    int start = 0;

    for (int end; (end = text.indexOf (start, "\r\n")) >= 0; start = end + 2)
        lines.add (text.substring (start, end));

    EXPECT_EQ (start, text.length()) << "the last line is not ended";

    for (auto& line : lines)
        EXPECT_FALSE (line.containsChar ('\n') || line.containsChar ('\r'))
            << "lone line-end byte in: " << line;

    return lines;
}

/** Every entry of a folder, hidden ones included. */
inline juce::StringArray listFolder (const juce::File& folder)
{
    juce::StringArray names;

    for (const auto& entry :
         juce::RangedDirectoryIterator (folder, false, "*", juce::File::findFilesAndDirectories))
        names.add (entry.getFile().getFileName());

    names.sort (false);
    return names;
}

/** Collects what goes to the debug log while it lives. */
class CapturingLogger : public juce::Logger
{
public:
    CapturingLogger() { juce::Logger::setCurrentLogger (this); }
    ~CapturingLogger() override { juce::Logger::setCurrentLogger (nullptr); }

    void logMessage (const juce::String& message) override
    {
        const juce::ScopedLock sl (lock);
        messages.add (message);
    }

    juce::StringArray getMessages() const
    {
        const juce::ScopedLock sl (lock);
        return messages;
    }

private:
    juce::CriticalSection lock;
    juce::StringArray messages;
};
} // namespace LogTestFiles
