#include "FailureNotice.h"
#include "HostTestHelpers.h"

#include <gtest/gtest.h>

namespace
{
std::vector<juce::AlertWindow*> alertWindows()
{
    std::vector<juce::AlertWindow*> found;

    for (int i = 0; i < juce::TopLevelWindow::getNumTopLevelWindows(); ++i)
        if (auto* alert = dynamic_cast<juce::AlertWindow*> (juce::TopLevelWindow::getTopLevelWindow (i)))
            found.push_back (alert);

    return found;
}

void closeAlertWindows()
{
    for (auto* alert : alertWindows())
        delete alert;
}
} // namespace

// A failure that goes on is told once; one that comes back after a success
// is told again.
TEST (FailureNotice, ShowsABoxOncePerFailureAndAgainAfterASuccess)
{
    FailureNotice notice { "Measurement not saved" };

    notice.failed ("disk full");
    notice.update (true, "disk full");
    HostTestHelpers::drainMessageLoop();

    auto shown = alertWindows();
    ASSERT_EQ (shown.size(), 1u);
    EXPECT_EQ (shown.front()->getName(), "Measurement not saved");
    EXPECT_TRUE (notice.isFailing());
    closeAlertWindows();

    notice.update (false, {});
    EXPECT_FALSE (notice.isFailing());
    notice.update (true, "read-only folder");
    HostTestHelpers::drainMessageLoop();
    EXPECT_EQ (alertWindows().size(), 1u);
    closeAlertWindows();
}
