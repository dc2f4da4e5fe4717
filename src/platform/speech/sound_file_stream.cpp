#include "platform/speech/sound_file_stream.h"

#include <fcntl.h>
#include <sndfile.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/text/subtitles.h"

#include "platform/speech/audiobook_file_stream.h"
#include "platform/speech/chapter_file.h"
#include "platform/speech/errno_result.h"
#include "platform/speech/stream_checks.h"
#include "platform/speech/synthesis_engine.h"
#include "platform/speech/wave_file_writer.h"
#include "platform/text/text_convert.h"

namespace sonoleaf::speech_service {
namespace {

// Constant 64 kbit/s: plenty for speech at 22,050 Hz. libsndfile spreads its
// compression level over 8..160 kbit/s for this sample rate, 0 being the highest.
constexpr double kMp3CompressionLevel = (160.0 - 64.0) / (160.0 - 8.0);

// LAME writes the ID3v2 text frames as ISO-8859-1: a character beyond it becomes "?"
// rather than being shown as several wrong ones.
std::string Latin1(const std::u16string& text) {
    std::string bytes;
    for (const char16_t c : text) bytes += c <= 0xFF ? static_cast<char>(c) : '?';
    return bytes;
}

}  // namespace

void SoundFileStream::Closer::operator()(sf_private_tag* file) const {
    sf_close(file);
}

SoundFileStream::SoundFileStream() = default;

SoundFileStream::~SoundFileStream() {
    std::lock_guard lock(mutex_);
    CloseLocked(false);
}

bool SoundFileStream::IsMp3Path(const std::string& path) {
    return HasEnding(path, ".mp3");
}

HResult SoundFileStream::BindToFile(const std::u16string& path, int fileMode,
                                    StreamFormatId formatId, const WaveFormat* format,
                                    std::uint64_t /*eventInterest*/) {
    if (const HResult hr = CheckBindArguments(path, fileMode, formatId, format); Failed(hr))
        return hr;
    const std::string name = text::ToNarrow(path);
    std::lock_guard lock(mutex_);
    CloseLocked(false);
    claim_.emplace(name);
    subtitles_ = SubtitleFormat::None;
    notes_.clear();
    samples_ = 0;
    if (AudiobookFileStream::IsM4bPath(name)) {
        name_ = name;
        // An audiobook grows under a name of its own and is written by its own stream.
        book_ = std::make_unique<AudiobookFileStream>();
        const HResult hr = book_->BindToFile(path, fileMode, formatId, format, 0);
        if (Failed(hr)) {
            book_.reset();
            claim_.reset();
        }
        return hr;
    }
    // Opened here (and handed over to libsndfile for MP3), because libsndfile refuses
    // paths of 1,024 bytes or more by name, while the system takes up to 4,096. The
    // renders write temporaries of their own: a link there was planted, not followed.
    const int descriptor =
        ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (descriptor < 0) {
        const int error = errno;
        claim_.reset();
        return ResultFromErrno(error);
    }
    const bool mp3 = IsMp3Path(name);
    const bool ready = ChapterFile::IsChapterPath(name)
                           ? Succeeded(ChapterFile::Open(descriptor, chapter_))
                       : mp3 ? OpenMp3(descriptor)
                             : OpenWave(descriptor);
    if (!ready) {
        file_.reset();
        wave_.reset();
        if (!chapter_) ::close(descriptor);
        std::error_code ignored;
        std::filesystem::remove(name, ignored);
        claim_.reset();
        return kFail;
    }
    writeFailed_ = false;
    name_ = name;
    mp3_ = mp3;
    wroteSamples_ = false;
    return kOk;
}

bool SoundFileStream::OpenMp3(int descriptor) {
    SF_INFO info{};
    info.samplerate = kSampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    // libsndfile closes the descriptor, also when it fails.
    file_.reset(sf_open_fd(descriptor, SFM_WRITE, &info, SF_TRUE));
    if (!file_) return false;
    // Constant bit rate is the encoder's default; libsndfile reports this request as
    // refused even when it holds, so only the level must be taken.
    int mode = SF_BITRATE_MODE_CONSTANT;
    sf_command(file_.get(), SFC_SET_BITRATE_MODE, &mode, sizeof mode);
    double level = kMp3CompressionLevel;
    return sf_command(file_.get(), SFC_SET_COMPRESSION_LEVEL, &level, sizeof level) == SF_TRUE;
}

// The WAV container is written here rather than by libsndfile: its RF64 writer marks
// every file as an extensible format with a fact chunk, where these files are plain
// PCM whatever their length.
bool SoundFileStream::OpenWave(int descriptor) {
    wave_ = std::make_unique<WaveFileWriter>(descriptor);
    return wave_->Ready();
}

HResult SoundFileStream::CloseLocked(bool completed) {
    if (book_) {
        // Released unclosed, it completes a book that holds sound, as WAV does.
        const HResult hr = completed ? book_->Close() : kOk;
        book_.reset();
        WriteSubtitles();
        claim_.reset();
        return hr;
    }
    if (!file_ && !wave_ && !chapter_) {
        claim_.reset();
        return kOk;
    }
    int result = file_ ? sf_close(file_.release()) : 0;
    wave_.reset();
    if (chapter_) {
        if (Failed(chapter_->Close())) writeFailed_ = true;
        chapter_.reset();
    }
    // An MP3 without a single frame is no audio file, and one whose writing failed
    // ends in a cut frame under a header that counts more: neither is kept. (A cut
    // WAV keeps a header that fits.) A render that failed before its first sample
    // leaves nothing behind, whatever the format.
    const bool brokenMp3 = mp3_ && (!wroteSamples_ || writeFailed_ || result != 0);
    if (brokenMp3 || (!completed && !wroteSamples_)) {
        std::error_code ignored;
        std::filesystem::remove(name_, ignored);
    }
    WriteSubtitles();
    claim_.reset();
    return result == 0 && !writeFailed_ ? kOk : kWriteFault;
}

HResult SoundFileStream::Close() {
    std::lock_guard lock(mutex_);
    return CloseLocked(true);
}

HResult SoundFileStream::SetTags(const FileTags& tags) {
    std::lock_guard lock(mutex_);
    if (book_) return book_->SetTags(tags);
    if (wave_ || chapter_) return kOk;  // WAV files carry no tags; a chapter gets its book's
    if (!file_) return kUnbound;
    if (wroteSamples_) return kFail;  // the ID3v2 tag goes before the first frame
    const std::pair<int, const std::u16string*> fields[] = {{SF_STR_TITLE, &tags.title},
                                                            {SF_STR_ALBUM, &tags.album},
                                                            {SF_STR_ARTIST, &tags.artist},
                                                            {SF_STR_TRACKNUMBER, &tags.track},
                                                            {SF_STR_COMMENT, &tags.comment}};
    HResult hr = kOk;
    for (const auto& [field, value] : fields) {
        if (value->empty()) continue;
        if (sf_set_string(file_.get(), field, Latin1(*value).c_str()) != 0) hr = kFail;
    }
    return hr;
}

bool SoundFileStream::IsBound() const {
    std::lock_guard lock(mutex_);
    return file_ != nullptr || wave_ != nullptr || chapter_ != nullptr || book_ != nullptr;
}

HResult SoundFileStream::SetSubtitles(SubtitleFormat format) {
    std::lock_guard lock(mutex_);
    if (!file_ && !wave_ && !chapter_ && !book_) return kUnbound;
    if (samples_ > 0) return kFail;  // the notes start with the first sample
    subtitles_ = format;
    return kOk;
}

bool SoundFileStream::WantsPieceNotes() const {
    std::lock_guard lock(mutex_);
    return subtitles_ != SubtitleFormat::None;
}

void SoundFileStream::NotePiece(std::string text, std::span<const std::int16_t> samples,
                                std::size_t offset) {
    std::lock_guard lock(mutex_);
    if (subtitles_ == SubtitleFormat::None) return;
    notes_.push_back(
        {std::move(text), samples_ + static_cast<std::int64_t>(offset), text::FindSound(samples)});
}

// Beside a file that is kept: its subtitles up to where it ends, or, beside a chapter,
// the notes its book's subtitles are made from.
void SoundFileStream::WriteSubtitles() {
    if (subtitles_ == SubtitleFormat::None) return;
    const std::vector<PieceNote> notes = std::exchange(notes_, {});
    std::error_code error;
    if (!std::filesystem::is_regular_file(name_, error)) return;
    if (ChapterFile::IsChapterPath(name_)) {
        text::WriteSubtitleFile(CuesPathFor(name_), FormatPieceNotes(notes));
        return;
    }
    text::CueBuilder cues;
    for (const PieceNote& note : notes) cues.Add(note.text, note.start, note.span);
    cues.TruncateAt(samples_);
    const bool vtt = subtitles_ == SubtitleFormat::Vtt;
    text::WriteSubtitleFile(text::SubtitlePathFor(name_, vtt),
                            vtt ? text::FormatVtt(cues.Cues()) : text::FormatSrt(cues.Cues()));
}

bool SoundFileStream::IsAudiobook() const {
    std::lock_guard lock(mutex_);
    return book_ != nullptr;
}

HResult SoundFileStream::StartChapter(const std::u16string& title) {
    std::lock_guard lock(mutex_);
    return book_ ? book_->StartChapter(title) : kOk;
}

HResult SoundFileStream::Write(std::span<const std::int16_t> samples) {
    std::lock_guard lock(mutex_);
    const HResult hr = WriteLocked(samples);
    if (Succeeded(hr)) samples_ += static_cast<std::int64_t>(samples.size());
    return hr;
}

HResult SoundFileStream::WriteLocked(std::span<const std::int16_t> samples) {
    if (book_) return book_->Write(samples);
    if (!file_ && !wave_ && !chapter_) return kUnbound;
    if (writeFailed_) return kWriteFault;
    int error = 0;
    if (chapter_) {
        const HResult hr = chapter_->Write(samples);
        writeFailed_ = Failed(hr);
        wroteSamples_ = wroteSamples_ || (!writeFailed_ && !samples.empty());
        return hr;
    }
    if (wave_) {
        writeFailed_ = Failed(wave_->Write(samples, error));
    } else {
        const auto count = static_cast<sf_count_t>(samples.size());
        errno = 0;
        // The MP3 encoder takes every sample even when writing its frames failed;
        // only the file's error state tells.
        writeFailed_ = sf_write_short(file_.get(), samples.data(), count) != count ||
                       sf_error(file_.get()) != SF_ERR_NO_ERROR;
        error = errno;
    }
    // Samples that reached the file before a failure still make it a file to keep.
    wroteSamples_ = wroteSamples_ || (wave_ ? wave_->DataBytes() > 0 : !writeFailed_);
    if (writeFailed_) return error == 0 ? kWriteFault : ResultFromErrno(error);
    wroteSamples_ = wroteSamples_ || !samples.empty();
    return kOk;
}

HResult SoundFileStream::SkipAhead(std::uint64_t dataBytes) {
    std::lock_guard lock(mutex_);
    if (!wave_) return kUnbound;
    int error = 0;
    const HResult hr = wave_->SkipAhead(dataBytes, error);
    if (Succeeded(hr)) wroteSamples_ = dataBytes > 0;
    return Failed(hr) && error != 0 ? ResultFromErrno(error) : hr;
}

}  // namespace sonoleaf::speech_service
