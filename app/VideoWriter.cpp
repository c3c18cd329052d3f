#include "app/VideoWriter.h"

#include "platform/Format.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kSoundChunk = 4096; // source sample frames converted at once

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

std::string Extension(const std::string& file) {
    const size_t dot = file.find_last_of('.');
    std::string ext = dot == std::string::npos ? std::string() : file.substr(dot + 1);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
    return ext;
}

const AVCodec* FindEncoder(const char* name, AVCodecID id) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    return codec ? codec : avcodec_find_encoder(id);
}

} // namespace

struct TVideoWriter::TState {
    TVideoSettings s;
    std::string temp;
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* audioStream = nullptr;
    AVFrame* picture = nullptr;
    AVFrame* sound = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* scaler = nullptr;
    SwrContext* resampler = nullptr;
    AVAudioFifo* fifo = nullptr;
    uint8_t** converted = nullptr; // resampler output, planes of convertedCapacity samples
    int convertedCapacity = 0;
    int audioFrameSize = 0;
    int64_t frames = 0;
    int64_t audioPts = 0;   // encoder samples sent
    int64_t soundGiven = 0; // source sample frames given
    bool fileOpen = false;
    bool finished = false;
    std::vector<int16_t> silence = std::vector<int16_t>(size_t(kSoundChunk) * 2, 0);

    [[noreturn]] void Fail(const std::string& what, int code = 0) const {
        std::string message = Format("%s: %s", s.file.c_str(), what.c_str());
        if (code < 0) message += ": " + AvError(code);
        throw EVideoError(message);
    }

    // Hands every packet the encoder has ready to the container.
    void Drain(AVCodecContext* codec, AVStream* stream) {
        for (;;) {
            int r = avcodec_receive_packet(codec, packet);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return;
            if (r < 0) Fail("encoding failed", r);
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            r = av_interleaved_write_frame(format, packet);
            if (r < 0) Fail("cannot write the video file", r);
        }
    }

    void Send(AVCodecContext* codec, AVStream* stream, AVFrame* frame) {
        int r = avcodec_send_frame(codec, frame);
        if (r < 0) Fail("encoding failed", r);
        Drain(codec, stream);
    }

    // Encodes whole encoder frames from the FIFO (and, at the end, the rest).
    void EncodeSound(bool last) {
        for (;;) {
            int available = av_audio_fifo_size(fifo);
            if (available == 0 || (available < audioFrameSize && !last)) return;
            int n = std::min(available, audioFrameSize);
            int r = av_frame_make_writable(sound);
            if (r < 0) Fail("out of memory", r);
            // A short last frame is padded with silence unless the encoder takes it.
            const bool shortAllowed = audio->codec->capabilities &
                                      (AV_CODEC_CAP_VARIABLE_FRAME_SIZE | AV_CODEC_CAP_SMALL_LAST_FRAME);
            sound->nb_samples = shortAllowed ? n : audioFrameSize;
            if (n < audioFrameSize && !shortAllowed)
                av_samples_set_silence(sound->data, n, audioFrameSize - n, audio->ch_layout.nb_channels,
                                       audio->sample_fmt);
            if (av_audio_fifo_read(fifo, reinterpret_cast<void**>(sound->data), n) != n)
                Fail("cannot buffer the sound");
            sound->pts = audioPts;
            audioPts += sound->nb_samples;
            Send(audio, audioStream, sound);
        }
    }

