// The image container, colour access and generators: layouts, accessors,
// flips, canvas changes, resampling, histogram, bitmaps, cube faces, normal maps.
#include "data/3dImage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

TRefPtr<T3dImage> NewImage() {
    return TRefPtr<T3dImage>(new T3dImage());
}

// Fills an 8-bit image with value = x + 10 y + 100 z + 50 c (mod 256).
void FillPattern(T3dImage& image) {
    for (int z = 0; z < image.GetDepth(); z++)
        for (int y = 0; y < image.GetHeight(); y++)
            for (int x = 0; x < image.GetWidth(); x++)
                for (int c = 0; c < image.Components(); c++)
                    image.SetUInt8(x, y, c, z, static_cast<uint8_t>(x + 10 * y + 100 * z + 50 * c));
}

} // namespace

TEST(ImageLayout, SizesAreAtLeastOneAndFormatSetsComponents) {
    auto image = NewImage();
    image->SetWidth(0);
    image->SetHeight(-5);
    image->SetDepth(0);
    EXPECT_EQ(image->GetWidth(), 1);
    EXPECT_EQ(image->GetHeight(), 1);
    EXPECT_EQ(image->GetDepth(), 1);
    for (uint8_t f = 0; f < 4; f++) {
        image->SetFormat(f);
        EXPECT_EQ(image->Components(), f + 1);
    }
    image->SetComponentType(ctFloat64);
    EXPECT_EQ(image->GetComponentType(), ctFloat64);
    EXPECT_EQ(image->ComponentBytes(), 8);
}

TEST(ImageLayout, AccessorsAddressTheDocumentedElement) {
    auto image = NewImage();
    image->Allocate(nullptr, 3, ifTwo, ctUInt16, 2, 4);
    EXPECT_EQ(image->DataBytes(), 3u * 4 * 2 * 2 * 2);
    image->SetUInt16(2, 3, 1, 1, 0xBEEF);
    const uint16_t* words = static_cast<const uint16_t*>(image->GetData());
    EXPECT_EQ(words[(2 + (3 + 1 * 4) * 3) * 2 + 1], 0xBEEF);
    image->Allocate(nullptr, 2, ifFour, ctFloat32, 1, 2);
    image->SetFloat32(1, 1, 3, 0, 0.25f);
    EXPECT_EQ(static_cast<const float*>(image->GetData())[(1 + 1 * 2) * 4 + 3], 0.25f);
    float color[4] = {1, 2, 3, 4}, back[4];
    image->SetColor(0, 1, color, 0);
    image->GetColor(0, 1, back, 0);
    EXPECT_EQ(std::memcmp(color, back, 16), 0);
    EXPECT_EQ(image->GetFloat32(0, 1, 2, 0), 3.0f);
}

TEST(ImageLayout, ClearOnlyTouchesSmallComponents) {
    auto image = NewImage();
    image->Allocate(nullptr, 4, ifOne, ctInt16, 1, 4);
    image->SetInt16(1, 1, 0, 0, -7);
    image->Clear();
    EXPECT_EQ(image->GetInt16(1, 1, 0, 0), 0);
    image->Allocate(nullptr, 4, ifOne, ctUInt32, 1, 4);
    image->SetUInt32(1, 1, 0, 0, 99);
    image->Clear();
    EXPECT_EQ(image->GetUInt32(1, 1, 0, 0), 99u);
}

TEST(ImageLayout, OversizedLayoutsAreRefused) {
    auto image = NewImage();
    EXPECT_THROW(image->Allocate(nullptr, 40000, ifOne, ctUInt8, 1, 1), EImageError);
    EXPECT_THROW(image->Allocate(nullptr, 32768, ifFour, ctFloat64, 1, 32768), EImageError);
    EXPECT_EQ(ImageBytes(32768, 32768, 1, 1, 1), uint64_t(1) << 30);
    EXPECT_EQ(ImageBytes(32768, 32768, 2, 1, 1), 0u);
    EXPECT_EQ(ImageBytes(-1, 5, 1, 1, 1), 0u);
}

TEST(ImageLayout, AdoptedBlocksBelongToThe3dImage) {
    // The block must be freed by the image's end exactly once (the sanitizer
    // build reports a leak or a double free otherwise).
    auto image = NewImage();
    void* block = std::malloc(16);
    image->Allocate(block, 2, ifFour, ctUInt8, 1, 2);
    EXPECT_EQ(image->GetData(), block);
    EXPECT_TRUE(image->OwnsData());
    image->ResizeCanvas(3, 3, 1); // frees the adopted block, allocates its own
    EXPECT_NE(image->GetData(), nullptr);
}

