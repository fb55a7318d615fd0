#include "resources/Presets.h"
#include "engine/ProcessorTypeI.h"
#include "resources/ResourcesTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using resources_testing::DataFolderTest;

namespace
{
// Written out by hand from the factory table, independently of the code.
const char* const factoryDocument =
    "<xml><presets>"
    "<preset><name>Mastering Quick Win</name><version>1.0.0</version><protected>true</protected><data>"
    "<lowCut>0.5</lowCut><lowGain>0.73</lowGain><bodyGain>0.4</bodyGain><clarity>0.5</clarity><brightness>0.67</brightness>"
    "<loudness>0.5</loudness><compression>0.1</compression><quality>0.8</quality><lowCutStereo>0.85</lowCutStereo>"
    "<loudnessRelease>0.5</loudnessRelease><ceiling>-0.3</ceiling><truePeak>0</truePeak></data></preset>"
    "<preset><name>Vintage 70s</name><version>1.0.0</version><protected>true</protected><data>"
    "<lowCut>0.5</lowCut><lowGain>0.2</lowGain><bodyGain>0.4</bodyGain><clarity>0.5</clarity><brightness>0.35</brightness>"
    "<loudness>0.25</loudness><compression>0.5</compression><quality>0.8</quality><lowCutStereo>0.5</lowCutStereo>"
    "<loudnessRelease>0.5</loudnessRelease><ceiling>-0.3</ceiling><truePeak>0</truePeak></data></preset>"
    "<preset><name>Vintage 80s</name><version>1.0.0</version><protected>true</protected><data>"
    "<lowCut>0.3</lowCut><lowGain>0.5</lowGain><bodyGain>0.3</bodyGain><clarity>0.6</clarity><brightness>0.45</brightness>"
    "<loudness>0.35</loudness><compression>0.5</compression><quality>0.8</quality><lowCutStereo>0.5</lowCutStereo>"
    "<loudnessRelease>0.5</loudnessRelease><ceiling>-0.3</ceiling><truePeak>0</truePeak></data></preset>"
    "<preset><name>Indie</name><version>1.0.0</version><protected>true</protected><data>"
    "<lowCut>0.3</lowCut><lowGain>0.6</lowGain><bodyGain>0.3</bodyGain><clarity>0.6</clarity><brightness>0.6</brightness>"
    "<loudness>0.45</loudness><compression>0.5</compression><quality>0.8</quality><lowCutStereo>0.75</lowCutStereo>"
    "<loudnessRelease>0.5</loudnessRelease><ceiling>-0.3</ceiling><truePeak>0</truePeak></data></preset>"
    "<preset><name>EDM</name><version>1.0.0</version><protected>true</protected><data>"
    "<lowCut>0.33</lowCut><lowGain>0.76</lowGain><bodyGain>0.18</bodyGain><clarity>0.6</clarity><brightness>0.72</brightness>"
    "<loudness>0.65</loudness><compression>0.12</compression><quality>0.8</quality><lowCutStereo>0.75</lowCutStereo>"
    "<loudnessRelease>0.5</loudnessRelease><ceiling>-0.3</ceiling><truePeak>0</truePeak></data></preset>"
    "<preset><name>Balanced Live / DJ Set</name><version>2.0.0</version><protected>true</protected><data>"
    "<lowCut>0.71</lowCut><lowGain>0.23</lowGain><bodyGain>0.755</bodyGain><clarity>0.5</clarity><brightness>0.57</brightness>"
    "<loudness>0.265</loudness><compression>0.755</compression><quality>0.75</quality><lowCutStereo>0.85</lowCutStereo>"
    "<loudnessRelease>0.5</loudnessRelease><ceiling>-0.3</ceiling><truePeak>0</truePeak></data></preset>"
    "<preset><name>Stelvane Favourite</name><version>2.0.0</version><protected>true</protected><data>"
    "<lowCut>0.625</lowCut><lowGain>0.84</lowGain><bodyGain>0.195</bodyGain><clarity>0.595</clarity><brightness>0.42</brightness>"
    "<loudness>0.34</loudness><compression>0.835</compression><quality>0.75</quality><lowCutStereo>0.67</lowCutStereo>"
    "<loudnessRelease>0.5</loudnessRelease><ceiling>-0.3</ceiling><truePeak>0</truePeak></data></preset>"
    "</presets></xml>";

juce::String fileText (const juce::File& file)
{
    juce::MemoryBlock bytes;
    file.loadFileAsData (bytes);
    return juce::String::fromUTF8 (static_cast<const char*> (bytes.getData()), static_cast<int> (bytes.getSize()));
}

/** A presets document with one preset element whose body is given. */
juce::String onePreset (const juce::String& body) { return "<xml><presets><preset>" + body + "</preset></presets></xml>"; }

class Presets : public DataFolderTest
{
protected:
    std::shared_ptr<ProcessorTypeI> processor = std::make_shared<ProcessorTypeI>();

