#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

// Fonts and image codecs need JUCE's GUI side set up; no window is opened.
int main (int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI initialiser;
    testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
