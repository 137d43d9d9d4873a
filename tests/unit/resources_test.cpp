// The committed pictures keep the exact forms the window relies on, whoever redraws them. (The icon
// is checked where it counts, in the built program: see the end-to-end tests.)
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> ReadResource(const std::string& name) {
    std::ifstream in(std::string(OST_RESOURCES_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

unsigned Le16(const std::vector<uint8_t>& b, size_t at) {
    return b.at(at) | (b.at(at + 1) << 8);
}
unsigned Be16(const std::vector<uint8_t>& b, size_t at) {
    return (b.at(at) << 8) | b.at(at + 1);
}

TEST(ResourcesTest, ButtonIsAOneFrameGif89aWithIndex255Transparent) {
    const auto gif = ReadResource("button.gif");
    ASSERT_GT(gif.size(), 13u + 768u);
    EXPECT_EQ(std::string(gif.begin(), gif.begin() + 6), "GIF89a");
    EXPECT_EQ(Le16(gif, 6), 150u);
    EXPECT_EQ(Le16(gif, 8), 100u);
    const uint8_t flags = gif[10];
    ASSERT_TRUE(flags & 0x80) << "needs a global colour table";
    EXPECT_EQ(flags & 0x07, 7) << "the global colour table has 256 entries";
    size_t at = 13 + 768;
    int frames = 0;
    bool transparent255 = false;
    while (at < gif.size() && gif[at] != 0x3B) {
        if (gif[at] == 0x21) {  // extension: label, then sub-blocks
            if (gif.at(at + 1) == 0xF9 && gif.at(at + 2) == 4)
                transparent255 = (gif.at(at + 3) & 1) && gif.at(at + 6) == 255;
            at += 2;
        } else if (gif[at] == 0x2C) {  // image descriptor, optional local table, LZW code size
            ++frames;
            const uint8_t local = gif.at(at + 9);
            at += 10 + ((local & 0x80) ? 3u * (2u << (local & 7)) : 0u) + 1;
        } else {
            FAIL() << "unexpected block " << int(gif[at]) << " at " << at;
        }
        while (gif.at(at) != 0)
            at += gif[at] + 1u;  // sub-blocks
        ++at;
    }
    EXPECT_EQ(frames, 1);
    EXPECT_TRUE(transparent255);
}

TEST(ResourcesTest, BackgroundIsABaseline250By300ColourJpeg) {
    const auto jpg = ReadResource("background.jpg");
    ASSERT_GT(jpg.size(), 4u);
    ASSERT_EQ(Be16(jpg, 0), 0xFFD8u);
    size_t at = 2;
    bool baseline = false;
    while (at + 4 <= jpg.size() && jpg[at] == 0xFF) {
        const unsigned marker = jpg[at + 1];
        if (marker >= 0xC1 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            FAIL() << "not a baseline frame: marker " << std::hex << marker;
        if (marker == 0xC0) {
            baseline = true;
            EXPECT_EQ(jpg.at(at + 4), 8) << "bits per sample";
            EXPECT_EQ(Be16(jpg, at + 5), 300u);
            EXPECT_EQ(Be16(jpg, at + 7), 250u);
            EXPECT_EQ(jpg.at(at + 9), 3) << "components";
        }
        if (marker == 0xDA)
            break;  // the scan follows
        at += 2 + Be16(jpg, at + 2);
    }
    EXPECT_TRUE(baseline);
}

}  // namespace
