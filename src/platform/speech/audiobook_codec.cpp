#include "platform/speech/audiobook_codec.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
}

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <mutex>

#include "platform/speech/errno_result.h"
#include "platform/speech/synthesis_engine.h"
#include "platform/text/text_convert.h"

namespace sonoleaf::speech_service {
namespace {

constexpr std::int64_t kBitRate = 64000;
constexpr int kIoBufferBytes = 64 * 1024;
// The Nero chapter list holds at most this many entries; FFmpeg would cut a longer
// one short, and a player reading it would then miss the rest.
constexpr std::size_t kMaxChplChapters = 255;
// The ISO media type of an audiobook ("stik"), which moves players to keep its place.
constexpr const char* kAudiobookMediaType = "2";

struct CodecContextFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FormatContextFree {
    void operator()(AVFormatContext* context) const { avformat_free_context(context); }
};
struct IoContextFree {
    void operator()(AVIOContext* io) const {
        av_freep(&io->buffer);  // it may have been replaced since allocation
        avio_context_free(&io);
    }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextFree>;
using IoContextPtr = std::unique_ptr<AVIOContext, IoContextFree>;

// FFmpeg reports warnings (and a few notes) on standard error; the program has its
// own way of telling what went wrong, and keeps only FFmpeg's errors there.
void QuietenLibraries() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_ERROR); });
}

std::string AvErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

HResult ResultOf(int code) {
    if (code >= 0) return kOk;
    if (code == AVERROR(ENOMEM)) return kOutOfMemory;
    // FFmpeg's own codes are negative tags far from errno values.
    if (code > -4096) return ResultFromErrno(-code);
    return kFail;
}

// Records why `step` failed and returns the service's result for it.
HResult Failure(std::string& problem, const char* step, int code) {
    problem = std::string(step) + ": " + AvErrorText(code);
    return ResultOf(code);
}

// Takes the packets the encoder has ready.
HResult Drain(AVCodecContext& context, AVPacket& packet, AacFrames& frames, std::string& problem) {
    for (;;) {
        const int received = avcodec_receive_packet(&context, &packet);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return kOk;
        if (received < 0) return Failure(problem, "encoding AAC", received);
        const bool fits =
            packet.size > 0 && packet.size <= std::numeric_limits<std::uint16_t>::max();
        if (fits)
            frames.Append({reinterpret_cast<const char*>(packet.data),
                           static_cast<std::size_t>(packet.size)});
        av_packet_unref(&packet);
        if (!fits) return Failure(problem, "encoding AAC", AVERROR_BUG);
    }
}

}  // namespace

// --- Encoder ----------------------------------------------------------------------

struct AacEncoder::State {
    CodecContextPtr context;
    FramePtr frame;
    PacketPtr packet;
    int filled = 0;            // samples waiting in `frame`
    std::int64_t nextPts = 0;  // of the frame being filled
    bool finished = false;
    std::string config;
    std::string problem;

    HResult Send(AVFrame* input, AacFrames& frames) {
        const int sent = avcodec_send_frame(context.get(), input);
        if (sent < 0) return Failure(problem, "encoding AAC", sent);
        return Drain(*context, *packet, frames, problem);
    }
};

AacEncoder::AacEncoder() : state_(std::make_unique<State>()) {}
AacEncoder::~AacEncoder() = default;

