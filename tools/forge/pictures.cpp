// Texture and sprite pictures for import and export, through stb.
#include "tools/forge/authoring.h"

#include <stb/stb_image.h>
#include <stb/stb_image_resize.h>
#include <stb/stb_image_write.h>

#include <climits>

namespace {
// Larger pictures are refused before decoding: they would take gigabytes.
constexpr int MaxDecodedSide = 16384;
} // namespace

bool decodePicture(const std::vector<uint8_t>& bytes, int channels, Picture& out,
                   std::string& error) {
    if (bytes.empty() || bytes.size() > size_t(INT_MAX)) {
        error = bytes.empty() ? "the file is empty" : "the file is too large";
        return false;
    }
    int width = 0, height = 0, stored = 0;
    const int length = static_cast<int>(bytes.size());
    if (!stbi_info_from_memory(bytes.data(), length, &width, &height, &stored)) {
        error = std::string("not an image stb_image can read (") + stbi_failure_reason() + ")";
        return false;
    }
    if (width > MaxDecodedSide || height > MaxDecodedSide) {
        error = "the image is " + std::to_string(width) + "x" + std::to_string(height) +
                "; at most " + std::to_string(MaxDecodedSide) + " pixels a side are read";
        return false;
    }
    stbi_uc* pixels =
        stbi_load_from_memory(bytes.data(), length, &width, &height, &stored, channels);
    if (!pixels) {
        error = std::string("the image cannot be decoded (") + stbi_failure_reason() + ")";
        return false;
    }
    out.width = width;
    out.height = height;
    out.channels = channels;
    out.pixels.assign(pixels, pixels + size_t(width) * size_t(height) * size_t(channels));
    stbi_image_free(pixels);
    return true;
}

int powerOfTwoSide(int side, int limit) {
    int lower = 1;
    while (lower * 2 <= side && lower * 2 <= limit)
        lower *= 2;
    if (lower * 2 > limit || side <= lower) return lower;
    return side - lower < lower * 2 - side ? lower : lower * 2;
}

Picture fitToPowerOfTwo(const Picture& picture) {
    int width = powerOfTwoSide(picture.width, MaxTextureSide);
    int height = powerOfTwoSide(picture.height, MaxTextureSide);
    if (width == picture.width && height == picture.height) return picture;
    Picture fitted;
    fitted.width = width;
    fitted.height = height;
    fitted.channels = picture.channels;
    fitted.pixels.resize(size_t(width) * size_t(height) * size_t(picture.channels));
    stbir_resize_uint8_srgb(picture.pixels.data(), picture.width, picture.height, 0,
                            fitted.pixels.data(), width, height, 0, picture.channels,
                            picture.channels == 4 ? 3 : STBIR_ALPHA_CHANNEL_NONE, 0);
    return fitted;
}

// RGB(A) and BGR(A) differ by the first and third byte of each pixel.
ImageRecord toImageRecord(const Picture& picture) {
    ImageRecord image;
    image.width = picture.width;
    image.height = picture.height;
    image.pixels = picture.pixels;
    for (size_t i = 0; i + 2 < image.pixels.size(); i += size_t(picture.channels))
        std::swap(image.pixels[i], image.pixels[i + 2]);
    return image;
}

Picture fromImageRecord(const ImageRecord& image, int channels) {
    Picture picture;
    picture.width = image.width;
    picture.height = image.height;
    picture.channels = channels;
    picture.pixels = image.pixels;
    for (size_t i = 0; i + 2 < picture.pixels.size(); i += size_t(channels))
        std::swap(picture.pixels[i], picture.pixels[i + 2]);
    return picture;
}

std::vector<uint8_t> encodePng(const Picture& picture) {
    std::vector<uint8_t> png;
    auto append = [](void* context, void* data, int size) {
        auto* out = static_cast<std::vector<uint8_t>*>(context);
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        out->insert(out->end(), bytes, bytes + size);
    };
    stbi_write_png_to_func(append, &png, picture.width, picture.height, picture.channels,
                           picture.pixels.data(), picture.width * picture.channels);
    return png;
}
