#include "platform/video_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <limits>
#include <vector>

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

namespace {

// One sample of a decoded frame as a float in -1 .. 1, whatever its format.
float SampleAt(const AVFrame* f, int channels, int channel, int index) {
    const AVSampleFormat fmt = AVSampleFormat(f->format);
    const bool planar = av_sample_fmt_is_planar(fmt) != 0;
    const uint8_t* base = planar ? f->extended_data[channel] : f->extended_data[0];
    const size_t at = planar ? size_t(index) : size_t(index) * size_t(channels) + size_t(channel);
    switch (av_get_packed_sample_fmt(fmt)) {
        case AV_SAMPLE_FMT_U8:
            return (float(base[at]) - 128.0f) / 128.0f;
        case AV_SAMPLE_FMT_S16:
            return float(reinterpret_cast<const int16_t*>(base)[at]) / 32768.0f;
        case AV_SAMPLE_FMT_S32:
            return float(double(reinterpret_cast<const int32_t*>(base)[at]) / 2147483648.0);
        case AV_SAMPLE_FMT_S64:
            return float(double(reinterpret_cast<const int64_t*>(base)[at]) /
                         9223372036854775808.0);
        case AV_SAMPLE_FMT_FLT:
            return std::clamp(reinterpret_cast<const float*>(base)[at], -1.0f, 1.0f);
        case AV_SAMPLE_FMT_DBL:
            return float(std::clamp(reinterpret_cast<const double*>(base)[at], -1.0, 1.0));
        default:
            return 0.0f;
    }
}

// The sound track of a video, decoded as it plays. More than two channels keep the front
// pair (the first two of the usual layouts).
class VideoSound final : public PcmSource {
  public:
    ~VideoSound() override {
        if (frame_) av_frame_free(&frame_);
        if (packet_) av_packet_free(&packet_);
        if (codec_) avcodec_free_context(&codec_);
        if (format_) avformat_close_input(&format_);
    }

    bool Open(const std::string& path) {
        av_log_set_level(AV_LOG_QUIET);
        if (avformat_open_input(&format_, path.c_str(), nullptr, nullptr) < 0) {
            format_ = nullptr;
            return false;
        }
        if (avformat_find_stream_info(format_, nullptr) < 0) return false;
        stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (stream_ < 0) return false;
        AVStream* st = format_->streams[stream_];
        const AVCodec* decoder = avcodec_find_decoder(st->codecpar->codec_id);
        if (!decoder) return false;
        codec_ = avcodec_alloc_context3(decoder);
        if (!codec_ || avcodec_parameters_to_context(codec_, st->codecpar) < 0) return false;
        if (avcodec_open2(codec_, decoder, nullptr) < 0) return false;
        if (codec_->ch_layout.nb_channels < 1 || codec_->ch_layout.nb_channels > 64 ||
            codec_->sample_rate < 1000 || codec_->sample_rate > 384000)
            return false;
        channels = std::min(codec_->ch_layout.nb_channels, 2);
        rate = codec_->sample_rate;
        frames = -1;
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        return frame_ && packet_;
    }

    size_t Read(float* out, size_t count) override {
        size_t done = 0;
        while (done < count) {
            if (at_ == pending_.size() && !Decode()) break;
            const size_t n = std::min(count - done, (pending_.size() - at_) / size_t(channels));
            std::copy_n(pending_.data() + at_, n * size_t(channels), out + done * size_t(channels));
            at_ += n * size_t(channels);
            done += n;
        }
        return done;
    }

    bool Rewind() override {
        if (av_seek_frame(format_, stream_, 0, AVSEEK_FLAG_BACKWARD) < 0) return false;
        avcodec_flush_buffers(codec_);
        draining_ = false;
        pending_.clear();
        at_ = 0;
        return true;
    }

  private:
    // The next decoded frame into `pending_`; false at the end.
    bool Decode() {
        pending_.clear();
        at_ = 0;
        for (;;) {
            if (avcodec_receive_frame(codec_, frame_) >= 0) {
                const int in = frame_->ch_layout.nb_channels;
                if (in >= 1 && frame_->nb_samples > 0) {
                    pending_.reserve(size_t(frame_->nb_samples) * size_t(channels));
                    for (int i = 0; i < frame_->nb_samples; ++i)
                        for (int c = 0; c < channels; ++c)
                            pending_.push_back(SampleAt(frame_, in, std::min(c, in - 1), i));
                }
                av_frame_unref(frame_);
                if (!pending_.empty()) return true;
                continue;
            }
            if (draining_) return false;
            if (av_read_frame(format_, packet_) < 0) {
                draining_ = true;
                avcodec_send_packet(codec_, nullptr);
                continue;
            }
            if (packet_->stream_index == stream_) avcodec_send_packet(codec_, packet_);
            av_packet_unref(packet_);
        }
    }

    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    int stream_ = -1;
    bool draining_ = false;
    std::vector<float> pending_;
    size_t at_ = 0;
};

}  // namespace

std::unique_ptr<PcmSource> OpenVideoSound(const std::string& path) {
    auto sound = std::make_unique<VideoSound>();
    if (!sound->Open(path)) return nullptr;
    return sound;
}

CBitmap32 DecodePictureFile(const std::string& path) {
    VideoDecoder d;
    CBitmap32 frame;
    double t = 0;
    if (!d.Open(path) || !d.Next(frame, t)) return CBitmap32();
    return frame;
}

}  // namespace tb
