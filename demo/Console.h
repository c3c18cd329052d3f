// TConsole: the text overlay drawn over each finished frame with a bitmap
// font (the console font file: one picture holding every glyph plus a
// record per character code). Lines are drawn top to bottom from the top-left
// corner of the window, one font size (30 pixels) apart, neither wrapped nor
// clipped.
//
// Lines are kept in a pool of strings that is reused from frame to frame, so
// refilling the console every frame allocates nothing once the lines have
// been seen before.
#pragma once

#include "data/ConsoleFont.h"
#include "demo/DemoInterfaces.h"

#include <string>
#include <vector>

class TConsole : public TInterfacedObject, public IConsole {
public:
    static constexpr float kFontSize = 30.0f;
    static constexpr int32_t kVertexCount = 1024; // four per character code

    // Stores the device, makes an empty vertex buffer and face list.
    explicit TConsole(I3dDevice* device);

    // Reads a console font file by name through the chunk reader and makes a
    // console from its FONT chunk (the last one, if there are several).
    // Returns null when the file has no FONT chunk of version 0x0101.
    static TRefPtr<TConsole> LoadFromFile(I3dDevice* device, const std::string& fileName);

    // Takes the font: glyph table, picture, vertices and faces, texture.
    void LoadFont(const TConsoleFont& font);

    void Clear() override { count_ = 0; }
    void Add(const char* line) override;
    void AddLines(const std::vector<std::string>& lines) override;
    void Draw() override;

    int32_t LineCount() const { return int32_t(count_); }
    const std::string& Line(int32_t i) const { return lines_[size_t(i)]; }
    const TConsoleGlyph& Glyph(int32_t code) const { return glyphs_[code & 255]; }
    float LineAdvance() const { return lineAdvance_; }
    float FontSize() const { return fontSize_; }
    I3dTexture* FontTexture() const { return texture_.Get(); }
    // Where the pen stands after the first `length` characters of a line, in
    // pixels from the line's left edge (the sum of their advances).
    float PenAfter(const char* text, size_t length) const;

protected:
    ~TConsole() override = default;

private:
    TConsoleGlyph glyphs_[256] = {};
    float lineAdvance_ = 0.0f;
    TRefPtr<I3dImage> image_;
    TRefPtr<I3dTexture> texture_;
    TRefPtr<I3dDevice> device_;
    TRefPtr<I3dObjectBuffer> vertices_;
    TRefPtr<I3dFaceList> faces_;
    float fontSize_ = kFontSize;
    std::vector<std::string> lines_; // the pool; the first count_ are shown
    size_t count_ = 0;
};