TEST(ImageEdit, FlipsMoveWholePixelsInEverySlice) {
    auto image = NewImage();
    image->Allocate(nullptr, 3, ifThree, ctUInt8, 2, 2);
    FillPattern(*image);
    image->FlipVertical();
    EXPECT_EQ(image->GetUInt8(2, 0, 1, 1), uint8_t(2 + 10 * 1 + 100 + 50));
    EXPECT_EQ(image->GetUInt8(0, 1, 0, 0), uint8_t(0));
    image->FlipHorizontal();
    EXPECT_EQ(image->GetUInt8(0, 0, 2, 1), uint8_t(2 + 10 + 100 + 100));
    // 64-bit components: flips move all eight bytes of each component.
    image->Allocate(nullptr, 2, ifTwo, ctFloat64, 1, 1);
    image->SetFloat64(0, 0, 1, 0, 1.5);
    image->SetFloat64(1, 0, 1, 0, -2.5);
    image->FlipHorizontal();
    EXPECT_EQ(image->GetFloat64(0, 0, 1, 0), -2.5);
    EXPECT_EQ(image->GetFloat64(1, 0, 1, 0), 1.5);
}

TEST(ImageEdit, ResizeCanvasRepeatsTheLastRowColumnAndSlice) {
    auto image = NewImage();
    image->Allocate(nullptr, 2, ifTwo, ctUInt8, 1, 2);
    FillPattern(*image);
    image->ResizeCanvas(4, 3, 2);
    EXPECT_EQ(image->GetWidth(), 4);
    EXPECT_EQ(image->GetDepth(), 2);
    for (int z = 0; z < 2; z++)
        for (int y = 0; y < 3; y++)
            for (int x = 0; x < 4; x++)
                EXPECT_EQ(image->GetUInt8(x, y, 1, z), uint8_t(std::min(x, 1) + 10 * std::min(y, 1) + 50));
    image->ResizeCanvas(1, 1, 1);
    EXPECT_EQ(image->GetUInt8(0, 0, 1, 0), 50);
}

TEST(ImageEdit, ResampleIsBilinear) {
    auto image = NewImage();
    image->Allocate(nullptr, 2, ifOne, ctUInt8, 1, 1);
    image->SetUInt8(0, 0, 0, 0, 0);
    image->SetUInt8(1, 0, 0, 0, 200);
    image->Resample(4, 1, 1);
    // Centres at 0.25 steps: -0.25 (clamped to 0), 0.25, 0.75, 1.25 (clamped).
    EXPECT_EQ(image->GetUInt8(0, 0, 0, 0), 0);
    EXPECT_EQ(image->GetUInt8(1, 0, 0, 0), 50);
    EXPECT_EQ(image->GetUInt8(2, 0, 0, 0), 150);
    EXPECT_EQ(image->GetUInt8(3, 0, 0, 0), 200);
    image->Resample(2, 1, 1);
    EXPECT_EQ(image->GetUInt8(0, 0, 0, 0), 25);
    EXPECT_EQ(image->GetUInt8(1, 0, 0, 0), 175);
    // Same size: unchanged, also for floats.
    image->Allocate(nullptr, 3, ifOne, ctFloat32, 1, 2);
    for (int i = 0; i < 6; i++)
        static_cast<float*>(image->GetData())[i] = i * 0.5f;
    image->Resample(3, 2, 1);
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(static_cast<float*>(image->GetData())[i], i * 0.5f);
}

TEST(ImageEdit, CopyFromTakesLayoutAndPixels) {
    auto a = NewImage(), b = NewImage();
    a->Allocate(nullptr, 5, ifThree, ctUInt8, 2, 3);
    FillPattern(*a);
    b->CopyFrom(a.Get());
    EXPECT_EQ(b->GetWidth(), 5);
    EXPECT_EQ(b->GetHeight(), 3);
    EXPECT_EQ(b->GetDepth(), 2);
    EXPECT_EQ(b->GetFormat(), ifThree);
    EXPECT_EQ(std::memcmp(a->GetData(), b->GetData(), a->DataBytes()), 0);
}

