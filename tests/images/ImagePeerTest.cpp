// Our picture decoders against ImageMagick. ImageMagick writes every variant
// it can of the formats we read (bit depths, palettes with and without
// transparency, interlacing, 16-bit samples, planar and tiled TIFF with the
// common compressions, grey and alpha, both byte orders, both Targa origins)
// from one 16-bit RGBA source; ImageMagick and we then decode each file, and
// the pixels must agree exactly (JPEG within the IDCT's rounding). Palette
// pictures are compared through their colours.
//
// All files are written once, by one shell script, into a scratch folder;
// the test is skipped where ImageMagick is not installed.
#include "data/3dImage.h"
#include "data/PictureDecoder.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <sys/stat.h>

namespace {

const int kWidth = 37, kHeight = 23; // odd sizes: partial tiles, strips and bytes

struct TPeerVariant {
    const char* file;    // its extension (or a leading "FORMAT:") tells ImageMagick the format
    const char* options; // convert options between the source and the file
    int format;          // the decoder that must take it
    int tolerance;       // per component; only the JPEG IDCT's rounding
    const char* skip;    // why the variant is not compared, or nullptr
};

// clang-format off
const TPeerVariant kVariants[] = {
    // Truevision Targa: both origins, raw and run-length, every kind ImageMagick writes.
    {"rgb.tga",            "-alpha off -depth 8",                               pfTarga, 0, nullptr},
    {"rgb-top.tga",        "-alpha off -depth 8 -orient TopLeft",               pfTarga, 0, nullptr},
    {"rgba.tga",           "-depth 8",                                          pfTarga, 0, nullptr},
    {"rgba-top.tga",       "-depth 8 -orient TopLeft",                          pfTarga, 0, nullptr},
    {"rgb-rle.tga",        "-alpha off -depth 8 -compress RLE",                 pfTarga, 0, nullptr},
    {"rgba-rle-top.tga",   "-depth 8 -compress RLE -orient TopLeft",            pfTarga, 0, nullptr},
    {"grey.tga",           "-alpha off -colorspace Gray -depth 8",              pfTarga, 0, nullptr},
    {"grey-rle-top.tga",   "-alpha off -colorspace Gray -depth 8 -compress RLE -orient TopLeft", pfTarga, 0, nullptr},
    {"palette.tga",        "-alpha off -colors 200 -type Palette -depth 8",     pfTarga, 0, nullptr},
    {"palette-rle.tga",    "-alpha off -colors 30 -type Palette -depth 8 -compress RLE", pfTarga, 0, nullptr},

    // TIFF: strips with every common compression, predictor, byte orders.
    {"rgb.tif",            "-alpha off -depth 8 -compress None",                pfTiff, 0, nullptr},
    {"rgb-lzw.tif",        "-alpha off -depth 8 -compress LZW",                 pfTiff, 0, nullptr},
    {"rgb-lzw-pred.tif",   "-alpha off -depth 8 -compress LZW -define tiff:predictor=2", pfTiff, 0, nullptr},
    {"rgb-zip.tif",        "-alpha off -depth 8 -compress Zip",                 pfTiff, 0, nullptr},
    {"rgb-packbits.tif",   "-alpha off -depth 8 -compress RLE",                 pfTiff, 0, nullptr},
    {"rgb-jpeg.tif",       "-alpha off -depth 8 -compress JPEG",                pfTiff, 0, nullptr},
    {"rgb-lzma.tif",       "-alpha off -depth 8 -compress LZMA",                pfTiff, 0, nullptr},
    {"rgb-zstd.tif",       "-alpha off -depth 8 -compress Zstd",                pfTiff, 0, nullptr},
    {"rgb-webp.tif",       "-alpha off -depth 8 -compress WebP",                pfTiff, 0, nullptr},
    {"rgb-msb.tif",        "-alpha off -depth 8 -endian MSB",                   pfTiff, 0, nullptr},
    {"rgb-bottom.tif",     "-alpha off -depth 8 -orient BottomLeft",            pfTiff, 0, nullptr},
    {"rgba-right.tif",     "-depth 8 -orient TopRight -compress LZW",           pfTiff, 0, nullptr},
    {"rgb-rows1.tif",      "-alpha off -depth 8 -define tiff:rows-per-strip=1", pfTiff, 0, nullptr},
    // 16-bit samples, both byte orders, with and without alpha.
    {"rgb16.tif",          "-alpha off -depth 16",                              pfTiff, 0, nullptr},
    {"rgb16-msb-zip.tif",  "-alpha off -depth 16 -endian MSB -compress Zip",    pfTiff, 0, nullptr},
    {"rgba16.tif",         "-depth 16",                                         pfTiff, 0, nullptr},
    {"rgba16-msb.tif",     "-depth 16 -endian MSB -compress LZW",               pfTiff, 0, nullptr},
    // Alpha: unassociated (ImageMagick's default), associated, unspecified.
    {"rgba.tif",           "-depth 8",                                          pfTiff, 0, nullptr},
    {"rgba-lzw.tif",       "-depth 8 -compress LZW",                            pfTiff, 0, nullptr},
    // Premultiplied colours are divided by alpha again; ImageMagick's floating
    // point rounds some exact halves down.
    {"rgba-assoc.tif",     "-depth 8 -define tiff:alpha=associated",            pfTiff, 1, nullptr},
    {"rgba-unspecified.tif","-depth 8 -define tiff:alpha=unspecified",           pfTiff, 0, nullptr},
    // Planar (one plane per sample).
    {"rgb-planar.tif",     "-alpha off -depth 8 -interlace Plane",              pfTiff, 0, nullptr},
    {"rgba-planar.tif",    "-depth 8 -interlace Plane -compress LZW",           pfTiff, 0, nullptr},
    {"rgba16-planar.tif",  "-depth 16 -interlace Plane -compress Zip",          pfTiff, 0, nullptr},
    {"grey-alpha-planar.tif", "-colorspace Gray -depth 8 -interlace Plane",     pfTiff, 0, nullptr},
    // Tiles, including ones that are not a multiple of 1024 bytes.
    {"rgb-tiled.tif",      "-alpha off -depth 8 -compress None -define tiff:tile-geometry=16x16", pfTiff, 0, nullptr},
    {"rgb-tiled-lzw.tif",  "-alpha off -depth 8 -compress LZW -define tiff:tile-geometry=16x16", pfTiff, 0, nullptr},
    {"rgb-tiled-zip.tif",  "-alpha off -depth 8 -compress Zip -define tiff:tile-geometry=32x16", pfTiff, 0, nullptr},
    {"rgb-tiled-jpeg.tif", "-alpha off -depth 8 -compress JPEG -define tiff:tile-geometry=16x16", pfTiff, 0, nullptr},
    {"rgba-tiled.tif",     "-depth 8 -compress None -define tiff:tile-geometry=16x16", pfTiff, 0, nullptr},
    {"rgba16-tiled.tif",   "-depth 16 -compress LZW -define tiff:tile-geometry=16x16", pfTiff, 0, nullptr},
    {"rgb-tiled-planar.tif", "-alpha off -depth 8 -interlace Plane -define tiff:tile-geometry=16x16", pfTiff, 0, nullptr},
    {"grey-tiled.tif",     "-alpha off -colorspace Gray -depth 8 -define tiff:tile-geometry=16x16", pfTiff, 0, nullptr},
    // Grey: 1, 2, 4, 8 and 16 bits, min-is-white, with alpha, bilevel codecs.
    {"grey.tif",           "-alpha off -colorspace Gray -depth 8",              pfTiff, 0, nullptr},
    {"grey16.tif",         "-alpha off -colorspace Gray -depth 16",             pfTiff, 0, nullptr},
    {"grey16-msb.tif",     "-alpha off -colorspace Gray -depth 16 -endian MSB", pfTiff, 0, nullptr},
    {"grey4.tif",          "-alpha off -colorspace Gray -depth 4",              pfTiff, 0, nullptr},
    {"grey2.tif",          "-alpha off -colorspace Gray -depth 2",              pfTiff, 0, nullptr},
    {"grey-white.tif",     "-alpha off -colorspace Gray -depth 8 -define tiff:photometric=min-is-white", pfTiff, 0, nullptr},
    {"grey-alpha.tif",     "-colorspace Gray -depth 8",                         pfTiff, 0, nullptr},
    {"grey-alpha16.tif",   "-colorspace Gray -depth 16 -compress LZW",          pfTiff, 0, nullptr},
    {"bilevel.tif",        "-alpha off -type Bilevel",                          pfTiff, 0, nullptr},
    {"bilevel-group4.tif", "-alpha off -type Bilevel -compress Group4",         pfTiff, 0, nullptr},
    {"bilevel-fax.tif",    "-alpha off -type Bilevel -compress Fax",            pfTiff, 0, nullptr},
    {"bilevel-packbits.tif", "-alpha off -type Bilevel -compress RLE",          pfTiff, 0, nullptr},
    {"bilevel-lsb.tif",    "-alpha off -type Bilevel -define tiff:fill-order=lsb", pfTiff, 0, nullptr},
    // Palettes of 2, 16 and 256 colours.
    {"palette.tif",        "-alpha off -colors 200 -type Palette -depth 8",     pfTiff, 0, nullptr},
    {"palette-lzw.tif",    "-alpha off -colors 100 -type Palette -depth 8 -compress LZW", pfTiff, 0, nullptr},
    {"palette4.tif",       "-alpha off -colors 16 -type Palette -depth 4",      pfTiff, 0, nullptr},
    {"palette1.tif",       "-alpha off -colors 2 -type Palette -depth 1",       pfTiff, 0, nullptr},
    {"cmyk.tif",           "-alpha off -depth 8 -colorspace CMYK",              pfTiff, 0, nullptr},
    {"float.tif",          "-alpha off -depth 32 -define quantum:format=floating-point", pfTiff, 0,
                           "floating-point samples are not read"},

    // PNG: every colour type and bit depth, transparency, interlacing.
    {"rgb.png",            "-alpha off -depth 8",                               pfPng, 0, nullptr},
    {"rgba.png",           "-depth 8",                                          pfPng, 0, nullptr},
    {"rgb16.png",          "-alpha off -depth 16",                              pfPng, 0, nullptr},
    {"rgba16.png",         "-depth 16",                                         pfPng, 0, nullptr},
    {"grey.png",           "-alpha off -colorspace Gray -depth 8",              pfPng, 0, nullptr},
    {"grey16.png",         "-alpha off -colorspace Gray -depth 16",             pfPng, 0, nullptr},
    {"grey4.png",          "-alpha off -colorspace Gray -depth 4 -define png:bit-depth=4 -define png:color-type=0", pfPng, 0, nullptr},
    {"grey2.png",          "-alpha off -colorspace Gray -depth 2 -define png:bit-depth=2 -define png:color-type=0", pfPng, 0, nullptr},
    {"grey1.png",          "-alpha off -type Bilevel -define png:bit-depth=1 -define png:color-type=0", pfPng, 0, nullptr},
    {"grey-alpha.png",     "-colorspace Gray -depth 8",                         pfPng, 0, nullptr},
    {"grey-alpha16.png",   "-colorspace Gray -depth 16",                        pfPng, 0, nullptr},
    {"PNG8:palette.png",   "-alpha off -colors 200",                            pfPng, 0, nullptr},
    {"palette4.png",       "-alpha off -colors 16 -define png:bit-depth=4 -type Palette", pfPng, 0, nullptr},
    {"palette2.png",       "-alpha off -colors 4 -define png:bit-depth=2 -type Palette", pfPng, 0, nullptr},
    {"palette1.png",       "-alpha off -colors 2 -define png:bit-depth=1 -type Palette", pfPng, 0, nullptr},
    {"PNG8:palette-trns.png", "-channel A -threshold 40% +channel -colors 60",  pfPng, 0, nullptr},
    {"palette-alpha.png",  "-colors 60 -type PaletteAlpha",                     pfPng, 0, nullptr},
    {"rgb-trns.png",       "-channel A -threshold 40% +channel -depth 8 -define png:color-type=2", pfPng, 0, nullptr},
    {"grey-trns.png",      "-colorspace Gray -channel A -threshold 40% +channel -depth 8 -define png:color-type=0", pfPng, 0, nullptr},
    {"rgb-interlaced.png", "-alpha off -depth 8 -interlace PNG",                pfPng, 0, nullptr},
    {"rgba16-interlaced.png", "-depth 16 -interlace PNG",                       pfPng, 0, nullptr},
    {"palette-interlaced.png", "-alpha off -colors 16 -type Palette -interlace PNG", pfPng, 0, nullptr},
    {"grey2-interlaced.png", "-alpha off -colorspace Gray -depth 2 -define png:bit-depth=2 -define png:color-type=0 -interlace PNG", pfPng, 0, nullptr},

    // GIF: palette sizes, interlacing, transparency, both versions.
    {"palette.gif",        "-alpha off -colors 256",                            pfGif, 0, nullptr},
    {"palette16.gif",      "-alpha off -colors 16",                             pfGif, 0, nullptr},
    {"palette2.gif",       "-alpha off -colors 2",                              pfGif, 0, nullptr},
    {"interlaced.gif",     "-alpha off -colors 64 -interlace GIF",              pfGif, 0, nullptr},
    {"transparent.gif",    "-channel A -threshold 40% +channel -colors 60",     pfGif, 0, nullptr},
    {"GIF87:gif87.gif",    "-alpha off -colors 32",                             pfGif, 0, nullptr},

    // PCX: true colour planes, 8-bit palette, bilevel.
    {"rgb.pcx",            "-alpha off -depth 8",                               pfPcx, 0, nullptr},
    {"rgba.pcx",           "-depth 8",                                          pfPcx, 0, nullptr},
    {"palette.pcx",        "-alpha off -colors 200 -type Palette",              pfPcx, 0, nullptr},
    {"palette16.pcx",      "-alpha off -colors 16 -type Palette",               pfPcx, 0, nullptr},
    {"bilevel.pcx",        "-alpha off -type Bilevel",                          pfPcx, 0, nullptr},

    // SGI: raw and run-length, 8 and 16 bits, one to four channels.
    {"rgb.sgi",            "-alpha off -depth 8 -compress None",                pfSgi, 0, nullptr},
    {"rgb-rle.sgi",        "-alpha off -depth 8 -compress RLE",                 pfSgi, 0, nullptr},
    {"rgba.sgi",           "-depth 8 -compress RLE",                            pfSgi, 0, nullptr},
    {"rgb16.sgi",          "-alpha off -depth 16 -compress None",               pfSgi, 0, nullptr},
    {"rgba16-rle.sgi",     "-depth 16 -compress RLE",                           pfSgi, 0, nullptr},
    {"grey.sgi",           "-alpha off -colorspace Gray -depth 8",              pfSgi, 0, nullptr},
    {"grey-alpha.sgi",     "-colorspace Gray -depth 8",                         pfSgi, 0, nullptr},

    // Photoshop: RGB composites, 8 and 16 bits, raw and run-length.
    {"rgb.psd",            "-alpha off -depth 8 -compress None",                pfPsd, 0, nullptr},
    {"rgb-rle.psd",        "-alpha off -depth 8 -compress RLE",                 pfPsd, 0, nullptr},
    {"rgba-binary.psd",    "-channel A -threshold 40% +channel -depth 8 -compress RLE", pfPsd, 0, nullptr},
    {"rgba.psd",           "-depth 8 -compress RLE",                            pfPsd, 0,
                           "ImageMagick writes the composite without the white matte Photoshop gives it, "
                           "but takes the matte out when it reads"},
    {"rgba16.psd",         "-channel A -threshold 40% +channel -depth 16 -compress None", pfPsd, 0, nullptr},
    {"rgb16.psd",          "-alpha off -depth 16 -compress None",               pfPsd, 0, nullptr},
    {"grey.psd",           "-alpha off -colorspace Gray -depth 8",              pfPsd, 0,
                           "only RGB Photoshop files are read"},
    {"cmyk.psd",           "-alpha off -colorspace CMYK -depth 8",              pfPsd, 0,
                           "only RGB Photoshop files are read"},

    // Portable pixmaps, ASCII and binary, 8 and 16 bits.
    {"bitmap.pbm",         "-alpha off -type Bilevel",                          pfPnm, 0, nullptr},
    {"bitmap-ascii.pbm",   "-alpha off -type Bilevel -compress None",           pfPnm, 0, nullptr},
    {"grey.pgm",           "-alpha off -depth 8",                               pfPnm, 0, nullptr},
    {"grey-ascii.pgm",     "-alpha off -depth 8 -compress None",                pfPnm, 0, nullptr},
    {"grey16.pgm",         "-alpha off -depth 16",                              pfPnm, 0, nullptr},
    {"rgb.ppm",            "-alpha off -depth 8",                               pfPnm, 0, nullptr},
    {"rgb-ascii.ppm",      "-alpha off -depth 8 -compress None",                pfPnm, 0, nullptr},
    {"rgb16.ppm",          "-alpha off -depth 16",                              pfPnm, 0, nullptr},
    {"rgba.pam",           "-depth 8",                                          pfPnm, 0,
                           "PAM (P7) files are not read"},

    // JPEG: sampling, progressive, grey, CMYK, arithmetic coding.
    {"q90.jpg",            "-alpha off -quality 90",                            pfJpeg, 1, nullptr},
    {"q50-444.jpg",        "-alpha off -quality 50 -sampling-factor 1x1",       pfJpeg, 1, nullptr},
    {"q75-422.jpg",        "-alpha off -quality 75 -sampling-factor 2x1",       pfJpeg, 1, nullptr},
    {"progressive.jpg",    "-alpha off -quality 85 -interlace JPEG",            pfJpeg, 1, nullptr},
    {"grey.jpg",           "-alpha off -colorspace Gray -quality 90",           pfJpeg, 1, nullptr},
    {"cmyk.jpg",           "-alpha off -colorspace CMYK -quality 95",           pfJpeg, 1, nullptr},
    {"arithmetic.jpg",     "-alpha off -quality 90 -define jpeg:arithmetic-coding=true", pfJpeg, 1, nullptr},
};
// clang-format on

std::string FindProgram(const char* name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "";
}

// The source: 16-bit RGBA whose every sample differs from its neighbours, with
// alpha running through the whole range (fully transparent and opaque included).
std::vector<uint8_t> MakeSource() {
    std::vector<uint8_t> raw;
    for (int y = 0; y < kHeight; y++)
        for (int x = 0; x < kWidth; x++) {
            const uint16_t v[4] = {uint16_t(x * 1771 + y * 13), uint16_t(y * 2851 + x * 7 + 300),
                                   uint16_t((x + y) * 997 + (x * y) % 251),
                                   uint16_t(x == 0   ? 0
                                            : y == 0 ? 65535
                                                     : x * y * 313 + 5000)};
            for (uint16_t s : v)
                raw.insert(raw.end(), {uint8_t(s & 0xFF), uint8_t(s >> 8)});
        }
    return raw;
}

// A variant's file name without the "PNG8:" style format that may lead it.
std::string FileName(const TPeerVariant& v) {
    const char* colon = std::strchr(v.file, ':');
    return colon ? colon + 1 : v.file;
}

struct TRgba {
    int c[4];
};

// Our decoding of pixel (x, y), y counted from the top, as RGBA. One-component
// images hold palette indices (looked up in the decoder's palette) or grey levels.
TRgba OurPixel(T3dImage& image, const TBitmap& decoded, int x, int y) {
    const int row = image.GetHeight() - 1 - y;
    const int n = image.Components();
    if (n >= 3)
        return {{image.GetUInt8(x, row, 0, 0), image.GetUInt8(x, row, 1, 0), image.GetUInt8(x, row, 2, 0),
                 n == 4 ? image.GetUInt8(x, row, 3, 0) : 255}};
    const int v = image.GetUInt8(x, row, 0, 0);
    const auto& palette = decoded.Palette();
    const bool levels = palette.empty() || (decoded.BitsPerPixel() < 8 && decoded.PaletteIsGrey());
    if (levels) return {{v, v, v, 255}};
    if (v >= static_cast<int>(palette.size())) return {{-1, -1, -1, -1}};
    const TBitmapColor& c = palette[v];
    return {{c.red, c.green, c.blue, c.alpha}};
}

// Compares one variant; returns "" when it agrees, else what differs.
std::string Compare(const TempDir& dir, const TPeerVariant& v) {
    std::vector<uint8_t> wide = ReadFileBytes(dir.File(FileName(v) + ".rgba"));
    if (wide.size() != static_cast<size_t>(kWidth) * kHeight * 8)
        return "ImageMagick's decoding has the wrong size";
    // 16-bit samples to the nearest 8-bit value, as our decoders reduce them.
    std::vector<uint8_t> reference(wide.size() / 2);
    for (size_t i = 0; i < reference.size(); i++)
        reference[i] = static_cast<uint8_t>(((wide[2 * i] | (wide[2 * i + 1] << 8)) * 255 + 32767) / 65535);
    std::vector<uint8_t> bytes = ReadFileBytes(dir.File(FileName(v)));
    TRefPtr<T3dImage> image(new T3dImage());
    TBitmap decoded;
    try {
        TReadOnlyMemoryStream stream(bytes.data(), static_cast<int64_t>(bytes.size()));
        image->LoadFromStream(stream);
        TReadOnlyMemoryStream again(bytes.data(), static_cast<int64_t>(bytes.size()));
        TBitmapTarget target(decoded);
        DecodePicture(again, target);
    } catch (const std::exception& e) {
        return std::string("not decoded: ") + e.what();
    }
    std::ostringstream out;
    if (image->LastFormat() != v.format)
        out << "decoded as " << PictureFormatName(image->LastFormat()) << ", not "
            << PictureFormatName(v.format) << "; ";
    if (image->GetWidth() != kWidth || image->GetHeight() != kHeight || image->GetDepth() != 1 ||
        image->GetComponentType() != ctUInt8 || image->Components() == 2) {
        out << "layout " << image->GetWidth() << "x" << image->GetHeight() << "x" << image->GetDepth()
            << ", format " << int(image->GetFormat()) << ", type " << int(image->GetComponentType());
        return out.str();
    }
    // Indexed pictures keep one byte per pixel exactly when their palette is
    // grey (or absent): colour palettes become RGB or RGBA.
    if (decoded.BitsPerPixel() <= 8 && (image->Components() == 1) == decoded.PaletteIsColour())
        out << decoded.BitsPerPixel() << "-bit picture became " << image->Components()
            << " bytes per pixel; ";
    int bad = 0;
    for (int y = 0; y < kHeight; y++)
        for (int x = 0; x < kWidth; x++) {
            TRgba ours = OurPixel(*image, decoded, x, y);
            const uint8_t* theirs = &reference[(static_cast<size_t>(y) * kWidth + x) * 4];
            bool same = true;
            for (int c = 0; c < 4; c++)
                same = same && std::abs(ours.c[c] - theirs[c]) <= v.tolerance;
            if (same) continue;
            if (bad++ == 0)
                out << "pixel " << x << "," << y << ": ours " << ours.c[0] << "," << ours.c[1] << ","
                    << ours.c[2] << "," << ours.c[3] << ", ImageMagick's " << int(theirs[0]) << ","
                    << int(theirs[1]) << "," << int(theirs[2]) << "," << int(theirs[3]);
        }
    if (bad) out << " (" << bad << " pixels differ)";
    return out.str();
}

} // namespace

