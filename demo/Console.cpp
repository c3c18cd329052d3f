#include "demo/Console.h"

#include "Mirel3d/Mirel3dBase/T3dValueList.h"
#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "Mirel3d/Mirel3dOpengl/PixelWork.h"

#ifndef GL_REGISTER_COMBINERS_NV
#define GL_REGISTER_COMBINERS_NV 0x8522
#endif

namespace {
constexpr uint8_t kFloatData = 1; // vertex data type of 32-bit floats
} // namespace

TConsole::TConsole(I3dDevice* device) : device_(device) {
    device_->CreateObjectBuffer(vertices_);
    faces_ = CreateFaceList();
}

TRefPtr<TConsole> TConsole::LoadFromFile(I3dDevice* device, const std::string& fileName) {
    TRefPtr<TConsole> console;
    TNoiceLoader loader;
    loader.RegisterChunkHandler(kChunkMagic, kFontChunkKind, kFontChunkVersion,
                                [&](TStream& stream, const TChunkHeader&, TChunkContext context) {
                                    TConsoleFont font;
                                    ReadConsoleFontPayload(stream, font);
                                    TRefPtr<TConsole> made(new TConsole(device));
                                    made->LoadFont(font);
                                    console = made;
                                    return context;
                                });
    loader.LoadFile(fileName);
    return console;
}

void TConsole::LoadFont(const TConsoleFont& font) {
    for (int32_t c = 0; c < 256; c++) {
        const TConsoleGlyph* g = font.Glyph(c);
        glyphs_[c] = g ? *g : TConsoleGlyph{};
    }
    image_ = font.MakeImage();

    TRefPtr<I3dVertexBuffer> positions, texCoords;
    vertices_->AddStream(kVertexCount, kFloatData, positions, nullptr, 1);
    vertices_->AddStream(kVertexCount, kFloatData, texCoords, nullptr, 1);
    const float S = fontSize_;
    for (int32_t c = 0; c < 256; c++) {
        if (font.Glyph(c)) {
            const TConsoleGlyph& g = glyphs_[c];
            float w = g.aspect != 0.0f ? S / g.aspect : 0.0f;
            const float pos[4][2] = {{0.0f, 0.0f}, {0.0f, S}, {w, S}, {w, 0.0f}};
            const float tex[4][2] = {
                {g.left, g.top}, {g.left, g.bottom}, {g.right, g.bottom}, {g.right, g.top}};
            for (int32_t k = 0; k < 4; k++) {
                float* p = static_cast<float*>(positions->ElementAddress(4 * c + k));
                float* t = static_cast<float*>(texCoords->ElementAddress(4 * c + k));
                p[0] = pos[k][0];
                p[1] = pos[k][1];
                t[0] = tex[k][0];
                t[1] = tex[k][1];
            }
        }
        faces_->AddFaceGroup(4 * c, 4, pkTriangleFan);
    }
    lineAdvance_ = fontSize_;
    vertices_->Commit();
    device_->CreateImageTexture(image_.Get(), texture_);
    if (texture_) texture_->Upload();
}

void TConsole::Add(const char* line) {
    if (count_ == lines_.size()) lines_.emplace_back();
    lines_[count_++].assign(line);
}

void TConsole::AddLines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        if (count_ == lines_.size()) lines_.emplace_back();
        lines_[count_++].assign(line);
    }
}

float TConsole::PenAfter(const char* text, size_t length) const {
    float x = 0.0f;
    for (size_t i = 0; i < length; i++) {
        const TConsoleGlyph& g = glyphs_[static_cast<unsigned char>(text[i])];
        x += (g.before + g.body + g.after) * fontSize_;
    }
    return x;
}

void TConsole::Draw() {
    TRefPtr<I3dContext> context;
    device_->GetCurrentContext(context);
    if (!context || !texture_) return; // no font loaded: nothing to draw with
    const float S = fontSize_;

    context->PushMatrix(mkModelview);
    context->PushMatrix(mkProjection);
    context->LoadIdentity(mkProjection);
    // Pixel coordinates: origin in the top-left corner, y downwards.
    context->Ortho(mkProjection, 0.0f, float(context->GetWidth()), 0.0f, float(context->GetHeight()), -1.0f,
                   1.0f);

    context->EnableLighting(false);
    context->SetDepthMode(dmOff);
    for (int32_t unit = 1; unit <= 4; unit++)
        context->SetTexture(unit, nullptr);
    device_->SetVertexProgram(nullptr);

    // Colour from the font texture, alpha from the constant colour (1).
    context->SetTexture(1, texture_.Get());
    context->SetCombineColor(1, {1.0f, 1.0f, 1.0f, 1.0f});
    context->SetRGBMode(1, csTexture, coSrcColor, csConstant, coSrcColor, csNone, coNone, cmReplace, 1.0f);
    context->SetAlphaMode(1, csConstant, coSrcAlpha, csNone, coNone, csNone, coNone, cmReplace, 1.0f);
    for (T3dTexGenCoord coord : {gcS, gcT, gcR, gcQ})
        context->SetCoordGeneration(1, coord, tgOff, nullptr);
    context->LoadIdentity(mkTexture1);

    context->SetBlendMode(bfOne, bfSrcAlpha);

    device_->SetObjectBuffer(vertices_.Get());
    device_->ResetStreams();
    device_->SetStream(0, 0);
    device_->SetStream(1, 5);

    GL.glDisable(GL_REGISTER_COMBINERS_NV);

    PixelWorkCountPass();
    TPixelWorkScope work(pwConsole, uint64_t(context->GetWidth()) * uint64_t(context->GetHeight()));
    float y = 0.0f;
    for (size_t i = 0; i < count_; i++) {
        context->LoadIdentity(mkModelview);
        context->TranslateMatrix(mkModelview, 0.0f, y, 0.0f);
        y += lineAdvance_;
        for (unsigned char c : lines_[i]) {
            const TConsoleGlyph& g = glyphs_[c];
            context->TranslateMatrix(mkModelview, g.before * S, 0.0f, 0.0f);
            device_->DrawArrays(pkTriangleFan, 4 * int32_t(c), 4);
            context->TranslateMatrix(mkModelview, g.body * S, 0.0f, 0.0f);
            context->TranslateMatrix(mkModelview, g.after * S, 0.0f, 0.0f);
        }
    }

    context->SetTexture(1, nullptr);
    context->SetBlendMode(bfZero, bfZero);
    context->SetDepthMode(dmReadWrite);
    device_->SetStream(-1, 0);
    device_->SetStream(-1, 5);

    GL.glEnable(GL_REGISTER_COMBINERS_NV);
    context->PopMatrix(mkProjection);
    context->PopMatrix(mkModelview);
}
