#pragma once

#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

/** File helpers shared by the logs tests. */
namespace LogTestFiles
{
/** A fresh folder under the system's temporary folder, removed with its contents.
    Named at random, since CTest runs the tests in parallel processes. */
class TemporaryFolder
{
public:
    TemporaryFolder()
        : folder (juce::File::getSpecialLocation (juce::File::tempDirectory)
                      .getNonexistentChildFile ("zelx_logs_test_" +
                                                    juce::String::toHexString (juce::Random().nextInt64()),
                                                {}, false))
    {
        folder.createDirectory();
    }

    ~TemporaryFolder() { folder.deleteRecursively(); }

    const juce::File& get() const noexcept { return folder; }
    juce::File getChildFile (const juce::String& path) const { return folder.getChildFile (path); }

    /** Names of the entries, hidden ones included, sorted and joined by blanks. */
    juce::String list() const
    {
        juce::StringArray names;

        for (const auto& entry : juce::RangedDirectoryIterator (folder, true, "*", juce::File::findFiles))
            names.add (entry.getFile().getRelativePathFrom (folder));

        names.sort (false);
        return names.joinIntoString (" ");
    }

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

/** The lines of a CSV log; each must end with CR LF and hold no other line-end byte. */
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
            << "stray line-end byte: " << line;

    return lines;
}
} // namespace LogTestFiles
