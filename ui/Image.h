// A decoded skin picture, and loading one from the program's resources.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

typedef struct _cairo_surface cairo_surface_t;

// One decoded picture held as a premultiplied ARGB32 cairo image surface, converted once at
// load. Bytes that do not decode give an image whose Ok() is false: it reports size 0 x 0
// and draws nothing.
class Image {
public:
    // Decodes PNG, JPEG or GIF (first frame) bytes. The bytes are not kept.
    explicit Image(std::span<const std::uint8_t> encoded);
    // Takes over a premultiplied ARGB32 image surface (one reference); null gives a failed image.
    explicit Image(cairo_surface_t* adopted);
    virtual ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    bool Ok() const { return m_surface != nullptr; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // The picture, or null for a failed image. Owned by the image.
    cairo_surface_t* Surface() const { return m_surface; }

protected:
    void Adopt(cairo_surface_t* surface);

private:
    cairo_surface_t* m_surface = nullptr;
    int m_width = 0;
    int m_height = 0;
};

// Decodes `encoded` into a new premultiplied ARGB32 surface, or returns null.
cairo_surface_t* DecodeImageSurface(std::span<const std::uint8_t> encoded);

// Loads resource `type`/`id` ("PNG", "JPG") into a new Image stored in `image`. A missing
// resource returns false and leaves `image` untouched. A found resource returns true and
// stores a new Image even when its bytes do not decode (that image is not Ok() and draws
// nothing). The caller owns the new Image and deletes it; a previous pointer held in `image`
// is overwritten, not deleted. Every call decodes afresh: two loads give two independent images.
bool LoadResourceImage(int id, const char* type, Image*& image);
// The same for an owning pointer; a previous image is released.
bool LoadResourceImage(int id, const char* type, std::unique_ptr<Image>& image);