    void OpenVideo(const AVCodec* codec) {
        video = avcodec_alloc_context3(codec);
        if (!video) Fail("out of memory");
        const AVRational rate = av_d2q(s.fps, 1001000);
        video->width = s.width;
        video->height = s.height;
        video->pix_fmt = AV_PIX_FMT_YUV420P;
        video->framerate = rate;
        video->time_base = av_inv_q(rate);
        video->gop_size = std::max(1, int(std::lround(s.fps * 2.0))); // a key frame every two seconds
        video->max_b_frames = codec->id == AV_CODEC_ID_H264 ? 3 : 0;
        video->thread_count = 0;
        video->colorspace = AVCOL_SPC_BT709;
        video->color_primaries = AVCOL_PRI_BT709;
        video->color_trc = AVCOL_TRC_BT709;
        video->color_range = AVCOL_RANGE_MPEG;
        const int q = std::clamp(s.quality, 1, 10);
        if (codec->id == AV_CODEC_ID_H264) {
            // Constant quality: x264's default crf 23 at quality 7.
            av_opt_set(video->priv_data, "preset", "medium", 0);
            av_opt_set(video->priv_data, "crf", std::to_string(35 - 2 * (q - 1)).c_str(), 0);
        } else {
            av_opt_set(video->priv_data, "crf", std::to_string(50 - 3 * (q - 1)).c_str(), 0);
            video->bit_rate = 0;
            av_opt_set(video->priv_data, "deadline", "good", 0);
            av_opt_set(video->priv_data, "cpu-used", "4", 0);
            av_opt_set(video->priv_data, "row-mt", "1", 0);
        }
        if (format->oformat->flags & AVFMT_GLOBALHEADER) video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        int r = avcodec_open2(video, codec, nullptr);
        if (r < 0) Fail(Format("cannot open the %s encoder", codec->name), r);
        videoStream = avformat_new_stream(format, nullptr);
        if (!videoStream) Fail("out of memory");
        avcodec_parameters_from_context(videoStream->codecpar, video);
        videoStream->time_base = video->time_base;
        videoStream->avg_frame_rate = rate;

        picture = av_frame_alloc();
        if (!picture) Fail("out of memory");
        picture->format = video->pix_fmt;
        picture->width = s.width;
        picture->height = s.height;
        r = av_frame_get_buffer(picture, 0);
        if (r < 0) Fail("out of memory", r);
        scaler = sws_getContext(s.width, s.height, AV_PIX_FMT_BGRA, s.width, s.height, AV_PIX_FMT_YUV420P,
                                SWS_BICUBIC, nullptr, nullptr, nullptr);
        if (!scaler) Fail("cannot convert the pictures to yuv420p");
        const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
        sws_setColorspaceDetails(scaler, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    }

    void OpenAudio(const AVCodec* codec) {
        audio = avcodec_alloc_context3(codec);
        if (!audio) Fail("out of memory");
        audio->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
        int rate = s.sampleRate;
        if (codec->supported_samplerates) {
            // The source's rate where the encoder takes it, else 48 kHz (Opus), else its first.
            rate = codec->supported_samplerates[0];
            for (const int* r = codec->supported_samplerates; *r; r++)
                if (*r == s.sampleRate || (*r == 48000 && rate != s.sampleRate)) rate = *r;
        }
        audio->sample_rate = rate;
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        av_channel_layout_copy(&audio->ch_layout, &stereo);
        audio->bit_rate = s.quality <= 3 ? 96000 : s.quality <= 6 ? 128000 : 192000;
        audio->time_base = AVRational{1, rate};
        audio->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL; // FFmpeg's own Opus, if libopus is missing
        if (format->oformat->flags & AVFMT_GLOBALHEADER) audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        int r = avcodec_open2(audio, codec, nullptr);
        if (r < 0) Fail(Format("cannot open the %s encoder", codec->name), r);
        audioFrameSize = audio->frame_size > 0 ? audio->frame_size : 1024;
        audioStream = avformat_new_stream(format, nullptr);
        if (!audioStream) Fail("out of memory");
        avcodec_parameters_from_context(audioStream->codecpar, audio);
        audioStream->time_base = audio->time_base;

        r = swr_alloc_set_opts2(&resampler, &audio->ch_layout, audio->sample_fmt, rate, &stereo,
                                AV_SAMPLE_FMT_S16, s.sampleRate, 0, nullptr);
        if (r < 0 || swr_init(resampler) < 0) Fail("cannot convert the sound", r);
        convertedCapacity = int(av_rescale_rnd(kSoundChunk + 256, rate, s.sampleRate, AV_ROUND_UP)) + 256;
        r = av_samples_alloc_array_and_samples(&converted, nullptr, 2, convertedCapacity, audio->sample_fmt,
                                               0);
        if (r < 0) Fail("out of memory", r);
        fifo = av_audio_fifo_alloc(audio->sample_fmt, 2, convertedCapacity + 2 * audioFrameSize);
        sound = av_frame_alloc();
        if (!fifo || !sound) Fail("out of memory");
        sound->format = audio->sample_fmt;
        sound->sample_rate = rate;
        av_channel_layout_copy(&sound->ch_layout, &audio->ch_layout);
        sound->nb_samples = audioFrameSize;
        r = av_frame_get_buffer(sound, 0);
        if (r < 0) Fail("out of memory", r);
    }

    void Convert(const int16_t* samples, int count) {
        const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(samples)};
        int n = swr_convert(resampler, converted, convertedCapacity, samples ? in : nullptr, count);
        if (n < 0) Fail("cannot convert the sound", n);
        if (n > 0 && av_audio_fifo_write(fifo, reinterpret_cast<void**>(converted), n) != n)
            Fail("cannot buffer the sound");
    }

    void Release() {
        sws_freeContext(scaler);
        swr_free(&resampler);
        if (fifo) av_audio_fifo_free(fifo);
        if (converted) av_freep(&converted[0]);
        av_freep(&converted);
        av_frame_free(&picture);
        av_frame_free(&sound);
        av_packet_free(&packet);
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        if (format) {
            if (fileOpen) avio_closep(&format->pb);
            avformat_free_context(format);
            format = nullptr;
        }
    }
};

