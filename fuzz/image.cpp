// Decodes any byte string as a picture (every decoder is reachable through
// detection by content, the raw format and the JPEG fallback), then exports
// and re-encodes what loaded. Nothing may crash, hang or allocate without bound.
#include "data/3dImage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TReadOnlyMemoryStream stream(data, static_cast<int64_t>(size));
    TRefPtr<T3dImage> image(new T3dImage());
    try {
        image->LoadFromStream(stream);
    } catch (const std::exception&) {
        return 0;
    }
    // A small loaded picture is exported and written again. Larger ones take
    // the same paths, only for longer: under the sanitizers and the coverage
    // hooks a few million pixels take seconds, which would hide real hangs.
    if (image->DataBytes() <= (1u << 20)) {
        image->ToBitmap(0);
        std::vector<uint8_t> tga = image->EncodeTargaFile();
        TReadOnlyMemoryStream again(tga.data(), static_cast<int64_t>(tga.size()));
        TRefPtr<T3dImage> copy(new T3dImage());
        copy->LoadFromStream(again);
        if (copy->GetWidth() != image->GetWidth() || copy->GetHeight() != image->GetHeight())
            __builtin_trap();
    }
    return 0;
}
