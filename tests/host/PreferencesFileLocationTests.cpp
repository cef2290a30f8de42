#include "PreferencesFileLocation.h"

#include "OrdinaryUser.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <vector>

namespace
{
struct TempFolder
{
    juce::File root = juce::File::createTempFile ("zelx-prefs-test");
    TempFolder() { root.createDirectory(); }
    ~TempFolder() { root.deleteRecursively(); }
};
} // namespace

TEST (PreferencesFileLocation, FirstStartCreatesTheFolderAndAnEmptyFileInTheCommonFolder)
{
    TempFolder temp;
    const auto common = temp.root.getChildFile ("common");
    const auto user = temp.root.getChildFile ("user");
    common.createDirectory();

    const auto file = PreferencesFileLocation::findOrCreateFile (common, user);

    EXPECT_EQ (file, common.getChildFile ("Tamvo").getChildFile ("ZELX51.prefs"));
    EXPECT_TRUE (file.existsAsFile());
    EXPECT_EQ (file.getSize(), 0);
    EXPECT_FALSE (user.exists()) << "nothing may be made in the user's folder while the common one works";

    // A second start keeps the file as it is.
    file.replaceWithText ("<PROPERTIES/>");
    EXPECT_EQ (PreferencesFileLocation::findOrCreateFile (common, user), file);
    EXPECT_EQ (file.loadFileAsString(), "<PROPERTIES/>");
}

TEST (PreferencesFileLocation, FallsBackToTheUserFolderWhereTheCommonOneCannotHoldTheFile)
{
    TempFolder temp;
    // A plain file where the common folder should be: nothing can be created
    // below it, whoever runs the test.
    const auto common = temp.root.getChildFile ("common");
    common.replaceWithText ("not a folder");
    const auto user = temp.root.getChildFile ("user");
    juce::StringArray problems;

    const auto file = PreferencesFileLocation::findOrCreateFile (common, user, &problems);

    EXPECT_EQ (file, user.getChildFile ("Tamvo").getChildFile ("ZELX51.prefs"));
    EXPECT_TRUE (problems.isEmpty()) << problems.joinIntoString ("\n");
    EXPECT_TRUE (file.existsAsFile());
    EXPECT_EQ (file.getSize(), 0);
    EXPECT_EQ (PreferencesFileLocation::getCompanyDataFolder (user), file.getParentDirectory());

    // Neither can be created: the common file is named, and that nothing will be kept is told.
    const auto blockedUser = temp.root.getChildFile ("blocked");
    blockedUser.replaceWithText ("not a folder either");
    const auto nowhere = PreferencesFileLocation::findOrCreateFile (common, blockedUser, &problems);
    EXPECT_EQ (nowhere, common.getChildFile ("Tamvo").getChildFile ("ZELX51.prefs"));
    EXPECT_FALSE (nowhere.exists());
    EXPECT_EQ (problems.size(), 1);
}

TEST (PreferencesFileLocation, ValuesSurviveAReopenAndKeysIgnoreLetterCase)
{
    TempFolder temp;
    const auto file = PreferencesFileLocation::findOrCreateFile (temp.root, temp.root.getChildFile ("user"));

    {
        auto prefs = PreferencesFileLocation::open (file);
        ASSERT_NE (prefs, nullptr);
        EXPECT_TRUE (prefs->getAllProperties().getAllKeys().isEmpty());
        prefs->setValue ("windowX", 321);
        const auto setup = juce::parseXML ("<DEVICESETUP deviceType=\"JACK\" audioDeviceRate=\"48000\"/>");
        prefs->setValue ("audioSetup", setup.get());
    }

    // The framework's XML properties format, the device setup as a child element.
    const auto doc = juce::parseXML (file);
    ASSERT_NE (doc, nullptr);
    EXPECT_TRUE (doc->hasTagName ("PROPERTIES"));
    auto* setupValue = doc->getChildByAttribute ("name", "audioSetup");
    ASSERT_NE (setupValue, nullptr);
    ASSERT_NE (setupValue->getChildByName ("DEVICESETUP"), nullptr);
    EXPECT_EQ (setupValue->getChildByName ("DEVICESETUP")->getStringAttribute ("deviceType"), "JACK");

    auto prefs = PreferencesFileLocation::open (file);
    EXPECT_EQ (prefs->getIntValue ("WINDOWX", -100), 321);
    EXPECT_EQ (prefs->getIntValue ("windowx", -100), 321);
    const auto setup = prefs->getXmlValue ("AudioSetup");
    ASSERT_NE (setup, nullptr);
    EXPECT_EQ (setup->getDoubleAttribute ("audioDeviceRate"), 48000.0);
}