HResult AacEncoder::Create(std::unique_ptr<AacEncoder>& encoder) {
    QuietenLibraries();
    encoder.reset();
    std::unique_ptr<AacEncoder> made(new AacEncoder());
    State& s = *made->state_;
    // FFmpeg's own encoder by name: it alone has the fast coder.
    const AVCodec* codec = avcodec_find_encoder_by_name("aac");
    if (codec == nullptr) return kEngineMissing;
    s.context.reset(avcodec_alloc_context3(codec));
    s.frame.reset(av_frame_alloc());
    s.packet.reset(av_packet_alloc());
    if (!s.context || !s.frame || !s.packet) return kOutOfMemory;
    AVCodecContext& c = *s.context;
    c.sample_fmt = AV_SAMPLE_FMT_FLTP;
    c.sample_rate = kSampleRate;
    c.bit_rate = kBitRate;
    c.profile = FF_PROFILE_AAC_LOW;
    c.time_base = AVRational{1, kSampleRate};
    av_channel_layout_default(&c.ch_layout, 1);
    AVDictionary* options = nullptr;
    // Several times the default coder's speed on speech, at a cost close to MP3's.
    av_dict_set(&options, "aac_coder", "fast", 0);
    const int opened = avcodec_open2(&c, codec, &options);
    const int unused = av_dict_count(options);  // an option the encoder did not take
    av_dict_free(&options);
    if (opened < 0) return Failure(s.problem, "opening the AAC encoder", opened);
    if (unused != 0 || c.frame_size != kAacFrameSamples || c.initial_padding != kAacFrameSamples ||
        c.extradata_size <= 0)
        return Failure(s.problem, "opening the AAC encoder", AVERROR_ENCODER_NOT_FOUND);
    s.config.assign(reinterpret_cast<const char*>(c.extradata),
                    static_cast<std::size_t>(c.extradata_size));
    s.frame->format = c.sample_fmt;
    s.frame->nb_samples = kAacFrameSamples;
    s.frame->sample_rate = kSampleRate;
    if (const int copied = av_channel_layout_copy(&s.frame->ch_layout, &c.ch_layout); copied < 0)
        return Failure(s.problem, "opening the AAC encoder", copied);
    if (const int got = av_frame_get_buffer(s.frame.get(), 0); got < 0)
        return Failure(s.problem, "opening the AAC encoder", got);
    encoder = std::move(made);
    return kOk;
}

HResult AacEncoder::Write(std::span<const std::int16_t> samples, AacFrames& frames) {
    State& s = *state_;
    if (s.finished) return kUnbound;
    while (!samples.empty()) {
        if (s.filled == 0) {
            // The encoder may still hold the last frame's buffer.
            if (const int writable = av_frame_make_writable(s.frame.get()); writable < 0)
                return Failure(s.problem, "encoding AAC", writable);
        }
        const std::size_t take =
            std::min(samples.size(), static_cast<std::size_t>(kAacFrameSamples - s.filled));
        float* out = reinterpret_cast<float*>(s.frame->data[0]) + s.filled;
        for (std::size_t i = 0; i < take; ++i) out[i] = static_cast<float>(samples[i]) / 32768.0f;
        s.filled += static_cast<int>(take);
        samples = samples.subspan(take);
        if (s.filled == kAacFrameSamples) {
            s.frame->nb_samples = kAacFrameSamples;
            s.frame->pts = s.nextPts;
            s.nextPts += kAacFrameSamples;
            s.filled = 0;
            if (const HResult hr = s.Send(s.frame.get(), frames); Failed(hr)) return hr;
        }
    }
    return kOk;
}

HResult AacEncoder::Finish(AacFrames& frames) {
    State& s = *state_;
    if (s.finished) return kUnbound;
    s.finished = true;
    if (s.filled > 0) {
        s.frame->nb_samples = s.filled;  // the encoder pads a short last frame itself
        s.frame->pts = s.nextPts;
        s.filled = 0;
        if (const HResult hr = s.Send(s.frame.get(), frames); Failed(hr)) return hr;
    }
    return s.Send(nullptr, frames);
}

const std::string& AacEncoder::DecoderConfig() const {
    return state_->config;
}

const std::string& AacEncoder::Problem() const {
    return state_->problem;
}

// --- Container --------------------------------------------------------------------

struct M4bMuxer::State {
    int descriptor = -1;
    int ioError = 0;  // errno of the last failed write or seek
    IoContextPtr io;
    FormatContextPtr format;
    PacketPtr packet;
    std::string held;  // the latest frame: its length is known only at the end
    bool holding = false;
    std::int64_t frames = 0;  // written to FFmpeg, `held` not counted
    bool finished = false;
    std::string problem;

    HResult Fail(const char* step, int code) {
        // A write refused by the file system says more than FFmpeg's relay of it.
        if (ioError != 0) code = AVERROR(ioError);
        return Failure(problem, step, code);
    }

