// Decoding pictures by content. Each decoder is asked, in a fixed order,
// whether the first bytes of a stream fit its format; the first that accepts
// decodes the stream. A stream no decoder accepts is decoded as JPEG.
//
// Decoders hand their rows to a TPictureTarget, which either fills a TBitmap
// (rows top first, blue-green-red) or, when an image loads a file, writes the
// rows straight into the image's memory in their final place and order, so a
// load does the vertical flip and the channel swap without extra passes.
#pragma once

#include "data/Bitmap.h"
#include "data/FlexibleImage.h"
#include "data/Stream.h"

#include <cstdint>
#include <string>
#include <vector>

// A picture that cannot be decoded: damaged, truncated, unsupported or too
// large. EJPEG is what the JPEG decoder raises (also for streams that no
// decoder recognises and that are not JPEG either).
ZUMBRIX_EXCEPTION(EInvalidGraphic, EImageError);
ZUMBRIX_EXCEPTION(EJPEG, EInvalidGraphic);

// Where a decoder writes its picture.
class TPictureTarget {
public:
    virtual ~TPictureTarget() = default;
    // Declares the picture: size, bits per pixel (1, 4, 8, 15, 16, 24, 32;
    // see data/Bitmap.h) and, for indexed pictures, the palette. Raises
    // EInvalidGraphic when a side exceeds kMaxImageSide or the pixels would
    // exceed kMaxImageBytes.
    virtual void Begin(int32_t width, int32_t height, int32_t bitsPerPixel,
                       const std::vector<TBitmapColor>& palette) = 0;
    // The memory of picture row r (0 = top), RowBytes long, valid until Finish.
    virtual uint8_t* Row(int32_t r) = 0;
    // Bytes per row of the declared picture.
    virtual size_t RowBytes() const = 0;
    // True when 24- and 32-bit rows are wanted in red-green-blue order rather
    // than the bitmap's blue-green-red.
    virtual bool RedFirst() const = 0;
    // Called once after every row has been written.
    virtual void Finish() {}
};

// Fills a TBitmap.
class TBitmapTarget : public TPictureTarget {
public:
    explicit TBitmapTarget(TBitmap& bitmap) : bitmap_(bitmap) {}
    void Begin(int32_t width, int32_t height, int32_t bitsPerPixel,
               const std::vector<TBitmapColor>& palette) override;
    uint8_t* Row(int32_t r) override { return bitmap_.Row(r); }
    size_t RowBytes() const override { return bitmap_.RowBytes(); }
    bool RedFirst() const override { return false; }

private:
    TBitmap& bitmap_;
};

// Raises EInvalidGraphic unless the picture fits the limits.
void CheckPictureSize(int64_t width, int64_t height, int32_t bitsPerPixel);

// The formats, in the order they are asked (each is one record of the decoder
// table in data/PictureDecoders.cpp, at the place its value names).
enum TPictureFormat {
    pfTarga,
    pfTiff,
    pfEps,
    pfPcx,
    pfRla,
    pfSgi,
    pfPsd,
    pfPnm,
    pfCel,
    pfPcd,
    pfGif,
    pfCut,
    pfPsp,
    pfPng,
    pfJpeg, // the fallback
};
const char* PictureFormatName(int format);

// The format whose decoder accepts these first bytes (up to 128 of them;
// streamSize is the whole stream's size), or pfJpeg when none does.
int DetectPictureFormat(const uint8_t* head, size_t headSize, int64_t streamSize);

// Decodes the stream, from its current position, into target. Returns the
// format that was used. Errors of the decoders propagate.
int DecodePicture(TStream& stream, TPictureTarget& target);

// ---- the individual decoders (one source file each) ----
// Each Accepts function looks only at the first bytes; each Decode reads a
// whole stream of its format from its current position.
bool TargaAccepts(const uint8_t* head, size_t size);
void DecodeTarga(TStream& stream, TPictureTarget& target);
bool TiffAccepts(const uint8_t* head, size_t size);
void DecodeTiff(TStream& stream, TPictureTarget& target);
bool PcxAccepts(const uint8_t* head, size_t size);
void DecodePcx(TStream& stream, TPictureTarget& target);
bool SgiAccepts(const uint8_t* head, size_t size);
void DecodeSgi(TStream& stream, TPictureTarget& target);
bool PsdAccepts(const uint8_t* head, size_t size);
void DecodePsd(TStream& stream, TPictureTarget& target);
bool PnmAccepts(const uint8_t* head, size_t size);
void DecodePnm(TStream& stream, TPictureTarget& target);
bool GifAccepts(const uint8_t* head, size_t size);
void DecodeGif(TStream& stream, TPictureTarget& target);
bool PngAccepts(const uint8_t* head, size_t size);
void DecodePng(TStream& stream, TPictureTarget& target);
void DecodeJpeg(TStream& stream, TPictureTarget& target);

// The rest of a stream, from its current position, as one block: in place
// when the stream is memory, else read into storage. Raises EInvalidGraphic
// for streams beyond kMaxImageBytes.
struct TStreamBytes {
    const uint8_t* data = nullptr;
    size_t size = 0;
    std::vector<uint8_t> storage;
};
void ReadRemainingBytes(TStream& stream, TStreamBytes& out);

// Writes a run-length-encoded Truevision Targa file of a bitmap with 8 (grey
// palette, image type 9), 24 or 32 (image type 10) bits per pixel, rows top
// first with a top-left origin, so that the file shows them upright.
std::vector<uint8_t> EncodeTarga(const TBitmap& bitmap);
