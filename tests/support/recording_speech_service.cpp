#include "support/recording_speech_service.h"

#include <fcntl.h>
#include <sndfile.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>
#include <sstream>

#include "platform/text/byte_text.h"
#include "platform/text/durable_file.h"
#include "platform/text/progress.h"
#include "platform/text/text_convert.h"

namespace sonoleaf::testing {

namespace ss = speech_service;
using ss::HResult;

namespace {

constexpr auto kLongestBlock = std::chrono::seconds(30);
constexpr int kSampleRate = 22050;

std::string Narrow(const std::u16string& text) {
    return text::TextToBytes(text);
}

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [&](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

// "Key=Value;Key=Value" as pairs.
std::vector<std::pair<std::u16string, std::u16string>> ParseAttributes(const char16_t* text) {
    std::vector<std::pair<std::u16string, std::u16string>> pairs;
    if (text == nullptr) return pairs;
    std::u16string_view rest(text);
    while (!rest.empty()) {
        const auto end = std::min(rest.find(u';'), rest.size());
        const std::u16string_view item = rest.substr(0, end);
        const auto equals = item.find(u'=');
        if (equals != std::u16string_view::npos)
            pairs.emplace_back(item.substr(0, equals), item.substr(equals + 1));
        rest = end < rest.size() ? rest.substr(end + 1) : std::u16string_view{};
    }
    return pairs;
}

std::u16string AttributeOf(const RecordingSpeechService::Token& token, std::u16string_view name) {
    if (EqualsIgnoringCase(name, u"Name")) return token.name;
    if (EqualsIgnoringCase(name, u"Gender")) return token.gender;
    if (EqualsIgnoringCase(name, u"Language")) return token.language;
    return {};
}

bool Matches(const RecordingSpeechService::Token& token,
             const std::vector<std::pair<std::u16string, std::u16string>>& attributes) {
    return std::all_of(attributes.begin(), attributes.end(), [&](const auto& pair) {
        return EqualsIgnoringCase(AttributeOf(token, pair.first), pair.second);
    });
}

std::size_t CountCharacters(const std::string& utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

}  // namespace

struct RecordingSpeechService::State {
    struct Failure {
        int atCount;  // fail when the call count reaches this; 0: every call
        HResult result;
    };

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::vector<Token> tokens;
    std::map<std::string, std::vector<Failure>> failures;
    std::map<std::string, int> callCounts;
    std::vector<std::string> log;
    std::vector<SpeakRecord> speaks;
    int speakCount = 0;
    int samplesPerCharacter = 22;
    bool recording = true;
    bool speakBlocks = false;
    std::uint64_t releaseGeneration = 0;
    int blocked = 0;
    int liveVoices = 0;
    int liveObjects = 0;
    int nextVoiceId = 1;

    // Logs a call and returns the result a test asked for, or kOk.
    HResult Call(const std::string& name, std::string entry) {
        std::lock_guard lock(mutex);
        const int count = ++callCounts[name];
        if (recording) log.push_back(std::move(entry));
        const auto found = failures.find(name);
        if (found == failures.end()) return ss::kOk;
        for (const Failure& failure : found->second) {
            if (failure.atCount == 0 || failure.atCount == count) return failure.result;
        }
        return ss::kOk;
    }

    void Released(const char* what, bool voice) {
        std::lock_guard lock(mutex);
        if (recording) log.push_back(std::string("Release(") + what + ")");
        --liveObjects;
        if (voice) --liveVoices;
        changed.notify_all();
    }

    void Created(bool voice) {
        std::lock_guard lock(mutex);
        ++liveObjects;
        if (voice) ++liveVoices;
    }
};

namespace {

using State = RecordingSpeechService::State;
using Token = RecordingSpeechService::Token;
using SpeakRecord = RecordingSpeechService::SpeakRecord;

class RecordedToken : public ss::VoiceToken {
  public:
    RecordedToken(std::shared_ptr<State> state, Token token)
        : state_(std::move(state)), token_(std::move(token)) {
        state_->Created(false);
    }
    ~RecordedToken() override { state_->Released("token", false); }
    std::u16string Attribute(const std::u16string& name) const override {
        return AttributeOf(token_, name);
    }
    const Token& Data() const { return token_; }

  private:
    std::shared_ptr<State> state_;
    Token token_;
};

class RecordedEnumeration : public ss::TokenEnumeration {
  public:
    RecordedEnumeration(std::shared_ptr<State> state, std::vector<Token> tokens)
        : state_(std::move(state)), tokens_(std::move(tokens)) {
        state_->Created(false);
    }
    ~RecordedEnumeration() override { state_->Released("tokens", false); }

    HResult Next(std::uint32_t count, std::shared_ptr<ss::VoiceToken>& token,
                 std::uint32_t* fetched) override {
        if (fetched != nullptr) *fetched = 0;
        token.reset();
        const HResult hr = state_->Call("Next", "Next(" + std::to_string(count) + ")");
        if (ss::Failed(hr)) return hr;
        if (count != 1) return ss::kInvalidArg;
        if (next_ >= tokens_.size()) return ss::kFalse;
        token = std::make_shared<RecordedToken>(state_, tokens_[next_++]);
        if (fetched != nullptr) *fetched = 1;
        return ss::kOk;
    }
    std::uint32_t Count() const override { return static_cast<std::uint32_t>(tokens_.size()); }

  private:
    std::shared_ptr<State> state_;
    std::vector<Token> tokens_;
    std::size_t next_ = 0;
};

class RecordedCategory : public ss::TokenCategory {
  public:
    explicit RecordedCategory(std::shared_ptr<State> state) : state_(std::move(state)) {
        state_->Created(false);
    }
    ~RecordedCategory() override { state_->Released("category", false); }

    HResult SetId(const std::u16string& categoryId, bool createIfMissing) override {
        const HResult hr = state_->Call("SetId", "SetId(" + Narrow(categoryId) + "," +
                                                     (createIfMissing ? "true" : "false") + ")");
        if (ss::Failed(hr)) return hr;
        if (categoryId != ss::kVoicesCategory) return ss::kFileNotFound;
        bound_ = true;
        return ss::kOk;
    }

    HResult EnumTokens(const char16_t* required, const char16_t* optional,
                       std::unique_ptr<ss::TokenEnumeration>& tokens) override {
        auto text = [](const char16_t* value) {
            return value == nullptr ? std::string("null") : Narrow(value);
        };
        const HResult hr =
            state_->Call("EnumTokens", "EnumTokens(" + text(required) + "," + text(optional) + ")");
        if (ss::Failed(hr)) return hr;
        if (!bound_) return ss::kUnbound;
        std::vector<Token> all;
        {
            std::lock_guard lock(state_->mutex);
            all = state_->tokens;
        }
        const auto requiredPairs = ParseAttributes(required);
        const auto optionalPairs = ParseAttributes(optional);
        std::vector<Token> chosen;
        std::copy_if(all.begin(), all.end(), std::back_inserter(chosen),
                     [&](const Token& t) { return Matches(t, requiredPairs); });
        std::stable_partition(chosen.begin(), chosen.end(),
                              [&](const Token& t) { return Matches(t, optionalPairs); });
        tokens = std::make_unique<RecordedEnumeration>(state_, std::move(chosen));
        return ss::kOk;
    }

  private:
    std::shared_ptr<State> state_;
    bool bound_ = false;
};

// The file a stream writes for: a list writes each file under a temporary name and
// renames it when whole, and the tests ask what went into which file.
std::u16string FinalPath(const std::u16string& path) {
    const std::size_t slash = path.rfind(u'/');
    const std::string name = text::ToNarrow(path.substr(slash + 1));
    const std::optional<std::string_view> final = text::FinalNameOfTemporary(name);
    if (slash == std::u16string::npos || !final) return path;
    return path.substr(0, slash + 1) + text::ToWide(*final);
}

class RecordedStream : public ss::FileStream {
  public:
    explicit RecordedStream(std::shared_ptr<State> state) : state_(std::move(state)) {
        state_->Created(false);
    }
    ~RecordedStream() override {
        {
            std::lock_guard lock(mutex_);
            if (file_ != nullptr) sf_close(file_);
        }
        state_->Released("stream", false);
    }

    HResult BindToFile(const std::u16string& path, int fileMode, ss::StreamFormatId,
                       const ss::WaveFormat* format, std::uint64_t) override {
        const HResult hr = state_->Call("BindToFile", "BindToFile(" + Narrow(FinalPath(path)) +
                                                          "," + std::to_string(fileMode) + ")");
        if (ss::Failed(hr)) return hr;
        if (format == nullptr || fileMode != ss::kFileModeCreateAlways) return ss::kInvalidArg;
        std::lock_guard lock(mutex_);
        if (file_ != nullptr) return ss::kFail;
        SF_INFO info{};
        info.samplerate = kSampleRate;
        info.channels = 1;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        // By descriptor, as the real service does: libsndfile refuses long paths by name.
        const int descriptor =
            ::open(text::ToNarrow(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (descriptor < 0) return ss::kAccessDenied;
        file_ = sf_open_fd(descriptor, SFM_WRITE, &info, SF_TRUE);
        if (file_ == nullptr) return ss::kAccessDenied;
        sf_command(file_, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
        path_ = path;
        return ss::kOk;
    }

    // Kept with the speak that follows rather than logged: tagging is no chained step.
    HResult SetTags(const ss::FileTags& tags) override {
        std::lock_guard lock(mutex_);
        if (file_ == nullptr) return ss::kUnbound;
        tags_ = tags;
        return ss::kOk;
    }
    ss::FileTags Tags() const {
        std::lock_guard lock(mutex_);
        return tags_;
    }

    HResult Close() override {
        const HResult hr = state_->Call("Close", "Close");
        if (ss::Failed(hr)) return hr;
        std::lock_guard lock(mutex_);
        if (file_ == nullptr) return ss::kUnbound;
        sf_close(file_);
        file_ = nullptr;
        return ss::kOk;
    }

    bool Bound() const {
        std::lock_guard lock(mutex_);
        return file_ != nullptr;
    }
    std::u16string Path() const {
        std::lock_guard lock(mutex_);
        return FinalPath(path_);
    }
    HResult Write(const std::vector<short>& samples) {
        std::lock_guard lock(mutex_);
        if (file_ == nullptr) return ss::kUnbound;
        const auto count = static_cast<sf_count_t>(samples.size());
        return sf_write_short(file_, samples.data(), count) == count ? ss::kOk : ss::kWriteFault;
    }

  private:
    std::shared_ptr<State> state_;
    mutable std::mutex mutex_;
    SNDFILE* file_ = nullptr;
    std::u16string path_;
    ss::FileTags tags_;
};

class RecordedVoice : public ss::Voice {
  public:
    RecordedVoice(std::shared_ptr<State> state, int id) : state_(std::move(state)), id_(id) {
        state_->Created(true);
    }
    ~RecordedVoice() override { state_->Released("voice", true); }

    HResult SetVolume(std::uint16_t volume) override {
        const HResult hr = state_->Call("SetVolume", "SetVolume(" + std::to_string(volume) + ")");
        if (ss::Failed(hr)) return hr;
        if (volume > 100) return ss::kInvalidArg;
        std::lock_guard lock(mutex_);
        volume_ = volume;
        return ss::kOk;
    }

    HResult SetRate(std::int32_t rate) override {
        const HResult hr = state_->Call("SetRate", "SetRate(" + std::to_string(rate) + ")");
        if (ss::Failed(hr)) return hr;
        if (rate < -10 || rate > 10) return ss::kInvalidArg;
        std::lock_guard lock(mutex_);
        rate_ = rate;
        return ss::kOk;
    }

    HResult SetVoice(std::shared_ptr<ss::VoiceToken> token) override {
        const std::string name = token ? Narrow(token->Attribute(u"Name")) : std::string("null");
        const HResult hr = state_->Call("SetVoice", "SetVoice(" + name + ")");
        if (ss::Failed(hr)) return hr;
        std::lock_guard lock(mutex_);
        token_ = std::move(token);
        return ss::kOk;
    }

    HResult SetOutput(std::shared_ptr<ss::FileStream> stream, bool allowFormatChanges) override {
        const HResult hr =
            state_->Call("SetOutput", std::string("SetOutput(") + (stream ? "stream" : "null") +
                                          "," + (allowFormatChanges ? "true" : "false") + ")");
        if (ss::Failed(hr)) return hr;
        std::shared_ptr<RecordedStream> recorded;
        if (stream) {
            recorded = std::dynamic_pointer_cast<RecordedStream>(stream);
            if (!recorded || !recorded->Bound()) return ss::kUnbound;
        }
        std::lock_guard lock(mutex_);
        output_ = std::move(recorded);
        return ss::kOk;
    }

    HResult Speak(const std::u16string& text, std::uint32_t flags,
                  std::uint32_t* streamNumber) override {
        if (streamNumber != nullptr) *streamNumber = 1;
        SpeakRecord record;
        record.voiceId = id_;
        record.text = text;
        record.flags = flags;
        std::shared_ptr<RecordedStream> output;
        std::u16string gender;
        {
            std::lock_guard lock(mutex_);
            record.volume = volume_;
            record.rate = rate_;
            if (token_) {
                record.tokenName = token_->Attribute(u"Name");
                gender = token_->Attribute(u"Gender");
            }
            output = output_;
        }
        if (output) {
            record.toFile = true;
            record.outputPath = output->Path();
            record.tags = output->Tags();
        }
        record.result =
            state_->Call("Speak", "Speak(" + Narrow(text) + "," + std::to_string(flags) + ")");
        if (ss::Succeeded(record.result) && !paused_)
            record.result = Produce(record, output, gender);
        Keep(record);
        // Reported as the system voice reports it: the text is spoken once its audio
        // is out, here when the Speak stops waiting.
        progress::SetTotal(record.spoken.size(), progress::Unit::TextBytes);
        if (ss::Succeeded(record.result)) WaitWhileBlocked();
        if (ss::Succeeded(record.result) && !paused_)
            progress::SetDone(record.spoken.size(), progress::Unit::TextBytes);
        return record.result;
    }

    HResult Pause() override {
        const HResult hr = state_->Call("Pause", "Pause");
        if (ss::Failed(hr)) return hr;
        std::lock_guard lock(state_->mutex);
        paused_ = true;
        state_->changed.notify_all();
        return ss::kOk;
    }

  private:
    HResult Produce(SpeakRecord& record, const std::shared_ptr<RecordedStream>& output,
                    std::u16string gender) {
        if ((record.flags & ss::kSpeakIsFileName) != 0) {
            std::ifstream file(text::ToNarrow(record.text), std::ios::binary);
            if (!file) return ss::kFileNotFound;
            std::ostringstream bytes;
            bytes << file.rdbuf();
            record.spoken = text::TextForSynthesis(text::DecodeTextFile(bytes.str()));
        } else {
            record.spoken = text::TextForSynthesis(record.text);
        }
        if (!output) return ss::kOk;

        int samplesPerCharacter = 0;
        {
            std::lock_guard lock(state_->mutex);
            samplesPerCharacter = state_->samplesPerCharacter;
            if (record.tokenName.empty() && !state_->tokens.empty())
                gender = state_->tokens.front().gender;
        }
        const double frequency = EqualsIgnoringCase(gender, u"Female") ? 220.0 : 110.0;
        const double amplitude = 8000.0 * record.volume / 100.0;
        const std::size_t total =
            CountCharacters(record.spoken) * static_cast<std::size_t>(samplesPerCharacter);
        std::vector<short> block;
        for (std::size_t done = 0; done < total;) {
            const std::size_t size = std::min<std::size_t>(4096, total - done);
            block.resize(size);
            for (std::size_t i = 0; i < size; ++i) {
                const double t = static_cast<double>(done + i) / kSampleRate;
                block[i] = static_cast<short>(
                    std::lround(amplitude * std::sin(2.0 * std::numbers::pi * frequency * t)));
            }
            if (const HResult hr = output->Write(block); ss::Failed(hr)) return hr;
            done += size;
        }
        return ss::kOk;
    }

    void Keep(const SpeakRecord& record) {
        std::lock_guard lock(state_->mutex);
        ++state_->speakCount;
        if (state_->recording) state_->speaks.push_back(record);
        state_->changed.notify_all();
    }

    void WaitWhileBlocked() {
        std::unique_lock lock(state_->mutex);
        if (!state_->speakBlocks || paused_) return;
        const std::uint64_t generation = state_->releaseGeneration;
        ++state_->blocked;
        state_->changed.notify_all();
        state_->changed.wait_for(lock, kLongestBlock, [&] {
            return paused_ || !state_->speakBlocks || state_->releaseGeneration != generation;
        });
        --state_->blocked;
        state_->changed.notify_all();
    }

    std::shared_ptr<State> state_;
    const int id_;
    std::mutex mutex_;
    std::uint16_t volume_ = 100;
    std::int32_t rate_ = 0;
    std::shared_ptr<ss::VoiceToken> token_;
    std::shared_ptr<RecordedStream> output_;
    std::atomic<bool> paused_{false};  // set under state_->mutex, for its waits
};

}  // namespace

RecordingSpeechService::RecordingSpeechService() : state_(std::make_shared<State>()) {
    state_->tokens = {Token{u"Recorded Male", u"Male"}, Token{u"Recorded Female", u"Female"}};
}

RecordingSpeechService::~RecordingSpeechService() {
    SetSpeakBlocks(false);
}

HResult RecordingSpeechService::CreateVoice(std::shared_ptr<ss::Voice>& voice) {
    voice.reset();
    const HResult hr = state_->Call("CreateVoice", "CreateVoice");
    if (ss::Failed(hr)) return hr;
    int id = 0;
    {
        std::lock_guard lock(state_->mutex);
        id = state_->nextVoiceId++;
    }
    voice = std::make_shared<RecordedVoice>(state_, id);
    return ss::kOk;
}

HResult RecordingSpeechService::CreateFileStream(std::shared_ptr<ss::FileStream>& stream) {
    stream.reset();
    const HResult hr = state_->Call("CreateFileStream", "CreateFileStream");
    if (ss::Failed(hr)) return hr;
    stream = std::make_shared<RecordedStream>(state_);
    return ss::kOk;
}

HResult RecordingSpeechService::CreateTokenCategory(std::unique_ptr<ss::TokenCategory>& category) {
    category.reset();
    const HResult hr = state_->Call("CreateTokenCategory", "CreateTokenCategory");
    if (ss::Failed(hr)) return hr;
    category = std::make_unique<RecordedCategory>(state_);
    return ss::kOk;
}

void RecordingSpeechService::SetTokens(std::vector<Token> tokens) {
    std::lock_guard lock(state_->mutex);
    state_->tokens = std::move(tokens);
}

void RecordingSpeechService::FailCall(const std::string& call, int occurrence, HResult result) {
    std::lock_guard lock(state_->mutex);
    const int atCount = occurrence == 0 ? 0 : state_->callCounts[call] + occurrence;
    state_->failures[call].push_back({atCount, result});
}

void RecordingSpeechService::ClearFailures() {
    std::lock_guard lock(state_->mutex);
    state_->failures.clear();
}

void RecordingSpeechService::SetSamplesPerCharacter(int samples) {
    std::lock_guard lock(state_->mutex);
    state_->samplesPerCharacter = std::max(0, samples);
}

void RecordingSpeechService::SetRecording(bool on) {
    std::lock_guard lock(state_->mutex);
    state_->recording = on;
}

void RecordingSpeechService::SetSpeakBlocks(bool on) {
    std::lock_guard lock(state_->mutex);
    state_->speakBlocks = on;
    state_->changed.notify_all();
}

void RecordingSpeechService::ReleaseBlockedSpeaks() {
    std::lock_guard lock(state_->mutex);
    ++state_->releaseGeneration;
    state_->changed.notify_all();
}

bool RecordingSpeechService::WaitForBlockedSpeaks(int count,
                                                  std::chrono::milliseconds timeout) const {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, timeout, [&] { return state_->blocked >= count; });
}

int RecordingSpeechService::BlockedSpeaks() const {
    std::lock_guard lock(state_->mutex);
    return state_->blocked;
}

std::vector<std::string> RecordingSpeechService::Log() const {
    std::lock_guard lock(state_->mutex);
    return state_->log;
}

void RecordingSpeechService::ClearLog() {
    std::lock_guard lock(state_->mutex);
    state_->log.clear();
    state_->speaks.clear();
}

int RecordingSpeechService::CallCount(const std::string& call) const {
    std::lock_guard lock(state_->mutex);
    const auto found = state_->callCounts.find(call);
    return found == state_->callCounts.end() ? 0 : found->second;
}

std::vector<RecordingSpeechService::SpeakRecord> RecordingSpeechService::Speaks() const {
    std::lock_guard lock(state_->mutex);
    return state_->speaks;
}

int RecordingSpeechService::SpeakCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->speakCount;
}

int RecordingSpeechService::LiveVoices() const {
    std::lock_guard lock(state_->mutex);
    return state_->liveVoices;
}

int RecordingSpeechService::LiveObjects() const {
    std::lock_guard lock(state_->mutex);
    return state_->liveObjects;
}

}  // namespace sonoleaf::testing
