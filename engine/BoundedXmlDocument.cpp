#include "BoundedXmlDocument.h"

#include <cstring>
#include <limits>

// The walk reads the UTF-8 bytes: every character that shapes the document is
// ASCII, and the parser sees each ASCII byte as a character of its own. Where
// the parser would take a character the walk does not know (a name or white
// space outside ASCII), the walk refuses, since the parser would read on in a
// way the walk no longer follows.
namespace
{
bool isSpace (char c) noexcept { return c == ' ' || (c >= 9 && c <= 13); }

bool isNameChar (char c) noexcept
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-'
           || c == ':' || c == '.';
}

bool isDigit (char c) noexcept { return c >= '0' && c <= '9'; }

bool startsWith (const char* p, const char* prefix) noexcept
{
    return std::strncmp (p, prefix, std::strlen (prefix)) == 0;
}

const char* skipSpace (const char* p) noexcept
{
    while (isSpace (*p))
        ++p;

    return p;
}

const char* skipName (const char* p) noexcept
{
    while (isNameChar (*p))
        ++p;

    return p;
}

/** Past the terminator found from p, or at the text's end when it is missing. */
const char* skipPast (const char* p, const char* terminator) noexcept
{
    const auto* found = std::strstr (p, terminator);
    return found != nullptr ? found + std::strlen (terminator) : p + std::strlen (p);
}

/** Past the white space, comments and instructions at p. */
const char* skipSpaceCommentsAndInstructions (const char* p) noexcept
{
    for (;;)
    {
        p = skipSpace (p);

        if (startsWith (p, "<!--"))
            p = skipPast (p + 4, "-->");
        else if (startsWith (p, "<?"))
            p = skipPast (p + 2, "?>");
        else
            return p;
    }
}

/** Past the entity reference at p (an '&'), or nullptr for any but the
    predefined ones and character references: the parser takes other names up
    to the next ';' wherever it is, and parses a name that starts with '<' as
    elements. */
const char* skipEntity (const char* p) noexcept
{
    ++p;

    for (const auto* name : { "amp;", "lt;", "gt;", "quot;", "apos;" })
    {
        const auto length = (int) std::strlen (name);

        if (juce::CharacterFunctions::compareIgnoreCaseUpTo (juce::CharPointer_UTF8 (p),
                                                             juce::CharPointer_ASCII (name), length)
            == 0)
            return p + length;
    }

    if (*p++ != '#')
        return nullptr;

    const bool hex = (*p == 'x' || *p == 'X');
    const auto* digits = hex ? ++p : p;

    while (hex ? juce::CharacterFunctions::getHexDigitValue ((juce::juce_wchar) (unsigned char) *p) >= 0
               : isDigit (*p))
        ++p;

    const auto numDigits = p - digits;

    if (numDigits == 0 || numDigits > (hex ? 8 : 12) || *p != ';')
        return nullptr;

    return p + 1;
}

/** Past a start tag whose name begins at p, at the text's end when the tag
    does not end, or nullptr when it is not one the walk can follow or holds
    a value longer than maxValueBytes (valueTooLong then tells so).
    selfClosing tells whether it ended with "/>". */
const char* skipStartTag (const char* p, bool& selfClosing, size_t maxValueBytes, bool& valueTooLong) noexcept
{
    selfClosing = false;

    if (*p == 0)
        return p;

    if (! isNameChar (*p))
        return nullptr;

    p = skipName (p);

    for (;;)
    {
        p = skipSpace (p);

        if (*p == 0 || *p == '>')
            return *p == 0 ? p : p + 1;

        if (p[0] == '/' && p[1] == '>')
        {
            selfClosing = true;
            return p + 2;
        }

        // Only name="value" or name='value' follows.
        if (! isNameChar (*p))
            return nullptr;

        p = skipSpace (skipName (p));

        if (*p != '=')
            return *p == 0 ? p : nullptr;

        p = skipSpace (p + 1);
        const char quote = *p;

        if (quote != '"' && quote != '\'')
            return quote == 0 ? p : nullptr;

        // The parser reads a value that does not end up to the text's end.
        const auto* value = ++p;

        while (*p != quote && *p != 0)
        {
            p = (*p == '&') ? skipEntity (p) : p + 1;

            if (p == nullptr)
                return nullptr;
        }

        if ((size_t) (p - value) > maxValueBytes)
        {
            valueTooLong = true;
            return nullptr;
        }

        if (*p == 0)
            return p;

        ++p;
    }
}
} // namespace

//==============================================================================
bool BoundedXmlDocument::isSafeToParse (const juce::String& text, int maxDepth)
{
    return check (text, maxDepth, std::numeric_limits<size_t>::max()) == Verdict::safe;
}

BoundedXmlDocument::Verdict BoundedXmlDocument::check (const juce::String& text, int maxDepth,
                                                       size_t maxValueBytes)
{
    // The parser reads a single element, and only when nothing but white
    // space, comments and instructions (the header among them) precede it.
    const char* p = skipSpaceCommentsAndInstructions (text.toRawUTF8());

    if (*p != '<')
        return Verdict::safe;

    int depth = 0;
    bool valueTooLong = false;

    do
    {
        if (*p == '&')
        {
            p = skipEntity (p);
        }
        else if (*p != '<')
        {
            ++p;
        }
        else if (startsWith (p, "<!--"))
        {
            p = skipPast (p + 4, "-->");
        }
        else if (startsWith (p, "<![CDATA["))
        {
            p = skipPast (p + 9, "]]>");
        }
        else if (p[1] == '?')
        {
            // Inside an element the parser loops for ever on an instruction that text follows.
            return Verdict::cannotFollow;
        }
        else if (p[1] == '/')
        {
            // The parser ends the open element at any end tag, whatever its name.
            depth = juce::jmax (0, depth - 1);
            p = skipPast (p, ">");
        }
        else
        {
            bool selfClosing = false;
            p = skipStartTag (p + 1, selfClosing, maxValueBytes, valueTooLong);

            if (p != nullptr && depth + 1 > maxDepth)
                return Verdict::tooDeep;

            if (! selfClosing)
                ++depth;
        }
    } while (p != nullptr && *p != 0 && depth > 0);

    if (p != nullptr)
        return Verdict::safe;

    return valueTooLong ? Verdict::valueTooLong : Verdict::cannotFollow;
}

std::unique_ptr<juce::XmlElement> BoundedXmlDocument::parse (const juce::String& text, int maxDepth)
{
    if (! isSafeToParse (text, maxDepth))
        return {};

    return juce::XmlDocument (text).getDocumentElement();
}

std::unique_ptr<juce::XmlElement> BoundedXmlDocument::parse (const juce::File& file, int maxDepth)
{
    // The text is read once and the same text is checked and parsed.
    return parse (file.loadFileAsString(), maxDepth);
}
