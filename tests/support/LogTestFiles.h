#pragma once

#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

#include <sys/mount.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <regex>

/** File helpers shared by the tests of the measurement logs. */
namespace LogTestFiles
{
/** A fresh folder under the system's temporary folder, removed with its contents.
    Named at random, since CTest runs the tests in parallel processes. */
class TemporaryFolder
{
public:
    TemporaryFolder()
        : folder (juce::File::getSpecialLocation (juce::File::tempDirectory)
                      .getNonexistentChildFile ("zelx_logs_test_"
                                                    + juce::String::toHexString (juce::Random().nextInt64()),
                                                {}, false))
    {
        folder.createDirectory();
    }

    ~TemporaryFolder() { folder.deleteRecursively(); }

    const juce::File& get() const noexcept { return folder; }
    juce::File getChildFile (const juce::String& path) const { return folder.getChildFile (path); }

    /** Names of the entries, hidden ones too unless told otherwise, sorted and joined by blanks. */
    juce::String list (bool includeHidden = true) const
    {
        juce::StringArray names;

        for (const auto& entry : juce::RangedDirectoryIterator (folder, true, "*", juce::File::findFiles))
            if (includeHidden || ! entry.getFile().getFileName().startsWithChar ('.'))
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

/** Starts a child process that writes a measurement until it is killed, waits
    until it prints "running", then kills it with SIGKILL. False when the child
    never got going. */
inline bool killWhenRunning (const juce::StringArray& command)
{
    juce::ChildProcess child;

    if (! child.start (command, juce::ChildProcess::wantStdOut))
        return false;

    juce::String said;

    for (char c = 0; ! said.endsWith ("running\n") && child.readProcessOutput (&c, 1) == 1;)
        said << c;

    child.kill();
    child.waitForProcessToFinish (-1);
    return said.endsWith ("running\n");
}

/** Checks that a report and the CSV log beside it are whole: the report parses
    with its skeleton, and the log is its header and complete event lines. */
inline void expectWholeMeasurementFiles (const juce::File& report)
{
    static const std::regex eventLine ("(MomentaryLoudness|ShortTermLoudness), -?[0-9]+\\.[0-9], "
                                       "[0-9]{1,2} [A-Z][a-z]{2} [0-9]{4}, [0-9]{1,2}:[0-9]{2}:[0-9]{2}");

    auto xml = juce::XmlDocument::parse (report);
    ASSERT_NE (xml, nullptr) << report.getFullPathName() << " does not parse";
    ASSERT_NE (xml->getChildByName ("IntegratedMeasurements"), nullptr);
    EXPECT_EQ (xml->getChildByName ("IntegratedMeasurements")->getNumChildElements(), 5);
    ASSERT_NE (xml->getChildByName ("UserSelectedTitle"), nullptr);
    EXPECT_EQ (xml->getChildByName ("UserSelectedTitle")->getStringAttribute ("value"), "ZEL51Log");

    const auto lines = readCrLfLines (report.withFileExtension (".csv"));
    ASSERT_GT (lines.size(), 1);
    EXPECT_EQ (lines[0], "Type, Value, Date, Time");

    for (int i = 1; i < lines.size(); ++i)
        ASSERT_TRUE (std::regex_match (lines[i].toStdString(), eventLine)) << lines[i];
}

/** Runs the body with a folder on a 64 KiB disk of its own, to be filled on
    purpose: the current test runs again in a child process with a private
    mount namespace, where a tmpfs covers a fresh folder, and must pass there.
    Skips where no private mount namespace is allowed (in a chroot, say). */
inline void onSmallDisk (const std::function<void (const juce::File&)>& body)
{
    static constexpr const char* folderVariable = "ZELX_SMALL_DISK";

    if (const char* inside = std::getenv (folderVariable))
    {
        ASSERT_EQ (mount ("tmpfs", inside, "tmpfs", 0, "size=64k"), 0) << std::strerror (errno);
        body (juce::File (juce::String::fromUTF8 (inside)));
        return;
    }

    auto inPrivateNamespace = [] (const juce::StringArray& command) {
        juce::StringArray result { "unshare", "-m", "--propagation", "private" };
        result.addArray (command);
        return result;
    };

    juce::ChildProcess probe;

    if (! probe.start (inPrivateNamespace ({ "true" }), 0) || ! probe.waitForProcessToFinish (10000)
        || probe.getExitCode() != 0)
        GTEST_SKIP() << "no private mount namespace here, so no small disk to fill";

    TemporaryFolder folder;
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    juce::ChildProcess child;
    ASSERT_TRUE (child.start (inPrivateNamespace (
        { "env", juce::String (folderVariable) + "=" + folder.get().getFullPathName(),
          juce::File::getSpecialLocation (juce::File::currentExecutableFile).getFullPathName(),
          juce::String ("--gtest_filter=") + test->test_suite_name() + "." + test->name() })));
    const bool finished = child.waitForProcessToFinish (60000);

    if (! finished)
        child.kill();

    const auto output = child.readAllProcessOutput();
    ASSERT_TRUE (finished) << output;
    EXPECT_EQ (child.getExitCode(), 0u) << output;
    EXPECT_TRUE (output.contains ("[  PASSED  ] 1 test.")) << output;
}

/** Grows the file until the disk is full, then gives the given number of bytes back. */
inline void fillDisk (const juce::File& filler, juce::int64 bytesToLeave = 0)
{
    juce::FileOutputStream out (filler, 0);
    const juce::MemoryBlock page (4096, true);

    for (int i = 0; i < 1024 && out.write (page.getData(), page.getSize()); ++i)
    {
    }

    ASSERT_TRUE (out.setPosition (out.getPosition() - bytesToLeave));
    ASSERT_TRUE (out.truncate().wasOk());
}
} // namespace LogTestFiles