TEST(ImagePeer, EveryVariantImageMagickWritesDecodesAsImageMagickDecodesIt) {
    const std::string convert = FindProgram("convert");
    if (convert.empty()) GTEST_SKIP() << "ImageMagick (convert) is not installed";
    TempDir dir;
    WriteFileBytes(dir.File("source.rgba"), MakeSource());
    // One script writes every variant and ImageMagick's decoding of it as
    // 8-bit RGBA; a variant this ImageMagick cannot write leaves no files.
    std::string script = "cd '" + dir.Path() + "'\n";
    const std::string source = "-size " + std::to_string(kWidth) + "x" + std::to_string(kHeight) +
                               " -depth 16 -endian LSB rgba:source.rgba";
    // ImageMagick's decoding: the first picture of the file (a Photoshop file
    // holds its layers after the composite) at 16 bits per sample, reduced to
    // 8 bits with rounding below (ImageMagick's own -depth 8 truncates). A
    // bottom-left Targa or TIFF keeps its stored row order in ImageMagick
    // until -auto-orient turns it upright.
    const std::string reference = "-auto-orient -depth 16 -endian LSB";
    for (const TPeerVariant& v : kVariants) {
        if (v.skip) continue;
        const std::string name = FileName(v), path = dir.File(name);
        const std::string format(v.file, std::strlen(v.file) - name.size()); // "PNG8:" or ""
        script += "'" + convert + "' " + source + " " + v.options + " " + format + path +
                  " 2>/dev/null && '" + convert + "' '" + path + "[0]' " + reference + " rgba:" + path +
                  ".rgba 2>/dev/null\n";
    }
    WriteFileText(dir.File("make.sh"), script);
    CommandResult made = RunProgram("/bin/sh", {dir.File("make.sh")});
    (void)made; // missing files are reported per variant below

    std::string failures, skipped;
    int compared = 0;
    for (const TPeerVariant& v : kVariants) {
        if (v.skip) {
            skipped += std::string("  ") + v.file + ": " + v.skip + "\n";
            continue;
        }
        if (!FileExists(dir.File(FileName(v) + ".rgba"))) {
            skipped += std::string("  ") + v.file + ": this ImageMagick cannot write it\n";
            continue;
        }
        compared++;
        std::string difference = Compare(dir, v);
        if (!difference.empty()) failures += std::string("  ") + v.file + ": " + difference + "\n";
    }
    std::printf("compared %d variants with ImageMagick; skipped:\n%s", compared, skipped.c_str());
    EXPECT_TRUE(failures.empty()) << "decoded differently from ImageMagick:\n" << failures;
    EXPECT_GT(compared, 50);
}
