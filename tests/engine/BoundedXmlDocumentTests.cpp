#include "BoundedXmlDocument.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace
{
juce::String repeated (const juce::String& text, int times) { return juce::String::repeatedString (text, times); }

/** Elements nested levels deep, as the framework writes them. */
juce::String chain (int levels) { return repeated ("<a>", levels) + "x" + repeated ("</a>", levels); }

int depthOf (const juce::XmlElement& element)
{
    int deepest = 0;

    for (auto* child : element.getChildIterator())
        deepest = juce::jmax (deepest, depthOf (*child));

    return deepest + (element.isTextElement() ? 0 : 1);
}
} // namespace

TEST (BoundedXmlDocument, ParsesTextAndFilesNestedUpToTheBound)
{
    juce::XmlElement prefs ("PROPERTIES");
    auto* value = prefs.createNewChildElement ("VALUE");
    value->setAttribute ("name", "audioSetup");
    value->createNewChildElement ("DEVICESETUP")->setAttribute ("deviceType", "<JACK & \"ALSA\">");
    const auto text = prefs.toString();

    const auto parsed = BoundedXmlDocument::parse (text);
    ASSERT_NE (parsed, nullptr);
    EXPECT_TRUE (parsed->isEquivalentTo (&prefs, false));

    EXPECT_NE (BoundedXmlDocument::parse (chain (64)), nullptr);
    EXPECT_EQ (BoundedXmlDocument::parse (chain (65)), nullptr);
    EXPECT_EQ (BoundedXmlDocument::parse (repeated ("<a>", 64) + "<b/>" + repeated ("</a>", 64)), nullptr);
    EXPECT_NE (BoundedXmlDocument::parse (chain (10), 10), nullptr);
    EXPECT_EQ (BoundedXmlDocument::parse (chain (11), 10), nullptr);
    EXPECT_EQ (BoundedXmlDocument::parse (juce::String ("not xml")), nullptr);

    juce::TemporaryFile file;
    ASSERT_TRUE (file.getFile().replaceWithText (text));
    const auto fromFile = BoundedXmlDocument::parse (file.getFile());
    ASSERT_NE (fromFile, nullptr);
    EXPECT_TRUE (fromFile->isEquivalentTo (&prefs, false));
    EXPECT_EQ (BoundedXmlDocument::parse (file.getFile().getSiblingFile ("zelx-missing-file.xml")), nullptr);
}

TEST (BoundedXmlDocument, RefusesDeepNestingWithoutOverflowingTheStack)
{
    const auto deep = "<PROPERTIES>" + chain (30000) + "</PROPERTIES>";
    EXPECT_EQ (BoundedXmlDocument::parse (deep), nullptr);

    juce::TemporaryFile file;
    ASSERT_TRUE (file.getFile().replaceWithText (deep));
    EXPECT_EQ (BoundedXmlDocument::parse (file.getFile()), nullptr);
}

TEST (BoundedXmlDocument, AngleBracketsInCommentsCdataValuesAndInstructionsDoNotCount)
{
    const auto many = repeated ("<a>", 100);

    for (const auto& text :
         { "<r><!--" + many + "--></r>", "<r><![CDATA[" + many + "]]></r>",
           "<r v=\"" + many + "\" w='" + many + "'/>", "<?p " + many + "?><r/><?q " + many + "?>",
           juce::String ("<r>&lt;a&gt;&#60;a&#x3E;&AMP;</r>") })
    {
        SCOPED_TRACE (text.substring (0, 40).toStdString());
        const auto parsed = BoundedXmlDocument::parse (text);
        ASSERT_NE (parsed, nullptr);
        EXPECT_TRUE (parsed->hasTagName ("r"));
    }
}

TEST (BoundedXmlDocument, RefusesWhatTheFrameworkParsesDeeperThanItLooks)
{
    const auto nested = repeated ("<b>", 200) + repeated ("</b>", 200);

    // Each of these makes the framework's parser nest 200 levels: a comment
    // inside a tag hides its "/>", an unquoted value ends the tag early so that
    // a later quoted part is read as content, an unknown entity's name is
    // parsed as elements, and so is a declared entity's value.
    for (const auto& text : { repeated ("<a <!-- /> -->>", 200) + repeated ("</a>", 200),
                              "<r><a x=1 \"" + nested + "\"></a></r>", "<r>&" + nested + ";</r>",
                              "<!DOCTYPE r [<!ENTITY e \"" + nested + "\">]><r>&e;</r>" })
    {
        SCOPED_TRACE (text.substring (0, 40).toStdString());
        const auto unguarded = juce::parseXML (text);
        ASSERT_NE (unguarded, nullptr);
        EXPECT_GT (depthOf (*unguarded), BoundedXmlDocument::defaultMaxDepth);
        EXPECT_FALSE (BoundedXmlDocument::isSafeToParse (text));
    }

    // An instruction followed by text inside an element makes the parser loop for ever.
    EXPECT_FALSE (BoundedXmlDocument::isSafeToParse ("<r><?p?>text</r>"));
}

TEST (BoundedXmlDocument, CheckTellsWhyAndBoundsEachValueAsWritten)
{
    using Verdict = BoundedXmlDocument::Verdict;
    const size_t maxValueBytes = 10;

    const std::vector<std::pair<juce::String, Verdict>> cases {
        { "<r a=\"&amp;&lt;x\" b='0123456789'>text longer than ten</r>", Verdict::safe },
        { "<r a=\"&amp;&amp;x\"/>", Verdict::valueTooLong },
        { "<r><c b='01234567890'/></r>", Verdict::valueTooLong },
        { "<r a=\"01234567890", Verdict::valueTooLong }, // the parser reads it to the end
        { "<r a=\"0123456789", Verdict::safe },
        { chain (BoundedXmlDocument::defaultMaxDepth + 1), Verdict::tooDeep },
        { "<r>&e;</r>", Verdict::cannotFollow },
        { "not xml, and longer than ten", Verdict::safe }
    };

    for (const auto& [text, verdict] : cases)
    {
        SCOPED_TRACE (text.toStdString());
        EXPECT_EQ (BoundedXmlDocument::check (text, BoundedXmlDocument::defaultMaxDepth, maxValueBytes),
                   verdict);
    }
}
