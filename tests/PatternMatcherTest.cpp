#include <gtest/gtest.h>

#include <string>
#include <utility>
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

TEST(PatternMatcher, WhichLinesFitWholeAndWhatTheyCapture)
{
    // Captures: every element, literals included. Leading blanks are skipped by the first
    // element; blanks between elements are optional; integers stop before '/'; a token takes
    // every graphic character; a literal is a prefix test and may hold blanks and brackets.
    const std::vector<std::string> face = {"f", "1", "/", "2", "/", "3", "4", "/", "5", "/", "6", "7", "/", "8", "/", "9"};
    const struct {
        const char* pattern;
        const char* line;
        std::vector<std::string> want;
    } captures[] = {
        {kFloat3, "v 1.000000 -2.500000 0.000000", {"v", "1.000000", "-2.500000", "0.000000"}},
        {kFloat3, "  v1.0 2.0\t3.0", {"v", "1.0", "2.0", "3.0"}},
        {"['s'] [int]", "s -3", {"s", "-3"}},
        {"[int] [float]", "+7 +0.5", {"+7", "+0.5"}},
        {"['g'] [?]", "g cabinGlass", {"g", "cabinGlass"}},
        {kFace, "f 1/2/3 4/5/6 7/8/9", face},
        {kFace, "f 1 / 2 / 3 4/5/6 7/8/9", face},
        {kFace, "f1/2/3 4/5/6 7/8/9", face},
        {"['f'] [?] [?]", "f 1/2/3 4/5/6", {"f", "1/2/3", "4/5/6"}},
        {"['f'][int] ['/']  [int]", "f 1/2", {"f", "1", "/", "2"}},  // spaces between brackets mean nothing
        {"['a ]b'] [int]", "a ]b 4", {"a ]b", "4"}},
        {"[''] [int]", "5", {"", "5"}},
        {"['map_'] ['Kd'] [?]", "map_Kd x.bmp", {"map_", "Kd", "x.bmp"}},
        {"", "", {}},
        {"] x ]", "", {}},  // stray characters are no elements
    };
    for (const auto& c : captures) {
        const LineMatch m = matchLine(c.pattern, c.line);
        ASSERT_TRUE(m) << c.pattern << " | " << c.line;
        EXPECT_EQ(slots(m), c.want) << c.pattern << " | " << c.line;
        EXPECT_EQ(m[m.size()], nullptr);  // past the last element
    }
    EXPECT_EQ(matchLine(kFloat3, "v 1.0 2.0 3.0")[LineMatch::kSlots], nullptr);

    const std::pair<const char*, const char*> rejected[] = {
        {kFloat3, "v 1 2 3"},         // integers are not floats
        {kFloat3, "vt 0.5 0.5 0.0"},  // 'v' consumes the v of vt
        {"['s'] [int]", "s off"},
        {"['s'] [int]", "s 1 "},  // trailing blank remains
        {"['s'] [int]", "s 1x"},
        {"['s'] [int]", "s -"},
        {"['g'] [?]", "g"},
        {"['g'] [?]", "g two words"},
        {"['g'] [?]", "   \t "},
        {"['g'] [?]", ""},
        {"['Kd'] [float] [float] [float]", "Kd 0.5 0.5"},
        {"['Kd'] [float] [float] [float]", "kd 0.5 0.5 0.5"},  // case matters
        {"", " "},
        // Floats need digits on both sides of a point and have no exponent.
        {"[float]", "1"}, {"[float]", "1."}, {"[float]", ".5"}, {"[float]", "-.5"}, {"[float]", "+"},
        {"[float]", "1.5e-3"}, {"[float]", "1..5"}, {"[float]", "- 1.5"},
        {kFace, "f 1//3 4//6 7//9"}, {kFace, "f 1 4 7"}, {kFace, "f 1/2 4/5 7/8"},
        {kFace, "f 1/2/3 4/5/6 7/8/9 10/11/12"}, {kFace, "f 1/2/3 4/5/6 7/8/9 "},
        // High bytes are neither blanks nor token characters, and never read as such.
        {"['g'] [?]", "g \xe9t\xe9"}, {"[?]", "\xff"},
    };
    for (const auto& [pattern, line] : rejected)
        EXPECT_FALSE(matchLine(pattern, line)) << pattern << " | " << line;
    for (const char* text : {"-0.250000", "+3.0", "12.75", "0.0"})
        EXPECT_TRUE(matchLine("[float]", text)) << text;

    std::vector<PatternElement> elements;
    ASSERT_TRUE(compilePattern(kFace, elements));
    ASSERT_EQ(elements.size(), 16u);  // keyword and five per corner
    EXPECT_EQ(elements[0].kind, PatternElement::Literal);
    EXPECT_EQ(elements[1].kind, PatternElement::Integer);
    EXPECT_EQ(elements[2].literal, "/");

    // Malformed elements fail the whole call, whatever the line.
    for (const char* pattern : {"[fo]", "[in]", "[int", "[float", "[?", "[", "['abc", "['a'x]", "['a' ]", "[x]",
                                "[ int]", "['v'] [float] [flot]"}) {
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
