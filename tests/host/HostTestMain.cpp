// Host tests run real windows on a real message loop: a private virtual display
// is started when the process has none, and the GUI framework is initialised
// once for the whole run.
#include "VirtualDisplay.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

int main (int argc, char** argv)
{
    testing::InitGoogleTest (&argc, argv);

    // Listing the tests needs neither a display nor the framework.
    if (testing::GTEST_FLAG (list_tests))
        return RUN_ALL_TESTS();

    VirtualDisplay display;

    // Run the framework as it runs in the program itself, which among other
    // things makes it handle X errors instead of letting Xlib end the process.
    juce::JUCEApplicationBase::createInstance = []() -> juce::JUCEApplicationBase* { return nullptr; };

    int result = 0;
    {
        juce::ScopedJuceInitialiser_GUI framework;
        result = RUN_ALL_TESTS();
    }
    return result;
}
