#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

#include <cstdlib>

int main (int argc, char** argv)
{
    // The default log folder lies in the user's home: the tests get a home of
    // their own, set before the default is first computed, so that a log they
    // start never lands among the user's measurements.
    const auto home =
        juce::File::getSpecialLocation (juce::File::tempDirectory)
            .getChildFile ("zelx_processor_home_" + juce::String::toHexString (juce::Random().nextInt64()));
    home.createDirectory();
    setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);

    int result = 0;

    {
        // The processor is a timer and owns a thread; both expect JUCE to be up.
        juce::ScopedJuceInitialiser_GUI juce;
        testing::InitGoogleTest (&argc, argv);
        result = RUN_ALL_TESTS();
    }

    home.deleteRecursively();
    return result;
}
