#pragma once
// Voice tokens of the real service, the voices category and the token enumeration
// with required and optional attributes.

#include <memory>
#include <string>
#include <vector>

#include "platform/speech/speech_service.h"
#include "platform/speech/synthesis_engine.h"

namespace sonoleaf::speech_service {

class EngineVoiceToken final : public VoiceToken {
  public:
    EngineVoiceToken(std::shared_ptr<SynthesisEngine> engine, EngineVoice voice)
        : engine_(std::move(engine)), voice_(std::move(voice)) {}

    std::u16string Attribute(const std::u16string& name) const override;

    const std::shared_ptr<SynthesisEngine>& Engine() const { return engine_; }
    const std::string& VoiceId() const { return voice_.id; }

  private:
    std::shared_ptr<SynthesisEngine> engine_;
    EngineVoice voice_;
};

using TokenList = std::vector<std::shared_ptr<EngineVoiceToken>>;

// Whether `token` has every attribute of `query` ("Key=Value;Key2=Value2"; a bare
// "Key" asks only that the attribute exists). Keys and values compare without
// regard to ASCII letter case.
bool MatchesAll(const VoiceToken& token, std::u16string_view query);
// How many of the attributes of `query` the token has.
std::size_t CountMatches(const VoiceToken& token, std::u16string_view query);

// Every token that has the required attributes; those with more of the optional
// attributes first, otherwise in the order of `ranked`.
TokenList SelectTokens(const TokenList& ranked, const char16_t* required, const char16_t* optional);

class VoiceCategory final : public TokenCategory {
  public:
    // `status` is the failure every call reports when no engine works.
    VoiceCategory(TokenList tokens, HResult status) : tokens_(std::move(tokens)), status_(status) {}

    HResult SetId(const std::u16string& categoryId, bool createIfMissing) override;
    HResult EnumTokens(const char16_t* required, const char16_t* optional,
                       std::unique_ptr<TokenEnumeration>& tokens) override;

  private:
    TokenList tokens_;
    HResult status_;
    bool idSet_ = false;
};

}  // namespace sonoleaf::speech_service