    const Preset& readOnly (const juce::String& document)
    {
        resources_testing::writeExactly (presetsFile(), document);
        Resources::ReadPresets (*processor);
        EXPECT_EQ (processor->presetCount, 1);
        EXPECT_EQ (processor->presets.size(), 1u);
        static const Preset none;
        return processor->presets.empty() ? none : processor->presets.front();
    }
};

void expectSamePreset (const Preset& a, const Preset& b)
{
    EXPECT_EQ (a.name, b.name);
    EXPECT_EQ (a.version, b.version);
    EXPECT_EQ (a.isProtected, b.isProtected);
    EXPECT_FLOAT_EQ (a.lowCut, b.lowCut);
    EXPECT_FLOAT_EQ (a.lowGain, b.lowGain);
    EXPECT_FLOAT_EQ (a.bodyGain, b.bodyGain);
    EXPECT_FLOAT_EQ (a.clarity, b.clarity);
    EXPECT_FLOAT_EQ (a.brightness, b.brightness);
    EXPECT_FLOAT_EQ (a.loudness, b.loudness);
    EXPECT_FLOAT_EQ (a.compression, b.compression);
    EXPECT_FLOAT_EQ (a.quality, b.quality);
    EXPECT_FLOAT_EQ (a.lowCutStereo, b.lowCutStereo);
    EXPECT_FLOAT_EQ (a.loudnessRelease, b.loudnessRelease);
    EXPECT_FLOAT_EQ (a.ceiling, b.ceiling);
    EXPECT_EQ (a.truePeak, b.truePeak);
}
} // namespace

TEST (FactoryPresets, DocumentAndVersionAreExact)
{
    EXPECT_EQ (Resources::XmlPresets, juce::String (factoryDocument));
    EXPECT_EQ (Resources::Version, juce::String ("2.1.1"));
}

TEST_F (Presets, FirstStartCreatesTheFactoryFileAndReadsIt)
{
    ASSERT_FALSE (presetsFile().exists());
    Resources::ReadPresets (*processor);

    EXPECT_EQ (fileText (presetsFile()), juce::String (factoryDocument)); // one line, no line feeds
    ASSERT_EQ (processor->presetCount, 7);
    ASSERT_EQ (processor->presets.size(), 7u);
    const char* names[] = {"Mastering Quick Win",    "Vintage 70s",       "Vintage 80s", "Indie", "EDM",
                           "Balanced Live / DJ Set", "Stelvane Favourite"};
    for (size_t i = 0; i < 7; ++i)
    {
        EXPECT_EQ (processor->presets[i].name, juce::String (names[i]));
        EXPECT_TRUE (processor->presets[i].isProtected);
        EXPECT_FALSE (processor->presets[i].truePeak);
        EXPECT_FLOAT_EQ (processor->presets[i].ceiling, -0.3f);
    }
    const auto& favourite = processor->presets[6];
    EXPECT_EQ (favourite.version, juce::String ("2.0.0"));
    EXPECT_FLOAT_EQ (favourite.lowCut, 0.625f);
    EXPECT_FLOAT_EQ (favourite.compression, 0.835f);
    EXPECT_FLOAT_EQ (favourite.lowCutStereo, 0.67f);

    // A second start reads the file as it is, without touching it.
    const auto written = presetsFile().getLastModificationTime();
    Resources::ReadPresets (*processor);
    EXPECT_EQ (processor->presetCount, 7);
    EXPECT_EQ (presetsFile().getLastModificationTime(), written);
}

