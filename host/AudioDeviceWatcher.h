#pragma once

#include <juce_audio_devices/juce_audio_devices.h>

#include "FailureNotice.h"

/** Notices an audio device that stops without being asked to (a JACK device
    closes itself when its server goes away), tells the user in a box and on
    standard error, and opens the same setup again by itself once the device
    is back, as a start would. The box, one for all stops, says when the
    device runs again; so does the box telling that none opened at start.

    Stops that the program asks for leave a device open or none at all: a
    current device that has channels to run and is not playing has stopped
    from outside. Its setup is tried again every reopenPollMs: the device
    type is scanned afresh, and once its devices are listed the stopped
    device is let go and the setup opened. An
    explicit choice in the meantime (the stored setup changes) or a device
    that runs again ends the watch for this outage. The reopen is not an
    explicit choice: the setup stored at quit stays as it was.

        AudioDeviceWatcher watcher (deviceManager);   // after the device is opened

    Message thread only; the device's own thread only sends the device
    manager's change message, which is what this listens to.
*/
class AudioDeviceWatcher : private juce::ChangeListener, private juce::Timer
{
public:
    /** How often the return of a stopped device is looked for. */
    static constexpr int reopenPollMs = 1000;

    explicit AudioDeviceWatcher (juce::AudioDeviceManager& managerToWatch);
    ~AudioDeviceWatcher() override;

    //==============================================================================
    /** Tells in a box and on standard error that no device opened at start,
        with why; the box says so once one is open. What is also to be read
        in the box goes below the message there, and not to standard error. */
    void tellNoneOpened (const juce::String& message, const juce::String& alsoInBox = {});

    /** The device (or the pair of devices) of a setup as the user reads it:
        "in" / "out" (Type), or the one name when both are the same. */
    static juce::String describeDevice (juce::StringArray names, const juce::String& typeName);

private:
    //==============================================================================
    void changeListenerCallback (juce::ChangeBroadcaster*) override;
    void timerCallback() override;

    bool isRunning() const;
    bool hasStoppedFromOutside() const;
    void tryToReopen();
    void endWatch();
    juce::String describeStoppedDevice() const;

    juce::AudioDeviceManager& manager;
    juce::AudioDeviceManager::AudioDeviceSetup stoppedSetup;
    juce::String stoppedTypeName;
    std::unique_ptr<juce::XmlElement> storedSetup;
    FailureNotice notice { TRANS ("Audio device stopped"), TRANS ("The audio device has been open again"),
                           TRANS ("Audio device open again") };
    FailureNotice noneOpenedNotice { TRANS ("No audio device is open"),
                                     TRANS ("An audio device has been open"), TRANS ("Audio device open") };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AudioDeviceWatcher)
};
