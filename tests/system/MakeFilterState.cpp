// Prints the engine's state block, as the main window stores it under
// "filterState", for the given input and output layouts:
//     make_filter_state "0;1;2;3;4;5;" "0;1;2;3;4;-1;"
#include "OvrajuceLoudnessAudioProcessor.h"

#include <iostream>

int main (int argc, char** argv)
{
    if (argc != 3)
    {
        std::cerr << "usage: make_filter_state <input layout> <output layout>\n";
        return 2;
    }

    juce::ScopedJuceInitialiser_GUI framework;
    OvrajuceLoudnessAudioProcessor processor;
    processor.setInputLayout (ChannelLayout::fromText (argv[1]));
    processor.setOutputLayout (ChannelLayout::fromText (argv[2]));

    juce::MemoryBlock state;
    processor.getStateInformation (state);
    std::cout << state.toBase64Encoding() << std::endl;
    return 0;
}
