#include "OVRAAudioDeviceSelectorComponent.h"

OVRAAudioDeviceSelectorComponent::OVRAAudioDeviceSelectorComponent (
    juce::AudioDeviceManager& manager, int minInputChannelsToUse, int maxInputChannelsToUse,
    int minOutputChannelsToUse, int maxOutputChannelsToUse, OvrajuceLoudnessAudioProcessor* processorToUse)
    : deviceManager (manager)
    , minOutputChannels (minOutputChannelsToUse)
    , maxOutputChannels (maxOutputChannelsToUse)
    , minInputChannels (minInputChannelsToUse)
    , maxInputChannels (maxInputChannelsToUse)
    , processor (processorToUse)
{
    const auto& types = deviceManager.getAvailableDeviceTypes();

    if (types.size() > 1)
    {
        deviceTypeDropDown = std::make_unique<juce::ComboBox> (juce::String());

        for (int i = 0; i < types.size(); ++i)
            deviceTypeDropDown->addItem (types.getUnchecked (i)->getTypeName(), i + 1);

        addAndMakeVisible (*deviceTypeDropDown);
        deviceTypeDropDown->addListener (this);

        deviceTypeDropDownLabel =
            std::make_unique<juce::Label> (juce::String(), TRANS ("Audio device type:"));
        deviceTypeDropDownLabel->setFont (font);
        deviceTypeDropDownLabel->setJustificationType (juce::Justification::centredRight);
        deviceTypeDropDownLabel->attachToComponent (deviceTypeDropDown.get(), true);
    }

    deviceManager.addChangeListener (this);
    updateAllControls();
}

OVRAAudioDeviceSelectorComponent::~OVRAAudioDeviceSelectorComponent()
{
    deviceManager.removeChangeListener (this);
    audioDeviceSettingsComp.reset();
    deviceTypeDropDownLabel.reset();
    deviceTypeDropDown.reset();
}

//==============================================================================
void OVRAAudioDeviceSelectorComponent::updateAllControls()
{
    const auto currentTypeName = deviceManager.getCurrentAudioDeviceType();

    if (deviceTypeDropDown != nullptr)
        deviceTypeDropDown->setText (currentTypeName, juce::dontSendNotification);

    if (audioDeviceSettingsComp == nullptr || audioDeviceSettingsCompType != currentTypeName)
    {
        audioDeviceSettingsCompType = currentTypeName;
        audioDeviceSettingsComp.reset();

        const auto index = deviceTypeDropDown != nullptr ? deviceTypeDropDown->getSelectedId() - 1 : 0;

        if (auto* type = deviceManager.getAvailableDeviceTypes()[index])
        {
            const AudioDeviceSettingsPanel::SetupDetails details {
                &deviceManager,    minInputChannels,  maxInputChannels,
                minOutputChannels, maxOutputChannels, showChannelsAsStereoPairs
            };

            audioDeviceSettingsComp =
                std::make_unique<AudioDeviceSettingsPanel> (*type, details, processor, font);
            addAndMakeVisible (*audioDeviceSettingsComp);
            audioDeviceSettingsComp->resized();
        }
    }

    resized();
}

void OVRAAudioDeviceSelectorComponent::resized()
{
    const int w = getWidth();
    int top = 15;

    if (deviceTypeDropDown != nullptr)
    {
        deviceTypeDropDown->setBounds (juce::roundToInt ((float) w * 0.35f), 15,
                                       juce::roundToInt ((float) w * 0.3f), 24);
        top = 57;
    }

    if (audioDeviceSettingsComp != nullptr)
        audioDeviceSettingsComp->setBounds (0, top, w, audioDeviceSettingsComp->getHeight());
}

void OVRAAudioDeviceSelectorComponent::childBoundsChanged (juce::Component* child)
{
    if (child == audioDeviceSettingsComp.get())
        resized();
}

void OVRAAudioDeviceSelectorComponent::comboBoxChanged (juce::ComboBox* box)
{
    if (box != deviceTypeDropDown.get())
        return;

    if (auto* type = deviceManager.getAvailableDeviceTypes()[box->getSelectedId() - 1])
    {
        audioDeviceSettingsComp.reset();
        deviceManager.setCurrentAudioDeviceType (type->getTypeName(), true);
        updateAllControls();

        // The type's list has closed over this component. The display's request
        // to draw what it uncovered is taken in as the list's window goes, and
        // then waits unheard for the display's next event; where nothing else
        // is drawn after the switch, a strip of the list would stay on screen.
        repaint();
    }
}

void OVRAAudioDeviceSelectorComponent::changeListenerCallback (juce::ChangeBroadcaster*)
{
    updateAllControls();
}
