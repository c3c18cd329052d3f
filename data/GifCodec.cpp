// GIF through giflib: the first image of the file, placed on the logical
// screen (filled with the background colour index), as 8-bit palette indices
// with the image's colour table (local, else global) as palette; the
// transparent colour of the image's graphic control block has alpha 0.
#include "data/PictureDecoder.h"

#include "platform/Format.h"

#include <cstring>
#include <gif_lib.h>

namespace {

struct TGifSource {
    const uint8_t* data;
    size_t size;
    size_t position;
};

int ReadProc(GifFileType* gif, GifByteType* out, int count) {
    TGifSource* s = static_cast<TGifSource*>(gif->UserData);
    if (count < 0) return 0;
    size_t n = std::min(static_cast<size_t>(count), s->size - s->position);
    std::memcpy(out, s->data + s->position, n);
    s->position += n;
    return static_cast<int>(n);
}

struct TGifCloser {
    GifFileType* gif;
    ~TGifCloser() {
        if (gif) DGifCloseFile(gif, nullptr);
    }
};

[[noreturn]] void Fail(int code) {
    const char* text = GifErrorString(code);
    throw EInvalidGraphic(Format("GIF error: %s", text ? text : "damaged file"));
}

} // namespace

bool GifAccepts(const uint8_t* head, size_t size) {
    return size >= 6 && std::memcmp(head, "GIF8", 4) == 0 && (head[4] == '7' || head[4] == '9') &&
           head[5] == 'a';
}

void DecodeGif(TStream& stream, TPictureTarget& target) {
    TStreamBytes bytes;
    ReadRemainingBytes(stream, bytes);
    TGifSource source{bytes.data, bytes.size, 0};
    int error = 0;
    TGifCloser closer{DGifOpen(&source, ReadProc, &error)};
    GifFileType* gif = closer.gif;
    if (!gif) Fail(error);

    int transparent = NO_TRANSPARENT_COLOR; // of the next image
    for (;;) {
        GifRecordType record;
        if (DGifGetRecordType(gif, &record) == GIF_ERROR) Fail(gif->Error);
        if (record == TERMINATE_RECORD_TYPE) throw EInvalidGraphic("GIF file holds no image");
        if (record == EXTENSION_RECORD_TYPE) {
            int code;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) Fail(gif->Error);
            GraphicsControlBlock control;
            if (code == GRAPHICS_EXT_FUNC_CODE && block &&
                DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
                transparent = control.TransparentColor;
            while (block) {
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) Fail(gif->Error);
            }
            continue;
        }
        if (record != IMAGE_DESC_RECORD_TYPE) continue;
        if (DGifGetImageDesc(gif) == GIF_ERROR) Fail(gif->Error);
        const GifImageDesc& desc = gif->Image;
        if (desc.Width <= 0 || desc.Height <= 0 || desc.Left < 0 || desc.Top < 0)
            throw EInvalidGraphic("Invalid GIF image");
        // The picture is the logical screen, grown where the image lies outside it.
        int64_t width = std::max<int64_t>(gif->SWidth, int64_t(desc.Left) + desc.Width);
        int64_t height = std::max<int64_t>(gif->SHeight, int64_t(desc.Top) + desc.Height);
        CheckPictureSize(width, height, 8);
        // Each row needs at least a little compressed data: reject sizes the
        // file could never fill (LZW codes cover at most 4096 pixels each)
        // before allocating and clearing the picture.
        if (static_cast<uint64_t>(width) * height > (bytes.size + 1) * 8192)
            throw EInvalidGraphic("GIF file is truncated");

        const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
        std::vector<TBitmapColor> palette;
        if (map)
            for (int i = 0; i < map->ColorCount; i++)
                palette.push_back({map->Colors[i].Blue, map->Colors[i].Green, map->Colors[i].Red,
                                   uint8_t(i == transparent ? 0 : 255)});
        target.Begin(static_cast<int32_t>(width), static_cast<int32_t>(height), 8, palette);
        const uint8_t background = static_cast<uint8_t>(gif->SBackGroundColor);
        for (int32_t r = 0; r < height; r++)
            std::memset(target.Row(r), background, static_cast<size_t>(width));

        // Interlaced images store rows in four passes.
        static const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
        const int passes = desc.Interlace ? 4 : 1;
        for (int pass = 0; pass < passes; pass++) {
            int first = desc.Interlace ? start[pass] : 0, stride = desc.Interlace ? step[pass] : 1;
            for (int y = first; y < desc.Height; y += stride) {
                uint8_t* row = target.Row(desc.Top + y) + desc.Left;
                if (DGifGetLine(gif, row, desc.Width) == GIF_ERROR) Fail(gif->Error);
            }
        }
        target.Finish();
        return;
    }
}
