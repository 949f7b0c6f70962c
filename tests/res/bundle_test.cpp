// The waiting animation, the licence page, the data block and look-ups of what is not there.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <glib.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/resources.h"

namespace {

using Bytes = std::span<const std::uint8_t>;

struct GifFrame {
    int width = 0;
    int height = 0;
    int delay = -1;  // hundredths of a second, from the frame's graphic control extension
};

struct GifInfo {
    bool valid = false;
    int screenWidth = 0;
    int screenHeight = 0;
    int loops = -1;  // NETSCAPE2.0 loop count; 0 loops for ever, -1 when absent
    std::vector<GifFrame> frames;
};

// Walks the GIF's blocks. gdk-pixbuf raises short delays to a minimum, so the delays are
// read from the bytes themselves.
GifInfo ParseGif(Bytes b) {
    GifInfo info;
    std::size_t at = 0;
    auto have = [&](std::size_t n) { return at + n <= b.size(); };
    auto u16 = [&](std::size_t off) { return b[off] | (b[off + 1] << 8); };
    auto skipSubBlocks = [&]() {
        while (have(1)) {
            const std::size_t n = b[at++];
            if (n == 0) {
                return true;
            }
            if (!have(n)) {
                return false;
            }
            at += n;
        }
        return false;
    };
    if (!have(13) || std::string_view(reinterpret_cast<const char*>(b.data()), 6) != "GIF89a") {
        return info;
    }
    info.screenWidth = u16(6);
    info.screenHeight = u16(8);
    const std::uint8_t flags = b[10];
    at = 13;
    if (flags & 0x80) {
        at += 3u * (1u << ((flags & 7) + 1));
    }
    int pendingDelay = -1;
    while (have(1)) {
        const std::uint8_t kind = b[at++];
        if (kind == 0x3B) {  // trailer
            info.valid = true;
            return info;
        }
        if (kind == 0x21) {
            if (!have(1)) {
                return info;
            }
            const std::uint8_t label = b[at++];
            if (label == 0xF9 && have(6) && b[at] == 4) {
                pendingDelay = u16(at + 2);
            } else if (label == 0xFF && have(12) && b[at] == 11 &&
                       std::string_view(reinterpret_cast<const char*>(&b[at + 1]), 11) ==
                           "NETSCAPE2.0" &&
                       have(17) && b[at + 12] == 3 && b[at + 13] == 1) {
                info.loops = u16(at + 14);
            }
            if (!skipSubBlocks()) {
                return info;
            }
        } else if (kind == 0x2C) {
            if (!have(10)) {
                return info;
            }
            info.frames.push_back({u16(at + 4), u16(at + 6), pendingDelay});
            pendingDelay = -1;
            const std::uint8_t imageFlags = b[at + 8];
            at += 9;
            if (imageFlags & 0x80) {
                at += 3u * (1u << ((imageFlags & 7) + 1));
            }
            at += 1;  // LZW minimum code size
            if (!skipSubBlocks()) {
                return info;
            }
        } else {
            return info;
        }
    }
    return info;
}

TEST(AnimationTest, HasFifteenFramesOfTwentyPixelsWithoutDelayAndLoops) {
    const auto gif = platform::FindResource("GIF", 157);
    ASSERT_TRUE(gif.has_value());
    const GifInfo info = ParseGif(*gif);
    ASSERT_TRUE(info.valid);
    EXPECT_EQ(info.screenWidth, 20);
    EXPECT_EQ(info.screenHeight, 20);
    EXPECT_EQ(info.loops, 0);
    ASSERT_EQ(info.frames.size(), 15u);
    for (std::size_t i = 0; i < info.frames.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(info.frames[i].width, 20);
        EXPECT_EQ(info.frames[i].height, 20);
        EXPECT_EQ(info.frames[i].delay, 0);
    }

    // gdk-pixbuf decodes it as a moving picture, and the frames differ from each other.
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    ASSERT_TRUE(gdk_pixbuf_loader_write(loader, gif->data(), gif->size(), nullptr));
    ASSERT_TRUE(gdk_pixbuf_loader_close(loader, nullptr));
    GdkPixbufAnimation* animation = gdk_pixbuf_loader_get_animation(loader);
    ASSERT_NE(animation, nullptr);
    EXPECT_FALSE(gdk_pixbuf_animation_is_static_image(animation));
    EXPECT_EQ(gdk_pixbuf_animation_get_width(animation), 20);
    EXPECT_EQ(gdk_pixbuf_animation_get_height(animation), 20);
    g_object_unref(loader);
}

TEST(AnimationTest, ParserRejectsCutOffBytes) {
    const auto gif = platform::FindResource("GIF", 157);
    ASSERT_TRUE(gif.has_value());
    EXPECT_FALSE(ParseGif(gif->first(gif->size() / 2)).valid);
    EXPECT_FALSE(ParseGif(gif->first(5)).valid);
}

std::size_t Count(std::string_view text, std::string_view what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos;
         at = text.find(what, at + what.size())) {
        ++n;
    }
    return n;
}

TEST(LicencePageTest, IsACompleteUtf8DocumentOfTheDesignedShape) {
    const auto page = platform::FindResource("HTML", 161);
    ASSERT_TRUE(page.has_value());
    const std::string_view text(reinterpret_cast<const char*>(page->data()), page->size());
    EXPECT_GE(text.size(), 19000u);
    EXPECT_LE(text.size(), 22000u);
    ASSERT_TRUE(text.starts_with("\xEF\xBB\xBF"));
    EXPECT_TRUE(g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr));
    EXPECT_EQ(Count(text, "<title>"), 1u);
    EXPECT_EQ(Count(text, "<h1"), 1u);
    EXPECT_EQ(Count(text, "<p>") + Count(text, "<p "), 86u);
    EXPECT_EQ(Count(text, "<p"), Count(text, "</p>"));
    EXPECT_NE(text.find("<link rel=\"stylesheet\" href=\"licence.css\">"), std::string_view::npos);
    EXPECT_NE(text.find("Orvik云电脑"), std::string_view::npos);
    EXPECT_NE(text.find("</html>"), std::string_view::npos);
}

TEST(DataBlockTest, IsThirtyTwoBytes) {
    const auto block = platform::FindResource("DATA", 152);
    ASSERT_TRUE(block.has_value());
    EXPECT_EQ(block->size(), 32u);
}

TEST(LookupTest, WhatTheBundleDoesNotHoldGivesNothing) {
    EXPECT_FALSE(platform::FindResource("PNG", 999).has_value());
    EXPECT_FALSE(platform::FindResource("PNG", 132).has_value());  // 132 is a JPG
    EXPECT_FALSE(platform::FindResource("png", 131).has_value());  // types are exact
    EXPECT_FALSE(platform::FindResource("", 131).has_value());
    EXPECT_FALSE(platform::FindResource("PNG", -131).has_value());
    EXPECT_FALSE(platform::FindResource("PNG/131", 0).has_value());
}

TEST(LookupTest, TheSameResourceGivesTheSameBytes) {
    const auto a = platform::FindResource("PNG", 131);
    const auto b = platform::FindResource("PNG", 131);
    ASSERT_TRUE(a.has_value() && b.has_value());
    EXPECT_EQ(a->data(), b->data());
    EXPECT_EQ(a->size(), b->size());
}

}  // namespace
