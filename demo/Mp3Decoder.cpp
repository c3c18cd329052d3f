#include "demo/Mp3Decoder.h"

#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

// mpg123_init is needed once per process by older libraries (newer ones
// ignore it); it is not thread-safe, so guard it.
void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
#if MPG123_API_VERSION < 46
        mpg123_init();
#endif
    });
}

// The callbacks mpg123 reads the block through; handle is the decoder's Source.
mpg123_ssize_t ReadSource(void* handle, void* buffer, size_t count) {
    auto* s = static_cast<TMp3Decoder::Source*>(handle);
    size_t left = s->position < s->size ? s->size - s->position : 0;
    size_t n = std::min(count, left);
    if (n) std::memcpy(buffer, s->data + s->position, n);
    s->position += n;
    return static_cast<mpg123_ssize_t>(n);
}

off_t SeekSource(void* handle, off_t offset, int whence) {
    auto* s = static_cast<TMp3Decoder::Source*>(handle);
    int64_t base = 0;
    switch (whence) {
    case SEEK_SET:
        base = 0;
        break;
    case SEEK_CUR:
        base = static_cast<int64_t>(s->position);
        break;
    case SEEK_END:
        base = static_cast<int64_t>(s->size);
        break;
    default:
        return -1;
    }
    int64_t target = base + static_cast<int64_t>(offset);
    if (target < 0 || target > static_cast<int64_t>(s->size)) return -1;
    s->position = static_cast<size_t>(target);
    return static_cast<off_t>(target);
}

void CleanupSource(void*) {} // the block belongs to the decoder's owner

} // namespace

TMp3Decoder::~TMp3Decoder() {
    Close();
}

void TMp3Decoder::Close() {
    if (handle_) {
        mpg123_close(handle_);
        mpg123_delete(handle_);
    }
    handle_ = nullptr;
    source_ = Source();
    length_ = 0;
    position_ = 0;
}

bool TMp3Decoder::Open(const uint8_t* data, size_t size) {
    Close();
    if (!data || size == 0) return false;
    InitLibrary();

    int error = MPG123_OK;
    mpg123_handle* mh = mpg123_new(nullptr, &error);
    if (!mh) return false;
    // Quiet: a damaged file is reported through the result, not on stderr.
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
    mpg123_format_none(mh);
    mpg123_format(mh, kRate, MPG123_STEREO, MPG123_ENC_SIGNED_16);

    source_.data = data;
    source_.size = size;
    source_.position = 0;
    bool ok = mpg123_replace_reader_handle(mh, ReadSource, SeekSource, CleanupSource) == MPG123_OK &&
              mpg123_open_handle(mh, &source_) == MPG123_OK;
    // A full scan gives the exact length and a seek index over the whole file.
    ok = ok && mpg123_scan(mh) == MPG123_OK;
    long rate = 0;
    int channels = 0, encoding = 0;
    ok = ok && mpg123_getformat(mh, &rate, &channels, &encoding) == MPG123_OK;
    ok = ok && rate == kRate && channels == kChannels && encoding == MPG123_ENC_SIGNED_16;
    off_t length = ok ? mpg123_length(mh) : 0;
    if (!ok || length <= 0) {
        mpg123_close(mh);
        mpg123_delete(mh);
        source_ = Source();
        return false;
    }
    handle_ = mh;
    length_ = static_cast<int64_t>(length);
    position_ = 0;
    if (!Seek(0)) {
        Close();
        return false;
    }
    return true;
}

bool TMp3Decoder::Seek(int64_t frame) {
    if (!handle_) return false;
    frame = std::clamp<int64_t>(frame, 0, length_);
    off_t got = mpg123_seek(handle_, static_cast<off_t>(frame), SEEK_SET);
    if (got < 0) return false;
    // Damaged streams can make the library report a place past the end; the
    // decoder then stands at the end.
    position_ = std::min(static_cast<int64_t>(got), length_);
    return true;
}

size_t TMp3Decoder::Read(int16_t* out, size_t frames) {
    if (!handle_ || frames == 0) return 0;
    // Never more than the length reported: callers size their buffers by it.
    frames = std::min<size_t>(frames, static_cast<size_t>(std::max<int64_t>(length_ - position_, 0)));
    if (frames == 0) return 0;
    size_t wanted = frames * kBytesPerFrame;
    size_t total = 0;
    auto* bytes = reinterpret_cast<unsigned char*>(out);
    while (total < wanted) {
        size_t done = 0;
        int result = mpg123_read(handle_, bytes + total, wanted - total, &done);
        total += done;
        if (result == MPG123_NEW_FORMAT || (result == MPG123_OK && done > 0)) continue;
        if (result == MPG123_OK && done == 0) break; // nothing more came: treat as the end
        break;                                       // MPG123_DONE or an error: the end
    }
    size_t got = total / kBytesPerFrame;
    position_ += static_cast<int64_t>(got);
    return got;
}
