#include "gl/multisample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {
// The value after `name` in a zero-ended attribute list, or -1.
int valueOf(const std::vector<int>& list, int name) {
    for (size_t i = 0; i + 1 < list.size(); i += 2)
        if (list[i] == name) return list[i + 1];
    return -1;
}

// A driver that offers multisampled formats up to `most` samples a pixel.
struct FakeDriver {
    int most = 0;
    std::vector<int> asked; // the sample counts asked for, in order
};

int offer(const std::vector<int>& attributes, void* context) {
    auto& driver = *static_cast<FakeDriver*>(context);
    const int samples = valueOf(attributes, 0x2042); // WGL_SAMPLES_ARB
    driver.asked.push_back(samples);
    return samples <= driver.most ? 40 + samples : 0;
}
} // namespace

TEST(Multisample, SoftwareRenderersGoWithoutSamplesUnlessTheBenchAsks) {
    EXPECT_EQ(samplesToAskFor(nullptr, "Mesa Intel(R) UHD Graphics 620 (KBL GT2)"), 4);
    EXPECT_EQ(samplesToAskFor(nullptr, "NVIDIA GeForce RTX 3060/PCIe/SSE2"), 4);
    EXPECT_EQ(samplesToAskFor(nullptr, nullptr), 4); // unknown: ask, the driver may refuse
    for (const char* software :
         {"llvmpipe (LLVM 15.0.6, 256 bits)", "softpipe", "GDI Generic", "Google SwiftShader"})
        EXPECT_EQ(samplesToAskFor("", software), 0) << software;
    EXPECT_EQ(samplesToAskFor("4", "llvmpipe (LLVM 15.0.6, 256 bits)"), 4);
    EXPECT_EQ(samplesToAskFor("0", "NVIDIA GeForce RTX 3060/PCIe/SSE2"), 0);
    for (const char* bad : {"four", "4x", "-1", "17"})
        EXPECT_EQ(samplesToAskFor(bad, "AMD Radeon"), 4) << bad;
}

TEST(Multisample, FewerSamplesAreTriedThenThePlainFormatIsLeftToTheCaller) {
    FakeDriver twoAtMost{2, {}};
    EXPECT_EQ(multisampledFormat(4, 16, 16, offer, &twoAtMost), 42);
    EXPECT_EQ(twoAtMost.asked, (std::vector<int>{4, 2}));

    FakeDriver none{0, {}};
    EXPECT_EQ(multisampledFormat(4, 16, 16, offer, &none), 0);
    EXPECT_EQ(none.asked, (std::vector<int>{4, 2}));
    EXPECT_EQ(multisampledFormat(4, 16, 16, nullptr, &none), 0); // no WGL_ARB_pixel_format
    EXPECT_EQ(multisampledFormat(0, 16, 16, offer, &none), 0);
    EXPECT_EQ(none.asked.size(), 2u);
}

TEST(Multisample, TheListsAskForTheRunsFormatWithSamples) {
    const std::vector<int> wgl = wglFormatAttributes(16, 16, 4);
    EXPECT_EQ(wgl.back(), 0);
    EXPECT_EQ(valueOf(wgl, 0x2014), 16); // colour bits
    EXPECT_EQ(valueOf(wgl, 0x2022), 16); // depth bits
    EXPECT_EQ(valueOf(wgl, 0x2011), 1);  // double-buffered
    EXPECT_EQ(valueOf(wgl, 0x2041), 1);  // one sample buffer
    EXPECT_EQ(valueOf(wgl, 0x2042), 4);

    const std::vector<int> plain = glxVisualAttributes(0);
    const std::vector<int> smooth = glxVisualAttributes(4);
    EXPECT_EQ(plain.back(), 0);
    EXPECT_EQ(std::vector<int>(smooth.begin(), smooth.begin() + long(plain.size()) - 1),
              std::vector<int>(plain.begin(), plain.end() - 1));
    EXPECT_EQ(std::vector<int>(smooth.end() - 5, smooth.end()),
              (std::vector<int>{100000, 1, 100001, 4, 0}));
}
