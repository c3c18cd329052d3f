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

const char* PictureFormatName(int format) {
    static const char* names[] = {"Targa", "TIFF", "EPS", "PCX", "RLA", "SGI", "PSD", "PNM",
                                  "CEL",   "PCD",  "GIF", "CUT", "PSP", "PNG", "JPEG"};
    return format >= 0 && format <= pfJpeg ? names[format] : "unknown";
}

int DetectPictureFormat(const uint8_t* head, size_t size, int64_t streamSize) {
    (void)streamSize;
    // Asked in this order; formats without a decoder here (EPS, RLA,
    // CEL/PIC, Photo-CD, CUT, Paint Shop Pro) accept nothing.
    if (TargaAccepts(head, size)) return pfTarga;
    if (TiffAccepts(head, size)) return pfTiff;
    if (PcxAccepts(head, size)) return pfPcx;
    if (SgiAccepts(head, size)) return pfSgi;
    if (PsdAccepts(head, size)) return pfPsd;
    if (PnmAccepts(head, size)) return pfPnm;
    if (GifAccepts(head, size)) return pfGif;
    if (PngAccepts(head, size)) return pfPng;
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
    switch (format) {
    case pfTarga:
        DecodeTarga(stream, target);
        break;
    case pfTiff:
        DecodeTiff(stream, target);
        break;
    case pfPcx:
        DecodePcx(stream, target);
        break;
    case pfSgi:
        DecodeSgi(stream, target);
        break;
    case pfPsd:
        DecodePsd(stream, target);
        break;
    case pfPnm:
        DecodePnm(stream, target);
        break;
    case pfGif:
        DecodeGif(stream, target);
        break;
    case pfPng:
        DecodePng(stream, target);
        break;
    default:
        DecodeJpeg(stream, target);
        break;
    }
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
