#include "FailureNotice.h"
#include "HostTestHelpers.h"

#include <gtest/gtest.h>

using HostTestHelpers::alertWindows;
using HostTestHelpers::closeAlertWindows;

// A failure that goes on is told once; one that comes back after a success,
// or another failure, is told again.
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
    notice.failed ("read-only folder");
    HostTestHelpers::drainMessageLoop();
    EXPECT_EQ (alertWindows().size(), 1u);
    closeAlertWindows();

    notice.failed ("folder removed");
    HostTestHelpers::drainMessageLoop();
    EXPECT_EQ (alertWindows().size(), 1u);
    closeAlertWindows();
}

// A box that comes while a dialog is modal is modal above it, so that it can
// be closed, and stays above it when the dialog is clicked; an open list (a
// menu) is no dialog: the box is not modal above it, and the list stays open.
TEST (FailureNotice, IsModalAboveADialogButLeavesAnOpenListOnTop)
{
    for (const bool dialog : { true, false })
    {
        SCOPED_TRACE (dialog ? "a dialog" : "a list");
        juce::PopupMenu list;
        juce::DialogWindow::LaunchOptions options;

        if (dialog)
        {
            options.content.setOwned (new juce::Component());
            options.content->setSize (300, 200);
            options.launchAsync();
        }
        else
        {
            list.addItem (1, "ALSA");
            list.showMenuAsync ({});
        }

        auto* modal = juce::Component::getCurrentlyModalComponent();
        ASSERT_NE (modal, nullptr);
        FailureNotice notice { "No audio device is open", "An audio device has been open" };
        notice.failed ("No audio device was found.");
        HostTestHelpers::drainMessageLoop();

        auto* box = HostTestHelpers::findAlertWindow();
        ASSERT_NE (box, nullptr);
        EXPECT_EQ (box->isCurrentlyModal(), dialog);

        if (dialog)
        {
            EXPECT_FALSE (box->isCurrentlyBlockedByAnotherModalComponent()) << "it can be closed";
            const auto inside = modal->getLocalBounds().getCentre().toFloat();

            for (const int buttons : { (int) juce::ModifierKeys::leftButtonModifier, 0 })
                modal->getPeer()->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, inside,
                                                    juce::ModifierKeys (buttons), 1.0f, 0.0f,
                                                    juce::Time::currentTimeMillis());

            // The desktop's order, back to front, as the framework last stacked them.
            const auto place = [] (juce::Component* window) {
                auto& desktop = juce::Desktop::getInstance();
                int i = desktop.getNumComponents();
                while (--i >= 0 && desktop.getComponent (i) != window)
                {
                }
                return i;
            };
            EXPECT_GT (place (box), place (modal)) << "above the dialog after a click on it";
        }
        else
        {
            EXPECT_TRUE (modal->isShowing() && modal->isCurrentlyModal()) << "the list stays open";
        }

        notice.dismiss();
        juce::PopupMenu::dismissAllActiveMenus();
        juce::ModalComponentManager::getInstance()->cancelAllModalComponents();
        HostTestHelpers::drainMessageLoop();
    }
}
