#include "BrowserLink.h"
#include "HostTestHelpers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace
{
/** Children of this process that have ended and were never reaped. */
int countZombieChildren()
{
    int zombies = 0;

    for (const auto& entry : juce::RangedDirectoryIterator (juce::File ("/proc"), false, "*",
                                                            juce::File::findDirectories))
    {
        // The fields after the command's closing parenthesis: state, parent.
        const auto stat = entry.getFile().getChildFile ("stat").loadFileAsString();
        const auto fields = juce::StringArray::fromTokens (stat.fromLastOccurrenceOf (")", false, false), false);

        if (fields.size() > 1 && fields[0] == "Z" && fields[1].getIntValue() == (int) getpid())
            ++zombies;
    }

    return zombies;
}

/** PATH holds only the given folder while it lives. */
struct ScopedPath
{
    explicit ScopedPath (const juce::File& folder) : saved (std::getenv ("PATH"))
    {
        setenv ("PATH", folder.getFullPathName().toRawUTF8(), 1);
    }
    ~ScopedPath() { setenv ("PATH", saved.toRawUTF8(), 1); }
    juce::String saved;
};
} // namespace

// A click starts the opener, or the default browser when the opener fails,
// with the address; with neither the window says so; no starter is left unreaped.
TEST (BrowserLink, StartsABrowserOrTellsThatNoneStarted)
{
    struct Case
    {
        const char* what;
        const char* opener;  // script of xdg-open, none when empty
        const char* browser; // script of x-www-browser, none when empty
        bool told;
    };
    const Case cases[] = {
        { "opener", "/bin/sleep 0.3; echo \"$1\" > opened", "", false },
        { "default browser after a failed opener", "exit 3", "echo \"$1\" > opened", false },
        { "none installed", "", "", true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const juce::TemporaryFile folderFile;
        const auto folder = folderFile.getFile();
        ASSERT_TRUE (folder.createDirectory());
        ASSERT_TRUE (juce::File ("/usr/bin/setsid").createSymbolicLink (folder.getChildFile ("setsid"), true));

        for (auto [name, script] : { std::pair { "xdg-open", c.opener }, std::pair { "x-www-browser", c.browser } })
        {
            if (*script == 0)
                continue;
            const auto file = folder.getChildFile (name);
            ASSERT_TRUE (file.replaceWithText (juce::String ("#!/bin/sh\ncd '") + folder.getFullPathName() + "'\n"
                                               + script + "\n", false, false, "\n"));
            ASSERT_TRUE (file.setExecutePermission (true));
        }

        const ScopedPath path (folder);
        BrowserLink link { "CONTACT US", juce::URL ("https://tamvo.example/contact") };
        link.triggerClick();
        HostTestHelpers::drainMessageLoop();

        EXPECT_TRUE (HostTestHelpers::runMessageLoopUntil ([&] { return link.getNumRunning() == 0; }));
        EXPECT_TRUE (HostTestHelpers::runMessageLoopUntil (
            [&] { return (HostTestHelpers::findAlertWindow() != nullptr) == c.told; }, c.told ? 5000 : 500));
        EXPECT_EQ (folder.getChildFile ("opened").loadFileAsString().trim(),
                   c.told ? "" : "https://tamvo.example/contact");
        EXPECT_EQ (countZombieChildren(), 0);
        HostTestHelpers::closeAlertWindows();
        folder.deleteRecursively();
    }
}
