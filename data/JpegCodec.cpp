// JPEG (JFIF) through libjpeg-turbo: the fallback decoder for every stream
// that no other decoder accepts. The decoded picture is always 24-bit colour
// (grey pictures are drawn onto a colour picture, as the loader expects);
// CMYK and YCCK pictures are converted to RGB.
#include "data/PictureDecoder.h"

#include "platform/Format.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <jerror.h>

namespace {

struct TJpegError {
    jpeg_error_mgr manager;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr info) {
    TJpegError* error = reinterpret_cast<TJpegError*>(info->err);
    (*info->err->format_message)(info, error->message);
    longjmp(error->jump, 1);
}

// Warnings are silent, except the one for data that ends early: libjpeg
// would fill the rest of the picture with grey, and a truncated file must
// fail instead.
void EmitMessage(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) ErrorExit(info);
}

// Progressive files with thousands of scans take very long to decode while
// adding nothing; real files have a few dozen at most.
void LimitScans(j_common_ptr info) {
    if (info->is_decompressor) {
        j_decompress_ptr d = reinterpret_cast<j_decompress_ptr>(info);
        if (d->input_scan_number > 1000) {
            TJpegError* error = reinterpret_cast<TJpegError*>(info->err);
            std::snprintf(error->message, sizeof error->message, "Too many scans in a progressive JPEG");
            longjmp(error->jump, 1);
        }
    }
}

// The part of the decode between setjmp and the end. It holds no object with
// a destructor, so the error jump skips nothing that needs cleaning up.
// Returns false when libjpeg raised an error (message in error->message).
bool DecodeRows(jpeg_decompress_struct* info, TJpegError* error, const uint8_t* data, size_t size,
                TPictureTarget& target, jpeg_progress_mgr* progress) {
    if (setjmp(error->jump)) return false;
    jpeg_mem_src(info, data, static_cast<unsigned long>(size));
    info->progress = progress;
    jpeg_read_header(info, TRUE);
    CheckPictureSize(info->image_width, info->image_height, 24);
    const bool cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
    if (cmyk)
        info->out_color_space = JCS_CMYK;
    else
        info->out_color_space = target.RedFirst() ? JCS_EXT_RGB : JCS_EXT_BGR;
    info->mem->max_memory_to_use = static_cast<long>(kMaxImageBytes);
    jpeg_start_decompress(info);
    target.Begin(static_cast<int32_t>(info->output_width), static_cast<int32_t>(info->output_height), 24, {});
    const bool redFirst = target.RedFirst();
    // The CMYK row lives in libjpeg's own pool, freed with the decompressor.
    uint8_t* cmykBuffer = cmyk ? (*info->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(info), JPOOL_IMAGE,
                                                            info->output_width * 4, 1)[0]
                               : nullptr;
    while (info->output_scanline < info->output_height) {
        int32_t r = static_cast<int32_t>(info->output_scanline);
        if (!cmyk) {
            JSAMPROW row = target.Row(r);
            jpeg_read_scanlines(info, &row, 1);
            continue;
        }
        JSAMPROW row = cmykBuffer;
        jpeg_read_scanlines(info, &row, 1);
        uint8_t* out = target.Row(r);
        // Adobe writes CMYK inverted: each value is the amount of paper white.
        const bool inverted = info->saw_Adobe_marker;
        for (JDIMENSION x = 0; x < info->output_width; x++) {
            unsigned c = cmykBuffer[4 * x], m = cmykBuffer[4 * x + 1], y = cmykBuffer[4 * x + 2],
                     k = cmykBuffer[4 * x + 3];
            if (!inverted) {
                c = 255 - c;
                m = 255 - m;
                y = 255 - y;
                k = 255 - k;
            }
            // Rounded to the nearest level.
            uint8_t red = static_cast<uint8_t>((c * k + 127) / 255),
                    green = static_cast<uint8_t>((m * k + 127) / 255),
                    blue = static_cast<uint8_t>((y * k + 127) / 255);
            out[3 * x + 0] = redFirst ? red : blue;
            out[3 * x + 1] = green;
            out[3 * x + 2] = redFirst ? blue : red;
        }
    }
    jpeg_finish_decompress(info);
    return true;
}

} // namespace

void DecodeJpeg(TStream& stream, TPictureTarget& target) {
    TStreamBytes bytes;
    ReadRemainingBytes(stream, bytes);
    if (bytes.size == 0) throw EJPEG("JPEG error: empty input file");

    jpeg_decompress_struct info;
    TJpegError error;
    std::memset(&info, 0, sizeof info);
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = ErrorExit;
    error.manager.emit_message = EmitMessage;
    error.message[0] = 0;
    jpeg_progress_mgr progress;
    progress.progress_monitor = LimitScans;
    jpeg_create_decompress(&info);
    bool ok;
    try {
        ok = DecodeRows(&info, &error, bytes.data, bytes.size, target, &progress);
    } catch (...) {
        jpeg_destroy_decompress(&info);
        throw;
    }
    jpeg_destroy_decompress(&info);
    if (!ok) throw EJPEG(Format("JPEG error: %s", error.message));
    target.Finish();
}
