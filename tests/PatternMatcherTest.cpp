#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assets/PatternMatcher.h"

namespace {

const char* const kFloat3 = "['v'] [float] [float] [float]";
const char* const kFace = " ['f'] [int]['/'][int]['/'][int] [int]['/'][int]['/'][int] [int]['/'][int]['/'][int] ]";

std::vector<std::string> slots(const LineMatch& m)
{
    std::vector<std::string> out;
    for (int i = 0; i < m.size(); ++i)
        out.emplace_back(m[i]);
    return out;
}

} // namespace

TEST(PatternMatcher, CapturesEveryElementIncludingLiterals)
{
    LineMatch m = matchLine(kFloat3, "v 1.000000 -2.500000 0.000000");
    ASSERT_TRUE(m);
    EXPECT_EQ(slots(m), (std::vector<std::string>{"v", "1.000000", "-2.500000", "0.000000"}));
    EXPECT_EQ(m[4], nullptr);  // past the last element
    EXPECT_EQ(m[LineMatch::kSlots], nullptr);

    // Leading blanks are skipped by the first element; blanks between
    // elements are optional.
    EXPECT_TRUE(matchLine(kFloat3, "  v1.0 2.0\t3.0"));
    EXPECT_TRUE(matchLine("['s'] [int]", "s 1"));
    m = matchLine("['s'] [int]", "s -3");
    ASSERT_TRUE(m);
    EXPECT_STREQ(m[1], "-3");
    m = matchLine("[int] [float]", "+7 +0.5");
    ASSERT_TRUE(m);
    EXPECT_STREQ(m[0], "+7");
    EXPECT_STREQ(m[1], "+0.5");

    m = matchLine("['g'] [?]", "g cabinGlass");
    ASSERT_TRUE(m);
    EXPECT_STREQ(m[1], "cabinGlass");
}

TEST(PatternMatcher, RejectsLinesThatDoNotFitWhole)
{
    EXPECT_FALSE(matchLine(kFloat3, "v 1 2 3"));              // integers are not floats
    EXPECT_FALSE(matchLine(kFloat3, "vt 0.5 0.5 0.0"));       // 'v' consumes the v of vt
    EXPECT_FALSE(matchLine("['s'] [int]", "s off"));
    EXPECT_FALSE(matchLine("['s'] [int]", "s 1 "));           // trailing blank remains
    EXPECT_FALSE(matchLine("['s'] [int]", "s 1x"));
    EXPECT_FALSE(matchLine("['s'] [int]", "s -"));
    EXPECT_FALSE(matchLine("['g'] [?]", "g"));
    EXPECT_FALSE(matchLine("['g'] [?]", "g two words"));
    EXPECT_FALSE(matchLine("['Kd'] [float] [float] [float]", "Kd 0.5 0.5"));
    EXPECT_FALSE(matchLine("['Kd'] [float] [float] [float]", "kd 0.5 0.5 0.5"));  // case matters
    EXPECT_FALSE(matchLine("['g'] [?]", "   \t "));
    EXPECT_FALSE(matchLine("['g'] [?]", ""));
    // No elements: only the empty line fits (stray characters are no elements).
    EXPECT_TRUE(matchLine("", ""));
    EXPECT_TRUE(matchLine("] x ]", ""));
    EXPECT_FALSE(matchLine("", " "));

    // Floats need digits on both sides of a point and have no exponent.
    for (const char* text : {"1", "1.", ".5", "-.5", "+", "1.5e-3", "1..5", "- 1.5"})
        EXPECT_FALSE(matchLine("[float]", text)) << text;
    for (const char* text : {"-0.250000", "+3.0", "12.75", "0.0"})
        EXPECT_TRUE(matchLine("[float]", text)) << text;

    // High bytes are neither blanks nor token characters, and never read as such.
    EXPECT_FALSE(matchLine("['g'] [?]", "g \xe9t\xe9"));
    EXPECT_FALSE(matchLine("[?]", "\xff"));
}

