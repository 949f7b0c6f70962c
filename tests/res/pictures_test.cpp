// Every picture of the bundle is found by type and id, decodes, and matches its catalogue
// entry: encoding, size, alpha channel and the colours the catalogue fixes.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/resources.h"

namespace {

using Bytes = std::span<const std::uint8_t>;

struct ObjectUnref {
    void operator()(gpointer p) const { g_object_unref(p); }
};
using LoaderPtr = std::unique_ptr<GdkPixbufLoader, ObjectUnref>;

// Decodes the bytes with gdk-pixbuf; the loader keeps the picture and its format.
LoaderPtr Decode(Bytes bytes) {
    LoaderPtr loader(gdk_pixbuf_loader_new());
    GError* error = nullptr;
    const bool ok = gdk_pixbuf_loader_write(loader.get(), bytes.data(), bytes.size(), &error) &&
                    gdk_pixbuf_loader_close(loader.get(), &error);
    if (!ok) {
        ADD_FAILURE() << (error != nullptr ? error->message : "decode failed");
        g_clear_error(&error);
        return nullptr;
    }
    return loader;
}

std::string FormatOf(GdkPixbufLoader* loader) {
    GdkPixbufFormat* format = gdk_pixbuf_loader_get_format(loader);
    if (format == nullptr) {
        return {};
    }
    gchar* name = gdk_pixbuf_format_get_name(format);
    std::string result = name;
    g_free(name);
    return result;
}

struct Picture {
    const char* type;
    int id;
    int width;
    int height;
    const char* format;  // gdk-pixbuf's name for the encoding
};

void PrintTo(const Picture& p, std::ostream* os) {
    *os << p.type << "/" << p.id;
}

class PictureTest : public ::testing::TestWithParam<Picture> {};

TEST_P(PictureTest, IsFoundDecodesAndHasItsCatalogueSize) {
    const Picture& p = GetParam();
    const auto bytes = platform::FindResource(p.type, p.id);
    ASSERT_TRUE(bytes.has_value());
    LoaderPtr loader = Decode(*bytes);
    ASSERT_NE(loader, nullptr);
    EXPECT_EQ(FormatOf(loader.get()), p.format);
    GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader.get());
    ASSERT_NE(pixbuf, nullptr);
    EXPECT_EQ(gdk_pixbuf_get_width(pixbuf), p.width);
    EXPECT_EQ(gdk_pixbuf_get_height(pixbuf), p.height);
    if (std::string_view(p.format) == "png") {
        // Colour type 6 (RGBA) in the header, so the picture blends, even where it is opaque.
        ASSERT_GT(bytes->size(), 26u);
        EXPECT_EQ((*bytes)[25], 6);
        EXPECT_TRUE(gdk_pixbuf_get_has_alpha(pixbuf));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, PictureTest,
    ::testing::Values(Picture{"PNG", 131, 600, 422, "png"}, Picture{"JPG", 132, 648, 155, "jpeg"},
                      Picture{"PNG", 135, 40, 19, "png"}, Picture{"PNG", 136, 60, 32, "png"},
                      Picture{"PNG", 138, 60, 32, "png"}, Picture{"PNG", 139, 8, 6, "png"},
                      Picture{"PNG", 140, 8, 6, "png"}, Picture{"PNG", 146, 44, 44, "png"},
                      Picture{"PNG", 148, 600, 312, "png"}, Picture{"PNG", 149, 200, 50, "png"},
                      Picture{"PNG", 150, 200, 50, "png"}, Picture{"PNG", 151, 350, 32, "png"},
                      Picture{"PNG", 152, 13, 13, "png"}, Picture{"PNG", 153, 13, 13, "png"},
                      Picture{"PNG", 155, 16, 16, "png"}, Picture{"PNG", 156, 16, 16, "png"},
                      Picture{"GIF", 157, 20, 20, "gif"}, Picture{"PNG", 159, 600, 422, "png"},
                      Picture{"PNG", 160, 200, 50, "png"}, Picture{"ICON", 128, 256, 256, "png"}));

// A pixel of a picture where the catalogue fixes its colour.
struct Probe {
    int id;
    int x;
    int y;
    std::uint32_t rgba;
};

void PrintTo(const Probe& p, std::ostream* os) {
    *os << "PNG/" << p.id << " at " << p.x << "," << p.y;
}

class ColourTest : public ::testing::TestWithParam<Probe> {};

TEST_P(ColourTest, PixelHasTheCatalogueColour) {
    const Probe& p = GetParam();
    const auto bytes = platform::FindResource("PNG", p.id);
    ASSERT_TRUE(bytes.has_value());
    LoaderPtr loader = Decode(*bytes);
    ASSERT_NE(loader, nullptr);
    GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader.get());
    ASSERT_EQ(gdk_pixbuf_get_n_channels(pixbuf), 4);
    const guchar* px =
        gdk_pixbuf_get_pixels(pixbuf) + p.y * gdk_pixbuf_get_rowstride(pixbuf) + p.x * 4;
    const std::uint32_t rgba = (std::uint32_t{px[0]} << 24) | (std::uint32_t{px[1]} << 16) |
                               (std::uint32_t{px[2]} << 8) | px[3];
    if ((p.rgba & 0xFF) == 0) {
        EXPECT_EQ(rgba & 0xFF, 0u) << "expected a transparent pixel";
    } else {
        EXPECT_EQ(rgba, p.rgba) << std::hex << "got 0x" << rgba;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, ColourTest,
    ::testing::Values(Probe{149, 100, 40, 0xFCA71CFF},  // main button, normal
                      Probe{150, 100, 40, 0xFA8C30FF},  // main button, hover
                      Probe{160, 100, 40, 0xD7D8DBFF},  // main button, disabled
                      Probe{149, 0, 0, 0x00000000},     // rounded corner
                      Probe{151, 175, 16, 0xFFFFFFFF},  // folder box inside
                      Probe{151, 175, 0, 0xE1E2E6FF},   // folder box border
                      Probe{136, 5, 16, 0x00000000},    // browse button: clear inside
                      Probe{138, 5, 16, 0x00000000},    //
                      Probe{138, 30, 0, 0xFCA71CFF},    // orange outline when hovered
                      Probe{139, 4, 4, 0x999999FF},     // triangle up
                      Probe{139, 0, 0, 0x00000000},     //
                      Probe{140, 4, 2, 0x999999FF},     // triangle down
                      Probe{140, 0, 5, 0x00000000},     //
                      Probe{146, 22, 2, 0xD4AE18FF},    // the face's outline
                      Probe{152, 6, 6, 0x666666FF},     // close cross
                      Probe{153, 6, 6, 0x4D4D4DFF},     // close cross, hover
                      Probe{156, 8, 8, 0xFFFFFFFF}));   // empty check box

TEST(ResourceTest, BackgroundsAreOpaqueAndCarryTheBrandColours) {
    for (int id : {131, 148, 159}) {
        SCOPED_TRACE(id);
        const auto bytes = platform::FindResource("PNG", id);
        ASSERT_TRUE(bytes.has_value());
        LoaderPtr loader = Decode(*bytes);
        ASSERT_NE(loader, nullptr);
        GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader.get());
        const int w = gdk_pixbuf_get_width(pixbuf), h = gdk_pixbuf_get_height(pixbuf);
        const int stride = gdk_pixbuf_get_rowstride(pixbuf);
        const guchar* data = gdk_pixbuf_get_pixels(pixbuf);
        bool opaque = true, blue = false, orange = false;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const guchar* px = data + y * stride + x * 4;
                opaque = opaque && px[3] == 255;
                blue = blue || (px[2] > 200 && px[0] < 80);                     // the logo's cloud
                orange = orange || (px[0] > 230 && px[1] > 140 && px[2] < 80);  // its sun
            }
        }
        EXPECT_TRUE(opaque);
        EXPECT_TRUE(blue);
        EXPECT_TRUE(orange);
    }
}

}  // namespace
