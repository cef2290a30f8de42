#pragma once

#include <juce_core/juce_core.h>

#include <memory>

/** Parses XML text or a file with the framework's parser, but only when its
    elements nest no deeper than a bound. The parser recurses once per level,
    so a file nested some ten thousand levels deep would overflow the stack.

    The check walks the text once, without recursion, the way the parser reads
    it. It refuses what it cannot follow as surely as the parser does, even
    where that is valid XML: a document type (its entities could expand into
    elements), any entity other than the five predefined ones and character
    references, a comment or other markup inside a tag, and a processing
    instruction inside an element (the parser can loop for ever on one).
    Files written by the framework never hold any of these.

        if (auto xml = BoundedXmlDocument::parse (file))
            ...
*/
class BoundedXmlDocument
{
public:
    //==============================================================================
    /** Far more than any file of ours needs (they are three or four levels deep)
        and far less than overflows the stack, with a sanitizer's larger frames too. */
    static constexpr int defaultMaxDepth = 64;

    /** True when the parser can be given the text: its elements nest at most
        maxDepth levels deep, and it holds nothing the check refuses. Text that
        no element begins, or that ends early, is safe too: the parser stops. */
    static bool isSafeToParse (const juce::String& text, int maxDepth = defaultMaxDepth);

    /** What the check finds. */
    enum class Verdict
    {
        safe,
        tooDeep,
        valueTooLong,
        cannotFollow ///< something the check refuses whatever the bounds
    };

    /** The same check, telling why the text is refused, and also refusing an
        attribute value longer than maxValueBytes as written (escaped). The
        parser copies a value once for each escaped character in it, so its
        time grows with the square of a long value full of them. */
    static Verdict check (const juce::String& text, int maxDepth, size_t maxValueBytes);

    /** The document element, or nullptr when the text is not XML or is refused. */
    static std::unique_ptr<juce::XmlElement> parse (const juce::String& text, int maxDepth = defaultMaxDepth);

    /** The same for a file's content; nullptr when it cannot be read. */
    static std::unique_ptr<juce::XmlElement> parse (const juce::File& file, int maxDepth = defaultMaxDepth);

private:
    BoundedXmlDocument() = delete;
};
