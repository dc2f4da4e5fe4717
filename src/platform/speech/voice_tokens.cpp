#include "platform/speech/voice_tokens.h"

#include <algorithm>

namespace sonoleaf::speech_service {
namespace {

char16_t Lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool SameIgnoringCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t x, char16_t y) { return Lower(x) == Lower(y); });
}

std::u16string_view Trim(std::u16string_view s) {
    while (!s.empty() && (s.front() == u' ' || s.front() == u'\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == u' ' || s.back() == u'\t')) s.remove_suffix(1);
    return s;
}

struct Condition {
    std::u16string key;
    std::u16string value;
    bool hasValue = false;
    bool negated = false;
};

std::vector<Condition> ParseQuery(std::u16string_view query) {
    std::vector<Condition> conditions;
    while (!query.empty()) {
        const std::size_t end = query.find(u';');
        std::u16string_view part = Trim(query.substr(0, end));
        query = end == std::u16string_view::npos ? std::u16string_view{} : query.substr(end + 1);
        if (part.empty()) continue;
        Condition condition;
        const std::size_t equals = part.find(u'=');
        if (equals == std::u16string_view::npos) {
            condition.key = Trim(part);
        } else {
            std::u16string_view key = part.substr(0, equals);
            if (!key.empty() && key.back() == u'!') {
                condition.negated = true;
                key.remove_suffix(1);
            }
            condition.key = Trim(key);
            condition.value = Trim(part.substr(equals + 1));
            condition.hasValue = true;
        }
        conditions.push_back(std::move(condition));
    }
    return conditions;
}

bool Holds(const VoiceToken& token, const Condition& condition) {
    const std::u16string value = token.Attribute(condition.key);
    if (!condition.hasValue) return !value.empty();
    return SameIgnoringCase(value, condition.value) != condition.negated;
}

class TokenSequence final : public TokenEnumeration {
  public:
    explicit TokenSequence(TokenList tokens) : tokens_(std::move(tokens)) {}

    HResult Next(std::uint32_t count, std::shared_ptr<VoiceToken>& token,
                 std::uint32_t* fetched) override {
        if (count != 1) return kInvalidArg;
        if (next_ >= tokens_.size()) {
            token.reset();
            if (fetched != nullptr) *fetched = 0;
            return kFalse;
        }
        token = tokens_[next_++];
        if (fetched != nullptr) *fetched = 1;
        return kOk;
    }
    std::uint32_t Count() const override { return static_cast<std::uint32_t>(tokens_.size()); }

  private:
    TokenList tokens_;
    std::size_t next_ = 0;
};

}  // namespace

std::u16string EngineVoiceToken::Attribute(const std::u16string& name) const {
    if (SameIgnoringCase(name, u"Name")) return voice_.name;
    if (SameIgnoringCase(name, u"Gender")) return voice_.gender;
    if (SameIgnoringCase(name, u"Language")) return voice_.language;
    return {};
}

bool MatchesAll(const VoiceToken& token, std::u16string_view query) {
    const auto conditions = ParseQuery(query);
    return std::all_of(conditions.begin(), conditions.end(),
                       [&](const Condition& c) { return Holds(token, c); });
}

std::size_t CountMatches(const VoiceToken& token, std::u16string_view query) {
    const auto conditions = ParseQuery(query);
    return static_cast<std::size_t>(std::count_if(
        conditions.begin(), conditions.end(), [&](const Condition& c) { return Holds(token, c); }));
}

TokenList SelectTokens(const TokenList& ranked, const char16_t* required,
                       const char16_t* optional) {
    struct Entry {
        std::shared_ptr<EngineVoiceToken> token;
        std::size_t score;
    };
    std::vector<Entry> entries;
    for (const auto& token : ranked) {
        if (required != nullptr && !MatchesAll(*token, required)) continue;
        entries.push_back({token, optional != nullptr ? CountMatches(*token, optional) : 0});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.score > b.score; });
    TokenList selected;
    for (auto& entry : entries) selected.push_back(std::move(entry.token));
    return selected;
}

HResult VoiceCategory::SetId(const std::u16string& categoryId, bool /*createIfMissing*/) {
    if (Failed(status_)) return status_;
    // Only the voices category exists; it is never created.
    if (!SameIgnoringCase(categoryId, kVoicesCategory)) return kFileNotFound;
    idSet_ = true;
    return kOk;
}

HResult VoiceCategory::EnumTokens(const char16_t* required, const char16_t* optional,
                                  std::unique_ptr<TokenEnumeration>& tokens) {
    if (Failed(status_)) return status_;
    if (!idSet_) return kNotInitialised;
    tokens = std::make_unique<TokenSequence>(SelectTokens(tokens_, required, optional));
    return kOk;
}

}  // namespace sonoleaf::speech_service