    HResult Start(int file, const AudiobookTags& tags, const CoverImage* cover,
                  const std::string& decoderConfig);

    HResult Emit(std::string_view frame, std::int64_t duration) {
        av_packet_unref(packet.get());
        if (const int made = av_new_packet(packet.get(), static_cast<int>(frame.size())); made < 0)
            return Fail("writing the audiobook", made);
        std::memcpy(packet->data, frame.data(), frame.size());
        packet->stream_index = 0;
        packet->pts = packet->dts = (frames - 1) * kAacFrameSamples;
        packet->duration = duration;
        packet->flags |= AV_PKT_FLAG_KEY;
        const int written = av_write_frame(format.get(), packet.get());
        av_packet_unref(packet.get());
        if (written < 0) return Fail("writing the audiobook", written);
        ++frames;
        return kOk;
    }
};

namespace {

int WriteToFile(void* opaque, std::uint8_t* buffer, int size) {
    auto& state = *static_cast<M4bMuxer::State*>(opaque);
    int done = 0;
    while (done < size) {
        const ssize_t wrote =
            ::write(state.descriptor, buffer + done, static_cast<std::size_t>(size - done));
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            state.ioError = wrote < 0 ? errno : ENOSPC;
            return AVERROR(state.ioError);
        }
        done += static_cast<int>(wrote);
    }
    return size;
}

std::int64_t SeekInFile(void* opaque, std::int64_t offset, int whence) {
    auto& state = *static_cast<M4bMuxer::State*>(opaque);
    if ((whence & AVSEEK_SIZE) != 0) {
        struct stat info {};
        if (::fstat(state.descriptor, &info) != 0) return AVERROR(errno);
        return info.st_size;
    }
    const off_t at = ::lseek(state.descriptor, offset, whence & ~AVSEEK_FORCE);
    if (at < 0) {
        state.ioError = errno;
        return AVERROR(state.ioError);
    }
    return at;
}

void SetTag(AVDictionary*& metadata, const char* key, const std::string& value) {
    if (!value.empty()) av_dict_set(&metadata, key, value.c_str(), 0);
}

void SetTag(AVDictionary*& metadata, const char* key, const std::u16string& value) {
    SetTag(metadata, key, text::ToNarrow(value));
}

// Nero's list gives a title one byte of length, and FFmpeg cuts a longer one there,
// through a character if need be: titles are cut to that length at a character's edge.
std::string ChapterTitle(const std::u16string& title) {
    constexpr std::size_t kMaxTitleBytes = 255;
    std::string utf8 = text::ToNarrow(title);
    if (utf8.size() <= kMaxTitleBytes) return utf8;
    std::size_t cut = kMaxTitleBytes;
    while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80) --cut;
    utf8.resize(cut);
    return utf8;
}

}  // namespace

M4bMuxer::M4bMuxer() : state_(std::make_unique<State>()) {}
M4bMuxer::~M4bMuxer() = default;

HResult M4bMuxer::Open(int descriptor, const AudiobookTags& tags, const CoverImage* cover,
                       const std::string& decoderConfig, std::unique_ptr<M4bMuxer>& muxer,
                       std::string& problem) {
    QuietenLibraries();
    muxer.reset();
    std::unique_ptr<M4bMuxer> made(new M4bMuxer());
    const HResult hr = made->state_->Start(descriptor, tags, cover, decoderConfig);
    problem = made->state_->problem;
    if (Succeeded(hr)) muxer = std::move(made);
    return hr;
}