TEST (PreferencesFileLocation, UnreadableContentGivesNoValuesAndNoFailure)
{
    TempFolder temp;
    const auto file = temp.root.getChildFile ("ZELX51.prefs");

    const std::vector<std::string> contents { "", "<PROPERTIES><VALUE name=\"windowX\" val=\"12\"",
                                              "<svg><VALUE name=\"windowX\" val=\"12\"/></svg>",
                                              "\x01\x02\xff garbage \xfe" };

    for (const auto& content : contents)
    {
        // An empty string would delete the file; an empty file is wanted.
        ASSERT_TRUE (file.deleteFile() && file.create());
        ASSERT_TRUE (content.empty() || file.replaceWithData (content.data(), content.size()));
        auto prefs = PreferencesFileLocation::open (file);
        ASSERT_NE (prefs, nullptr);
        EXPECT_FALSE (prefs->containsKey ("windowX")) << content;
        EXPECT_EQ (prefs->getIntValue ("windowX", -100), -100) << content;
    }
}

TEST (PreferencesFileLocation, EachUnreadableFileIsKeptUnderANameOfItsOwn)
{
    TempFolder temp;
    const auto file = temp.root.getChildFile ("ZELX51.prefs");
    const juce::StringArray contents { "first", "second", "third" };
    std::vector<juce::File> kept;

    for (const auto& content : contents)
    {
        ASSERT_TRUE (file.replaceWithText (content));
        juce::StringArray problems;
        PreferencesFileLocation::open (file, &problems);
        ASSERT_EQ (problems.size(), 1);
        kept.emplace_back (problems[0].fromLastOccurrenceOf (" moved to ", false, false));
        EXPECT_EQ (kept.back().getParentDirectory(), temp.root);
        EXPECT_TRUE (kept.back().getFileName().startsWith ("ZELX51.prefs")) << kept.back().getFullPathName();
        EXPECT_TRUE (kept.back().hasFileExtension (".unreadable")) << kept.back().getFullPathName();
    }

    EXPECT_EQ (kept[0], file.getSiblingFile ("ZELX51.prefs.unreadable"));

    for (size_t i = 0; i < kept.size(); ++i)
        EXPECT_EQ (kept[i].loadFileAsString(), contents[(int) i]) << kept[i].getFullPathName();
}

