#include "platform/speech/wave_file_writer.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "platform/speech/synthesis_engine.h"

namespace sonoleaf::speech_service {
namespace {

constexpr std::uint64_t kMaxRiffSize = 0xFFFFFFFFu;
constexpr std::uint32_t kReservedBytes = 28;  // ds64: RIFF, data and sample sizes, table length

using Header = std::array<unsigned char, WaveFileWriter::kHeaderBytes>;

void Put(Header& header, std::size_t at, const char (&id)[5]) {
    std::memcpy(header.data() + at, id, 4);
}

void PutLe(Header& header, std::size_t at, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) header[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

// RIFF with a JUNK chunk while the sizes fit in 32 bits, RF64 with its ds64 chunk
// in the same place once they do not.
Header MakeHeader(std::uint64_t dataBytes) {
    Header header{};
    const std::uint64_t riffSize = WaveFileWriter::kHeaderBytes - 8 + dataBytes;
    const bool rf64 = riffSize > kMaxRiffSize;
    Put(header, 0, rf64 ? "RF64" : "RIFF");
    PutLe(header, 4, rf64 ? kMaxRiffSize : riffSize, 4);
    Put(header, 8, "WAVE");
    Put(header, 12, rf64 ? "ds64" : "JUNK");
    PutLe(header, 16, kReservedBytes, 4);
    if (rf64) {
        PutLe(header, 20, riffSize, 8);
        PutLe(header, 28, dataBytes, 8);
        PutLe(header, 36, dataBytes / 2, 8);  // one sample per frame
    }
    Put(header, 48, "fmt ");
    PutLe(header, 52, 16, 4);
    PutLe(header, 56, 1, 2);  // PCM
    PutLe(header, 58, 1, 2);  // mono
    PutLe(header, 60, kSampleRate, 4);
    PutLe(header, 64, kSampleRate * 2, 4);
    PutLe(header, 68, 2, 2);   // block alignment
    PutLe(header, 70, 16, 2);  // bits per sample
    Put(header, 72, "data");
    PutLe(header, 76, rf64 ? kMaxRiffSize : dataBytes, 4);
    return header;
}

// Writes all of `bytes` at `offset`; the count written, with `error` set when short.
std::uint64_t WriteAt(int descriptor, const void* bytes, std::uint64_t count, std::uint64_t offset,
                      int& error) {
    std::uint64_t done = 0;
    while (done < count) {
        const ssize_t wrote = ::pwrite(descriptor, static_cast<const char*>(bytes) + done,
                                       count - done, static_cast<off_t>(offset + done));
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            error = wrote < 0 ? errno : ENOSPC;
            break;
        }
        done += static_cast<std::uint64_t>(wrote);
    }
    return done;
}

// Best effort: a byte after the counted data is ignored by every reader.
void TrimTo(int descriptor, std::uint64_t size) {
    const int result = ::ftruncate(descriptor, static_cast<off_t>(size));
    static_cast<void>(result);
}

}  // namespace

WaveFileWriter::WaveFileWriter(int descriptor) : descriptor_(descriptor) {
    int error = 0;
    ready_ = WriteHeader(error);
}

WaveFileWriter::~WaveFileWriter() {
    ::close(descriptor_);
}

bool WaveFileWriter::WriteHeader(int& error) {
    const Header header = MakeHeader(dataBytes_);
    return WriteAt(descriptor_, header.data(), header.size(), 0, error) == header.size();
}

HResult WaveFileWriter::Write(std::span<const std::int16_t> samples, int& error) {
    error = 0;
    const std::uint64_t bytes = samples.size_bytes();
    // The samples first, then the header that counts them: at every moment the header
    // counts no more than the file holds.
    const std::uint64_t wrote =
        WriteAt(descriptor_, samples.data(), bytes, kHeaderBytes + dataBytes_, error);
    dataBytes_ += wrote - wrote % 2;
    // Half a sample at the end would be counted by no header: it goes.
    if (wrote != bytes) TrimTo(descriptor_, kHeaderBytes + dataBytes_);
    // The samples' own error, if any, is the one that tells why.
    int headerError = 0;
    if (!WriteHeader(headerError) && error == 0) error = headerError;
    return error == 0 ? kOk : kWriteFault;
}

HResult WaveFileWriter::SkipAhead(std::uint64_t dataBytes, int& error) {
    error = 0;
    if (dataBytes_ != 0 || dataBytes % 2 != 0) return kInvalidArg;
    if (::ftruncate(descriptor_, static_cast<off_t>(kHeaderBytes + dataBytes)) != 0) {
        error = errno;
        return kWriteFault;
    }
    dataBytes_ = dataBytes;
    WriteHeader(error);
    return error == 0 ? kOk : kWriteFault;
}

}  // namespace sonoleaf::speech_service
