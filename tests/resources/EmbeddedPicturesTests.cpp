#include "Artwork.h"

#include <BinaryData.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace
{
juce::Image embeddedPicture (const juce::String& name)
{
    int size = 0;
    const auto* data = BinaryData::getNamedResource ((name + "_png").toRawUTF8(), size);
    return data == nullptr ? juce::Image() : juce::ImageCache::getFromMemory (data, size);
}

ArtworkStyle embeddedStyle()
{
    ArtworkStyle style;
    style.lato =
        juce::Typeface::createSystemTypefaceFor (BinaryData::LatoReg_ttf, BinaryData::LatoReg_ttfSize);
    return style;
}

/** What a drawing gives once it has been through a PNG file, as the embedded one has. */
juce::Image throughPng (const juce::Image& image)
{
    juce::MemoryOutputStream out;
    juce::PNGImageFormat().writeImageToStream (image, out);
    return juce::PNGImageFormat::loadFrom (out.getData(), out.getDataSize());
}

bool samePixels (const juce::Image& a, const juce::Image& b)
{
    if (a.getBounds() != b.getBounds())
        return false;
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (a.getPixelAt (x, y).getARGB() != b.getPixelAt (x, y).getARGB())
                return false;
    return true;
}
} // namespace

TEST (EmbeddedPictures, EveryDrawnPictureIsEmbeddedAtItsSizeAndNothingElseIs)
{
    std::set<juce::String> drawn;
    for (const auto& picture : makeAllPictures())
    {
        drawn.insert (picture.name + "_png");
        const auto image = embeddedPicture (picture.name);
        ASSERT_TRUE (image.isValid()) << picture.name;
        EXPECT_EQ (image.getWidth(), picture.width) << picture.name;
        EXPECT_EQ (image.getHeight(), picture.height) << picture.name;
    }
    for (int i = 0; i < BinaryData::namedResourceListSize; ++i)
    {
        const juce::String resource (BinaryData::namedResourceList[i]);
        if (resource != "LatoReg_ttf")
        {
            EXPECT_EQ (drawn.count (resource), 1u) << resource << " is embedded but no code draws it";
        }
    }
}

TEST (EmbeddedPictures, EmbeddedPixelsAreWhatTheDrawingCodeDrawsNow)
{
    const auto style = embeddedStyle();
    ASSERT_NE (style.lato, nullptr);
    for (const auto& picture : makeAllPictures())
        EXPECT_TRUE (samePixels (embeddedPicture (picture.name), throughPng (renderPicture (picture, style))))
            << picture.name << ".png differs from its drawing: run zelx_artwork and commit the pictures";
}

TEST (EmbeddedPictures, EveryControlHasEachStateItShows)
{
    // Control -> the pictures of its states (normal, over, down, on, disabled),
    // a state without a picture left out; several controls share pictures.
    const std::map<std::string, std::vector<const char*>> states = {
        { "startButton", { "bStart", "bStartOver", "bStartOn" } },
        { "resetButton", { "bReset", "bResetOver" } },
        { "settingsButton", { "bSettings", "bSettingsOver", "bSettingsOn" } },
        { "reportsButton", { "bReports", "bReportsOver", "bReportsOn" } },
        { "metersButton", { "bMeters", "bMetersOver", "bMetersOn" } },
        { "deviceButton", { "bDevice", "bDeviceOver", "bDeviceOn" } },
        { "lockButton", { "bLock", "bUnlock" } },
        { "ebuButton", { "bEbu", "bEbuOn" } },
        { "atscButton", { "bAtsc", "bAtscOn" } },
        { "aribButton", { "bArib", "bAribOn" } },
        { "scaleButtonA", { "bScale9", "bScale9On" } },
        { "scaleButtonB", { "bScale18", "bScale18On" } },
        { "lufsButton", { "bLufs", "bLufsOn", "bLkfs", "bLkfsOn" } },
        { "luButton", { "bLu", "bLuOn" } },
        { "refLevelButtonA", { "bRef18", "bRef18On" } },
        { "refLevelButtonB", { "bRef20", "bRef20On" } },
        { "gatingButton", { "bGating", "bGatingOver", "bGatingOn", "bGatingOverOn" } },
        { "connectButton", { "bConnect", "bConnectOver", "bConnectOn", "bConnectOverOn" } },
        { "passwordButton", { "bSave", "bSaveOver" } },
        { "fiveOneButton", { "b5_1", "b5_1On", "b5_1Disabled" } },
        { "stereoButton", { "bStereo", "bStereoOn", "bStereoDisabled" } },
        { "lamps", { "bLamp", "bLampOn" } },
        { "soundFieldSourceSwitch",
          { "bSourceSwitch", "bSourceSwitchOver", "bSourceSwitchOn", "bSourceSwitchOverOn" } },
        { "browseButton", { "bBrowse", "bBrowseDown" } },
        { "nameButton", { "bLogName", "bLogNameDown" } },
        { "resolution and series toggles", { "bReportSwitch", "bReportSwitchOn" } },
        { "boxes and logo", { "readoutBox", "momentaryBox", "truePeakBox", "logo" } },
    };
    for (const auto& [control, names] : states)
        for (const auto* name : names)
            EXPECT_TRUE (embeddedPicture (name).isValid()) << control << " has no picture " << name;
}

TEST (EmbeddedPictures, LatoRegularIsTheOnlyEmbeddedTypeface)
{
    const auto lato = embeddedStyle().lato;
    ASSERT_NE (lato, nullptr);
    EXPECT_EQ (lato->getName(), "Lato");
    EXPECT_EQ (lato->getStyle(), "Regular");
    for (int i = 0; i < BinaryData::namedResourceListSize; ++i)
    {
        const juce::String resource (BinaryData::namedResourceList[i]);
        EXPECT_TRUE (resource == "LatoReg_ttf" || resource.endsWith ("_png")) << resource;
    }
}