TEST (PreferencesFileLocation, FilesAndFoldersAUserMayNotOpenAreToldWithTheSystemsReasonAndLeftAsTheyAre)
{
    // Modes given, in this order, to the common file, its folder, the user's
    // application-data folder, the user's folder "Tamvo" and file in it; -1: not made.
    struct Case
    {
        const char* name;
        std::vector<int> modes;
        bool userFileUsed, kept;
    };

    const std::vector<Case> cases {
        { "neither can be opened", { 0, 0555, 0555, -1, -1 }, false, false },
        { "a write-only common file", { 0200, 0755, 0755, 0755, 0 }, false, false },
        { "a common folder that cannot be entered", { 0644, 0, 0755, -1, -1 }, true, true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        TempFolder temp;
        OrdinaryUser ordinary (temp.root);
        ASSERT_TRUE (ordinary.isOrdinary());

        const auto commonRoot = temp.root.getChildFile ("common");
        const auto userRoot = temp.root.getChildFile ("user");
        const auto commonFile =
            PreferencesFileLocation::getCompanyDataFolder (commonRoot).getChildFile ("ZELX51.prefs");
        const auto userFile =
            PreferencesFileLocation::getCompanyDataFolder (userRoot).getChildFile ("ZELX51.prefs");
        const std::vector<juce::File> paths { commonFile, commonFile.getParentDirectory(), userRoot,
                                              userFile.getParentDirectory(), userFile };
        const juce::String valid = "<PROPERTIES><VALUE name=\"windowX\" val=\"137\"/></PROPERTIES>";
        ASSERT_TRUE (commonFile.create() && commonFile.replaceWithText (valid) && userRoot.createDirectory());
        ASSERT_TRUE (c.modes[4] < 0 || (userFile.create() && userFile.replaceWithText (valid)));

        for (size_t i = 0; i < paths.size(); ++i)
            if (c.modes[i] >= 0)
                chmod (paths[i].getFullPathName().toRawUTF8(), (mode_t) c.modes[i]);

        juce::StringArray problems;
        const auto file = PreferencesFileLocation::findOrCreateFile (commonRoot, userRoot, &problems);
        auto prefs = PreferencesFileLocation::open (file, &problems);
        prefs->setValue ("windowX", 201);
        prefs->save();
        prefs.reset();

        // Backwards, so that a folder can be entered again before its file is changed.
        for (auto i = paths.size(); i-- > 0;)
            chmod (paths[i].getFullPathName().toRawUTF8(), paths[i].isDirectory() ? 0755 : 0644);

        const auto told = problems.joinIntoString ("\n");
        EXPECT_EQ (file, c.userFileUsed ? userFile : commonFile);
        EXPECT_TRUE (told.contains (commonFile.getFullPathName() + " cannot be read (permission denied)"))
            << told;
        EXPECT_FALSE (told.contains ("not a preferences file")) << told;
        EXPECT_EQ (told.contains ("will not be kept"), ! c.kept) << told;
        EXPECT_EQ (commonFile.loadFileAsString(), valid);
        EXPECT_EQ (userFile.loadFileAsString().contains ("\"201\""), c.kept) << userFile.loadFileAsString();
        EXPECT_TRUE (temp.root.findChildFiles (juce::File::findFiles, true, "*.unreadable").isEmpty());
    }
}

TEST (PreferencesFileLocation, ANamedPipeAtThePathIsToldAsNoPreferencesFileWithoutBlockingTheStart)
{
    TempFolder temp;
    const auto file = PreferencesFileLocation::getCompanyDataFolder (temp.root).getChildFile ("ZELX51.prefs");
    ASSERT_TRUE (file.getParentDirectory().createDirectory());
    ASSERT_EQ (mkfifo (file.getFullPathName().toRawUTF8(), 0644), 0);
    juce::StringArray problems;

    // Opened for reading, it would wait for a writer for ever.
    const auto found =
        PreferencesFileLocation::findOrCreateFile (temp.root, temp.root.getChildFile ("user"), &problems);
    auto prefs = PreferencesFileLocation::open (found, &problems);

    EXPECT_EQ (found, file);
    ASSERT_EQ (problems.size(), 1) << problems.joinIntoString ("\n");
    EXPECT_TRUE (problems[0].contains ("cannot be read (it is not a preferences file)")) << problems[0];
    EXPECT_TRUE (file.existsAsFile() && file.getSize() == 0);
    struct stat info = {};
    EXPECT_EQ (::stat (file.getSiblingFile ("ZELX51.prefs.unreadable").getFullPathName().toRawUTF8(), &info),
               0);
    EXPECT_TRUE (S_ISFIFO (info.st_mode));
}

TEST (PreferencesFileLocation, AFileItsFolderWillNotLetBeReplacedIsToldAsNotKept)
{
    TempFolder temp;
    OrdinaryUser ordinary (temp.root);
    ASSERT_TRUE (ordinary.isOrdinary());
    const auto folder = temp.root.getChildFile ("Tamvo");
    const auto file = folder.getChildFile ("ZELX51.prefs");
    const juce::String valid = "<PROPERTIES><VALUE name=\"windowX\" val=\"137\"/></PROPERTIES>";
    ASSERT_TRUE (folder.createDirectory() && file.replaceWithText (valid));
    chmod (file.getFullPathName().toRawUTF8(), 0666);
    chmod (folder.getFullPathName().toRawUTF8(), 0555);

    juce::StringArray problems;
    auto prefs = PreferencesFileLocation::open (file, &problems);
    EXPECT_EQ (prefs->getIntValue ("windowX"), 137);
    prefs->setValue ("windowX", 201);
    prefs.reset();
    chmod (folder.getFullPathName().toRawUTF8(), 0755);

    ASSERT_EQ (problems.size(), 1) << problems.joinIntoString ("\n");
    EXPECT_TRUE (problems[0].contains ("not replaced in " + folder.getFullPathName())) << problems[0];
    EXPECT_TRUE (problems[0].endsWith ("changes made now will not be kept")) << problems[0];
    EXPECT_EQ (file.loadFileAsString(), valid);
}

TEST (PreferencesFileLocation, TemporaryFilesOfASaveCutShortAreRemovedAtStartAndNoOthers)
{
    TempFolder temp;
    const auto file = temp.root.getChildFile ("ZELX51.prefs");
    const juce::StringArray ours { "ZELX51_temp5f3e2a1b.prefs", "ZELX51_tempffffff9c.prefs" };
    const juce::StringArray others { "ZELX51.prefs.unreadable", "OTHER_temp5f3e2a1b.prefs",
                                     "ZELX51_temp1.txt" };

    for (const auto* names : { &ours, &others })
        for (const auto& name : *names)
            ASSERT_TRUE (temp.root.getChildFile (name).replaceWithText ("<PROPERTIES/>"));

    ASSERT_TRUE (file.replaceWithText ("<PROPERTIES/>"));
    PreferencesFileLocation::open (file);

    for (const auto& name : ours)
        EXPECT_FALSE (temp.root.getChildFile (name).exists()) << name;

    for (const auto& name : others)
        EXPECT_TRUE (temp.root.getChildFile (name).exists()) << name;
}
