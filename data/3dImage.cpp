#include "data/3dImage.h"

#include "data/FlexibleStream.h"
#include "data/PictureDecoder.h"
#include "platform/Format.h"

#include <cmath>
#include <cstring>

namespace {

// An 8-bit picture whose bytes are already what the image keeps: grey levels
// without a palette, or with an opaque grey palette whose entry i is level i.
bool LevelsAsStored(const std::vector<TBitmapColor>& palette) {
    for (size_t i = 0; i < palette.size(); i++) {
        const TBitmapColor& c = palette[i];
        if (c.red != i || c.green != i || c.blue != i || c.alpha != 255) return false;
    }
    return true;
}

// Writes decoded rows straight into the image: 24 and 32-bit pictures, and
// 8-bit grey levels stored as they are,
// land in their final row (row 0 = bottom) in red-green-blue order, which is
// what FromBitmap followed by FlipVertical makes of them. Other depths are
// collected in a bitmap and converted by FromBitmap and FlipVertical.
class TImageTarget : public TPictureTarget {
public:
    explicit TImageTarget(T3dImage& image) : image_(image) {}

    void Begin(int32_t width, int32_t height, int32_t bits,
               const std::vector<TBitmapColor>& palette) override {
        CheckPictureSize(width, height, bits);
        direct_ = (bits == 8 && LevelsAsStored(palette)) || bits == 24 || bits == 32;
        if (direct_) {
            uint8_t format = bits == 8 ? ifOne : bits == 24 ? ifThree : ifFour;
            image_.Allocate(nullptr, width, format, ctUInt8, 1, height);
            base_ = static_cast<uint8_t*>(image_.GetData());
            rowBytes_ = static_cast<size_t>(width) * (bits / 8);
            height_ = height;
        } else {
            bitmap_.SetSize(width, height, bits);
            bitmap_.Palette() = palette;
        }
    }
    uint8_t* Row(int32_t r) override {
        return direct_ ? base_ + static_cast<size_t>(height_ - 1 - r) * rowBytes_ : bitmap_.Row(r);
    }
    size_t RowBytes() const override { return direct_ ? rowBytes_ : bitmap_.RowBytes(); }
    bool RedFirst() const override { return true; }
    void Finish() override {
        if (direct_) return;
        image_.FromBitmap(&bitmap_);
        image_.FlipVertical();
    }

private:
    T3dImage& image_;
    bool direct_ = false;
    uint8_t* base_ = nullptr;
    size_t rowBytes_ = 0;
    int32_t height_ = 0;
    TBitmap bitmap_;
};

int32_t ReadInt32(TStream& stream) {
    uint8_t b[4];
    stream.ReadBuffer(b, 4);
    return static_cast<int32_t>(uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) |
                                (uint32_t(b[3]) << 24));
}

void PutInt32(std::vector<uint8_t>& out, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; i++)
        out.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

// v * 255 to the nearest integer (ties to even), clamped to 0..255.
uint8_t UnitToByte(float v) {
    float r = std::nearbyint(v * 255.0f);
    if (!(r >= 0.0f)) return 0;
    if (r > 255.0f) return 255;
    return static_cast<uint8_t>(r);
}

// Vector normalisation of the math library: a zero length becomes 1e-7, the
// reciprocal is rounded to a float.
void Normalize(float& x, float& y, float& z) {
    float length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0f) length = 1e-7f;
    float r = 1.0f / length;
    x *= r;
    y *= r;
    z *= r;
}

void WriteFile(const char* name, const std::vector<uint8_t>& bytes) {
    TFileStream file(name, TFileStream::fmCreate);
    file.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

} // namespace

T3dImage::~T3dImage() {
    ReleaseData(true);
}

TRefPtr<I3dImage> T3dImage::Create() {
    return TRefPtr<I3dImage>(new T3dImage());
}

void T3dImage::LoadFromFile(const std::string& name) {
    TFlexibleStream stream(name);
    LoadFromStream(stream);
}

