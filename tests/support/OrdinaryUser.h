#pragma once

#include <juce_core/juce_core.h>

#include <unistd.h>

/** Runs the whole process as an ordinary user (65534) while it lives, where
    the tests run as root, whom file modes do not refuse. The real user changes
    too, since the system's access check asks about it; root stays the saved
    user to come back to. A folder given is handed to that user first, so that
    it may make and change files in it. Run as another user, nothing changes.

        OrdinaryUser user;
        if (! user.isOrdinary()) GTEST_SKIP();
*/
class OrdinaryUser
{
public:
    explicit OrdinaryUser (const juce::File& ownFolder = {})
    {
        if (! wasRoot
            || (ownFolder != juce::File() && chown (ownFolder.getFullPathName().toRawUTF8(), nobody, nobody) != 0))
            return;

        if (setresgid (nobody, nobody, 0) == 0)
            setresuid (nobody, nobody, 0);
    }

    ~OrdinaryUser()
    {
        if (wasRoot && setresuid (0, 0, 0) == 0)
            setresgid (0, 0, 0);
    }

    /** Whether file modes now refuse this process as they refuse a user. */
    bool isOrdinary() const { return geteuid() != 0; }

private:
    static constexpr uid_t nobody = 65534;
    const bool wasRoot = geteuid() == 0;

    JUCE_DECLARE_NON_COPYABLE (OrdinaryUser)
};
