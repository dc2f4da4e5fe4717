// The voices the real service offers and how an enumeration ranks them.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/speech/locale_language.h"
#include "platform/speech/service_helpers.h"
#include "platform/speech/synthesis_engine.h"
#include "platform/text/text_convert.h"

namespace sonoleaf::testing {
namespace {

std::vector<std::shared_ptr<ss::VoiceToken>> Enumerate(
    const char16_t* required, const char16_t* optional,
    const std::shared_ptr<ss::SpeechService>& service = Service()) {
    std::unique_ptr<ss::TokenCategory> category;
    std::unique_ptr<ss::TokenEnumeration> tokens;
    EXPECT_EQ(service->CreateTokenCategory(category), ss::kOk);
    EXPECT_EQ(category->SetId(ss::kVoicesCategory, false), ss::kOk);
    EXPECT_EQ(category->EnumTokens(required, optional, tokens), ss::kOk);
    std::vector<std::shared_ptr<ss::VoiceToken>> list;
    if (!tokens) return list;
    std::shared_ptr<ss::VoiceToken> token;
    std::uint32_t fetched = 0;
    while (tokens->Next(1, token, &fetched) == ss::kOk) {
        EXPECT_EQ(fetched, 1u);
        list.push_back(token);
    }
    EXPECT_FALSE(token);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(tokens->Count(), list.size());
    return list;
}

std::vector<std::u16string> Names(const std::vector<std::shared_ptr<ss::VoiceToken>>& tokens) {
    std::vector<std::u16string> names;
    for (const auto& token : tokens) names.push_back(token->Attribute(u"Name"));
    return names;
}

TEST(VoiceTokens, EveryTokenHasNameGenderAndLanguage) {
    const auto tokens = Enumerate(nullptr, nullptr);
    ASSERT_GE(tokens.size(), 2u);
    for (const auto& token : tokens) {
        SCOPED_TRACE(text::ToNarrow(token->Attribute(u"Name")));
        EXPECT_FALSE(token->Attribute(u"Name").empty());
        EXPECT_FALSE(token->Attribute(u"Language").empty());
        const auto gender = token->Attribute(u"Gender");
        EXPECT_TRUE(gender == u"Male" || gender == u"Female");
        EXPECT_EQ(token->Attribute(u"Age"), u"");  // not an attribute of these voices
    }
}

// Every language has a voice of either gender (a regional voice such as Flite's
// Scottish one may have a single gender: its language has others).
TEST(VoiceTokens, LanguageVoicesComeInBothGenders) {
    const auto tokens = Enumerate(nullptr, nullptr);
    const auto primary = [](const std::shared_ptr<ss::VoiceToken>& token) {
        const auto language = token->Attribute(u"Language");
        return language.substr(0, language.find(u'-'));
    };
    for (const auto& token : tokens) {
        const auto language = token->Attribute(u"Language");
        const auto gender = token->Attribute(u"Gender");
        const auto other = gender == u"Male" ? u"Female" : u"Male";
        bool found = false;
        for (const auto& candidate : tokens)
            found = found || (primary(candidate) == primary(token) &&
                              candidate->Attribute(u"Gender") == other);
        EXPECT_TRUE(found) << text::ToNarrow(language);
    }
}

TEST(VoiceTokens, OptionalAttributeRanksMatchesFirstAndKeepsEveryToken) {
    const auto all = Enumerate(nullptr, nullptr);
    struct Case {
        const char16_t* optional;
        const char16_t* gender;
    };
    for (const Case& c : {Case{u"Gender=Female", u"Female"}, Case{u"Gender=Male", u"Male"},
                          Case{u"gender=female", u"Female"}}) {
        SCOPED_TRACE(text::ToNarrow(c.optional));
        const auto ranked = Enumerate(nullptr, c.optional);
        ASSERT_EQ(ranked.size(), all.size());
        // Matching tokens first, each group in the order of the plain enumeration.
        std::vector<std::u16string> expected;
        for (const auto& t : all)
            if (t->Attribute(u"Gender") == c.gender) expected.push_back(t->Attribute(u"Name"));
        const std::size_t matching = expected.size();
        for (const auto& t : all)
            if (t->Attribute(u"Gender") != c.gender) expected.push_back(t->Attribute(u"Name"));
        EXPECT_GT(matching, 0u);
        EXPECT_EQ(Names(ranked), expected);
    }
}

TEST(VoiceTokens, RequiredAttributesFilter) {
    const auto all = Enumerate(nullptr, nullptr);
    const auto females = Enumerate(u"Gender=Female", nullptr);
    ASSERT_FALSE(females.empty());
    EXPECT_LT(females.size(), all.size());
    for (const auto& t : females) EXPECT_EQ(t->Attribute(u"Gender"), u"Female");

    const auto language = all.front()->Attribute(u"Language");
    const std::u16string both = u"Gender=Male;Language=" + language;
    const auto maleOfLanguage = Enumerate(both.c_str(), nullptr);
    std::vector<std::u16string> expected;
    for (const auto& t : all)
        if (t->Attribute(u"Gender") == u"Male" && t->Attribute(u"Language") == language)
            expected.push_back(t->Attribute(u"Name"));
    ASSERT_LT(maleOfLanguage.size(), all.size());
    EXPECT_EQ(Names(maleOfLanguage), expected);
    EXPECT_EQ(maleOfLanguage.front()->Attribute(u"Name"), all.front()->Attribute(u"Name"));

    EXPECT_TRUE(Enumerate(u"Gender=Neutral", nullptr).empty());
    EXPECT_EQ(Enumerate(u"Name", nullptr).size(), all.size());  // the attribute exists
}

TEST(VoiceTokens, CategoryMustBeTheVoicesCategory) {
    std::unique_ptr<ss::TokenCategory> category;
    ASSERT_EQ(Service()->CreateTokenCategory(category), ss::kOk);
    std::unique_ptr<ss::TokenEnumeration> tokens;
    EXPECT_TRUE(ss::Failed(category->EnumTokens(nullptr, u"Gender=Male", tokens)));
    EXPECT_TRUE(ss::Failed(category->SetId(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Nothing", true)));
    EXPECT_EQ(category->SetId(ss::kVoicesCategory, false), ss::kOk);
    EXPECT_EQ(category->EnumTokens(nullptr, u"Gender=Male", tokens), ss::kOk);
    std::shared_ptr<ss::VoiceToken> token;
    EXPECT_EQ(tokens->Next(2, token, nullptr), ss::kInvalidArg);
}

TEST(VoiceTokens, TokensOfAnotherServiceAreRefused) {
    class Foreign : public ss::VoiceToken {
        std::u16string Attribute(const std::u16string&) const override { return u"Male"; }
    };
    std::shared_ptr<ss::Voice> voice;
    ASSERT_EQ(Service()->CreateVoice(voice), ss::kOk);
    EXPECT_EQ(voice->SetVoice(std::make_shared<Foreign>()), ss::kInvalidArg);
    EXPECT_EQ(voice->SetVoice(nullptr), ss::kOk);
    EXPECT_EQ(voice->SetVoice(FirstToken(u"Gender=Female")), ss::kOk);
}

// A process that reads with one voice gets a service over that voice's synthesizer
// alone; no name, or one no synthesizer offers, gets the whole service.
TEST(VoiceTokens, ServiceForOneVoiceHoldsItsSynthesizerAlone) {
    const std::vector<std::u16string> all = Names(Enumerate(nullptr, nullptr));
    for (const auto& [name, family] : std::vector<std::pair<std::u16string, std::u16string>>{
             {u"Flite rms (US English) Male", u"Flite "},
             {u"eSpeak NG English (America) Male", u"eSpeak NG "},
             {u"", u""},
             {u"No such voice", u""}}) {
        SCOPED_TRACE(text::ToNarrow(name));
        const auto offered =
            Names(Enumerate(nullptr, nullptr, ss::CreateSystemSpeechServiceFor(name)));
        EXPECT_EQ(offered.size(), std::count_if(all.begin(), all.end(), [&](const auto& other) {
                      return other.starts_with(family);
                  }));
        EXPECT_EQ(std::count(offered.begin(), offered.end(), name), family.empty() ? 0 : 1);
    }
}

TEST(VoiceTokens, LocaleNamesBecomeLanguageTags) {
    struct Case {
        const char* locale;
        const char* tag;
    };
    for (const Case& c :
         {Case{"en_US.UTF-8", "en-us"}, Case{"de_DE", "de-de"}, Case{"pt_BR.utf8@latin", "pt-br"},
          Case{"fr", "fr"}, Case{"C", ""}, Case{"POSIX", ""}, Case{"C.UTF-8", ""}, Case{"", ""}}) {
        EXPECT_EQ(ss::LanguageTagOfLocale(c.locale), c.tag) << c.locale;
    }
}

}  // namespace
}  // namespace sonoleaf::testing