void T3dImage::LoadFromStream(TStream& stream) {
    int64_t start = stream.GetPosition();
    char magic[6] = {};
    int64_t got = 0;
    while (got < 6) {
        int64_t n = stream.Read(magic + got, 6 - got);
        if (n <= 0) break;
        got += n;
    }
    if (got == 6 && std::memcmp(magic, kRawImageMagic, 6) == 0) {
        int32_t width = ReadInt32(stream), height = ReadInt32(stream), depth = ReadInt32(stream);
        uint64_t bytes = ImageBytes(width, height, depth, 4, 1);
        if (bytes == 0)
            throw EInvalidGraphic(
                Format("Raw image size %d x %d x %d is out of range", width, height, depth));
        // A file too short for its pixels fails before anything is allocated.
        if (static_cast<uint64_t>(std::max<int64_t>(stream.GetSize() - stream.GetPosition(), 0)) < bytes)
            throw EReadError("Stream read error");
        Allocate(nullptr, width, ifFour, ctUInt8, depth, height);
        stream.ReadBuffer(data_, static_cast<int64_t>(bytes));
        lastFormat_ = -1;
        return;
    }
    stream.SetPosition(start);
    TImageTarget target(*this);
    lastFormat_ = DecodePicture(stream, target);
}

void T3dImage::FromBitmap(const TBitmap* bitmap) {
    if (!bitmap) return;
    const int bits = bitmap->BitsPerPixel();
    const int32_t width = bitmap->Width(), height = bitmap->Height();
    if (width < 1 || height < 1) return;
    uint8_t format;
    // Indexed pictures (1, 4 and 8 bits) with a colour palette become its
    // colours, with alpha when the palette carries transparency; without a
    // palette or with an opaque grey one they keep one component, the grey
    // level (height maps are such pictures).
    const bool colour = bits <= 8 && bitmap->PaletteIsColour();
    const bool alpha = colour && bitmap->PaletteHasAlpha();
    switch (bits) {
    case 1:
    case 4:
    case 8:
        format = !colour ? ifOne : alpha ? ifFour : ifThree;
        break;
    case 15:
    case 16:
    case 24:
        format = ifThree;
        break;
    case 32:
        format = ifFour;
        break;
    default:
        return; // other depths: nothing is allocated or changed
    }
    Allocate(nullptr, width, format, ctUInt8, 1, height);
    uint8_t* out = static_cast<uint8_t*>(data_);
    const size_t outRow = static_cast<size_t>(width) * components_;
    // What each palette index becomes: its grey level (the index itself
    // past the palette), or its colour (opaque black past the palette).
    uint8_t levels[256];
    uint8_t colours[256][4];
    const auto& palette = bitmap->Palette();
    for (int i = 0; i < 256; i++) {
        const bool known = i < static_cast<int>(palette.size());
        levels[i] = known ? palette[i].red : static_cast<uint8_t>(i);
        const TBitmapColor c = known ? palette[i] : TBitmapColor{0, 0, 0, 255};
        colours[i][0] = c.red;
        colours[i][1] = c.green;
        colours[i][2] = c.blue;
        colours[i][3] = alpha ? c.alpha : 255;
    }
    const size_t n = components_;
    auto put = [&](uint8_t* o, int32_t x, unsigned index) {
        if (colour)
            std::memcpy(o + static_cast<size_t>(x) * n, colours[index], n);
        else
            o[x] = levels[index];
    };
    for (int32_t r = 0; r < height; r++) {
        const uint8_t* in = bitmap->Row(r);
        uint8_t* o = out + static_cast<size_t>(r) * outRow;
        switch (bits) {
        case 1:
            for (int32_t x = 0; x < width; x++)
                put(o, x, (in[x >> 3] >> (7 - (x & 7))) & 1);
            break;
        case 4:
            for (int32_t x = 0; x < width; x++)
                put(o, x, (in[x >> 1] >> ((x & 1) ? 0 : 4)) & 15);
            break;
        case 8:
            for (int32_t x = 0; x < width; x++)
                put(o, x, in[x]);
            break;
        case 15:
        case 16:
            for (int32_t x = 0; x < width; x++) {
                unsigned w = in[2 * x] | (in[2 * x + 1] << 8);
                auto expand = [](unsigned v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); };
                o[3 * x + 0] = expand((w >> 10) & 31);
                o[3 * x + 1] = expand((w >> 5) & 31);
                o[3 * x + 2] = expand(w & 31);
            }
            break;
        case 24:
            for (int32_t x = 0; x < width; x++) {
                o[3 * x + 0] = in[3 * x + 2];
                o[3 * x + 1] = in[3 * x + 1];
                o[3 * x + 2] = in[3 * x + 0];
            }
            break;
        default:
            for (int32_t x = 0; x < width; x++) {
                o[4 * x + 0] = in[4 * x + 2];
                o[4 * x + 1] = in[4 * x + 1];
                o[4 * x + 2] = in[4 * x + 0];
                o[4 * x + 3] = in[4 * x + 3];
            }
            break;
        }
    }
}

