// The user-interface tests paint, focus and click real components in real
// windows: a private virtual display is started when the process has none.
#include "VirtualDisplay.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

int main (int argc, char** argv)
{
    testing::InitGoogleTest (&argc, argv);

    if (testing::GTEST_FLAG (list_tests))
        return RUN_ALL_TESTS();

    VirtualDisplay display;

    // As in the program itself, so the framework handles X errors.
    juce::JUCEApplicationBase::createInstance = []() -> juce::JUCEApplicationBase* { return nullptr; };

    int result = 0;
    {
        juce::ScopedJuceInitialiser_GUI framework;
        result = RUN_ALL_TESTS();
    }
    return result;
}
