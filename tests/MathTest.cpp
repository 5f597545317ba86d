#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "math/Matrix3.h"
#include "math/Quaternion.h"
#include "tests/TestShapes.h"

namespace {

constexpr double kPi = 3.141592653589793;

Quaternion randomUnit(std::mt19937& rng)
{
    std::normal_distribution<double> n(0.0, 1.0);
    Quaternion q(n(rng), n(rng), n(rng), n(rng));
    return normalize(q);
}

Quaternion axisAngle(Vector3 axis, double angle)
{
    normalize(axis);
    return Quaternion(std::cos(angle / 2), axis * std::sin(angle / 2));
}

}  // namespace

TEST(Math, QuaternionRotationConventions)
{
    expectNear(rotate({1.5, -2, 3}, Quaternion(1, 0, 0, 0)), {1.5, -2, 3}, 0);
    const double c = std::cos(kPi / 4), s = std::sin(kPi / 4);
    expectNear(rotate({1, 0, 0}, Quaternion(c, 0, 0, s)), {0, 1, 0});

    // Euler order: x first, then y, then z, i.e. q = qz ⊗ qy ⊗ qx.
    const Quaternion e = fromEulerDegrees(30, -50, 120);
    const Quaternion composed = axisAngle({0, 0, 1}, 120 * kPi / 180) * axisAngle({0, 1, 0}, -50 * kPi / 180) *
                                axisAngle({1, 0, 0}, 30 * kPi / 180);
    EXPECT_NEAR(e.w, composed.w, 1e-14);
    EXPECT_NEAR(e.x, composed.x, 1e-14);
    EXPECT_NEAR(e.y, composed.y, 1e-14);
    EXPECT_NEAR(e.z, composed.z, 1e-14);
}

TEST(Math, ProductOrderAndMatrixAgreeForRandomRotations)
{
    std::mt19937 rng(12345);
    std::uniform_real_distribution<double> u(-5, 5);
    for (int i = 0; i < 500; ++i) {
        const Quaternion a = randomUnit(rng), b = randomUnit(rng);
        const Vector3 v(u(rng), u(rng), u(rng));
        // rotate by a ⊗ b applies b first, then a.
        expectNear(rotate(v, a * b), rotate(rotate(v, b), a), 1e-12);
        // toMatrix(q)·v equals rotate(v, q), and the matrix is orthonormal.
        const Matrix3 m = toMatrix(a);
        expectNear(m * v, rotate(v, a), 1e-12);
        const Matrix3 mmT = m * transpose(m);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(mmT(r, c), r == c ? 1.0 : 0.0, 1e-12);
        // Rotation keeps length; the conjugate undoes it.
        EXPECT_NEAR(length(rotate(v, a)), length(v), 1e-12);
        expectNear(rotate(rotate(v, a), conjugate(a)), v, 1e-12);
        // multiplyPure and pureMultiply are the products with a pure quaternion.
        const Quaternion p1 = multiplyPure(a, v), p2 = a * Quaternion(0, v);
        const Quaternion p3 = pureMultiply(v, a), p4 = Quaternion(0, v) * a;
        EXPECT_NEAR(p1.w, p2.w, 1e-12);
        expectNear(p1.vec(), p2.vec(), 1e-12);
        EXPECT_NEAR(p3.w, p4.w, 1e-12);
        expectNear(p3.vec(), p4.vec(), 1e-12);
    }
}

TEST(Math, MatrixInverse)
{
    for (double e : inverse(Matrix3()).m)
        EXPECT_EQ(e, HUGE_VAL);
    // An infinite inertia (immovable body) inverts to zero.
    for (double e : inverse(Matrix3::diagonal(HUGE_VAL, HUGE_VAL, HUGE_VAL)).m)
        EXPECT_EQ(e, 0.0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double e : inverse(Matrix3::diagonal(nan, 1, 1)).m)
        EXPECT_EQ(e, 0.0);

    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-3, 3);
    for (int i = 0; i < 200; ++i) {
        Matrix3 m;
        for (double& e : m.m)
            e = u(rng);
        const Matrix3 p = m * inverse(m), q = inverse(m) * m;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                EXPECT_NEAR(p(r, c), r == c ? 1.0 : 0.0, 1e-8);
                EXPECT_NEAR(q(r, c), r == c ? 1.0 : 0.0, 1e-8);
            }
    }
    // Row-major: element (r, c) at index 3r + c, and M·v uses the rows.
    const Matrix3 m(1, 2, 3, 4, 5, 6, 7, 8, 10);
    EXPECT_EQ(m.m[5], 6.0);
    expectNear(m * Vector3(1, 0, 0), {1, 4, 7}, 0);
}