bool T3dImage::TryLoadFromFile(const char* name) {
    try {
        LoadFromFile(name ? name : "");
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::vector<uint8_t> T3dImage::EncodeTargaFile() {
    if (!data_) throw EImageError("Cannot save an image without pixels");
    // Slice 0, components read as bytes; picture row r is image row h - 1 - r.
    TBitmap picture;
    const int bits = format_ == ifOne ? 8 : format_ == ifFour ? 32 : 24;
    picture.SetSize(width_, height_, bits);
    const uint8_t* base = static_cast<const uint8_t*>(data_);
    const bool bytes = componentType_ == ctUInt8 || componentType_ == ctInt8;
    for (int32_t r = 0; r < height_; r++) {
        int32_t y = height_ - 1 - r;
        uint8_t* out = picture.Row(r);
        if (bytes && format_ == ifOne) {
            std::memcpy(out, base + static_cast<size_t>(y) * width_, static_cast<size_t>(width_));
            continue;
        }
        for (int32_t x = 0; x < width_; x++) {
            auto c = [&](int comp) {
                return bytes ? Element<uint8_t>(x, y, comp, 0) : ReadByte(x, y, comp, 0);
            };
            switch (format_) {
            case ifOne:
                *out++ = c(0);
                break;
            case ifTwo:
                *out++ = 0;
                *out++ = c(1);
                *out++ = c(0);
                break;
            case ifThree:
                *out++ = c(2);
                *out++ = c(1);
                *out++ = c(0);
                break;
            default:
                *out++ = c(2);
                *out++ = c(1);
                *out++ = c(0);
                *out++ = c(3);
                break;
            }
        }
    }
    return EncodeTarga(picture);
}

std::vector<uint8_t> T3dImage::EncodeRawFile() {
    if (!data_) throw EImageError("Cannot save an image without pixels");
    std::vector<uint8_t> out(kRawImageMagic, kRawImageMagic + 6);
    PutInt32(out, width_);
    PutInt32(out, height_);
    PutInt32(out, depth_);
    const size_t pixels = static_cast<size_t>(width_) * height_ * depth_;
    out.reserve(out.size() + pixels * 4);
    const bool float4 = componentType_ == ctFloat32 && format_ == ifFour;
    for (int32_t z = 0; z < depth_; z++)
        for (int32_t y = 0; y < height_; y++)
            for (int32_t x = 0; x < width_; x++) {
                if (float4) {
                    float color[4];
                    GetColor(x, y, color, z);
                    for (float v : color)
                        out.push_back(UnitToByte(v));
                    continue;
                }
                // Other layouts: each component as a byte; a missing alpha is
                // opaque, missing colours are 0 (grey images repeat their level).
                for (int c = 0; c < 4; c++) {
                    uint8_t v;
                    if (c < components_ && !(components_ == 2 && c == 1))
                        v = ReadByte(x, y, c, z);
                    else if (c == 3)
                        v = components_ == 2 ? ReadByte(x, y, 1, z) : 255;
                    else if (components_ <= 2)
                        v = ReadByte(x, y, 0, z);
                    else
                        v = 0;
                    out.push_back(v);
                }
            }
    return out;
}

bool T3dImage::SaveToFile(const char* name, int32_t kind) {
    if (kind == 0)
        WriteFile(name, EncodeTargaFile());
    else if (kind == 1)
        WriteFile(name, EncodeRawFile());
    return true;
}

int32_t T3dImage::AttachContext(I3dImageContext* context, uint8_t componentType, uint8_t format) {
    context_ = context;
    if (context)
        Allocate(nullptr, context->GetWidth(), format, componentType, context->GetDepth(),
                 context->GetHeight());
    bindingState_ = 2;
    return 1;
}

void T3dImage::ReadFromContext(int32_t kind) {
    if (bindingState_ != 2 || !context_ || !data_) return;
    switch (kind) {
    case rkFront:
        context_->ReadFront(0, 0, width_, height_, data_);
        break;
    case rkBack:
        context_->ReadBack(0, 0, width_, height_, data_);
        break;
    case rkStencil:
        context_->ReadStencil(0, 0, width_, height_, data_);
        break;
    case rkDepth:
        context_->ReadDepth(0, 0, width_, height_, data_);
        break;
    default:
        break;
    }
}

void T3dImage::MakeNormalizationCubeFace(int32_t size, int32_t face) {
    Allocate(nullptr, size, ifThree, ctUInt8, 1, size);
    const int32_t n = width_;
    if (face < 0 || face > 5) return;
    const float h = static_cast<float>(n - 1) / 2.0f;
    uint8_t* out = static_cast<uint8_t*>(data_);
    for (int32_t e = 0; e < n; e++)
        for (int32_t u = 0; u < n; u++) {
            float fe = static_cast<float>(e), fu = static_cast<float>(u);
            float x, y, z;
            switch (face) {
            case 0:
                x = h;
                y = h - fe;
                z = h - fu;
                break;
            case 1:
                x = -h;
                y = h - fe;
                z = fu - h;
                break;
            case 2:
                x = fu - h;
                y = h;
                z = fe - h;
                break;
            case 3:
                x = fu - h;
                y = -h;
                z = h - fe;
                break;
            case 4:
                x = fu - h;
                y = h - fe;
                z = h;
                break;
            default:
                x = h - fu;
                y = h - fe;
                z = -h;
                break;
            }
            Normalize(x, y, z);
            uint8_t* p = out + (static_cast<size_t>(e) * n + u) * 3;
            p[0] = static_cast<uint8_t>(std::nearbyint((x + 1.0f) / 2.0f * 255.0f));
            p[1] = static_cast<uint8_t>(std::nearbyint((y + 1.0f) / 2.0f * 255.0f));
            p[2] = static_cast<uint8_t>(std::nearbyint((z + 1.0f) / 2.0f * 255.0f));
        }
}

void T3dImage::MakeNormalMap(IFlexibleImage* heights, float scale) {
    if (!heights || !heights->GetData()) return;
    // A height image that is this image itself is copied first, since
    // Allocate replaces the memory it is read from.
    TRefPtr<TFlexibleImage> copy;
    if (heights == static_cast<IFlexibleImage*>(this)) {
        copy = new TFlexibleImage();
        copy->CopyFrom(heights);
        heights = copy.Get();
    }
    const int32_t w = heights->GetWidth(), h = heights->GetHeight();
    // The height of each byte value, and the first byte of each row: the
    // heights are read straight from memory (as GetUInt8 reads them) rather
    // than through a virtual call per sample.
    float height[256];
    for (int i = 0; i < 256; i++)
        height[i] = static_cast<float>(i) / 255.0f * scale;
    auto* flexible = dynamic_cast<TFlexibleImage*>(heights);
    const uint8_t* bytes = flexible ? static_cast<const uint8_t*>(flexible->GetData()) : nullptr;
    const size_t components = flexible ? static_cast<size_t>(flexible->Components()) : 1;
    auto sample = [&](int32_t x, int32_t y) -> float {
        if (bytes) return height[bytes[(static_cast<size_t>(y) * static_cast<size_t>(w) + x) * components]];
        return height[heights->GetUInt8(x, y, 0, 0)];
    };
    Allocate(nullptr, w, ifThree, ctFloat32, 1, h);
    float* out = static_cast<float*>(data_);
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++) {
            float a = sample(x, y);
            float b = sample((w - 1) & (x + 1), y);
            float c = sample(x, (h - 1) & (y + 1));
            float ux = 0, uy = 1, uz = c - a;
            float vx = 1, vy = 0, vz = a - b;
            Normalize(ux, uy, uz);
            Normalize(vx, vy, vz);
            // N = V x U
            float nx = vy * uz - vz * uy, ny = vz * ux - vx * uz, nz = vx * uy - vy * ux;
            Normalize(nx, ny, nz);
            float* p = out + (static_cast<size_t>(y) * w + x) * 3;
            p[0] = nx * 0.5f + 0.5f;
            p[1] = ny * 0.5f + 0.5f;
            p[2] = nz * 0.5f + 0.5f;
        }
}
