// Pictures and videos decoded with FFmpeg's libraries into 0xAARRGGBB frames: the splash
// screens' images (every format the libraries read) and videos, and the videos' sound as a
// source for the sound engine.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "graphics/bitmap32.h"
#include "sound/pcm_source.h"

namespace tb {

class VideoDecoder {
  public:
    VideoDecoder();
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    // Opens the file's first video stream; false when it has none or cannot be decoded.
    bool Open(const std::string& path);
    int32_t Width() const;
    int32_t Height() const;
    // The next frame and its time in seconds from the start; false at the end of the
    // stream or on a decoding failure.
    bool Next(CBitmap32& frame, double& seconds);
    // Back to the start; false when the file cannot seek.
    bool Rewind();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The sound track of a video file, decoded as it is read; null when the file has none that
// can be decoded.
std::unique_ptr<PcmSource> OpenVideoSound(const std::string& path);

// The first frame of a picture or video file; a missing image (exists false) when it cannot
// be decoded.
CBitmap32 DecodePictureFile(const std::string& path);

}  // namespace tb
