#include "CapturingLogger.h"
#include "HostTestHelpers.h"

#include "CommandsListener.h"
#include "DiagnosticPrinter.h"
#include "OVRAAudioDeviceSelectorComponent.h"
#include "OVRAStandaloneFilterWindow.h"
#include "OvrajuceLoudnessAudioProcessor.h"
#include "OvrajuceLoudnessAudioProcessorEditor.h"
#include "PreferencesFileLocation.h"
#include "TestDeviceType.h"
#include "WindowManagerProcess.h"
#include "WindowStacking.h"
#include "ZEL5_1StandExtApplication.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <linux/capability.h>
#include <memory>
#include <optional>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
/** Makes a file and its folder unwritable for this process, as root too, whom
    file modes do not stop: there a read-only bind mount of the folder is made
    in a mount namespace of the calling thread's own, which it keeps (a copy of
    the process's) after the mount is gone again. */
class UnwritableFile
{
public:
    explicit UnwritableFile (const juce::File& fileToProtect)
        : file (fileToProtect.getFullPathName())
        , folder (fileToProtect.getParentDirectory().getFullPathName())
    {
        if (geteuid() != 0)
        {
            changedModes = chmod (file.toRawUTF8(), 0444) == 0 && chmod (folder.toRawUTF8(), 0555) == 0;
            return;
        }

        if (unshare (CLONE_NEWNS) != 0 || mount ("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || mount (folder.toRawUTF8(), folder.toRawUTF8(), nullptr, MS_BIND, nullptr) != 0)
            return;

        mounted = true;
        mount (nullptr, folder.toRawUTF8(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr);
    }

    ~UnwritableFile()
    {
        if (mounted)
            umount2 (folder.toRawUTF8(), MNT_DETACH);

        if (changedModes)
            chmod (folder.toRawUTF8(), 0755) == 0 && chmod (file.toRawUTF8(), 0644) == 0;
    }

    bool isUnwritable() const
    {
        return access (file.toRawUTF8(), W_OK) != 0 && access (folder.toRawUTF8(), W_OK) != 0;
    }

private:
    juce::String file, folder;
    bool changedModes = false, mounted = false;
};

/** A 64 KB disk mounted on a folder, in a mount namespace of the calling
    thread's own, as UnwritableFile makes one; fill makes it full. */
class SmallDisk
{
public:
    explicit SmallDisk (const juce::File& folderToMountOn) : folder (folderToMountOn.getFullPathName())
    {
        mounted = unshare (CLONE_NEWNS) == 0
                  && mount ("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
                  && mount ("tmpfs", folder.toRawUTF8(), "tmpfs", 0, "size=64k") == 0;
    }

    ~SmallDisk()
    {
        if (mounted)
            umount2 (folder.toRawUTF8(), MNT_DETACH);
    }

    bool isMounted() const { return mounted; }

    /** Fills the disk with a file of this name. */
    void fill (const juce::String& name)
    {
        juce::FileOutputStream out (juce::File (folder).getChildFile (name));
        const juce::MemoryBlock chunk (1024, true);

        while (out.write (chunk.getData(), chunk.getSize()) && out.getStatus().wasOk())
            out.flush();
    }

private:
    juce::String folder;
    bool mounted = false;
};

/** Makes a file unreadable for the calling thread while it lives, as root too:
    the file's modes are cleared, and the thread sets aside the capabilities
    that let root read past them. They stay permitted, so they come back at
    the end; the system's access check, which answers for root from the
    permitted ones, is not fooled by this, only an open is. */
class UnreadableFile
{
public:
    explicit UnreadableFile (const juce::File& fileToProtect) : file (fileToProtect.getFullPathName())
    {
        changedMode = chmod (file.toRawUTF8(), 0) == 0;

        if (syscall (SYS_capget, &header, saved) != 0)
            return;

        __user_cap_data_struct reduced[_LINUX_CAPABILITY_U32S_3];
        std::copy (std::begin (saved), std::end (saved), std::begin (reduced));

        for (const int cap : { CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH })
            reduced[CAP_TO_INDEX (cap)].effective &= ~CAP_TO_MASK (cap);

        setAside = syscall (SYS_capset, &header, reduced) == 0;
    }

    ~UnreadableFile()
    {
        if (setAside)
            syscall (SYS_capset, &header, saved);

        if (changedMode)
            chmod (file.toRawUTF8(), 0644);
    }

    bool isUnreadable() const { return ! juce::FileInputStream (juce::File (file)).openedOk(); }

private:
    juce::String file;
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct saved[_LINUX_CAPABILITY_U32S_3] {};
    bool changedMode = false, setAside = false;
};

/** Threads that keep the processor busy while they exist. */
class BusyLoops
{
public:
    explicit BusyLoops (int numThreads)
    {
        for (int i = 0; i < numThreads; ++i)
            threads.emplace_back ([this] {
                while (! stop.load (std::memory_order_relaxed))
                {
                }
            });
    }

    ~BusyLoops()
    {
        stop = true;

        for (auto& thread : threads)
            thread.join();
    }

private:
    std::atomic<bool> stop { false };
    std::vector<std::thread> threads;
};

class MainWindowTest : public testing::Test
{
protected:
    void SetUp() override
    {
        const char* display = std::getenv ("DISPLAY");
        ASSERT_TRUE (display != nullptr && *display != 0) << "the window tests need an X display (Xvfb)";
        prefsFile.getParentDirectory().createDirectory();
    }

    void TearDown() override
    {
        HostTestHelpers::closeAlertWindows();
        window.reset();
        folder.deleteRecursively();
    }

    /** A device manager with one device type, whose only device, "Test device"
        (testDevice), has two inputs and six outputs; what the window opens does
        not hang on the machine's sound hardware. */
    std::unique_ptr<juce::AudioDeviceManager> testDevices (bool listed = true)
    {
        auto type = std::make_unique<TestDeviceType>();
        testDevice = &type->addDevice ("Test device", { "in 1", "in 2" },
                                       { "out 1", "out 2", "out 3", "out 4", "out 5", "out 6" });
        testDevice->absent = ! listed;
        auto manager = std::make_unique<juce::AudioDeviceManager>();
        manager->addAudioDeviceType (std::move (type));
        return manager;
    }

    /** The alert boxes shown, each as its title and message; closes them. */
    static juce::StringArray closeAlertWindows()
    {
        juce::StringArray shown;

        for (auto* alert : HostTestHelpers::alertWindows())
            shown.add (alert->getDescription());

        HostTestHelpers::closeAlertWindows();
        return shown;
    }

    void writePrefs (const juce::String& valuesXml, const juce::File& file)
    {
        ASSERT_TRUE (file.replaceWithText ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PROPERTIES>"
                                           + valuesXml + "</PROPERTIES>\n"));
    }

    void writePrefs (const juce::String& valuesXml) { writePrefs (valuesXml, prefsFile); }

    static juce::String value (const juce::String& name, const juce::String& val)
    {
        return "<VALUE name=\"" + name + "\" val=\"" + val + "\"/>";
    }

    void openWindow() { openWindow (PreferencesFileLocation::open (prefsFile)); }

    /** Opens the window as the application does, with these application-data folders. */
    void startLikeTheApplication (const juce::File& commonRoot, const juce::File& userRoot, bool listed = true)
    {
        window = ZEL5_1StandExtApplication::createMainWindow (commonRoot, userRoot, testDevices (listed));
        HostTestHelpers::drainMessageLoop();
    }

    void openWindow (std::unique_ptr<juce::PropertiesFile> preferences)
    {
        window = std::make_unique<OVRAStandaloneFilterWindow> ("ZELx 5.1", juce::Colours::red,
                                                               std::move (preferences), testDevices());
        window->setVisible (true);
        HostTestHelpers::drainMessageLoop();
    }

    /** Deletes the window and reads back what it stored. */
    std::unique_ptr<juce::XmlElement> closeWindowAndReadPrefs()
    {
        window.reset();
        return juce::parseXML (prefsFile);
    }

    static juce::String storedValue (const juce::XmlElement& prefs, const juce::String& name)
    {
        // Keys keep the letter case they were first written with.
        for (auto* e : prefs.getChildWithTagNameIterator ("VALUE"))
            if (e->getStringAttribute ("name").equalsIgnoreCase (name))
                return e->getStringAttribute ("val");

        return "<missing>";
    }

    static juce::MemoryBlock bytesOf (const juce::File& file)
    {
        juce::MemoryBlock block;
        file.loadFileAsData (block);
        return block;
    }

    static juce::MemoryBlock stateOf (OvrajuceLoudnessAudioProcessor& processor)
    {
        juce::MemoryBlock block;
        processor.getStateInformation (block);
        return block;
    }

    /** What a start without a stored state has: the defaults, and the test
        device's channels in their order for as many slots as it has them. */
    static juce::MemoryBlock firstStartState()
    {
        OvrajuceLoudnessAudioProcessor fresh;
        fresh.setInputLayout (ChannelLayout::fromText ("0;1;-1;-1;-1;-1;"));
        fresh.setOutputLayout (ChannelLayout::fromText ("0;1;2;3;4;5;"));
        return stateOf (fresh);
    }

    juce::Point<int> centredPosition() const
    {
        const auto area = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay()->userArea;
        return { area.getCentreX() - window->getWidth() / 2, area.getCentreY() - window->getHeight() / 2 };
    }

    juce::File folder = juce::File::createTempFile ("zelx-window-test");
    juce::File prefsFile =
        PreferencesFileLocation::getCompanyDataFolder (folder).getChildFile ("ZELX51.prefs");
    /** Deletes the window and tells whether the setup it stored is this one. */
    bool closeWindowAndCheckStoredSetup (const juce::String& setup)
    {
        const auto prefs = closeWindowAndReadPrefs();
        auto* stored = prefs != nullptr ? prefs->getChildByAttribute ("name", "audioSetup") : nullptr;
        auto* element = stored != nullptr ? stored->getChildByName ("DEVICESETUP") : nullptr;
        return element != nullptr && element->isEquivalentTo (juce::parseXML (setup).get(), false);
    }

    std::unique_ptr<OVRAStandaloneFilterWindow> window;
    TestDeviceType::DeviceDescription* testDevice = nullptr;
};
} // namespace

//==============================================================================
TEST_F (MainWindowTest, BadPreferencesAreKeptAsideAndGiveTheDefaultsAndAMessageBox)
{
    const auto defaults = firstStartState();
    const auto aside = prefsFile.getSiblingFile ("ZELX51.prefs.unreadable");

    const std::string head =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PROPERTIES><VALUE name=\"windowX\" val=\"40\"/>"
        "<VALUE name=\"windowY\" val=\"30\"/>";
    const std::string tail = "</PROPERTIES>\n";
    const auto valueOf = [] (const std::string& val) { return "<VALUE name=\"k\" val=\"" + val + "\"/>"; };
    const auto repeat = [] (const std::string& text, int times) {
        return juce::String::repeatedString (text, times).toStdString();
    };

    struct Case
    {
        const char* name;
        std::string bytes;
        bool exists;
        const char* reason; // why it is kept aside; nullptr where it is not
    };

    // The large ones are refused by their size alone, before they are parsed.
    const std::vector<Case> cases {
        { "missing", "", false, nullptr },
        { "empty", "", true, nullptr },
        { "corrupt", "<PROPERTIES><VALUE name=\"windowX\" val=\"40\"", true, "it is not a preferences file" },
        { "foreign", "<html><VALUE name=\"windowX\" val=\"40\"/></html>", true,
          "it is not a preferences file" },
        { "binary", std::string ("\x00\xff\x13\x37 junk", 9), true, "it is not a preferences file" },
        { "deep", head + repeat ("<a>", 100) + repeat ("</a>", 100) + tail, true, "it is nested too deeply" },
        { "large file",
          head + repeat (valueOf (std::string (1000, 'A')), PreferencesFileLocation::maxFileBytes / 1000)
              + tail,
          true, "it is larger than" },
        { "large value",
          head + valueOf (repeat ("&amp;", PreferencesFileLocation::maxValueBytes / 5 + 1)) + tail, true,
          "a value in it is longer than" }
    };

    HostTestHelpers::RecordingLookAndFeel boxes;
    std::optional<juce::Point<int>> positionWithoutPreferences;

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        prefsFile.deleteFile();
        aside.deleteFile();
        boxes.messages.clear();

        if (c.exists)
        {
            ASSERT_TRUE (prefsFile.create());
            ASSERT_TRUE (c.bytes.empty() || prefsFile.replaceWithData (c.bytes.data(), c.bytes.size()));
        }

        const auto original = bytesOf (prefsFile);
        CapturingLogger logger;
        startLikeTheApplication (folder, folder.getChildFile ("user"));
        ASSERT_NE (window->getProcessor(), nullptr);
        EXPECT_EQ (stateOf (*window->getProcessor()), defaults);

        // Where the first case, without a file, puts the window.
        if (! positionWithoutPreferences.has_value())
            positionWithoutPreferences = window->getPosition();

        EXPECT_EQ (window->getPosition(), *positionWithoutPreferences);

        if (c.reason == nullptr)
        {
            EXPECT_FALSE (aside.exists());
            EXPECT_EQ (logger.count ("cannot be read"), 0);
            EXPECT_EQ (juce::TopLevelWindow::getNumTopLevelWindows(), 1) << "no message box may appear";
        }
        else
        {
            EXPECT_EQ (bytesOf (aside), original);
            EXPECT_EQ (logger.count ("cannot be read (" + juce::String (c.reason)), 1)
                << logger.lines.joinIntoString ("\n");
            EXPECT_EQ (logger.count ("moved to " + aside.getFullPathName()), 1);

            EXPECT_EQ (HostTestHelpers::alertWindows().size(), 1u);
            HostTestHelpers::closeAlertWindows();
            ASSERT_EQ (boxes.messages.size(), 1);
            const auto message = boxes.messages[0];
            EXPECT_TRUE (message.startsWith ("The preferences in " + prefsFile.getFullPathName()
                                             + " cannot be read (" + c.reason))
                << message;
            EXPECT_TRUE (
                message.endsWith ("the defaults apply, and the file was moved to " + aside.getFullPathName()))
                << message;
        }

        const auto x = window->getX(), y = window->getY();
        const auto prefs = closeWindowAndReadPrefs();
        ASSERT_NE (prefs, nullptr);
        EXPECT_TRUE (prefs->hasTagName ("PROPERTIES"));
        EXPECT_EQ (storedValue (*prefs, "windowX"), juce::String (x));
        EXPECT_EQ (storedValue (*prefs, "windowY"), juce::String (y));
        EXPECT_NE (prefs->getChildByAttribute ("name", "audioSetup"), nullptr);

        juce::MemoryBlock stored;
        ASSERT_TRUE (stored.fromBase64Encoding (storedValue (*prefs, "filterState")));
        EXPECT_EQ (stored, defaults);
    }
}

TEST_F (MainWindowTest, DeeplyNestedPreferencesGiveTheDefaultsWithoutACrash)
{
    CapturingLogger logger;
    const auto defaults = firstStartState();
    const auto nested = [] (int levels) {
        return juce::String::repeatedString ("<a>", levels) + juce::String::repeatedString ("</a>", levels);
    };
    const auto deep = nested (30000); // some 210 KB
    const auto position = value ("windowX", "137") + value ("windowY", "111");

    // In the file itself nothing can be read; it is set aside, and good
    // preferences take its place at quit.
    writePrefs (position + "<VALUE name=\"audioSetup\">" + deep + "</VALUE>");
    const auto original = bytesOf (prefsFile);
    openWindow();
    ASSERT_NE (window->getProcessor(), nullptr);
    EXPECT_EQ (stateOf (*window->getProcessor()), defaults);
    const auto centre = centredPosition();
    EXPECT_EQ (window->getPosition(), centre);
    EXPECT_EQ (logger.count ("cannot be read"), 1);

    const auto prefs = closeWindowAndReadPrefs();
    ASSERT_NE (prefs, nullptr);
    EXPECT_EQ (storedValue (*prefs, "windowX"), juce::String (centre.x));
    EXPECT_EQ (bytesOf (prefsFile.getSiblingFile ("ZELX51.prefs.unreadable")), original);

    // As the text of a value (the reader takes '<' in a value as it is) only
    // that value is dropped, where it is short enough to be read at all.
    writePrefs (position + value ("audioSetup", nested (1000)));
    openWindow();
    EXPECT_EQ (window->getPosition(), juce::Point<int> (137, 111));
    EXPECT_EQ (logger.count ("cannot be read"), 2);
    window.reset();

    // The window guards its own reading of the device setup as well.
    auto preferences = PreferencesFileLocation::open (prefsFile);
    preferences->setValue ("audioSetup", deep);
    openWindow (std::move (preferences));
    const auto stored = closeWindowAndReadPrefs();
    ASSERT_NE (stored, nullptr);
    auto* setup = stored->getChildByAttribute ("name", "audioSetup");
    ASSERT_NE (setup, nullptr);
    EXPECT_EQ (setup->getChildByName ("a"), nullptr) << "the device manager's setup replaces it";
}

TEST_F (MainWindowTest, PreferencesAsLargeAsTheProgramWritesAreReadWithRoomToSpare)
{
    // The longest folder and name the system allows, of the character the
    // state writes longest, and a device setup of long names that the device
    // manager keeps as it is because it cannot open that device.
    const auto quotes = [] (int length) { return juce::String::repeatedString ("\"", length); };
    juce::XmlElement setup ("DEVICESETUP");
    setup.setAttribute ("deviceType", "ALSA");
    setup.setAttribute ("audioOutputDeviceName", quotes (255));
    setup.setAttribute ("audioInputDeviceName", quotes (255));

    for (int i = 0; i < 16; ++i)
        setup.createNewChildElement ("MIDIINPUT")->setAttribute ("name", quotes (64) + juce::String (i));

    auto preferences = PreferencesFileLocation::open (prefsFile);
    preferences->setValue ("audioSetup", &setup);
    openWindow (std::move (preferences));
    auto& settings = window->getProcessor()->settings;
    settings.logFilePath = "/" + quotes (4094);
    settings.logFileName = quotes (255);
    const auto state = stateOf (*window->getProcessor());
    window->setTopLeftPosition (201, 99);
    const auto written = closeWindowAndReadPrefs();
    ASSERT_NE (written, nullptr);
    EXPECT_LE (2 * prefsFile.getSize(), PreferencesFileLocation::maxFileBytes);
    EXPECT_LE (2 * storedValue (*written, "filterState").length(), PreferencesFileLocation::maxValueBytes);

    CapturingLogger logger;
    openWindow();
    EXPECT_EQ (logger.count ("cannot be read"), 0) << logger.lines.joinIntoString ("\n");
    EXPECT_FALSE (prefsFile.getSiblingFile ("ZELX51.prefs.unreadable").exists());
    EXPECT_EQ (stateOf (*window->getProcessor()), state);
    EXPECT_EQ (window->getProcessor()->getSettings().logFilePath, "/" + quotes (4094));
    EXPECT_EQ (window->getPosition(), juce::Point<int> (201, 99));
    const auto kept = closeWindowAndReadPrefs();
    ASSERT_NE (kept, nullptr);
    auto* keptSetup = kept->getChildByAttribute ("name", "audioSetup");
    ASSERT_NE (keptSetup, nullptr);
    EXPECT_TRUE (setup.isEquivalentTo (keptSetup->getChildByName ("DEVICESETUP"), false));
}

TEST_F (MainWindowTest, AReadOnlyCommonFileIsRestoredFromAndLeftAsItIs)
{
    OvrajuceLoudnessAudioProcessor source;
    source.setParameterValue (1, 2.0f);
    const auto state = stateOf (source);
    ASSERT_NE (state, firstStartState());

    const auto common = folder.getChildFile ("common");
    const auto user = folder.getChildFile ("user");
    const auto file = PreferencesFileLocation::getCompanyDataFolder (common).getChildFile ("ZELX51.prefs");
    ASSERT_TRUE (file.getParentDirectory().createDirectory());
    // With a value that is dropped, so that two problems share the box.
    writePrefs (value ("filterState", state.toBase64Encoding()) + value ("windowX", "137")
                    + value ("windowY", "111") + value ("k", juce::String::repeatedString ("&lt;a&gt;", 100)),
                file);
    const auto original = bytesOf (file);

    UnwritableFile unwritable (file);

    if (! unwritable.isUnwritable())
        GTEST_SKIP() << "no unwritable file can be made here (root is refused a mount namespace)";

    CapturingLogger logger;
    HostTestHelpers::RecordingLookAndFeel boxes;
    startLikeTheApplication (common, user);
    EXPECT_FALSE (user.exists());
    EXPECT_EQ (stateOf (*window->getProcessor()), state);
    EXPECT_EQ (window->getPosition(), juce::Point<int> (137, 111));

    EXPECT_EQ (HostTestHelpers::alertWindows().size(), 1u);
    HostTestHelpers::closeAlertWindows();
    ASSERT_EQ (boxes.messages.size(), 1);
    const auto lines = juce::StringArray::fromLines (boxes.messages[0]);
    ASSERT_EQ (lines.size(), 2) << lines.joinIntoString ("\n");
    EXPECT_TRUE (lines[0].contains (file.getFullPathName() + " can be read but not written")) << lines[0];
    EXPECT_TRUE (lines[0].endsWith ("changes made now will not be kept")) << lines[0];
    EXPECT_TRUE (lines[1].contains ("\"k\" in " + file.getFullPathName())) << lines[1];

    window->setTopLeftPosition (201, 99);
    window.reset();
    EXPECT_EQ (bytesOf (file), original);
    EXPECT_EQ (logger.count ("could not be saved"), 1) << logger.lines.joinIntoString ("\n");
}

TEST_F (MainWindowTest, AnUnreadableCommonFileIsToldInABoxAndTheUserFileIsUsed)
{
    const auto common = folder.getChildFile ("common");
    const auto user = folder.getChildFile ("user");
    const auto commonFile = PreferencesFileLocation::getCompanyDataFolder (common).getChildFile ("ZELX51.prefs");
    const auto userFile = PreferencesFileLocation::getCompanyDataFolder (user).getChildFile ("ZELX51.prefs");
    ASSERT_TRUE (commonFile.getParentDirectory().createDirectory() && userFile.getParentDirectory().createDirectory());
    writePrefs (value ("windowX", "137") + value ("windowY", "111"), commonFile);
    writePrefs (value ("windowX", "201") + value ("windowY", "99"), userFile);
    const auto original = bytesOf (commonFile);

    CapturingLogger logger;
    HostTestHelpers::RecordingLookAndFeel boxes;
    {
        UnreadableFile unreadable (commonFile);
        ASSERT_TRUE (unreadable.isUnreadable());
        startLikeTheApplication (common, user);
    }

    EXPECT_EQ (window->getPosition(), juce::Point<int> (201, 99));
    EXPECT_EQ (HostTestHelpers::alertWindows().size(), 1u);
    HostTestHelpers::closeAlertWindows();
    ASSERT_EQ (boxes.messages.size(), 1);
    const auto expected = "The preferences in " + commonFile.getFullPathName()
                          + " cannot be read (permission denied); those in " + userFile.getFullPathName()
                          + " are used instead";
    EXPECT_EQ (boxes.messages[0], expected);
    EXPECT_EQ (logger.count (expected), 1) << logger.lines.joinIntoString ("\n");

    // Quitting saves to the user's file and leaves the common one as it is.
    window.reset();
    EXPECT_EQ (bytesOf (commonFile), original);
    const auto saved = juce::parseXML (userFile);
    ASSERT_NE (saved, nullptr);
    EXPECT_NE (storedValue (*saved, "filterState"), "<missing>");
}

TEST_F (MainWindowTest, NoPlaceToKeepThePreferencesIsToldInABox)
{
    // A plain file where both folders should be: nothing can be made below it, whoever runs the test.
    const auto blocked = folder.getChildFile ("blocked");
    ASSERT_TRUE (blocked.replaceWithText ("not a folder"));
    HostTestHelpers::RecordingLookAndFeel boxes;
    startLikeTheApplication (blocked.getChildFile ("common"), blocked.getChildFile ("user"));

    ASSERT_EQ (boxes.messages.size(), 1);
    EXPECT_TRUE (boxes.messages[0].startsWith ("No preferences file can be read or created, neither "
                                               + blocked.getFullPathName()))
        << boxes.messages[0];
    EXPECT_TRUE (boxes.messages[0].endsWith ("changes made now will not be kept")) << boxes.messages[0];
}

TEST_F (MainWindowTest, ProblemsAtStartAreToldInOneBoxThatReturnCloses)
{
    const auto blocked = folder.getChildFile ("blocked");
    ASSERT_TRUE (blocked.replaceWithText ("not a folder"));
    startLikeTheApplication (blocked.getChildFile ("common"), blocked.getChildFile ("user"), false);
    ASSERT_EQ (window->getDeviceManager()->getCurrentAudioDevice(), nullptr);

    const auto boxes = HostTestHelpers::alertWindows();
    ASSERT_EQ (boxes.size(), 1u);
    const auto shown = boxes.front()->getDescription();
    EXPECT_TRUE (shown.startsWith ("No audio device is open. No audio device was found.")) << shown;
    EXPECT_TRUE (shown.contains ("\nPreferences problem:\nNo preferences file can be read or created")) << shown;
    EXPECT_FALSE (window->isCurrentlyBlockedByAnotherModalComponent());

    // The box takes the keyboard only when clicked, as a click gives it; then
    // the keyboard sends it the key.
    auto* peer = boxes.front()->getPeer();
    ASSERT_NE (peer, nullptr);
    peer->toFront (true);
    ASSERT_TRUE (
        HostTestHelpers::runMessageLoopUntil ([&] { return boxes.front()->hasKeyboardFocus (true); }));
    peer->handleKeyPress (juce::KeyPress (juce::KeyPress::returnKey));
    EXPECT_TRUE (HostTestHelpers::runMessageLoopUntil ([] { return HostTestHelpers::alertWindows().empty(); }));
}

TEST_F (MainWindowTest, UndecodableFilterStateCountsAsAFirstStart)
{
    const auto defaults = firstStartState();

    const char* garbageBytes = "this is not a state block";
    juce::MemoryBlock foreignBlock (garbageBytes, strlen (garbageBytes));

    // Negative and huge sizes once made the decoder try to allocate them.
    juce::StringArray values { "garbage", "12.",           "5.!!!!",
                               "0.",      "-3.abc",        "",
                               "-1.",     "4000000000.ab", "99999999999999999999.",
                               ".abc" };
    values.add (foreignBlock.toBase64Encoding());

    for (const auto& text : values)
    {
        SCOPED_TRACE (text.toStdString());
        writePrefs (value ("filterState", text));
        openWindow();
        EXPECT_EQ (stateOf (*window->getProcessor()), defaults);
        window.reset();
    }
}

TEST_F (MainWindowTest, StoredStateAndPositionComeBackAndAreStoredAgain)
{
    OvrajuceLoudnessAudioProcessor source;
    source.setParameterValue (1, 2.0f);
    source.setInputLayout (ChannelLayout::fromText ("5;4;3;2;1;0;"));
    source.setOutputLayout (ChannelLayout::fromText ("1;0;-1;-1;-1;-1;"));
    const auto state = stateOf (source);
    ASSERT_NE (state, firstStartState());

    // Key names in other letter case are found all the same.
    writePrefs (value ("filterState", state.toBase64Encoding()) + value ("WINDOWX", "137")
                + value ("windowy", "111"));
    openWindow();

    auto* processor = window->getProcessor();
    EXPECT_EQ (stateOf (*processor), state);
    EXPECT_EQ (processor->getSettings().measurementStandard.get(), 2.0f);
    EXPECT_EQ (processor->getInputLayout(), ChannelLayout::fromText ("5;4;3;2;1;0;").toActive());
    EXPECT_EQ (processor->getOutputLayout(), ChannelLayout::fromText ("1;0;-1;-1;-1;-1;").toActive());
    EXPECT_EQ (window->getPosition(), juce::Point<int> (137, 111));

    window->setTopLeftPosition (201, 99);
    const auto prefs = closeWindowAndReadPrefs();
    ASSERT_NE (prefs, nullptr);
    EXPECT_EQ (storedValue (*prefs, "windowX"), "201");
    EXPECT_EQ (storedValue (*prefs, "windowY"), "99");

    juce::MemoryBlock stored;
    ASSERT_TRUE (stored.fromBase64Encoding (storedValue (*prefs, "filterState")));
    EXPECT_EQ (stored, state);
}

TEST_F (MainWindowTest, ChangesReachTheFileWhileTheWindowRunsAndAStartOrASteadyMeasurementWriteNothing)
{
    OvrajuceLoudnessAudioProcessor source;
    source.settings.logFilePath = folder.getFullPathName();
    writePrefs (value ("filterState", stateOf (source).toBase64Encoding()) + value ("windowX", "137")
                + value ("windowY", "111")
                + "<VALUE name=\"audioSetup\"><DEVICESETUP deviceType=\"Test\" audioOutputDeviceName=\"Test "
                  "device\" audioInputDeviceName=\"Test device\" audioDeviceRate=\"48000\"/></VALUE>");

    // Each save puts a new file in place of the old one.
    const auto identity = [this] {
        struct stat info {};
        ::stat (prefsFile.getFullPathName().toRawUTF8(), &info);
        return std::make_pair (info.st_ino, info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec);
    };
    const auto written = identity();
    openWindow();
    auto& processor = *window->getProcessor();
    auto& manager = *window->getDeviceManager();
    ASSERT_NE (manager.getCurrentAudioDevice(), nullptr);

    // Longer than a look for changes and the save delay after it.
    processor.setParameterValue (OvrajuceLoudnessAudioProcessor::isMeasuringParameter, 1.0f);
    HostTestHelpers::runMessageLoopUntil ([] { return false; }, 4000);
    EXPECT_TRUE (processor.isMeasurementLogRunning());
    EXPECT_EQ (identity(), written) << "the file was written with nothing changed";

    // A control, a device chosen and a move, with the measurement going on.
    processor.setParameterValue (1, 2.0f);
    auto setup = manager.getAudioDeviceSetup();
    setup.sampleRate = 44100.0;
    ASSERT_EQ (manager.setAudioDeviceSetup (setup, true), "");
    window->setTopLeftPosition (201, 99);

    const auto state = stateOf (processor).toBase64Encoding();
    const auto holdsTheChanges = [&] {
        const auto prefs = juce::parseXML (prefsFile);
        auto* stored = prefs != nullptr ? prefs->getChildByAttribute ("name", "audioSetup") : nullptr;
        auto* element = stored != nullptr ? stored->getChildByName ("DEVICESETUP") : nullptr;
        return element != nullptr && element->getIntAttribute ("audioDeviceRate") == 44100
               && storedValue (*prefs, "filterState") == state && storedValue (*prefs, "windowX") == "201"
               && storedValue (*prefs, "windowY") == "99";
    };
    EXPECT_TRUE (HostTestHelpers::runMessageLoopUntil (holdsTheChanges, 15000))
        << bytesOf (prefsFile).toString();
    processor.setParameterValue (OvrajuceLoudnessAudioProcessor::isMeasuringParameter, 0.0f);
}

TEST_F (MainWindowTest, ChangesThatKeepComingAreSavedAllTheSame)
{
    writePrefs (value ("windowX", "137") + value ("windowY", "111"));
    openWindow();

    // A window dragged on and on: a move every second until the file holds one.
    int x = 137;
    auto lastMove = juce::Time::getMillisecondCounter() - 1000;
    const auto holdsAMove = [&] {
        if (juce::Time::getMillisecondCounter() - lastMove >= 1000)
        {
            window->setTopLeftPosition (x += 10, 99);
            lastMove = juce::Time::getMillisecondCounter();
        }

        const auto prefs = juce::parseXML (prefsFile);
        return prefs != nullptr && storedValue (*prefs, "windowX") != "137";
    };

    EXPECT_TRUE (HostTestHelpers::runMessageLoopUntil (holdsAMove, 20000)) << bytesOf (prefsFile).toString();
}

TEST_F (MainWindowTest, ASaveThatFailsIsToldOnceTriedAgainAndToldWhenItWorks)
{
    SmallDisk disk (prefsFile.getParentDirectory());

    if (! disk.isMounted())
        GTEST_SKIP() << "no small disk can be mounted here (root is refused a mount namespace)";

    writePrefs (value ("windowX", "137") + value ("windowY", "111"));
    openWindow();
    disk.fill ("filler");
    ASSERT_TRUE (DiagnosticPrinter::waitUntilWritten (5000));
    testing::internal::CaptureStderr();

    const auto boxSays = [] (const juce::String& text) {
        return [text] {
            const auto boxes = HostTestHelpers::alertWindows();
            return boxes.size() == 1 && boxes.front()->getDescription().contains (text);
        };
    };
    window->setTopLeftPosition (201, 99);
    EXPECT_TRUE (HostTestHelpers::runMessageLoopUntil (
        boxSays ("Settings not saved. The settings could not be saved to " + prefsFile.getFullPathName()
                 + " (no space left on device): changes are not being kept"),
        20000));

    // Tried again: once there is room, it is saved, and the same box says so.
    window->setTopLeftPosition (211, 99);
    HostTestHelpers::runMessageLoopUntil ([] { return false; }, 4000);
    ASSERT_TRUE (prefsFile.getSiblingFile ("filler").deleteFile());
    EXPECT_TRUE (
        HostTestHelpers::runMessageLoopUntil (boxSays ("The settings have been saved again since"), 20000));
    EXPECT_TRUE (bytesOf (prefsFile).toString().contains ("\"211\"")) << bytesOf (prefsFile).toString();

    ASSERT_TRUE (DiagnosticPrinter::waitUntilWritten (5000));
    const juce::String printed (testing::internal::GetCapturedStderr());
    EXPECT_EQ (printed.indexOf ("could not be saved to " + prefsFile.getFullPathName()),
               printed.lastIndexOf ("could not be saved to"))
        << printed;
    EXPECT_TRUE (printed.contains ("no space left on device")) << printed;
    EXPECT_TRUE (printed.contains ("saved again to " + prefsFile.getFullPathName())) << printed;
    window.reset();
}

TEST_F (MainWindowTest, AnIncompleteOrUnsetPositionCentresTheWindow)
{
    const juce::StringArray positions { value ("windowX", "40"), value ("windowY", "40"),
                                        value ("windowX", "-100") + value ("windowY", "40"),
                                        value ("windowX", "40") + value ("windowY", "-100") };

    for (const auto& position : positions)
    {
        SCOPED_TRACE (position.toStdString());
        writePrefs (position);
        openWindow();
        EXPECT_EQ (window->getPosition(), centredPosition());
        window.reset();
    }
}

TEST_F (MainWindowTest, APositionOffEveryScreenIsCentredAndOneHalfOffIsMovedOn)
{
    for (const auto* position : { "50000", "-50000" })
    {
        SCOPED_TRACE (position);
        writePrefs (value ("windowX", position) + value ("windowY", position));
        openWindow();
        EXPECT_EQ (window->getPosition(), centredPosition());

        // What is kept is where the window was shown, not the lost position.
        const auto centre = centredPosition();
        const auto prefs = closeWindowAndReadPrefs();
        ASSERT_NE (prefs, nullptr);
        EXPECT_EQ (storedValue (*prefs, "windowX"), juce::String (centre.x));
    }

    // Its top left corner only on screen: it is moved in until its top strip is.
    const auto area = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay()->userArea;
    writePrefs (value ("windowX", juce::String (area.getRight() - 1))
                + value ("windowY", juce::String (area.getBottom() - 1)));
    openWindow();
    EXPECT_EQ (window->getPosition(),
               juce::Point<int> (area.getRight() - window->getWidth(),
                                 area.getBottom() - juce::jmin (window->getHeight(), 24)));
}

TEST_F (MainWindowTest, RestartsUnderAWindowManagerAndLoadKeepThePositionExactly)
{
    WindowManagerProcess windowManager;

    if (! windowManager.isRunning())
        GTEST_SKIP()
            << "openbox could not take over the display (not installed, or another window manager runs)";

    BusyLoops load (2);
    writePrefs (value ("windowX", "150") + value ("windowY", "120"));

    // Each start quits at another moment while the window manager frames the
    // window; a shift by the frame would add up from one start to the next.
    for (int start = 0; start < 12; ++start)
    {
        SCOPED_TRACE ("start " + std::to_string (start));
        window = std::make_unique<OVRAStandaloneFilterWindow> (
            "ZELx 5.1", juce::Colours::black, PreferencesFileLocation::open (prefsFile), testDevices());
        ZEL5_1StandExtApplication::styleMainWindow (*window);
        juce::MessageManager::getInstance()->runDispatchLoopUntil (start % 6 * 20);
        // The client area is the editor, with no margin about it.
        EXPECT_EQ (window->getContentComponent()->getBounds(), window->getLocalBounds());
        EXPECT_EQ (window->getLocalBounds(), juce::Rectangle<int> (1024, 768));

        const auto prefs = closeWindowAndReadPrefs();
        ASSERT_NE (prefs, nullptr);
        EXPECT_EQ (storedValue (*prefs, "windowX"), "150");
        EXPECT_EQ (storedValue (*prefs, "windowY"), "120");
    }
}

TEST_F (MainWindowTest, AStoredLayoutIsKeptEvenWhenItTakesNoChannel)
{
    OvrajuceLoudnessAudioProcessor source;
    source.setParameterValue (1, 2.0f);
    writePrefs (value ("filterState", stateOf (source).toBase64Encoding()));

    openWindow();
    EXPECT_EQ (window->getProcessor()->getSavedInputLayout(), ChannelLayout());
    EXPECT_EQ (window->getProcessor()->getSavedOutputLayout(), ChannelLayout());
}

TEST_F (MainWindowTest, AStoredDeviceThatIsGoneIsToldAndItsSetupKept)
{
    CapturingLogger logger;
    const juce::String setup =
        "<DEVICESETUP deviceType=\"Test\" audioOutputDeviceName=\"zelx absent device\" "
        "audioInputDeviceName=\"zelx absent device\" audioDeviceRate=\"48000\"/>";
    writePrefs ("<VALUE name=\"audioSetup\">" + setup + "</VALUE>");

    openWindow();
    EXPECT_EQ (window->getDeviceManager()->getCurrentAudioDevice(), nullptr);
    EXPECT_EQ (logger.count ("No such device: zelx absent device"), 1) << "the reason goes to the logger";

    const auto shown = closeAlertWindows();
    ASSERT_EQ (shown.size(), 1) << "one box tells that no device is open";
    EXPECT_TRUE (shown[0].startsWith ("No audio device is open. ")) << shown[0];
    EXPECT_TRUE (shown[0].contains ("\"zelx absent device\" (Test)")) << shown[0];
    EXPECT_TRUE (shown[0].contains ("No such device: zelx absent device")) << shown[0];
    EXPECT_TRUE (shown[0].contains ("AUDIO SETTINGS")) << shown[0];
    EXPECT_TRUE (window->isShowing());
    EXPECT_NE (window->getProcessor()->getActiveEditor(), nullptr);
    // A device picked later is measured on all of its first six channels.
    EXPECT_EQ (window->getProcessor()->getSavedInputLayout(), ChannelLayout::fromText ("0;1;2;3;4;5;"));
    EXPECT_TRUE (closeWindowAndCheckStoredSetup (setup));
}

TEST_F (MainWindowTest, AStoredTypeWithoutADeviceOpensItsDefaultDeviceOrSaysWhyNot)
{
    // As stored after JACK was chosen while no JACK server ran.
    const juce::String setup = "<DEVICESETUP deviceType=\"Test\" audioOutputDeviceName=\"\" "
                               "audioInputDeviceName=\"\"/>";

    for (const bool listed : { true, false })
    {
        SCOPED_TRACE (listed ? "the type lists a device" : "the type lists none");
        writePrefs ("<VALUE name=\"audioSetup\">" + setup + "</VALUE>");
        window = std::make_unique<OVRAStandaloneFilterWindow> ("ZELx 5.1", juce::Colours::black,
                                                               PreferencesFileLocation::open (prefsFile),
                                                               testDevices (listed));
        HostTestHelpers::drainMessageLoop();

        auto* device = window->getDeviceManager()->getCurrentAudioDevice();
        EXPECT_EQ (device != nullptr && device->isPlaying(), listed);
        const auto shown = closeAlertWindows();

        if (listed)
            EXPECT_TRUE (shown.isEmpty()) << shown.joinIntoString ("\n");
        else
            EXPECT_TRUE (shown.size() == 1
                         && shown[0].contains ("No audio device of the type \"Test\" was found"))
                << shown.joinIntoString ("\n");

        EXPECT_TRUE (closeWindowAndCheckStoredSetup (setup)) << "the stored setup is kept as it was";
    }
}

TEST_F (MainWindowTest, ADeviceThatStopsFromOutsideIsToldShowsNoLiveReadingAndOpensAgainWhenBack)
{
    const juce::String setup = "<DEVICESETUP deviceType=\"Test\" audioOutputDeviceName=\"Test device\" "
                               "audioInputDeviceName=\"Test device\" audioDeviceRate=\"48000\"/>";
    writePrefs ("<VALUE name=\"audioSetup\">" + setup + "</VALUE>");
    openWindow();

    auto& manager = *window->getDeviceManager();
    auto& processor = *window->getProcessor();
    auto& editor = dynamic_cast<OvrajuceLoudnessAudioProcessorEditor&> (*processor.getActiveEditor());
    auto* device = dynamic_cast<TestDeviceType::Device*> (manager.getCurrentAudioDevice());
    ASSERT_NE (device, nullptr);
    const auto inputLayout = processor.getSavedInputLayout();
    const auto storedSetup =
        manager.createStateXml()->toString (juce::XmlElement::TextFormat().withoutHeader());
    const auto isRunning = [&manager] {
        auto* current = manager.getCurrentAudioDevice();
        return current != nullptr && current->isPlaying();
    };
    const auto shows = [&editor] (juce::Label& label, const juce::String& text) {
        return HostTestHelpers::runMessageLoopUntil ([&] { return label.getText().trim() == text; });
    };

    // Readings as a measurement leaves them: 5 s, -23 integrated, -20 momentary.
    processor.displaySnapshot.momentaryLoudness = -20.0f;
    processor.displaySnapshot.programLoudness = -23.0f;
    processor.displaySnapshot.processedSamplesCounter = 5 * 48000.0;
    ASSERT_TRUE (shows (editor.momentaryValueLabel, "-20.0"));

    // The server goes, and with it the device's name from the list.
    testDevice->absent = true;
    ::testing::internal::CaptureStderr();
    device->closeFromAnotherThread();

    ASSERT_TRUE (
        HostTestHelpers::runMessageLoopUntil ([] { return HostTestHelpers::findAlertWindow() != nullptr; }));
    const auto shown = closeAlertWindows();
    ASSERT_EQ (shown.size(), 1);
    EXPECT_TRUE (shown[0].contains ("\"Test device\" (Test) has stopped")) << shown[0];
    EXPECT_TRUE (shows (editor.momentaryValueLabel, "-")) << "no reading looks live";
    EXPECT_EQ (editor.integratedValueLabel.getText().trim(), "-23.0") << "the measurement's own figures stay";
    EXPECT_EQ (editor.timecodeLabel.getText(), "00:00:05:000");
    EXPECT_FALSE (isRunning());

    testDevice->absent = false;
    EXPECT_TRUE (HostTestHelpers::runMessageLoopUntil (isRunning, 20000)) << "opened again by itself";
    EXPECT_TRUE (DiagnosticPrinter::waitUntilWritten (5000));
    const auto printed = ::testing::internal::GetCapturedStderr();
    EXPECT_NE (printed.find ("\"Test device\" (Test) has stopped"), std::string::npos) << printed;
    EXPECT_NE (printed.find ("\"Test device\" (Test) is open again"), std::string::npos) << printed;
    ASSERT_NE (manager.getCurrentAudioDevice(), nullptr);
    EXPECT_EQ (manager.getCurrentAudioDevice()->getCurrentSampleRate(), 48000.0) << "the same setup";
    EXPECT_EQ (processor.getSavedInputLayout(), inputLayout);
    EXPECT_TRUE (closeAlertWindows().isEmpty()) << "one box for one stop";
    EXPECT_TRUE (closeWindowAndCheckStoredSetup (storedSetup));
}

TEST_F (MainWindowTest, RepeatedStopsKeepOneBoxThatSaysWhenTheDeviceIsOpenAgain)
{
    writePrefs ("<VALUE name=\"audioSetup\"><DEVICESETUP deviceType=\"Test\" audioOutputDeviceName=\"Test device\" "
                "audioInputDeviceName=\"Test device\"/></VALUE>");
    openWindow();
    auto& manager = *window->getDeviceManager();
    const auto boxSays = [&manager] (bool runs, const juce::String& text) {
        return HostTestHelpers::runMessageLoopUntil (
            [&] {
                auto* device = manager.getCurrentAudioDevice();
                const auto boxes = HostTestHelpers::alertWindows();
                return (device != nullptr && device->isPlaying()) == runs && boxes.size() == 1
                       && boxes.front()->getDescription().contains (text) == runs;
            },
            20000);
    };
    constexpr int outages = 6;

    for (int i = 0; i < outages; ++i)
    {
        auto* device = dynamic_cast<TestDeviceType::Device*> (manager.getCurrentAudioDevice());
        ASSERT_NE (device, nullptr);
        testDevice->absent = true;
        device->closeFromAnotherThread();
        ASSERT_TRUE (boxSays (false, "open again")) << "stop " << i + 1;
        EXPECT_FALSE (window->isCurrentlyBlockedByAnotherModalComponent()) << "the meter takes clicks";

        testDevice->absent = false;
        ASSERT_TRUE (boxSays (true, "The audio device has been open again since ")) << "stop " << i + 1;
    }

    const auto shown = closeAlertWindows();
    ASSERT_EQ (shown.size(), 1);
    EXPECT_TRUE (shown[0].startsWith ("Audio device open again. The audio device has been open again since "))
        << shown[0];
    EXPECT_TRUE (shown[0].contains ("\n\nThe audio device \"Test device\" (Test) has stopped")) << shown[0];
    EXPECT_TRUE (shown[0].contains ("Happened " + juce::String (outages) + " times, the last at ")) << shown[0];
}

// Under a window manager the box of a stop neither takes the keyboard from
// the field the user types in, when it comes nor when it says that the device
// is open again, nor goes under the window when that is clicked.
TEST_F (MainWindowTest, TheBoxOfAStopLeavesTheKeyboardToTheWindowAndStaysAboveIt)
{
    WindowManagerProcess windowManager;

    if (! windowManager.isRunning())
        GTEST_SKIP() << "openbox could not take over the display";

    writePrefs (
        "<VALUE name=\"audioSetup\"><DEVICESETUP deviceType=\"Test\" audioOutputDeviceName=\"Test device\" "
        "audioInputDeviceName=\"Test device\"/></VALUE>");
    openWindow();
    auto& manager = *window->getDeviceManager();
    auto& editor =
        dynamic_cast<OvrajuceLoudnessAudioProcessorEditor&> (*window->getProcessor()->getActiveEditor());

    // A user's click, through the window manager, until what it does shows.
    const auto click = [&] (juce::Component& target, const std::function<bool()>& done) {
        auto& top = *target.getTopLevelComponent();
        const auto at = top.getLocalArea (&target, target.getLocalBounds()).getCentre();
        const auto topWindow = (juce::pointer_sized_int) top.getPeer()->getNativeHandle();
        const juce::StringArray command {
            "xdotool",           "mousemove",         "--window", juce::String (topWindow),
            juce::String (at.x), juce::String (at.y), "click",    "1"
        };
        return HostTestHelpers::runMessageLoopUntil (
            [&] {
                juce::ChildProcess xdotool;
                return xdotool.start (command) && xdotool.waitForProcessToFinish (10000)
                       && HostTestHelpers::runMessageLoopUntil (done, 2000);
            },
            20000);
    };
    const auto settingsShown = [&editor] { return editor.settingsPanel.isVisible(); };
    const auto keepsTheKeyboard = [&] {
        HostTestHelpers::drainMessageLoop();
        return window->getPeer()->isFocused() && editor.portEditor.hasKeyboardFocus (false);
    };
    const auto boxSays = [&] (const juce::String& text) {
        return HostTestHelpers::runMessageLoopUntil (
            [&] {
                auto* box = HostTestHelpers::findAlertWindow();
                return box != nullptr && box->getDescription().startsWith (text)
                       && WindowStacking::isAbove (*box, *window);
            },
            20000);
    };

    editor.settingsButton.triggerClick();
    ASSERT_TRUE (HostTestHelpers::runMessageLoopUntil (settingsShown));
    ASSERT_TRUE (click (editor.portEditor, keepsTheKeyboard));

    auto* device = dynamic_cast<TestDeviceType::Device*> (manager.getCurrentAudioDevice());
    ASSERT_NE (device, nullptr);
    testDevice->absent = true;
    device->closeFromAnotherThread();
    ASSERT_TRUE (boxSays ("Audio device stopped. "));
    EXPECT_TRUE (keepsTheKeyboard()) << "after the stop";

    testDevice->absent = false;
    ASSERT_TRUE (boxSays ("Audio device open again. The audio device has been open again since "));
    EXPECT_TRUE (keepsTheKeyboard()) << "after the reopen";

    // A click on METER (a click that may come twice): the window manager raises the window.
    ASSERT_TRUE (click (editor.metersButton, [&] { return ! settingsShown(); }));
    auto* box = HostTestHelpers::findAlertWindow();
    ASSERT_NE (box, nullptr);
    EXPECT_TRUE (WindowStacking::isAbove (*box, *window));

    // Its OK, which takes the keys while it is clicked, gives them back.
    editor.settingsButton.triggerClick();
    ASSERT_TRUE (HostTestHelpers::runMessageLoopUntil (settingsShown));
    ASSERT_TRUE (click (editor.portEditor, keepsTheKeyboard));
    juce::Component* ok = nullptr;

    for (auto* child : box->getChildren())
        if (dynamic_cast<juce::Button*> (child) != nullptr)
            ok = child;

    ASSERT_NE (ok, nullptr);
    ASSERT_TRUE (click (*ok, [] { return HostTestHelpers::alertWindows().empty(); }));
    EXPECT_TRUE (keepsTheKeyboard()) << "after OK";
}

TEST_F (MainWindowTest, StopsThatTheProgramAsksForGiveNoStopBox)
{
    using Setup = juce::AudioDeviceManager::AudioDeviceSetup;
    const std::pair<const char*, std::function<void (Setup&)>> changes[] = {
        { "another block size", [] (Setup& s) { s.bufferSize = 256; } },
        { "a rate the device refuses",
          [this] (Setup& s) {
              testDevice->refusedRates.insert (48000);
              s.sampleRate = 48000.0;
          } },
        { "no device", [] (Setup& s) { s.inputDeviceName = s.outputDeviceName = {}; } },
    };

    for (const auto& [name, change] : changes)
    {
        openWindow();
        auto& manager = *window->getDeviceManager();
        auto setup = manager.getAudioDeviceSetup();
        change (setup);
        manager.setAudioDeviceSetup (setup, true);
        HostTestHelpers::drainMessageLoop();
        EXPECT_TRUE (closeAlertWindows().isEmpty()) << name;
        window.reset();
    }
}

TEST_F (MainWindowTest, KeyboardCommandsAreRegisteredOnceTheLoopRunsAndActOnTheWindow)
{
    writePrefs (value ("windowX", "60") + value ("windowY", "70"));
    openWindow();

    auto& commands = CommandsListener::getGlobalCommandManager();
    ASSERT_TRUE (HostTestHelpers::runMessageLoopUntil (
        [&] { return commands.getCommandForID (CommandsListener::kioskModeCommand) != nullptr; }));

    auto* mappings = commands.getKeyMappings();
    const juce::KeyPress r ('r', juce::ModifierKeys::noModifiers, 0);
    const juce::KeyPress ctrlF ('f', juce::ModifierKeys::ctrlModifier, 0);
    EXPECT_EQ (mappings->findCommandForKeyPress (r),
               (juce::CommandID) CommandsListener::toggleRepaintDisplayCommand);
    EXPECT_EQ (mappings->findCommandForKeyPress (ctrlF),
               (juce::CommandID) CommandsListener::kioskModeCommand);

    // Keys reach the commands through the window's key listener, as in the running program.
    commands.setFirstCommandTarget (window->getCommandsListener());
    const bool flagBefore = CommandsListener::isRepaintDisplayOn();
    EXPECT_TRUE (mappings->keyPressed (r, window.get()));
    EXPECT_NE (CommandsListener::isRepaintDisplayOn(), flagBefore);
    EXPECT_TRUE (mappings->keyPressed (r, window.get()));
    EXPECT_EQ (CommandsListener::isRepaintDisplayOn(), flagBefore);

    const auto before = window->getBounds();
    EXPECT_TRUE (mappings->keyPressed (ctrlF, window.get()));
    EXPECT_EQ (juce::Desktop::getInstance().getKioskModeComponent(), window.get());
    const auto screen = juce::Desktop::getInstance().getDisplays().getDisplayForRect (before)->totalArea;
    EXPECT_EQ (window->getBounds(), screen);

    juce::ApplicationCommandInfo info (CommandsListener::kioskModeCommand);
    window->getCommandsListener()->getCommandInfo (CommandsListener::kioskModeCommand, info);
    EXPECT_TRUE ((info.flags & juce::ApplicationCommandInfo::isTicked) != 0);

    EXPECT_TRUE (mappings->keyPressed (ctrlF, window.get()));
    EXPECT_EQ (juce::Desktop::getInstance().getKioskModeComponent(), nullptr);
    EXPECT_EQ (window->getBounds(), before);

    // Quitting from kiosk mode stores the position the user chose, not the screen's corner.
    EXPECT_TRUE (mappings->keyPressed (ctrlF, window.get()));
    commands.setFirstCommandTarget (nullptr);
    const auto prefs = closeWindowAndReadPrefs();
    EXPECT_EQ (juce::Desktop::getInstance().getKioskModeComponent(), nullptr);
    ASSERT_NE (prefs, nullptr);
    EXPECT_EQ (storedValue (*prefs, "windowX"), juce::String (before.getX()));
    EXPECT_EQ (storedValue (*prefs, "windowY"), juce::String (before.getY()));

    // The window took its command manager down with it.
    EXPECT_EQ (
        CommandsListener::getGlobalCommandManager().getCommandForID (CommandsListener::kioskModeCommand),
        nullptr);
    CommandsListener::deleteGlobalCommandManager();
}

TEST_F (MainWindowTest, TheAudioSettingsDialogShowsTheDeviceSelectorModallyAndEscapeClosesIt)
{
    writePrefs (
        "<VALUE name=\"audioSetup\"><DEVICESETUP deviceType=\"ALSA\" audioOutputDeviceName=\"zelx absent "
        "device\" audioInputDeviceName=\"zelx absent device\"/></VALUE>");
    openWindow();
    EXPECT_EQ (closeAlertWindows().size(), 1) << "the box telling that no device is open";
    // As the player leaves it after opening a device with no inputs.
    window->getProcessor()->setPlayConfigDetails (0, 6, 44100.0, 512);
    window->showAudioSettingsDialog();

    juce::DialogWindow* dialog = nullptr;
    ASSERT_TRUE (HostTestHelpers::runMessageLoopUntil ([&] {
        for (int i = 0; i < juce::TopLevelWindow::getNumTopLevelWindows(); ++i)
            if (auto* d = dynamic_cast<juce::DialogWindow*> (juce::TopLevelWindow::getTopLevelWindow (i)))
                dialog = d;

        return dialog != nullptr && dialog->isShowing();
    }));
    EXPECT_EQ (dialog->getName(), "Audio Settings");
    EXPECT_TRUE (dialog->isCurrentlyModal());
    EXPECT_TRUE (dialog->isUsingNativeTitleBar());
    EXPECT_FALSE (dialog->isResizable());
    auto* selector = dynamic_cast<OVRAAudioDeviceSelectorComponent*> (dialog->getContentComponent());
    ASSERT_NE (selector, nullptr);
    EXPECT_EQ (selector->getBounds().getWidth(), 615);
    EXPECT_EQ (selector->getBounds().getHeight(), 610);
    EXPECT_NE (selector->getSettingsPanel()->getInputDeviceBox(), nullptr) << "inputs can be chosen again";

    ASSERT_NE (dialog->getPeer(), nullptr);
    dialog->getPeer()->handleKeyPress (juce::KeyPress (juce::KeyPress::escapeKey));
    EXPECT_TRUE (HostTestHelpers::runMessageLoopUntil (
        [] { return juce::ModalComponentManager::getInstance()->getNumModalComponents() == 0; }));

    // Open when the window goes: the dialog goes with it, before the device manager it works on.
    window->showAudioSettingsDialog();
    HostTestHelpers::drainMessageLoop();
    window.reset();
    HostTestHelpers::drainMessageLoop();
    EXPECT_EQ (juce::TopLevelWindow::getNumTopLevelWindows(), 0);
}

//==============================================================================
TEST_F (MainWindowTest, WhileInKioskModeTheFileKeepsThePositionTheUserChose)
{
    writePrefs (value ("windowX", "60") + value ("windowY", "70"));
    openWindow();
    auto& desktop = juce::Desktop::getInstance();
    desktop.setKioskModeComponent (window.get());
    ASSERT_NE (window->getPosition(), juce::Point<int> (60, 70));

    // A change saved meanwhile; the file is then as a kill or a power cut would leave it.
    auto& processor = *window->getProcessor();
    processor.setParameterValue (1, 2.0f);
    const auto state = stateOf (processor).toBase64Encoding();
    std::unique_ptr<juce::XmlElement> prefs;
    EXPECT_TRUE (HostTestHelpers::runMessageLoopUntil (
        [&] {
            return (prefs = juce::parseXML (prefsFile)) != nullptr
                   && storedValue (*prefs, "filterState") == state;
        },
        15000));
    desktop.setKioskModeComponent (nullptr);
    ASSERT_NE (prefs, nullptr);
    EXPECT_EQ (storedValue (*prefs, "windowX"), "60");
    EXPECT_EQ (storedValue (*prefs, "windowY"), "70");
}
