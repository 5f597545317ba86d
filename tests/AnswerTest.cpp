#include <gtest/gtest.h>

#include <sstream>

#include "base/Answer.h"

// Each input is asked three questions: one character per answer, white space
// and line ends between them skipped, only the lower-case y a yes, and ended
// input a no at once.
TEST(Answer, OneCharacterPerQuestion)
{
    const struct { const char* input; bool yes[3]; } cases[] = {
        {"y y\n", {true, true, false}},       {"\n\n  y\n\t n\n", {true, false, false}},
        {"yes\n", {true, false, false}},      {"Y n 1", {false, false, false}},
        {"   \n", {false, false, false}},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.input);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(answeredYes(in), c.yes[i]) << '"' << c.input << "\" question " << i;
    }
}
