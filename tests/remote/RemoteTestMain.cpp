#include <juce_events/juce_events.h>

#include <gtest/gtest.h>

int main (int argc, char** argv)
{
    testing::InitGoogleTest (&argc, argv);
    // The timer tests drive the remote object from a real message loop.
    juce::ScopedJuceInitialiser_GUI framework;
    return RUN_ALL_TESTS();
}