TEST(ImageExtended, ToBitmapWritesBlueFirstWithoutFlip) {
    auto image = NewImage();
    image->Allocate(nullptr, 2, ifFour, ctUInt8, 1, 2);
    FillPattern(*image);
    TBitmap* bitmap = image->ToBitmap(0);
    ASSERT_EQ(bitmap->BitsPerPixel(), 32);
    EXPECT_EQ(bitmap->Row(1)[4 + 0], image->GetUInt8(1, 1, 2, 0));
    EXPECT_EQ(bitmap->Row(1)[4 + 2], image->GetUInt8(1, 1, 0, 0));
    EXPECT_EQ(bitmap->Row(1)[4 + 3], image->GetUInt8(1, 1, 3, 0));
    // Floats: v * 255 rounded and clamped; two components: red, green, blue 0.
    image->Allocate(nullptr, 1, ifTwo, ctFloat32, 1, 1);
    image->SetFloat32(0, 0, 0, 0, 2.0f);
    image->SetFloat32(0, 0, 1, 0, 0.5f);
    bitmap = image->ToBitmap(0);
    ASSERT_EQ(bitmap->BitsPerPixel(), 24);
    EXPECT_EQ(bitmap->Row(0)[0], 0);
    EXPECT_EQ(bitmap->Row(0)[1], 128);
    EXPECT_EQ(bitmap->Row(0)[2], 255);
}

TEST(ImageExtended, HistogramSpreadsValuesOverTheCounters) {
    auto image = NewImage();
    image->Allocate(nullptr, 3, ifFour, ctFloat32, 1, 1);
    const float values[3] = {0.0f, 0.25f, 1.0f};
    for (int x = 0; x < 3; x++) {
        float c[4] = {values[x], 0, 0, 1};
        image->SetColor(x, 0, c, 0);
    }
    uint32_t counters[256];
    image->ComputeHistogram(1); // red
    image->GetHistogram(counters);
    EXPECT_EQ(counters[0], 1u);
    EXPECT_EQ(counters[64], 1u); // 0.25 * 255 = 63.75
    EXPECT_EQ(counters[255], 1u);
    image->ComputeHistogram(4); // alpha: constant, so everything lands in 127
    image->GetHistogram(counters);
    EXPECT_EQ(counters[127], 3u);
    image->ComputeHistogram(9); // unknown channel: value 0 everywhere
    image->GetHistogram(counters);
    EXPECT_EQ(counters[127], 3u);
    // Luminance is capped at 1.
    image->Allocate(nullptr, 1, ifFour, ctFloat32, 1, 1);
    float white[4] = {1, 1, 1, 1};
    image->SetColor(0, 0, white, 0);
    image->ComputeHistogram(0);
    image->GetHistogram(counters);
    EXPECT_EQ(counters[127], 1u);
}

TEST(ImageGenerators, NormalizationCubeFaces) {
    auto image = NewImage();
    for (int face = 0; face < 6; face++) {
        image->MakeNormalizationCubeFace(1, face);
        const uint8_t* p = static_cast<const uint8_t*>(image->GetData());
        EXPECT_EQ(p[0], 128);
        EXPECT_EQ(p[1], 128);
        EXPECT_EQ(p[2], 128);
    }
    image->MakeNormalizationCubeFace(2, 4);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(static_cast<const uint8_t*>(image->GetData())[i * 3 + 2], 201);
    image->MakeNormalizationCubeFace(2, 0);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(static_cast<const uint8_t*>(image->GetData())[i * 3 + 0], 201);
    // -Z at size 64: the centre pixels point along -z.
    image->MakeNormalizationCubeFace(64, 5);
    EXPECT_EQ(image->GetFormat(), ifThree);
    EXPECT_LE(image->GetUInt8(32, 32, 2, 0), 1);
    // An unknown face allocates and writes nothing.
    image->MakeNormalizationCubeFace(4, 7);
    EXPECT_EQ(image->GetWidth(), 4);
}