TEST_F (Presets, FactoryPresetsLoadEvenWhenTheFileCannotBeCreated)
{
    {
        resources_testing::UnwritableFolder locked (dataFolder());
        if (!locked.isLocked())
            GTEST_SKIP() << "cannot make a folder unwritable here";
        Resources::ReadPresets (*processor);
    }
    EXPECT_FALSE (presetsFile().exists());
    ASSERT_EQ (processor->presetCount, 7);
    EXPECT_EQ (processor->presets[5].name, juce::String ("Balanced Live / DJ Set"));
}

TEST_F (Presets, SavingTheFactoryListGivesTheFactoryElementsOneToALine)
{
    Resources::ReadPresets (*processor);
    ASSERT_TRUE (Resources::SavePresets (processor).wasOk());

    auto expected = juce::String (factoryDocument)
                        .replace ("<xml><presets>", "<xml>\n<presets>")
                        .replace ("<preset>", "\n<preset>")
                        .replace ("</presets></xml>", "\n</presets>\n</xml>");
    EXPECT_EQ (fileText (presetsFile()), expected);
    EXPECT_EQ (juce::StringArray::fromLines (fileText (presetsFile())).size(), 2 + 7 + 2);
}

TEST_F (Presets, ZeroPresetsAreWrittenAsTheBareFrame)
{
    ASSERT_TRUE (Resources::SavePresets (processor).wasOk());
    EXPECT_EQ (fileText (presetsFile()), juce::String ("<xml>\n<presets>\n</presets>\n</xml>"));
}

TEST_F (Presets, EveryFieldSurvivesAWriteAndReadIncludingSpecialAndNonAsciiText)
{
    Preset special;
    special.name = "A <b> & \"c\" 'd'";
    special.version = "2.1.1 & <beta>";
    special.isProtected = true;
    special.lowCut = 0.00001f;
    special.lowGain = 1.0f;
    special.bodyGain = 0.0f;
    special.clarity = 0.755f;
    special.brightness = 0.123457f;
    special.loudness = 0.25f;
    special.compression = 0.835f;
    special.quality = 0.6f;
    special.lowCutStereo = 0.67f;
    special.loudnessRelease = 0.9f;
    special.ceiling = -5.5f;
    special.truePeak = true;

    Preset foreign = special;
    foreign.name = juce::String::fromUTF8 ("Größe – 日本語 Ünïcødé");
    foreign.version = Resources::Version;
    foreign.isProtected = false;
    foreign.truePeak = false;
    foreign.ceiling = 0.0f;

    processor->presets = {special, foreign};
    processor->presetCount = 2;
    ASSERT_TRUE (Resources::SavePresets (processor).wasOk());

    const auto text = fileText (presetsFile());
    EXPECT_TRUE (text.contains ("<name>A &lt;b&gt; &amp; &quot;c&quot; &apos;d&apos;</name>"));
    EXPECT_TRUE (text.contains ("<version>2.1.1 &amp; &lt;beta&gt;</version>"));
    EXPECT_TRUE (text.contains (juce::String::fromUTF8 ("<name>Größe – 日本語 Ünïcødé</name>")));
    EXPECT_TRUE (text.endsWith ("</xml>"));

    auto reader = std::make_shared<ProcessorTypeI>();
    Resources::ReadPresets (*reader);
    ASSERT_EQ (reader->presetCount, 2);
    expectSamePreset (reader->presets[0], special);
    expectSamePreset (reader->presets[1], foreign);
}