TEST(PatternMatcher, FacePatternAndIntegerBoundaries)
{
    std::vector<PatternElement> elements;
    ASSERT_TRUE(compilePattern(kFace, elements));
    ASSERT_EQ(elements.size(), 16u);  // keyword and five per corner
    EXPECT_EQ(elements[0].kind, PatternElement::Literal);
    EXPECT_EQ(elements[0].literal, "f");
    EXPECT_EQ(elements[1].kind, PatternElement::Integer);
    EXPECT_EQ(elements[2].kind, PatternElement::Literal);
    EXPECT_EQ(elements[2].literal, "/");

    // Integers stop before '/', blanks around it are optional.
    for (const char* line : {"f 1/2/3 4/5/6 7/8/9", "f 1 / 2 / 3 4/5/6 7/8/9", "f1/2/3 4/5/6 7/8/9"}) {
        LineMatch m = matchLine(kFace, line);
        ASSERT_TRUE(m) << line;
        EXPECT_EQ(slots(m), (std::vector<std::string>{"f", "1", "/", "2", "/", "3", "4", "/", "5", "/", "6", "7",
                                                      "/", "8", "/", "9"}));
    }
    for (const char* line : {"f 1//3 4//6 7//9", "f 1 4 7", "f 1/2 4/5 7/8", "f 1/2/3 4/5/6 7/8/9 10/11/12",
                             "f 1/2/3 4/5/6 7/8/9 "})
        EXPECT_FALSE(matchLine(kFace, line)) << line;

    // A token takes every graphic character, '/' included.
    LineMatch m = matchLine("['f'] [?] [?]", "f 1/2/3 4/5/6");
    ASSERT_TRUE(m);
    EXPECT_STREQ(m[1], "1/2/3");

    // Spaces between brackets carry no meaning.
    EXPECT_TRUE(matchLine("['f'] [int]['/'][int]", "f 1/2"));
    EXPECT_TRUE(matchLine("['f'][int] ['/']  [int]", "f 1/2"));
}

TEST(PatternMatcher, LiteralsAndMalformedPatterns)
{
    // A literal is a prefix test and may hold blanks and brackets.
    LineMatch m = matchLine("['a ]b'] [int]", "a ]b 4");
    ASSERT_TRUE(m);
    EXPECT_STREQ(m[0], "a ]b");
    EXPECT_STREQ(m[1], "4");
    m = matchLine("[''] [int]", "5");
    ASSERT_TRUE(m);
    EXPECT_STREQ(m[0], "");
    EXPECT_STREQ(m[1], "5");
    EXPECT_TRUE(matchLine("['map_'] ['Kd'] [?]", "map_Kd x.bmp"));

    // Malformed elements fail the whole call, whatever the line.
    for (const char* pattern : {"[fo]", "[in]", "[int", "[float", "[?", "[", "['abc", "['a'x]", "['a' ]", "[x]",
                                "[ int]", "['v'] [float] [flot]"}) {
        std::vector<PatternElement> elements;
        EXPECT_FALSE(compilePattern(pattern, elements)) << pattern;
        EXPECT_FALSE(matchLine(pattern, "v 1.0")) << pattern;
        EXPECT_FALSE(matchLine(pattern, "")) << pattern;
    }
    EXPECT_FALSE(matchLine(nullptr, ""));
    EXPECT_FALSE(matchLine("", nullptr));
}

TEST(PatternMatcher, CaptureAndElementLimits)
{
    const std::string longest(LineMatch::kMaxText, 'a');
    LineMatch m = matchLine("[?]", longest.c_str());
    ASSERT_TRUE(m);
    EXPECT_EQ(std::string(m[0]), longest);
    EXPECT_FALSE(matchLine("[?]", (longest + "a").c_str()));
    const std::string digits(LineMatch::kMaxText + 1, '7');
    EXPECT_FALSE(matchLine("[int]", digits.c_str()));

    // A literal of 511 characters is accepted, one of 512 is not.
    EXPECT_TRUE(matchLine(("['" + longest + "']").c_str(), longest.c_str()));
    EXPECT_FALSE(matchLine(("['" + longest + "a']").c_str(), (longest + "a").c_str()));

    // 512 elements fill every slot; a 513th makes the pattern invalid.
    std::string pattern, line;
    for (int i = 0; i < LineMatch::kSlots; ++i) {
        pattern += "[int]";
        line += std::to_string(i) + " ";
    }
    line.pop_back();
    m = matchLine(pattern.c_str(), line.c_str());
    ASSERT_TRUE(m);
    EXPECT_EQ(m.size(), LineMatch::kSlots);
    EXPECT_STREQ(m[LineMatch::kSlots - 1], "511");
    EXPECT_FALSE(matchLine((pattern + "[int]").c_str(), (line + " 512").c_str()));
}
