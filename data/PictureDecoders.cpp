// Detection by content and the dispatch to the decoders.
#include "data/PictureDecoder.h"

#include "platform/Format.h"

#include <algorithm>
#include <cstring>

void CheckPictureSize(int64_t width, int64_t height, int32_t bitsPerPixel) {
    if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide)
        throw EInvalidGraphic(Format("Picture size %lld x %lld is out of range",
                                     static_cast<long long>(width), static_cast<long long>(height)));
    // Whatever the picture's own depth, the image made from it holds at most
    // four bytes per pixel.
    (void)bitsPerPixel;
    if (ImageBytes(width, height, 1, 4, 1) == 0)
        throw EInvalidGraphic(Format("Picture of %lld x %lld pixels is too large",
                                     static_cast<long long>(width), static_cast<long long>(height)));
}

void TBitmapTarget::Begin(int32_t width, int32_t height, int32_t bitsPerPixel,
                          const std::vector<TBitmapColor>& palette) {
    CheckPictureSize(width, height, bitsPerPixel);
    bitmap_.SetSize(width, height, bitsPerPixel);
    bitmap_.Palette() = palette;
}

namespace {

// One record per picture format, in the order the formats are asked whether
// a stream's first bytes fit them; a record's place is its TPictureFormat
// value. Formats without a decoder here accept nothing. JPEG comes last: it
// is not asked, it decodes whatever no other format accepts.
struct TPictureDecoder {
    TPictureFormat format;
    const char* name;
    bool (*accepts)(const uint8_t* head, size_t size); // nullptr: never accepts
    void (*decode)(TStream& stream, TPictureTarget& target);
};

constexpr TPictureDecoder kDecoders[] = {
    {pfTarga, "Targa", TargaAccepts, DecodeTarga},
    {pfTiff, "TIFF", TiffAccepts, DecodeTiff},
    {pfEps, "EPS", nullptr, nullptr},
    {pfPcx, "PCX", PcxAccepts, DecodePcx},
    {pfRla, "RLA", nullptr, nullptr},
    {pfSgi, "SGI", SgiAccepts, DecodeSgi},
    {pfPsd, "PSD", PsdAccepts, DecodePsd},
    {pfPnm, "PNM", PnmAccepts, DecodePnm},
    {pfCel, "CEL", nullptr, nullptr},
    {pfPcd, "PCD", nullptr, nullptr},
    {pfGif, "GIF", GifAccepts, DecodeGif},
    {pfCut, "CUT", nullptr, nullptr},
    {pfPsp, "PSP", nullptr, nullptr},
    {pfPng, "PNG", PngAccepts, DecodePng},
    {pfJpeg, "JPEG", nullptr, DecodeJpeg},
};
constexpr int kDecoderCount = static_cast<int>(sizeof kDecoders / sizeof kDecoders[0]);

constexpr bool InFormatOrder() {
    for (int i = 0; i < kDecoderCount; i++)
        if (kDecoders[i].format != i) return false;
    return kDecoders[kDecoderCount - 1].format == pfJpeg;
}
static_assert(InFormatOrder(), "the decoder table is indexed by TPictureFormat and ends with JPEG");

} // namespace

const char* PictureFormatName(int format) {
    return format >= 0 && format < kDecoderCount ? kDecoders[format].name : "unknown";
}

int DetectPictureFormat(const uint8_t* head, size_t size, int64_t streamSize) {
    (void)streamSize;
    for (const TPictureDecoder& d : kDecoders)
        if (d.accepts && d.accepts(head, size)) return d.format;
    return pfJpeg;
}

int DecodePicture(TStream& stream, TPictureTarget& target) {
    int64_t start = stream.GetPosition();
    uint8_t head[128];
    int64_t got = 0;
    while (got < static_cast<int64_t>(sizeof head)) {
        int64_t n = stream.Read(head + got, static_cast<int64_t>(sizeof head) - got);
        if (n <= 0) break;
        got += n;
    }
    stream.SetPosition(start);
    int format = DetectPictureFormat(head, static_cast<size_t>(got), stream.GetSize() - start);
    kDecoders[format].decode(stream, target);
    return format;
}

void ReadRemainingBytes(TStream& stream, TStreamBytes& out) {
    int64_t position = stream.GetPosition();
    int64_t size = stream.GetSize();
    int64_t remaining = std::max<int64_t>(size - position, 0);
    if (static_cast<uint64_t>(remaining) > kMaxImageBytes) throw EInvalidGraphic("Picture file is too large");
    if (const uint8_t* view = stream.MemoryView()) {
        out.data = view + position;
        out.size = static_cast<size_t>(remaining);
        stream.SetPosition(size);
        return;
    }
    out.storage.resize(static_cast<size_t>(remaining));
    stream.ReadBuffer(out.storage.data(), remaining);
    out.data = out.storage.data();
    out.size = out.storage.size();
}