TEST_F (Presets, NumbersAreWrittenInTheStreamsDefaultForm)
{
    struct Case
    {
        float value;
        const char* text;
    };
    const Case cases[] = {{0.5f, "0.5"}, {0.755f, "0.755"},   {-0.3f, "-0.3"},          {1.0f, "1"},
                          {0.0f, "0"},   {0.00001f, "1e-05"}, {0.1234567f, "0.123457"}, {123456789.0f, "1.23457e+08"},
                          {-6.0f, "-6"}};
    for (const auto& c : cases)
    {
        Preset preset;
        preset.lowCut = c.value;
        processor->presets = {preset};
        processor->presetCount = 1;
        const auto text = Resources::PresetsText (*processor);
        EXPECT_NE (text.find (std::string ("<lowCut>") + c.text + "</lowCut>"), std::string::npos) << c.text << " in " << text;
    }
}

TEST_F (Presets, ReaderDefaultsAndLenientNumbers)
{
    const Preset defaults;
    {
        SCOPED_TRACE ("no ceiling or truePeak element");
        const auto& p =
            readOnly (onePreset ("<name>n</name><version>v</version><protected>true</protected><data><lowCut>0.2</lowCut></data>"));
        EXPECT_FLOAT_EQ (p.ceiling, -0.33f);
        EXPECT_FALSE (p.truePeak);
        EXPECT_TRUE (p.isProtected);
        EXPECT_FLOAT_EQ (p.lowCut, 0.2f);
    }

    struct ProtectedCase
    {
        const char* text;
        bool expected;
    };
    for (const auto& c : {ProtectedCase{"true", true}, ProtectedCase{"True", false}, ProtectedCase{" true", false},
                          ProtectedCase{"TRUE", false}, ProtectedCase{"1", false}})
    {
        SCOPED_TRACE (c.text);
        EXPECT_EQ (readOnly (onePreset (juce::String ("<name>n</name><protected>") + c.text + "</protected><data/>")).isProtected,
                   c.expected);
    }

    struct TruePeakCase
    {
        const char* text;
        bool expected;
    };
    for (const auto& c : {TruePeakCase{"0", false}, TruePeakCase{"0.5", false}, TruePeakCase{"0.51", true}, TruePeakCase{"1", true},
                          TruePeakCase{"yes", false}, TruePeakCase{"inf", false}, TruePeakCase{"nan", false}})
    {
        SCOPED_TRACE (c.text);
        EXPECT_EQ (readOnly (onePreset (juce::String ("<data><truePeak>") + c.text + "</truePeak></data>")).truePeak, c.expected);
    }

    struct NumberCase
    {
        const char* text;
        float expected;
    };
    const NumberCase numbers[] = {
        {"0.7abc", 0.7f},          // the longest numeric prefix
        {"abc", 0.0f},             // no number at all reads as 0
        {"  0.25", 0.25f},         // leading white space skipped
        {"nan", defaults.lowGain}, // not finite: the reader's default
        {"-inf", defaults.lowGain},
        {"1e99", defaults.lowGain}, // finite as a double, not as a float
    };
    for (const auto& c : numbers)
    {
        SCOPED_TRACE (c.text);
        EXPECT_FLOAT_EQ (readOnly (onePreset (juce::String ("<data><lowGain>") + c.text + "</lowGain></data>")).lowGain, c.expected);
    }

    // The ceiling is also kept within -6..0 dB.
    const NumberCase ceilings[] = {{"-12", -6.0f}, {"3", 0.0f},     {"-6", -6.0f},   {"-0.7abc", -0.7f},
                                   {"abc", 0.0f},  {"nan", -0.33f}, {"-inf", -0.33f}};
    for (const auto& c : ceilings)
    {
        SCOPED_TRACE (c.text);
        EXPECT_FLOAT_EQ (readOnly (onePreset (juce::String ("<data><ceiling>") + c.text + "</ceiling></data>")).ceiling, c.expected);
    }

    {
        SCOPED_TRACE ("missing name, version and data");
        const auto& p = readOnly (onePreset ("<protected>true</protected>"));
        EXPECT_TRUE (p.name.isEmpty());
        EXPECT_TRUE (p.version.isEmpty());
        EXPECT_FLOAT_EQ (p.lowCut, defaults.lowCut);
        EXPECT_FLOAT_EQ (p.quality, defaults.quality);
        EXPECT_FLOAT_EQ (p.ceiling, -0.33f);
    }
}

