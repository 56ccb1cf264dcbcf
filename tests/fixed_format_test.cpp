// The fast "%f" writer against the C library's, on chosen and random floats.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

#include "model3d/fixed_format.h"

using namespace pedaform;

namespace {

void expect_same(float v) {
    char mine[64], theirs[64];
    const int n = format_fixed6(v, mine);
    mine[n] = '\0';
    std::snprintf(theirs, sizeof theirs, "%f", static_cast<double>(v));
    ASSERT_STREQ(mine, theirs) << "bits " << std::hex << [&] {
        uint32_t b;
        std::memcpy(&b, &v, 4);
        return b;
    }();
}

}  // namespace

TEST(FixedFormat, ChosenValues) {
    for (float v : {0.0f,
                    -0.0f,
                    1.0f,
                    -1.0f,
                    12.0f,
                    359.0f,
                    20.0f,
                    0.2f,
                    0.6f,
                    51.0f,
                    0.5f,
                    0.0078125f,
                    -0.0078125f,
                    0.0000005f,
                    0.0000015f,
                    1e-7f,
                    -1e-7f,
                    1e-30f,
                    1.4e-45f,
                    0.70710677f,
                    0.99999994f,
                    999999.94f,
                    1099511627775.0f,
                    3.4e38f,
                    -3.4e38f,
                    16777216.0f,
                    0.3333333f,
                    2.5e-6f})
        expect_same(v);
}

TEST(FixedFormat, TiesRoundToEven) {
    // k / 2^7 .. k / 2^20 hit exact halves of a millionth in many places.
    for (int shift = 7; shift <= 24; ++shift)
        for (int k = 0; k < 2000; ++k)
            expect_same(std::ldexp(static_cast<float>(k), -shift));
}

TEST(FixedFormat, RandomBitPatternsAndMeshLikeValues) {
    std::mt19937 rng(42);
    for (int i = 0; i < 300000; ++i) {
        uint32_t bits = rng();
        float v;
        std::memcpy(&v, &bits, 4);
        if (!std::isfinite(v)) continue;
        expect_same(v);
    }
    std::uniform_real_distribution<float> height(0.0f, 51.0f), unit(-1.0f, 1.0f);
    for (int i = 0; i < 200000; ++i) {
        expect_same(height(rng));
        expect_same(unit(rng));
    }
}
