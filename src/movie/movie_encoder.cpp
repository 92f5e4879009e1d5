#include "movie/movie_encoder.h"

#include <algorithm>
#include <cctype>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace orvo {

namespace {

constexpr int kFps = 50;
constexpr int kAudioRate = 48000;
constexpr int kAudioPerFrame = kAudioRate / kFps;  // 960

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof(text));
  return text;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  if (s.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i) {
    const char c = s[s.size() - tail.size() + i];
    if (std::tolower(static_cast<unsigned char>(c)) != tail[i]) return false;
  }
  return true;
}

}  // namespace

struct MovieEncoder::Impl {
  std::string file;  // where the encoders write (the caller's temporary file)
  std::string name;  // the user's name for the movie, for messages
  MovieFormat format;
  AVFormatContext* container = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* audio = nullptr;
  AVStream* videoStream = nullptr;
  AVStream* audioStream = nullptr;
  SwsContext* scaler = nullptr;
  SwrContext* resampler = nullptr;
  AVAudioFifo* fifo = nullptr;
  AVFrame* picture = nullptr;
  AVFrame* sound = nullptr;
  AVPacket* packet = nullptr;
  int64_t frames = 0;
  int64_t audioSamples = 0;
  std::vector<uint8_t> silence;

  ~Impl() { Free(); }

  void Free() {
    if (container != nullptr) {
      if (container->pb != nullptr) avio_closep(&container->pb);
      avformat_free_context(container);
      container = nullptr;
    }
    avcodec_free_context(&video);
    avcodec_free_context(&audio);
    sws_freeContext(scaler);
    scaler = nullptr;
    swr_free(&resampler);
    if (fifo != nullptr) av_audio_fifo_free(fifo);
    fifo = nullptr;
    av_frame_free(&picture);
    av_frame_free(&sound);
    av_packet_free(&packet);
  }

  // Sends `frame` (null: flush) to `codec` and writes every packet that comes out.
  bool Encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame, std::string* error) {
    int rc = avcodec_send_frame(codec, frame);
    if (rc < 0) {
      *error = "Movie: cannot encode a frame (" + AvError(rc) + ")";
      return false;
    }
    for (;;) {
      rc = avcodec_receive_packet(codec, packet);
      if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
      if (rc < 0) {
        *error = "Movie: cannot encode a frame (" + AvError(rc) + ")";
        return false;
      }
      av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      rc = av_interleaved_write_frame(container, packet);
      if (rc < 0) {
        *error = "Movie: cannot write " + name + " (" + AvError(rc) + ")";
        return false;
      }
    }
  }

  // Encodes whole AAC frames from the FIFO (all that is left when `flush`).
  bool DrainAudio(bool flush, std::string* error) {
    const int size = audio->frame_size > 0 ? audio->frame_size : kAudioPerFrame;
    while (av_audio_fifo_size(fifo) >= size || (flush && av_audio_fifo_size(fifo) > 0)) {
      const int n = std::min(size, av_audio_fifo_size(fifo));
      av_frame_unref(sound);
      sound->nb_samples = n;
      sound->format = audio->sample_fmt;
      sound->sample_rate = audio->sample_rate;
      av_channel_layout_copy(&sound->ch_layout, &audio->ch_layout);
      if (av_frame_get_buffer(sound, 0) < 0) {
        *error = "Movie: out of memory";
        return false;
      }
      av_audio_fifo_read(fifo, reinterpret_cast<void**>(sound->data), n);
      sound->pts = audioSamples;
      audioSamples += n;
      if (!Encode(audio, audioStream, sound, error)) return false;
    }
    return true;
  }
};

MovieEncoder::MovieEncoder() = default;

MovieEncoder::~MovieEncoder() {
  Abandon();
}

bool EncoderHasH264() {
  return avcodec_find_encoder_by_name("libx264") != nullptr;
}

int64_t MovieEncoder::Frames() const {
  return impl_ ? impl_->frames : 0;
}
int64_t MovieEncoder::BytesWritten() const {
  if (!impl_ || impl_->container == nullptr || impl_->container->pb == nullptr) return 0;
  return avio_tell(impl_->container->pb);
}
std::string MovieEncoder::VideoCodec() const {
  return impl_ && impl_->video ? impl_->video->codec->name : "";
}

void MovieEncoder::Abandon() {
  impl_.reset();
}