HResult M4bMuxer::State::Start(int file, const AudiobookTags& tags, const CoverImage* cover,
                               const std::string& decoderConfig) {
    descriptor = file;
    packet.reset(av_packet_alloc());
    if (decoderConfig.empty()) return kInvalidArg;
    if (!packet) return kOutOfMemory;

    AVFormatContext* rawFormat = nullptr;
    // The "ipod" flavour of FFmpeg's MP4 muxer is the one that writes iTunes tags.
    if (const int made = avformat_alloc_output_context2(&rawFormat, nullptr, "ipod", nullptr);
        made < 0)
        return Failure(problem, "starting the audiobook", made);
    format.reset(rawFormat);
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferBytes));
    if (buffer == nullptr) return kOutOfMemory;
    io.reset(
        avio_alloc_context(buffer, kIoBufferBytes, 1, this, nullptr, &WriteToFile, &SeekInFile));
    if (!io) {
        av_free(buffer);
        return kOutOfMemory;
    }
    AVFormatContext& f = *format;
    f.pb = io.get();
    f.flags |= AVFMT_FLAG_CUSTOM_IO;

    AVStream* audio = avformat_new_stream(&f, nullptr);
    if (audio == nullptr) return kOutOfMemory;
    audio->time_base = AVRational{1, kSampleRate};
    AVCodecParameters& p = *audio->codecpar;
    p.codec_type = AVMEDIA_TYPE_AUDIO;
    p.codec_id = AV_CODEC_ID_AAC;
    p.profile = FF_PROFILE_AAC_LOW;
    p.sample_rate = kSampleRate;
    p.bit_rate = kBitRate;
    p.frame_size = kAacFrameSamples;
    p.initial_padding = kAacFrameSamples;
    av_channel_layout_default(&p.ch_layout, 1);
    p.extradata =
        static_cast<std::uint8_t*>(av_mallocz(decoderConfig.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (p.extradata == nullptr) return kOutOfMemory;
    std::memcpy(p.extradata, decoderConfig.data(), decoderConfig.size());
    p.extradata_size = static_cast<int>(decoderConfig.size());

    if (cover != nullptr) {
        AVStream* picture = avformat_new_stream(&f, nullptr);
        if (picture == nullptr) return kOutOfMemory;
        picture->disposition = AV_DISPOSITION_ATTACHED_PIC;
        picture->time_base = AVRational{1, 90000};
        picture->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
        picture->codecpar->codec_id =
            cover->kind == CoverKind::Png ? AV_CODEC_ID_PNG : AV_CODEC_ID_MJPEG;
        picture->codecpar->width = cover->width;
        picture->codecpar->height = cover->height;
    }

    SetTag(f.metadata, "title", tags.title);
    SetTag(f.metadata, "album", tags.album);
    SetTag(f.metadata, "artist", tags.artist);
    SetTag(f.metadata, "genre", tags.genre);
    SetTag(f.metadata, "comment", tags.comment);
    av_dict_set(&f.metadata, "media_type", kAudiobookMediaType, 0);

    AVDictionary* options = nullptr;
    av_dict_set(&options, "brand", "M4B ", 0);
    // The edit list that cuts the priming and the padding counts in samples, not ms.
    av_dict_set(&options, "movie_timescale", std::to_string(kSampleRate).c_str(), 0);
    const int header = avformat_write_header(&f, &options);
    const int unused = av_dict_count(options);
    av_dict_free(&options);
    if (header < 0) return Fail("starting the audiobook", header);
    if (unused != 0) return Failure(problem, "starting the audiobook", AVERROR_OPTION_NOT_FOUND);

    if (cover != nullptr) {
        AVPacket& picture = *packet;
        if (const int got = av_new_packet(&picture, static_cast<int>(cover->bytes.size())); got < 0)
            return Failure(problem, "adding the cover", got);
        std::memcpy(picture.data, cover->bytes.data(), cover->bytes.size());
        picture.stream_index = 1;
        picture.pts = picture.dts = 0;
        picture.flags |= AV_PKT_FLAG_KEY;
        const int written = av_write_frame(&f, &picture);
        av_packet_unref(&picture);
        if (written < 0) return Fail("adding the cover", written);
    }
    return kOk;
}

HResult M4bMuxer::WriteFrame(std::string_view frame) {
    State& s = *state_;
    if (s.finished || !s.problem.empty()) return s.finished ? kUnbound : kWriteFault;
    if (frame.empty()) return kInvalidArg;
    if (s.holding) {
        if (const HResult hr = s.Emit(s.held, kAacFrameSamples); Failed(hr)) return hr;
    }
    s.held.assign(frame);
    s.holding = true;
    return kOk;
}

std::int64_t M4bMuxer::FramesWritten() const {
    return state_->frames + (state_->holding ? 1 : 0);
}

HResult M4bMuxer::Finish(const std::vector<ChapterMark>& chapters, std::int64_t samples) {
    State& s = *state_;
    if (s.finished) return kUnbound;
    if (!s.problem.empty()) return kWriteFault;
    // Frame n ends the sound at 1,024 n samples: the last frame holds the book's end.
    const std::int64_t frames = FramesWritten();
    if (samples <= 0 || frames != (samples + kAacFrameSamples - 1) / kAacFrameSamples + 1)
        return kInvalidArg;
    if (chapters.empty() || chapters.front().startSample != 0) return kInvalidArg;
    for (std::size_t i = 1; i < chapters.size(); ++i)
        if (chapters[i].startSample < chapters[i - 1].startSample ||
            chapters[i].startSample >= samples)
            return kInvalidArg;
    s.finished = true;
    const std::int64_t lastDuration = samples - (frames - 2) * kAacFrameSamples;
    if (const HResult hr = s.Emit(s.held, lastDuration); Failed(hr)) return hr;
    s.holding = false;

    AVFormatContext& f = *s.format;
    // Chapters go into the index at the end (the muxer's way for chapters known late).
    f.chapters = static_cast<AVChapter**>(av_calloc(chapters.size(), sizeof(AVChapter*)));
    if (f.chapters == nullptr) return kOutOfMemory;
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        auto* chapter = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
        if (chapter == nullptr) return kOutOfMemory;
        f.chapters[f.nb_chapters++] = chapter;
        chapter->id = static_cast<std::int64_t>(i) + 1;
        chapter->time_base = AVRational{1, kSampleRate};
        chapter->start = chapters[i].startSample;
        chapter->end = i + 1 < chapters.size() ? chapters[i + 1].startSample : samples;
        SetTag(chapter->metadata, "title", ChapterTitle(chapters[i].title));
    }
    if (chapters.size() > kMaxChplChapters) {
        // The flags are read again when the index is written.
        if (const int set = av_opt_set(f.priv_data, "movflags", "+disable_chpl", 0); set < 0)
            return Failure(s.problem, "writing the chapters", set);
    }
    if (const int trailer = av_write_trailer(&f); trailer < 0)
        return s.Fail("completing the audiobook", trailer);
    avio_flush(f.pb);
    if (f.pb->error < 0) return s.Fail("completing the audiobook", f.pb->error);
    return kOk;
}

