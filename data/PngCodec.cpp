// PNG through libpng. Colour pictures become 24-bit, pictures with alpha (or
// grey with alpha, or grey and colour pictures with a transparent colour)
// 32-bit, grey pictures 8-bit grey levels and palette pictures 8-bit palette
// indices (1, 2 and 4-bit data unpacked to one index or level per byte), with
// the transparency of each palette entry as its alpha. 16-bit samples are
// rounded to the nearest 8-bit value.
#include "data/PictureDecoder.h"

#include "platform/Format.h"

#include <csetjmp>
#include <cstring>
#include <png.h>

namespace {

struct TPngSource {
    const uint8_t* data;
    size_t size;
    size_t position;
    char message[256];
};

void ReadData(png_structp png, png_bytep out, png_size_t count) {
    TPngSource* source = static_cast<TPngSource*>(png_get_io_ptr(png));
    if (count > source->size - source->position) png_error(png, "PNG file is truncated");
    std::memcpy(out, source->data + source->position, count);
    source->position += count;
}

void ErrorHandler(png_structp png, png_const_charp message) {
    TPngSource* source = static_cast<TPngSource*>(png_get_error_ptr(png));
    std::snprintf(source->message, sizeof source->message, "%s", message);
    png_longjmp(png, 1);
}

void WarningHandler(png_structp, png_const_charp) {}

// Everything between setjmp and the end of decoding. Holds no object with a
// destructor (rows is caller-owned), so the error jump skips no clean-up.
bool DecodeRows(png_structp png, png_infop info, TPictureTarget& target, std::vector<png_bytep>& rows,
                std::vector<TBitmapColor>& palette) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    png_set_chunk_malloc_max(png, 64u << 20);
    png_read_info(png, info);
    png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    int colorType = png_get_color_type(png, info), bitDepth = png_get_bit_depth(png, info);
    CheckPictureSize(width, height, 32);

    int bits;
    if (bitDepth == 16) png_set_scale_16(png);
    const bool transparentColour =
        colorType != PNG_COLOR_TYPE_PALETTE && png_get_valid(png, info, PNG_INFO_tRNS);
    switch (colorType) {
    case PNG_COLOR_TYPE_PALETTE: {
        if (bitDepth < 8) png_set_packing(png); // one index per byte
        png_colorp entries = nullptr;
        int count = 0;
        png_bytep alphas = nullptr;
        int alphaCount = 0;
        if (!(png_get_tRNS(png, info, &alphas, &alphaCount, nullptr) & PNG_INFO_tRNS)) alphaCount = 0;
        if (png_get_PLTE(png, info, &entries, &count) & PNG_INFO_PLTE)
            for (int i = 0; i < count; i++)
                palette.push_back({entries[i].blue, entries[i].green, entries[i].red,
                                   i < alphaCount ? alphas[i] : uint8_t(255)});
        bits = 8;
        break;
    }
    case PNG_COLOR_TYPE_GRAY:
        if (transparentColour) { // the transparent grey level becomes alpha
            png_set_tRNS_to_alpha(png);
            png_set_gray_to_rgb(png);
            bits = 32;
            break;
        }
        if (bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png); // grey levels, scaled
        bits = 8;
        break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        png_set_gray_to_rgb(png);
        bits = 32;
        break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        bits = 32;
        break;
    default:
        bits = 24;
        if (transparentColour) { // the transparent colour becomes alpha
            png_set_tRNS_to_alpha(png);
            bits = 32;
        }
        break;
    }
    if (bits >= 24 && !target.RedFirst()) png_set_bgr(png);
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * (bits / 8))
        png_error(png, "Unexpected PNG layout");
    target.Begin(static_cast<int32_t>(width), static_cast<int32_t>(height), bits, palette);
    if (passes > 1) {
        if (rows.size() != height) png_error(png, "Unexpected PNG layout");
        for (png_uint_32 r = 0; r < height; r++)
            rows[r] = target.Row(static_cast<int32_t>(r));
        png_read_image(png, rows.data());
    } else {
        for (png_uint_32 r = 0; r < height; r++)
            png_read_row(png, target.Row(static_cast<int32_t>(r)), nullptr);
    }
    png_read_end(png, nullptr);
    return true;
}

} // namespace

bool PngAccepts(const uint8_t* head, size_t size) {
    return size >= 8 && png_sig_cmp(head, 0, 8) == 0;
}

void DecodePng(TStream& stream, TPictureTarget& target) {
    TStreamBytes bytes;
    ReadRemainingBytes(stream, bytes);
    TPngSource source{bytes.data, bytes.size, 0, {}};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, ErrorHandler, WarningHandler);
    if (!png) throw EInvalidGraphic("PNG decoder could not start");
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        throw EInvalidGraphic("PNG decoder could not start");
    }
    png_set_read_fn(png, &source, ReadData);
    // Row pointers for interlaced pictures, sized once the height is known.
    std::vector<png_bytep> rows;
    std::vector<TBitmapColor> palette;
    palette.reserve(256);
    bool ok;
    try {
        // The height is read inside DecodeRows; reserve through a first peek.
        if (bytes.size >= 24) {
            uint32_t h = (uint32_t(bytes.data[20]) << 24) | (uint32_t(bytes.data[21]) << 16) |
                         (uint32_t(bytes.data[22]) << 8) | bytes.data[23];
            if (h >= 1 && h <= static_cast<uint32_t>(kMaxImageSide)) rows.resize(h);
        }
        ok = DecodeRows(png, info, target, rows, palette);
    } catch (...) {
        png_destroy_read_struct(&png, &info, nullptr);
        throw;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) throw EInvalidGraphic(Format("PNG error: %s", source.message));
    target.Finish();
}
