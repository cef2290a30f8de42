#include "FailureNotice.h"
#include "HostTestHelpers.h"

#include <gtest/gtest.h>

using HostTestHelpers::alertWindows;
using HostTestHelpers::closeAlertWindows;

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