TEST_F (Presets, TagsAreMatchedWhateverTheirCase)
{
    resources_testing::writeExactly (
        presetsFile(), "<Root>\n<PRESETS>\n  <anything><NAME>Loud &amp; <i>clear</i></NAME><Protected>true</Protected>"
                       "<DATA><LOWCUT>0.4</LOWCUT><lowgain>0.6</lowgain><Ceiling>-1</Ceiling><TRUEPEAK>1</TRUEPEAK></DATA></anything>\n"
                       "  stray text\n"
                       "  <preset><name>second</name></preset>\n</PRESETS>\n</Root>");
    Resources::ReadPresets (*processor);
    ASSERT_EQ (processor->presetCount, 2);
    ASSERT_EQ (processor->presets.size(), 2u);
    const auto& p = processor->presets[0];
    EXPECT_EQ (p.name, juce::String ("Loud & clear")); // all text inside, nested included
    EXPECT_TRUE (p.isProtected);
    EXPECT_FLOAT_EQ (p.lowCut, 0.4f);
    EXPECT_FLOAT_EQ (p.lowGain, 0.6f);
    EXPECT_FLOAT_EQ (p.ceiling, -1.0f);
    EXPECT_TRUE (p.truePeak);
    EXPECT_EQ (processor->presets[1].name, juce::String ("second"));
}

TEST_F (Presets, AnUnreadableFileIsKeptAsideBeforeItIsReplaced)
{
    const juce::String broken = "<xml><presets><preset><name>Mine</name>"; // cut off
    resources_testing::writeExactly (presetsFile(), broken);

    Resources::ReadPresets (*processor);
    EXPECT_EQ (processor->presetCount, 0);
    EXPECT_TRUE (processor->presets.empty());
    EXPECT_EQ (fileText (presetsFile()), broken); // reading leaves it alone

    Preset added;
    added.name = "new";
    processor->presets.push_back (added);
    processor->presetCount = 1;
    ASSERT_TRUE (Resources::SavePresets (processor).wasOk());
    EXPECT_EQ (fileText (dataFolder().getChildFile ("presets.2.xml.unreadable")), broken);
    Resources::ReadPresets (*processor);
    ASSERT_EQ (processor->presetCount, 1);
    EXPECT_EQ (processor->presets[0].name, juce::String ("new"));

    // Broken again: the earlier copy is not overwritten, the next is numbered.
    const juce::String noPresets = "<xml><other/></xml>";
    resources_testing::writeExactly (presetsFile(), noPresets);
    ASSERT_TRUE (Resources::SavePresets (processor).wasOk());
    EXPECT_EQ (fileText (dataFolder().getChildFile ("presets.2.xml.unreadable")), broken);
    EXPECT_EQ (fileText (dataFolder().getChildFile ("presets.2.xml.unreadable.2")), noPresets);

    // A readable file is simply replaced.
    ASSERT_TRUE (Resources::SavePresets (processor).wasOk());
    EXPECT_EQ (resources_testing::filesIn (dataFolder()),
               juce::String ("presets.2.xml,presets.2.xml.unreadable,presets.2.xml.unreadable.2"));
}

TEST_F (Presets, CountLargerThanTheListNeverReadsPastItsEnd)
{
    processor->presets = {Preset()};
    processor->presetCount = 5;
    ASSERT_TRUE (Resources::SavePresets (processor).wasOk());
    Resources::ReadPresets (*processor);
    EXPECT_EQ (processor->presetCount, 1);
}

TEST_F (Presets, AFailedWriteKeepsTheOldFileAndSaysWhy)
{
    Resources::ReadPresets (*processor);
    const auto before = fileText (presetsFile());
    processor->presets.pop_back();
    --processor->presetCount;

    resources_testing::UnwritableFolder locked (dataFolder());
    if (!locked.isLocked())
        GTEST_SKIP() << "cannot make a folder unwritable here";
    const auto result = Resources::SavePresets (processor);
    EXPECT_TRUE (result.failed());
    EXPECT_TRUE (result.getErrorMessage().contains (presetsFile().getFullPathName())) << result.getErrorMessage();
    EXPECT_EQ (fileText (presetsFile()), before);
}
