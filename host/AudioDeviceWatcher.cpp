#include "AudioDeviceWatcher.h"

#include "DiagnosticPrinter.h"

namespace
{
bool sameSetup (const juce::XmlElement* a, const juce::XmlElement* b)
{
    return a == nullptr || b == nullptr ? a == b : a->isEquivalentTo (b, false);
}

/** The type's device names, outputs then inputs, as one text to compare. */
juce::String listedNames (const juce::AudioIODeviceType& type)
{
    return type.getDeviceNames (false).joinIntoString ("\n") + "\n\n"
           + type.getDeviceNames (true).joinIntoString ("\n");
}

bool isListed (const juce::AudioIODeviceType& type, const juce::String& name, bool asInput)
{
    return name.isEmpty() || type.getDeviceNames (asInput).contains (name);
}
} // namespace

//==============================================================================
AudioDeviceWatcher::AudioDeviceWatcher (juce::AudioDeviceManager& managerToWatch) : manager (managerToWatch)
{
    manager.addChangeListener (this);
}

AudioDeviceWatcher::~AudioDeviceWatcher() { manager.removeChangeListener (this); }

//==============================================================================
juce::String AudioDeviceWatcher::describeDevice (juce::StringArray names, const juce::String& typeName)
{
    names.removeEmptyStrings();
    names.removeDuplicates (false);

    auto text = TRANS ("The audio device");

    if (! names.isEmpty())
        text << " \"" << names.joinIntoString ("\" / \"") << "\"";

    if (typeName.isNotEmpty())
        text << " (" << typeName << ")";

    return text;
}

juce::String AudioDeviceWatcher::describeStoppedDevice() const
{
    return describeDevice ({ stoppedSetup.outputDeviceName, stoppedSetup.inputDeviceName }, stoppedTypeName);
}

//==============================================================================
void AudioDeviceWatcher::tellNoneOpened (const juce::String& message, const juce::String& alsoInBox)
{
    const auto meanwhile = TRANS ("Nothing is measured until a device is open: choose one under AUDIO SETTINGS.");

    // One line for the log: the box's lines, each ended as a sentence.
    auto lines = juce::StringArray::fromLines (message + "\n" + meanwhile);
    lines.removeEmptyStrings();

    for (auto& line : lines)
        if (! juce::String (".:!?").containsChar (line.getLastCharacter()))
            line << ".";

    juce::Logger::writeToLog (noneOpenedNotice.getTitle() + ": " + lines.joinIntoString (" "));
    noneOpenedNotice.failed (message + alsoInBox, meanwhile);
}

//==============================================================================
void AudioDeviceWatcher::changeListenerCallback (juce::ChangeBroadcaster*)
{
    if (isRunning())
        noneOpenedNotice.succeeded();

    if (isTimerRunning() || ! hasStoppedFromOutside())
        return;

    stoppedSetup = manager.getAudioDeviceSetup();
    stoppedTypeName = manager.getCurrentAudioDevice()->getTypeName();
    storedSetup = manager.createStateXml();
    startTimer (reopenPollMs);

    const auto device = describeStoppedDevice();
    DiagnosticPrinter::printError (
        (device + " " + TRANS ("has stopped; it is opened again when it is back.")).toStdString());
    notice.failed (device + " "
                       + TRANS ("has stopped without being asked to, as when its audio server ends."),
                   TRANS ("The readings show \"-\" until it runs again; the measurement and its files "
                          "carry on. It is opened again by itself when it is back, or choose another "
                          "under AUDIO SETTINGS."));
}

bool AudioDeviceWatcher::isRunning() const
{
    auto* device = manager.getCurrentAudioDevice();
    return device != nullptr && device->isPlaying();
}

bool AudioDeviceWatcher::hasStoppedFromOutside() const
{
    // What the manager opens runs until it is closed or replaced, except a
    // setup without a single channel, which is never started.
    auto* device = manager.getCurrentAudioDevice();

    if (device == nullptr || device->isPlaying())
        return false;

    const auto setup = manager.getAudioDeviceSetup();
    return ! (setup.inputChannels.isZero() && setup.outputChannels.isZero());
}

void AudioDeviceWatcher::timerCallback()
{
    const auto chosenSince = ! sameSetup (manager.createStateXml().get(), storedSetup.get());

    if (chosenSince || isRunning())
        endWatch();
    else
        tryToReopen();
}

void AudioDeviceWatcher::tryToReopen()
{
    if (manager.getCurrentAudioDeviceType() != stoppedTypeName)
        return;

    auto* type = manager.getCurrentDeviceTypeObject();

    // A JACK type keeps the clients it saw at its last scan; the settings are
    // told when the list changes, so that they offer what is there now.
    const auto before = listedNames (*type);
    type->scanForDevices();

    if (listedNames (*type) != before)
        manager.sendChangeMessage();

    if (! isListed (*type, stoppedSetup.outputDeviceName, false)
        || ! isListed (*type, stoppedSetup.inputDeviceName, true))
        return;

    // Let go of the stopped device only now: its own thread may still be on
    // its way out of the close that stopped it.
    manager.closeAudioDevice();
    const auto error = manager.setAudioDeviceSetup (stoppedSetup, false);

    if (error.isNotEmpty() || ! isRunning())
        return;

    DiagnosticPrinter::printError (
        (describeStoppedDevice() + " " + TRANS ("is open again.")).toStdString());
    endWatch();
}

void AudioDeviceWatcher::endWatch()
{
    stopTimer();

    // No device chosen in the settings instead: the box would say that one runs.
    if (isRunning())
        notice.succeeded();
    else
        notice.dismiss();
}
