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
        {kFloat3, "  v1.0 -2.5\t+0.0", {"v", "1.0", "-2.5", "+0.0"}},
        {"['s'] [int]", "s -3", {"s", "-3"}},
        {"['g'] [?]", "g cabinGlass", {"g", "cabinGlass"}},
        {kFace, "f1 / 2 / 3 4/5/6 7/8/9", face},
        {"['f'][int] ['/']  [int]", "f 1/2", {"f", "1", "/", "2"}},  // spaces between brackets mean nothing
        {"['a ]b'] [''] [int]", "a ]b 4", {"a ]b", "", "4"}},
        {"['map_'] ['Kd'] [?]", "map_Kd x.bmp", {"map_", "Kd", "x.bmp"}},
        {"] x ]", "", {}},  // stray characters are no elements
    };
    for (const auto& c : captures) {
        const LineMatch m = matchLine(c.pattern, c.line);
        ASSERT_TRUE(m) << c.pattern << " | " << c.line;
        EXPECT_EQ(slots(m), c.want) << c.pattern << " | " << c.line;
        EXPECT_EQ(m[m.size()], nullptr);  // past the last element
    }
    const std::pair<const char*, const char*> rejected[] = {
        {kFloat3, "v 1 2 3"}, {kFloat3, "vt 0.5 0.5 0.0"},  // 'v' consumes the v of vt
        {"['s'] [int]", "s off"}, {"['s'] [int]", "s 1 "}, {"['s'] [int]", "s 1x"}, 
        {"['g'] [?]", "g"}, {"['g'] [?]", "g two words"}, {"", " "},
        // Floats need digits on both sides of a point and have no exponent.
        {"[float]", "1."}, {"[float]", ".5"}, {"[float]", "1.5e-3"}, {"[float]", "1..5"},
        {"[float]", "- 1.5"}, {kFace, "f 1//3 4//6 7//9"}, {kFace, "f 1/2 4/5 7/8"},
        {kFace, "f 1/2/3 4/5/6 7/8/9 10/11/12"},
        // High bytes are neither blanks nor token characters, and never read as such.
        {"['g'] [?]", "g \xe9t\xe9"}, {"[?]", "\xff"},
    };
    for (const auto& [pattern, line] : rejected)
        EXPECT_FALSE(matchLine(pattern, line)) << pattern << " | " << line;
    // Malformed elements fail the whole call, whatever the line.
    for (const char* pattern : {"[fo]", "[int", "[?", "['abc", "['a'x]", "['a' ]", "[ int]", "['v'] [flot]"})
        EXPECT_FALSE(matchLine(pattern, "v 1.0")) << pattern;
    EXPECT_FALSE(matchLine(nullptr, "") || matchLine("", nullptr));
}
