#include "OvrajuceLoudnessAudioProcessor.h"

// The processor's editor belongs to the user interface, so that the engine
// builds and tests without it. No editor exists yet: hasEditor answers false.
juce::AudioProcessorEditor* OvrajuceLoudnessAudioProcessor::createEditor() { return nullptr; }
