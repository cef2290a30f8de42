#pragma once

#include "AudioDeviceSettingsPanel.h"

#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class OvrajuceLoudnessAudioProcessor;

/** Where the user sets up the audio device: a box for the device type (only
    when there is more than one) and below it the settings panel of the
    current type, made anew whenever the device manager's type changes.

        OVRAAudioDeviceSelectorComponent selector (deviceManager, 6, 6, 6, 6, &processor);
*/
class OVRAAudioDeviceSelectorComponent : public juce::Component,
                                         public juce::ComboBox::Listener,
                                         public juce::ChangeListener
{
public:
    OVRAAudioDeviceSelectorComponent (juce::AudioDeviceManager& deviceManager, int minInputChannels,
                                      int maxInputChannels, int minOutputChannels, int maxOutputChannels,
                                      OvrajuceLoudnessAudioProcessor* processor);
    ~OVRAAudioDeviceSelectorComponent() override;

    //==============================================================================
    void resized() override;
    void childBoundsChanged (juce::Component*) override;
    void comboBoxChanged (juce::ComboBox*) override;
    void changeListenerCallback (juce::ChangeBroadcaster*) override;

    void updateAllControls();

    //==============================================================================
    juce::ComboBox* getDeviceTypeBox() const noexcept { return deviceTypeDropDown.get(); }
    AudioDeviceSettingsPanel* getSettingsPanel() const noexcept { return audioDeviceSettingsComp.get(); }

private:
    juce::AudioDeviceManager& deviceManager;
    std::unique_ptr<juce::ComboBox> deviceTypeDropDown;
    std::unique_ptr<juce::Label> deviceTypeDropDownLabel;
    std::unique_ptr<AudioDeviceSettingsPanel> audioDeviceSettingsComp;
    juce::String audioDeviceSettingsCompType;
    const int minOutputChannels, maxOutputChannels, minInputChannels, maxInputChannels;
    const bool showChannelsAsStereoPairs = false;
    OvrajuceLoudnessAudioProcessor* processor = nullptr;
    juce::Font font;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OVRAAudioDeviceSelectorComponent)
};
