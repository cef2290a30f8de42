#include "ProcessorState.h"
#include "MeasurementLogControl.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace
{
const char* const stateTag = "MYPLUGINSETTINGS";
constexpr uint32_t stateMagic = 0x21324356; // "VC2!" read as little-endian
constexpr int stateHeaderSize = 8;

// Whether the log folder is the default, which follows the home of whoever
// runs the meter. Earlier versions ignore it and read the folder as stored.
const char* const logFolderIsDefaultTag = "logFilePathIsDefault";

// A folder stored by an earlier version, which wrote the default of whoever
// ran it as a full path: the default of any home is still the default.
bool wasStoredAsDefault (const juce::String& logFilePath)
{
    if (MeasurementLogControl::isDefaultLogFilePath (logFilePath))
        return true;

    const auto folder = MeasurementLogControl::getLogFolder (logFilePath);
    const auto tamvo = folder.getParentDirectory();
    return folder.getFileName() == "ZELX" && tamvo.getFileName() == "Tamvo"
           && tamvo.getParentDirectory().getFileName() == ".config";
}

// Every float field is stored under its name but the run state, which a
// restored session must not take over.
bool isStoredSetting (const SettingsSnapshot::FloatField& setting) noexcept
{
    return setting.field != &SettingsSnapshot::isMeasuring;
}

// Replaces every byte that does not belong to a well-formed UTF-8 sequence by
// '?'. The framework's decoder trusts its input: an overlong or cut sequence
// makes it write past the string it allocates.
void replaceInvalidUtf8 (uint8_t* text, size_t size) noexcept
{
    size_t i = 0;

    while (i < size)
    {
        const auto lead = text[i];
        size_t length = 0;
        uint8_t low = 0x80, high = 0xbf; // allowed range of the second byte

        if (lead < 0x80)
            length = 1;
        else if (lead >= 0xc2 && lead <= 0xdf)
            length = 2;
        else if (lead >= 0xe0 && lead <= 0xef)
        {
            length = 3;
            low = lead == 0xe0 ? 0xa0 : 0x80;
            high = lead == 0xed ? 0x9f : 0xbf;
        }
        else if (lead >= 0xf0 && lead <= 0xf4)
        {
            length = 4;
            low = lead == 0xf0 ? 0x90 : 0x80;
            high = lead == 0xf4 ? 0x8f : 0xbf;
        }

        bool valid = length > 0 && i + length <= size;

        for (size_t k = 1; valid && k < length; ++k)
        {
            const auto byte = text[i + k];
            valid = k == 1 ? (byte >= low && byte <= high) : (byte >= 0x80 && byte <= 0xbf);
        }

        if (valid)
        {
            i += length;
        }
        else
        {
            text[i] = '?';
            ++i;
        }
    }
}

// The outer element of a stored state. Only the outer element is parsed: the
// state has no children, and a corrupt block must not drive the parser into
// deep recursion.
std::unique_ptr<juce::XmlElement> unwrapState (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= stateHeaderSize
        || juce::ByteOrder::littleEndianInt (data) != stateMagic)
        return {};

    const auto storedLength = juce::ByteOrder::littleEndianInt (juce::addBytesToPointer (data, 4));

    if (storedLength == 0)
        return {};

    const auto textLength =
        (size_t) juce::jmin ((int64_t) storedLength, (int64_t) sizeInBytes - stateHeaderSize);

    // A private zero-terminated copy: the text ends at the first zero byte and
    // is made valid UTF-8, so that decoding stays inside it.
    juce::MemoryBlock text (textLength + 1, true);
    text.copyFrom (juce::addBytesToPointer (data, stateHeaderSize), 0, textLength);
    auto* bytes = static_cast<uint8_t*> (text.getData());
    replaceInvalidUtf8 (bytes, std::strlen (reinterpret_cast<const char*> (bytes)));

    juce::XmlDocument document (
        juce::String (juce::CharPointer_UTF8 (static_cast<const char*> (text.getData()))));
    return document.getDocumentElement (true);
}
} // namespace

//==============================================================================
void ProcessorState::write (const SettingsSnapshot& settings, const ChannelLayout& savedInputs,
                            const ChannelLayout& savedOutputs, juce::MemoryBlock& destination)
{
    juce::XmlElement xml (stateTag);

    for (const auto& setting : SettingsSnapshot::floatFields)
        if (isStoredSetting (setting))
            xml.setAttribute (setting.name, (double) (settings.*setting.field).get());

    xml.setAttribute ("settingsInputLayout", savedInputs.toText());
    xml.setAttribute ("settingsOutputLayout", savedOutputs.toText());
    xml.setAttribute ("logFilePath", settings.logFilePath);
    xml.setAttribute ("logFileName", settings.logFileName);
    xml.setAttribute (logFolderIsDefaultTag,
                      MeasurementLogControl::isDefaultLogFilePath (settings.logFilePath));

    const auto text = xml.toString (juce::XmlElement::TextFormat().singleLine().withoutHeader());
    const auto numBytes = text.getNumBytesAsUTF8();

    destination.reset();
    juce::MemoryOutputStream out (destination, false);
    out.writeInt ((int) stateMagic);
    out.writeInt ((int) numBytes);
    out.write (text.toRawUTF8(), numBytes);
    out.writeByte (0);
}

ProcessorState::Outcome ProcessorState::read (const void* data, int sizeInBytes, SettingsSnapshot& settings,
                                              ChannelLayout& savedInputs, ChannelLayout& savedOutputs)
{
    const auto xml = unwrapState (data, sizeInBytes);

    if (xml == nullptr)
        return Outcome::unreadable;

    if (! xml->getTagName().equalsIgnoreCase (stateTag))
        return Outcome::foreign;

    for (const auto& setting : SettingsSnapshot::floatFields)
    {
        if (! isStoredSetting (setting))
            continue;

        auto& field = settings.*setting.field;
        const double stored = xml->getDoubleAttribute (setting.name, (double) field.get());

        if (std::isfinite (stored) && std::abs (stored) <= (double) std::numeric_limits<float>::max())
            field = (float) stored;
    }

    savedInputs = ChannelLayout::fromText (xml->getStringAttribute ("settingsInputLayout"));
    savedOutputs = ChannelLayout::fromText (xml->getStringAttribute ("settingsOutputLayout"));
    if (xml->hasAttribute ("logFilePath"))
    {
        const auto logFilePath = xml->getStringAttribute ("logFilePath");
        const bool isDefault = xml->hasAttribute (logFolderIsDefaultTag)
                                   ? xml->getBoolAttribute (logFolderIsDefaultTag)
                                   : wasStoredAsDefault (logFilePath);
        settings.logFilePath = isDefault ? MeasurementLogControl::getDefaultLogFilePath() : logFilePath;
    }

    settings.logFileName = xml->getStringAttribute ("logFileName", settings.logFileName);
    return Outcome::restored;
}