bool MovieEncoder::Open(const std::string& file, const std::string& name, const MovieFormat& format,
                        std::string* error) {
  Abandon();
  if (format.width <= 0 || format.height <= 0 || format.width % 2 != 0 || format.height % 2 != 0 ||
      (format.withSound &&
       (format.samplesPerFrame <= 0 || format.channels < 1 || format.channels > 2 ||
        (format.bitsPerSample != 8 && format.bitsPerSample != 16)))) {
    *error = "Movie: unsupported picture or sound format";
    return false;
  }
  av_log_set_level(AV_LOG_ERROR);  // the encoders' statistics are not the user's business
  auto impl = std::make_unique<Impl>();
  impl->file = file;
  impl->name = name;
  impl->format = format;
  const bool matroska = EndsWith(name, ".mkv");
  const AVCodec* h264 = avcodec_find_encoder_by_name("libx264");
  const AVCodec* videoCodec = h264 != nullptr ? h264 : avcodec_find_encoder(AV_CODEC_ID_FFV1);
  const char* containerName = matroska || h264 == nullptr ? "matroska" : "mp4";
  if (videoCodec == nullptr) {
    *error = "Movie: libavcodec has neither an H.264 nor an FFV1 encoder";
    return false;
  }
  int rc =
      avformat_alloc_output_context2(&impl->container, nullptr, containerName, impl->file.c_str());
  if (rc < 0 || impl->container == nullptr) {
    *error = "Movie: cannot set up the " + std::string(containerName) + " container";
    return false;
  }
  impl->packet = av_packet_alloc();
  impl->picture = av_frame_alloc();
  impl->sound = av_frame_alloc();

  // Video: one frame per emulated frame.
  impl->video = avcodec_alloc_context3(videoCodec);
  AVCodecContext* v = impl->video;
  v->width = format.width;
  v->height = format.height;
  v->time_base = AVRational{1, kFps};
  v->framerate = AVRational{kFps, 1};
  v->gop_size = kFps;
  // FFV1 keeps the RGB picture losslessly as planes; H.264 takes the usual 4:2:0.
  v->pix_fmt = h264 != nullptr ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_GBRP;
  if (impl->container->oformat->flags & AVFMT_GLOBALHEADER) v->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  AVDictionary* options = nullptr;
  if (h264 != nullptr) {
    // Sharp pixels and flat colours: a low CRF keeps the Spectrum's edges clean.
    av_dict_set(&options, "preset", "veryfast", 0);
    av_dict_set(&options, "crf", "16", 0);
    av_dict_set(&options, "tune", "animation", 0);
  }
  rc = avcodec_open2(v, videoCodec, &options);
  av_dict_free(&options);
  if (rc < 0) {
    *error = "Movie: cannot open the video encoder (" + AvError(rc) + ")";
    return false;
  }
  impl->videoStream = avformat_new_stream(impl->container, nullptr);
  avcodec_parameters_from_context(impl->videoStream->codecpar, v);
  impl->videoStream->time_base = v->time_base;
  impl->videoStream->avg_frame_rate = v->framerate;
  impl->scaler = sws_getContext(format.width, format.height, AV_PIX_FMT_BGR0, format.width,
                                format.height, v->pix_fmt, SWS_POINT, nullptr, nullptr, nullptr);
  impl->picture->format = v->pix_fmt;
  impl->picture->width = v->width;
  impl->picture->height = v->height;
  if (impl->scaler == nullptr || av_frame_get_buffer(impl->picture, 0) < 0) {
    *error = "Movie: cannot convert the picture";
    return false;
  }

  if (format.withSound) {
    const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (aac == nullptr) {
      *error = "Movie: libavcodec has no AAC encoder";
      return false;
    }
    impl->audio = avcodec_alloc_context3(aac);
    AVCodecContext* a = impl->audio;
    a->sample_fmt = AV_SAMPLE_FMT_FLTP;
    a->sample_rate = kAudioRate;
    a->bit_rate = 192000;
    av_channel_layout_default(&a->ch_layout, format.channels);
    a->time_base = AVRational{1, kAudioRate};
    if (impl->container->oformat->flags & AVFMT_GLOBALHEADER)
      a->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    rc = avcodec_open2(a, aac, nullptr);
    if (rc < 0) {
      *error = "Movie: cannot open the sound encoder (" + AvError(rc) + ")";
      return false;
    }
    impl->audioStream = avformat_new_stream(impl->container, nullptr);
    avcodec_parameters_from_context(impl->audioStream->codecpar, a);
    impl->audioStream->time_base = a->time_base;
    // The machine's samples per frame, fifty frames a second, become 48 kHz exactly.
    AVChannelLayout layout;
    av_channel_layout_default(&layout, format.channels);
    rc = swr_alloc_set_opts2(&impl->resampler, &a->ch_layout, a->sample_fmt, kAudioRate, &layout,
                             format.bitsPerSample == 16 ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_U8,
                             format.samplesPerFrame * kFps, 0, nullptr);
    av_channel_layout_uninit(&layout);
    if (rc < 0 || swr_init(impl->resampler) < 0) {
      *error = "Movie: cannot resample the sound";
      return false;
    }
    impl->fifo = av_audio_fifo_alloc(a->sample_fmt, format.channels, kAudioPerFrame * 4);
    impl->silence.assign(
        static_cast<size_t>(format.samplesPerFrame) * format.channels * format.bitsPerSample / 8,
        format.bitsPerSample == 16 ? 0 : 0x80);
  }

  rc = avio_open(&impl->container->pb, impl->file.c_str(), AVIO_FLAG_WRITE);
  if (rc < 0) {
    *error = "Movie: cannot create " + impl->name + " (" + AvError(rc) + ")";
    impl->container->pb = nullptr;
    return false;
  }
  rc = avformat_write_header(impl->container, nullptr);
  if (rc < 0) {
    *error = "Movie: cannot write " + impl->name + " (" + AvError(rc) + ")";
    impl_ = std::move(impl);
    Abandon();
    return false;
  }
  impl_ = std::move(impl);
  return true;
}

