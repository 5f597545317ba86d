#include <gtest/gtest.h>

#include <sstream>

#include "base/Answer.h"

// Answers are single characters with white space and line ends between them
// skipped; only the lower-case y is a yes, and ended input is a no that
// returns at once, however often it is asked.
TEST(Answer, OneCharacterPerQuestion)
{
    std::istringstream both("y y\n");
    EXPECT_TRUE(answeredYes(both));
    EXPECT_TRUE(answeredYes(both));

    std::istringstream spaced("\n\n  y\n\t n\n");
    EXPECT_TRUE(answeredYes(spaced));
    EXPECT_FALSE(answeredYes(spaced));

    std::istringstream word("yes\n");  // one character per question: 'y', then 'e'
    EXPECT_TRUE(answeredYes(word));
    EXPECT_FALSE(answeredYes(word));

    std::istringstream others("Y n 1");
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(answeredYes(others));

    std::istringstream ended("   \n");
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(answeredYes(ended));
}
