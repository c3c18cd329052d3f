// Decoding speed of the image layer against the libraries it uses: a
// 2048 x 2048 JPEG and a 2048 x 2048 PNG, made here with libjpeg-turbo and
// libpng, are loaded through T3dImage::LoadFromFile (flexible stream,
// detection by content, flip and channel order) and, side by side, decoded
// by the library directly into memory after reading the same file. Prints
// the best time of each and ends with the two ratios.
#include "data/3dImage.h"
#include "platform/Ticks.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>
#include <png.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const int kSize = 2048;
const int kRounds = 7;

double Now() {
    return static_cast<double>(QueryPerformanceCounter()) / static_cast<double>(QueryPerformanceFrequency());
}

// A picture with smooth gradients, edges and some noise, like a photo or a
// texture (neither trivially compressible nor pure noise).
std::vector<uint8_t> MakePicture() {
    std::vector<uint8_t> rgb(static_cast<size_t>(kSize) * kSize * 3);
    uint32_t seed = 1;
    for (int y = 0; y < kSize; y++)
        for (int x = 0; x < kSize; x++) {
            seed = seed * 1664525 + 1013904223;
            int noise = static_cast<int>(seed >> 28) - 8;
            double fx = x / 64.0, fy = y / 64.0;
            int r = static_cast<int>(128 + 100 * std::sin(fx) * std::cos(fy * 0.7)) + noise;
            int g = static_cast<int>(((x / 128 + y / 128) & 1) ? 200 : 60) + noise;
            int b = static_cast<int>((x ^ y) & 0xFF) / 2 + 64 + noise;
            uint8_t* p = &rgb[(static_cast<size_t>(y) * kSize + x) * 3];
            p[0] = static_cast<uint8_t>(std::clamp(r, 0, 255));
            p[1] = static_cast<uint8_t>(std::clamp(g, 0, 255));
            p[2] = static_cast<uint8_t>(std::clamp(b, 0, 255));
        }
    return rgb;
}

std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& rgb) {
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = kSize;
    info.image_height = kSize;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&rgb[static_cast<size_t>(info.next_scanline) * kSize * 3]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

void PngWrite(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}
void PngFlush(png_structp) {}

std::vector<uint8_t> EncodePng(const std::vector<uint8_t>& rgb) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, PngWrite, PngFlush);
    png_set_IHDR(png, info, kSize, kSize, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < kSize; y++)
        png_write_row(png, const_cast<png_bytep>(&rgb[static_cast<size_t>(y) * kSize * 3]));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    std::vector<uint8_t> bytes(static_cast<size_t>(std::ftell(f)));
    std::fseek(f, 0, SEEK_SET);
    if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
    std::fclose(f);
    return bytes;
}

// The library on its own: read the file, decode into a fresh RGB buffer.
uint8_t DirectJpeg(const std::string& path) {
    std::vector<uint8_t> bytes = ReadFile(path);
    jpeg_decompress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), bytes.size());
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    size_t rowBytes = static_cast<size_t>(info.output_width) * 3;
    uint8_t* pixels = static_cast<uint8_t*>(std::malloc(rowBytes * info.output_height));
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels + info.output_scanline * rowBytes;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    uint8_t first = pixels[0];
    std::free(pixels);
    return first;
}

struct TPngSource {
    const uint8_t* data;
    size_t position;
};
void PngRead(png_structp png, png_bytep out, png_size_t count) {
    auto* s = static_cast<TPngSource*>(png_get_io_ptr(png));
    std::memcpy(out, s->data + s->position, count);
    s->position += count;
}

uint8_t DirectPng(const std::string& path) {
    std::vector<uint8_t> bytes = ReadFile(path);
    TPngSource source{bytes.data(), 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_read_fn(png, &source, PngRead);
    png_read_info(png, info);
    png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    size_t rowBytes = static_cast<size_t>(width) * 3;
    uint8_t* pixels = static_cast<uint8_t*>(std::malloc(rowBytes * height));
    for (png_uint_32 y = 0; y < height; y++)
        png_read_row(png, pixels + y * rowBytes, nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    uint8_t first = pixels[0];
    std::free(pixels);
    return first;
}

uint8_t ThroughImage(const std::string& path) {
    TRefPtr<T3dImage> image(new T3dImage());
    image->LoadFromFile(path);
    return static_cast<const uint8_t*>(image->GetData())[0];
}

// Best of kRounds, alternating the two sides so both see the same machine state.
void Measure(const char* name, const std::string& path, uint8_t (*direct)(const std::string&), double& ours,
             double& library) {
    ours = library = 1e9;
    unsigned sink = 0;
    for (int round = 0; round < kRounds; round++) {
        double t0 = Now();
        sink += ThroughImage(path);
        double t1 = Now();
        sink += direct(path);
        double t2 = Now();
        ours = std::min(ours, t1 - t0);
        library = std::min(library, t2 - t1);
    }
    std::printf("%s: LoadFromFile %.2f ms, library directly %.2f ms (checksum %u)\n", name, ours * 1e3,
                library * 1e3, sink);
}

} // namespace

int main() {
    std::vector<uint8_t> rgb = MakePicture();
    char folder[] = "/tmp/zumbrix-bench-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    std::string jpegPath = std::string(folder) + "/picture.jpg",
                pngPath = std::string(folder) + "/picture.png";
    std::vector<uint8_t> jpeg = EncodeJpeg(rgb), png = EncodePng(rgb);
    WriteFile(jpegPath, jpeg);
    WriteFile(pngPath, png);
    std::printf("pictures: %d x %d, JPEG %zu bytes, PNG %zu bytes\n", kSize, kSize, jpeg.size(), png.size());

    double jpegOurs, jpegLibrary, pngOurs, pngLibrary;
    Measure("JPEG", jpegPath, DirectJpeg, jpegOurs, jpegLibrary);
    Measure("PNG", pngPath, DirectPng, pngOurs, pngLibrary);
    std::remove(jpegPath.c_str());
    std::remove(pngPath.c_str());
    rmdir(folder);
    std::printf("jpeg ratio (LoadFromFile / libjpeg-turbo): %.3f\n", jpegOurs / jpegLibrary);
    std::printf("png ratio (LoadFromFile / libpng): %.3f\n", pngOurs / pngLibrary);
    return 0;
}