bool MovieEncoder::AddFrame(const uint32_t* pixels, int stride, const uint8_t* audio,
                            uint32_t audioBytes, std::string* error) {
  if (!impl_) {
    *error = "Movie: no recording";
    return false;
  }
  Impl& m = *impl_;
  if (av_frame_make_writable(m.picture) < 0) {
    *error = "Movie: out of memory";
    return false;
  }
  const uint8_t* planes[1] = {reinterpret_cast<const uint8_t*>(pixels)};
  const int strides[1] = {stride * 4};
  sws_scale(m.scaler, planes, strides, 0, m.format.height, m.picture->data, m.picture->linesize);
  m.picture->pts = m.frames;
  if (!m.Encode(m.video, m.videoStream, m.picture, error)) return false;
  ++m.frames;

  if (m.audio != nullptr) {
    // Exactly one frame's worth goes in, so the sound can never run ahead or fall behind.
    const uint8_t* in = audio;
    if (in == nullptr || audioBytes != m.silence.size()) in = m.silence.data();
    uint8_t* out[2] = {nullptr, nullptr};
    const int room = kAudioPerFrame * 2;
    if (av_samples_alloc(out, nullptr, m.format.channels, room, m.audio->sample_fmt, 0) < 0) {
      *error = "Movie: out of memory";
      return false;
    }
    const uint8_t* inPlanes[1] = {in};
    const int got = swr_convert(m.resampler, out, room, inPlanes, m.format.samplesPerFrame);
    if (got > 0) av_audio_fifo_write(m.fifo, reinterpret_cast<void**>(out), got);
    av_freep(&out[0]);
    if (got < 0) {
      *error = "Movie: cannot resample the sound";
      return false;
    }
    if (!m.DrainAudio(false, error)) return false;
  }
  return true;
}

bool MovieEncoder::Finish(std::string* error) {
  if (!impl_) return true;
  Impl& m = *impl_;
  bool ok = true;
  if (m.audio != nullptr) {
    // What the resampler still holds, then pad to the video's length so both end together.
    uint8_t* out[2] = {nullptr, nullptr};
    if (av_samples_alloc(out, nullptr, m.format.channels, kAudioPerFrame, m.audio->sample_fmt, 0) >=
        0) {
      const int got = swr_convert(m.resampler, out, kAudioPerFrame, nullptr, 0);
      if (got > 0) av_audio_fifo_write(m.fifo, reinterpret_cast<void**>(out), got);
      av_freep(&out[0]);
    }
    const int64_t wanted = m.frames * kAudioPerFrame;
    const int64_t have = m.audioSamples + av_audio_fifo_size(m.fifo);
    if (have > wanted) {
      av_audio_fifo_drain(
          m.fifo, static_cast<int>(std::min<int64_t>(have - wanted, av_audio_fifo_size(m.fifo))));
    } else if (have < wanted) {
      const int missing = static_cast<int>(wanted - have);
      if (av_samples_alloc(out, nullptr, m.format.channels, missing, m.audio->sample_fmt, 0) >= 0) {
        av_samples_set_silence(out, 0, missing, m.format.channels, m.audio->sample_fmt);
        av_audio_fifo_write(m.fifo, reinterpret_cast<void**>(out), missing);
        av_freep(&out[0]);
      }
    }
    ok = m.DrainAudio(true, error) && m.Encode(m.audio, m.audioStream, nullptr, error);
  }
  ok = ok && m.Encode(m.video, m.videoStream, nullptr, error);
  if (ok) {
    const int rc = av_write_trailer(m.container);
    if (rc < 0) {
      *error = "Movie: cannot write " + m.name + " (" + AvError(rc) + ")";
      ok = false;
    }
  }
  if (m.container->pb != nullptr && avio_closep(&m.container->pb) < 0 && ok) {
    *error = "Movie: cannot write " + m.name;
    ok = false;
  }
  if (!ok) {
    Abandon();
    return false;
  }
  impl_.reset();
  return true;
}

}  // namespace orvo
