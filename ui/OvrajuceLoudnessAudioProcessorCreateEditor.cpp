#include "OvrajuceLoudnessAudioProcessorEditor.h"

// The processor's editor belongs to the user interface, so that the engine
// builds and tests without it.
juce::AudioProcessorEditor* OvrajuceLoudnessAudioProcessor::createEditor()
{
    return new OvrajuceLoudnessAudioProcessorEditor (*this, deviceManager);
}