TEST(ImageGenerators, NormalMapOfSlopes) {
    auto heights = NewImage(), normals = NewImage();
    heights->Allocate(nullptr, 4, ifOne, ctUInt8, 1, 4);
    std::memset(heights->GetData(), 77, 16);
    normals->MakeNormalMap(heights.Get(), 5.0f);
    EXPECT_EQ(normals->GetComponentType(), ctFloat32);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++) {
            EXPECT_FLOAT_EQ(normals->GetFloat32(x, y, 0, 0), 0.5f);
            EXPECT_FLOAT_EQ(normals->GetFloat32(x, y, 1, 0), 0.5f);
            EXPECT_FLOAT_EQ(normals->GetFloat32(x, y, 2, 0), 1.0f);
        }
    // Height rising with x by 51 per pixel: b - a = 1 at scale 5, so the
    // normal is along (1, 0, 1) away from the wrapped edge.
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            heights->SetUInt8(x, y, 0, 0, static_cast<uint8_t>(51 * x));
    normals->MakeNormalMap(heights.Get(), 5.0f);
    const float s = 0.5f * std::sqrt(0.5f) + 0.5f;
    EXPECT_NEAR(normals->GetFloat32(1, 2, 0, 0), s, 1e-6);
    EXPECT_NEAR(normals->GetFloat32(1, 2, 1, 0), 0.5f, 1e-6);
    EXPECT_NEAR(normals->GetFloat32(1, 2, 2, 0), s, 1e-6);
    // Only the first component of a picture with several is its height: an
    // RGB picture whose red equals the grey one gives the same normals.
    auto colour = NewImage(), colourNormals = NewImage();
    colour->Allocate(nullptr, 4, ifThree, ctUInt8, 1, 4);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++) {
            colour->SetUInt8(x, y, 0, 0, static_cast<uint8_t>(51 * x));
            colour->SetUInt8(x, y, 1, 0, static_cast<uint8_t>(200 - 37 * y));
            colour->SetUInt8(x, y, 2, 0, static_cast<uint8_t>(13 * x * y));
        }
    colourNormals->MakeNormalMap(colour.Get(), 5.0f);
    EXPECT_EQ(std::memcmp(colourNormals->GetData(), normals->GetData(), 4 * 4 * 3 * sizeof(float)), 0);
    // A height image that is the image itself is read before it is replaced.
    heights->MakeNormalMap(heights.Get(), 0.0f);
    EXPECT_FLOAT_EQ(heights->GetFloat32(3, 3, 2, 0), 1.0f);
}

namespace {

// A context of a fixed size that answers each read with the buffer kind's
// number in every byte, so the test sees which read was asked for.
class TFakeContext : public TInterfacedObject, public virtual I3dImageContext {
public:
    int32_t GetWidth() override { return 3; }
    int32_t GetHeight() override { return 2; }
    int32_t GetDepth() override { return 1; }
    void ReadFront(int32_t, int32_t, int32_t w, int32_t h, void* b) override { Fill(w, h, b, 10); }
    void ReadFrontRGBA(int32_t, int32_t, int32_t w, int32_t h, void* b) override { Fill(w, h, b, 11); }
    void ReadBack(int32_t, int32_t, int32_t w, int32_t h, void* b) override { Fill(w, h, b, 12); }
    void ReadStencil(int32_t, int32_t, int32_t w, int32_t h, void* b) override { Fill(w, h, b, 13); }
    void ReadDepth(int32_t, int32_t, int32_t w, int32_t h, void* b) override { Fill(w, h, b, 14); }

private:
    void Fill(int32_t w, int32_t h, void* b, uint8_t v) { std::memset(b, v, static_cast<size_t>(w) * h); }
};

} // namespace

TEST(ImageContext, AttachAndReadBuffers) {
    auto image = NewImage();
    TRefPtr<TFakeContext> context(new TFakeContext());
    image->ReadFromContext(1); // not bound yet: nothing happens
    EXPECT_EQ(image->AttachContext(context.Get(), ctUInt8, ifFour), 1);
    EXPECT_EQ(image->BindingState(), 2);
    EXPECT_EQ(image->GetContext(), context.Get());
    EXPECT_EQ(image->GetWidth(), 3);
    EXPECT_EQ(image->GetHeight(), 2);
    EXPECT_EQ(image->GetFormat(), ifFour);
    const uint8_t expected[4] = {10, 12, 13, 14};
    for (int kind = 0; kind < 4; kind++) {
        image->ReadFromContext(kind);
        EXPECT_EQ(static_cast<const uint8_t*>(image->GetData())[0], expected[kind]);
    }
    image->ReadFromContext(4);
    EXPECT_EQ(static_cast<const uint8_t*>(image->GetData())[0], 14);
    image->SetTagA(-3);
    image->SetTagB(9);
    EXPECT_EQ(image->GetTagA(), -3);
    EXPECT_EQ(image->GetTagB(), 9);
    EXPECT_EQ(image->AlwaysZero(5), 0);
}
