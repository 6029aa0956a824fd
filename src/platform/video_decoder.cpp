#include "platform/video_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <limits>

namespace tb {

namespace {

// Frames larger than this are refused (a malformed header must not make us allocate
// gigabytes per frame).
constexpr int kMaxSide = 16384;

}  // namespace

struct VideoDecoder::Impl {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwsContext* scale = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    int stream = -1;
    double time_base = 0;
    bool draining = false;

    ~Impl() {
        if (scale) sws_freeContext(scale);
        if (frame) av_frame_free(&frame);
        if (packet) av_packet_free(&packet);
        if (codec) avcodec_free_context(&codec);
        if (format) avformat_close_input(&format);
    }

    bool Open(const std::string& path) {
        av_log_set_level(AV_LOG_QUIET);
        if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) {
            format = nullptr;
            return false;
        }
        if (avformat_find_stream_info(format, nullptr) < 0) return false;
        stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (stream < 0) return false;
        AVStream* st = format->streams[stream];
        const AVCodec* decoder = avcodec_find_decoder(st->codecpar->codec_id);
        if (!decoder) return false;
        codec = avcodec_alloc_context3(decoder);
        if (!codec || avcodec_parameters_to_context(codec, st->codecpar) < 0) return false;
        if (avcodec_open2(codec, decoder, nullptr) < 0) return false;
        if (codec->width < 1 || codec->height < 1 || codec->width > kMaxSide ||
            codec->height > kMaxSide)
            return false;
        time_base = av_q2d(st->time_base);
        frame = av_frame_alloc();
        packet = av_packet_alloc();
        return frame && packet;
    }

    bool Receive(CBitmap32& out, double& seconds) {
        if (avcodec_receive_frame(codec, frame) < 0) return false;
        const int w = frame->width, h = frame->height;
        if (w < 1 || h < 1 || w > kMaxSide || h > kMaxSide) return false;
        scale = sws_getCachedContext(scale, w, h, AVPixelFormat(frame->format), w, h,
                                     AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!scale) return false;
        out = CBitmap32(w, h);
        uint8_t* dst[4] = {reinterpret_cast<uint8_t*>(out.pixels.data()), nullptr, nullptr,
                           nullptr};
        int stride[4] = {w * 4, 0, 0, 0};
        sws_scale(scale, frame->data, frame->linesize, 0, h, dst, stride);
        // Formats without alpha leave it 0 in some conversions: such frames are opaque.
        const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
        if (!d || !(d->flags & AV_PIX_FMT_FLAG_ALPHA))
            for (uint32_t& p : out.pixels) p |= 0xFF000000u;
        int64_t pts = frame->best_effort_timestamp;
        seconds = pts == AV_NOPTS_VALUE ? 0 : double(pts) * time_base;
        av_frame_unref(frame);
        return true;
    }

    bool Next(CBitmap32& out, double& seconds) {
        for (;;) {
            if (Receive(out, seconds)) return true;
            if (draining) return false;
            int r = av_read_frame(format, packet);
            if (r < 0) {
                draining = true;
                avcodec_send_packet(codec, nullptr);
                continue;
            }
            if (packet->stream_index == stream) avcodec_send_packet(codec, packet);
            av_packet_unref(packet);
        }
    }
};

VideoDecoder::VideoDecoder() = default;
VideoDecoder::~VideoDecoder() = default;

bool VideoDecoder::Open(const std::string& path) {
    impl_ = std::make_unique<Impl>();
    if (!impl_->Open(path)) {
        impl_.reset();
        return false;
    }
    return true;
}

int32_t VideoDecoder::Width() const {
    return impl_ ? impl_->codec->width : 0;
}

int32_t VideoDecoder::Height() const {
    return impl_ ? impl_->codec->height : 0;
}

bool VideoDecoder::Next(CBitmap32& frame, double& seconds) {
    return impl_ && impl_->Next(frame, seconds);
}

bool VideoDecoder::Rewind() {
    if (!impl_) return false;
    if (av_seek_frame(impl_->format, impl_->stream, 0, AVSEEK_FLAG_BACKWARD) < 0) return false;
    avcodec_flush_buffers(impl_->codec);
    impl_->draining = false;
    return true;
}

CBitmap32 DecodePictureFile(const std::string& path) {
    VideoDecoder d;
    CBitmap32 frame;
    double t = 0;
    if (!d.Open(path) || !d.Next(frame, t)) return CBitmap32();
    return frame;
}

}  // namespace tb