TVideoWriter::TVideoWriter(const TVideoSettings& settings) : state_(new TState) {
    TState& st = *state_;
    st.s = settings;
    st.temp = settings.file + ".partial";
    // The encoders' chatter stays out of the progress line; errors still show.
    av_log_set_level(AV_LOG_ERROR);
    try {
        const std::string ext = Extension(settings.file);
        const bool webm = ext == "webm";
        const char* container = webm ? "webm" : ext == "mkv" ? "matroska" : ext == "mp4" ? "mp4" : nullptr;
        if (!container) st.Fail("the name must end in .mp4, .webm or .mkv");
        if (settings.width <= 0 || settings.height <= 0 || settings.width % 2 || settings.height % 2)
            st.Fail(Format("4:2:0 video needs an even width and height, not %dx%d", settings.width,
                           settings.height));
        int r = avformat_alloc_output_context2(&st.format, nullptr, container, st.temp.c_str());
        if (r < 0 || !st.format) st.Fail("FFmpeg cannot write this container", r);
        const AVCodec* videoCodec =
            webm ? FindEncoder("libvpx-vp9", AV_CODEC_ID_VP9) : FindEncoder("libx264", AV_CODEC_ID_H264);
        if (!videoCodec) st.Fail(webm ? "FFmpeg offers no VP9 encoder" : "FFmpeg offers no H.264 encoder");
        st.packet = av_packet_alloc();
        if (!st.packet) st.Fail("out of memory");
        st.OpenVideo(videoCodec);
        if (settings.audio) {
            const AVCodec* audioCodec =
                webm ? FindEncoder("libopus", AV_CODEC_ID_OPUS) : FindEncoder("aac", AV_CODEC_ID_AAC);
            if (!audioCodec) st.Fail(webm ? "FFmpeg offers no Opus encoder" : "FFmpeg offers no AAC encoder");
            st.OpenAudio(audioCodec);
        }
        r = avio_open(&st.format->pb, st.temp.c_str(), AVIO_FLAG_WRITE);
        if (r < 0) st.Fail("cannot create the file", r);
        st.fileOpen = true;
        AVDictionary* options = nullptr;
        // The index at the front, so that players start before the whole file is there.
        if (ext == "mp4") av_dict_set(&options, "movflags", "+faststart", 0);
        r = avformat_write_header(st.format, &options);
        av_dict_free(&options);
        if (r < 0) st.Fail("cannot write the video file", r);
    } catch (...) {
        st.Release();
        std::remove(st.temp.c_str());
        delete state_;
        throw;
    }
}

TVideoWriter::~TVideoWriter() {
    state_->Release();
    if (!state_->finished) std::remove(state_->temp.c_str());
    delete state_;
}

void TVideoWriter::AddFrame(const uint8_t* bgra, int32_t stride) {
    TState& st = *state_;
    int r = av_frame_make_writable(st.picture);
    if (r < 0) st.Fail("out of memory", r);
    // Rows come bottom to top: start at the last and step backwards.
    const uint8_t* source[1] = {bgra + size_t(st.s.height - 1) * size_t(stride)};
    const int sourceStride[1] = {-stride};
    sws_scale(st.scaler, source, sourceStride, 0, st.s.height, st.picture->data, st.picture->linesize);
    st.picture->pts = st.frames++;
    st.Send(st.video, st.videoStream, st.picture);
}

void TVideoWriter::AddSound(const int16_t* samples, size_t frames) {
    TState& st = *state_;
    if (!st.audio) return;
    while (frames > 0) {
        const int n = int(std::min<size_t>(frames, kSoundChunk));
        st.Convert(samples, n);
        st.EncodeSound(false);
        samples += size_t(n) * 2;
        frames -= size_t(n);
        st.soundGiven += n;
    }
}

void TVideoWriter::PadSoundToPictures() {
    TState& st = *state_;
    const int64_t due = int64_t(std::llround(double(st.frames) / st.s.fps * st.s.sampleRate));
    while (st.audio && st.soundGiven < due)
        AddSound(st.silence.data(), size_t(std::min<int64_t>(due - st.soundGiven, kSoundChunk)));
}

void TVideoWriter::Finish() {
    TState& st = *state_;
    if (st.finished) return;
    PadSoundToPictures();
    if (st.audio) {
        st.Convert(nullptr, 0); // what the resampler still holds
        st.EncodeSound(true);
        st.Send(st.audio, st.audioStream, nullptr);
    }
    st.Send(st.video, st.videoStream, nullptr);
    int r = av_write_trailer(st.format);
    if (r < 0) st.Fail("cannot write the video file", r);
    r = avio_closep(&st.format->pb);
    st.fileOpen = false;
    if (r < 0) st.Fail("cannot write the video file", r);
    if (std::rename(st.temp.c_str(), st.s.file.c_str()) != 0) st.Fail("cannot give the video file its name");
    st.finished = true;
}

int64_t TVideoWriter::FramesWritten() const {
    return state_->frames;
}
int64_t TVideoWriter::SoundFramesGiven() const {
    return state_->soundGiven;
}
const char* TVideoWriter::VideoCodecName() const {
    return state_->video ? state_->video->codec->name : "";
}
const char* TVideoWriter::AudioCodecName() const {
    return state_->audio ? state_->audio->codec->name : "";
}
