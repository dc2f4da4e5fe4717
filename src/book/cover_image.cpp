#include "book/cover_image.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
}

#include <climits>
#include <cstring>
#include <memory>

namespace sonoleaf::book {
namespace {

struct ContextFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};

}  // namespace

bool DecodesAsPicture(std::string_view bytes, CoverKind kind) {
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX / 2)) return false;
    const AVCodec* codec =
        avcodec_find_decoder(kind == CoverKind::Jpeg ? AV_CODEC_ID_MJPEG : AV_CODEC_ID_PNG);
    if (codec == nullptr) return false;
    const std::unique_ptr<AVCodecContext, ContextFree> context(avcodec_alloc_context3(codec));
    const std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    const std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    if (!context || !packet || !frame) return false;
    context->thread_count = 1;
    context->max_pixels = kMaxCoverPixels;
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

}  // namespace sonoleaf::book
