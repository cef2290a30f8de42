#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

// Fonts and images need JUCE set up, so the binary brings its own main.
int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;
    testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
