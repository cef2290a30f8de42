#include "OvrajuceLoudnessAudioProcessor.h"

// The real createEditor lives in the UI library, which these tests do not link.
juce::AudioProcessorEditor* OvrajuceLoudnessAudioProcessor::createEditor() { return nullptr; }