const std::string& M4bMuxer::Problem() const {
    return state_->problem;
}

bool DecodesAsPicture(std::string_view bytes, CoverKind kind) {
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX / 2)) return false;
    const AVCodec* codec =
        avcodec_find_decoder(kind == CoverKind::Jpeg ? AV_CODEC_ID_MJPEG : AV_CODEC_ID_PNG);
    if (codec == nullptr) return false;
    const std::unique_ptr<AVCodecContext, CodecContextFree> context(avcodec_alloc_context3(codec));
    const std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    const std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    if (!context || !packet || !frame) return false;
    context->thread_count = 1;
    context->max_pixels = std::int64_t{64} << 20;
    // Damage is an error, not concealed: a player or muxer may not be as forgiving.
    context->err_recognition = AV_EF_EXPLODE;
    if (avcodec_open2(context.get(), codec, nullptr) < 0) return false;
    // av_new_packet adds the zeroed padding the decoders read past the end.
    if (av_new_packet(packet.get(), static_cast<int>(bytes.size())) < 0) return false;
    std::memcpy(packet->data, bytes.data(), bytes.size());
    if (avcodec_send_packet(context.get(), packet.get()) < 0) return false;
    int received = avcodec_receive_frame(context.get(), frame.get());
    if (received == AVERROR(EAGAIN)) {
        avcodec_send_packet(context.get(), nullptr);  // the end: what is held comes out
        received = avcodec_receive_frame(context.get(), frame.get());
    }
    return received == 0 && frame->width > 0 && frame->height > 0 &&
           frame->decode_error_flags == 0 && (frame->flags & AV_FRAME_FLAG_CORRUPT) == 0;
}

}  // namespace sonoleaf::speech_service
