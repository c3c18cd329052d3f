// Reads any byte string as a console font file and, when it holds a font,
// builds the font's image. Nothing may crash, hang or allocate without bound.
#include "data/ConsoleFont.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TReadOnlyMemoryStream stream(data, static_cast<int64_t>(size));
    TConsoleFont font;
    try {
        if (!LoadConsoleFontStream(stream, font)) return 0;
    } catch (const std::exception&) {
        return 0;
    }
    for (int code = 0; code < 256; code++)
        (void)font.Glyph(code);
    (void)font.MakeImage();
    return 0;
}
