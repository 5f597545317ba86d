#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "math/Matrix3.h"

// Any invertible matrix times its inverse is the identity, either way round; a
// singular matrix inverts to infinity, while an infinite or undefined inertia
// (an immovable body) inverts to zero.
TEST(Math, MatrixInverse)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-3, 3);
    for (int i = 0; i < 200; ++i) {
        Matrix3 m;
        for (double& e : m.m)
            e = u(rng);
        const Matrix3 p = m * inverse(m), q = inverse(m) * m;
        for (int k = 0; k < 9; ++k) {
            EXPECT_NEAR(p.m[k], k % 4 == 0 ? 1.0 : 0.0, 1e-8);
            EXPECT_NEAR(q.m[k], k % 4 == 0 ? 1.0 : 0.0, 1e-8);
        }
    }
    for (double e : inverse(Matrix3()).m)
        EXPECT_EQ(e, HUGE_VAL);
    for (const Matrix3& immovable : {Matrix3::diagonal(HUGE_VAL, HUGE_VAL, HUGE_VAL), Matrix3::diagonal(NAN, 1, 1)})
        for (double e : inverse(immovable).m)
            EXPECT_EQ(e, 0.0);
}
