#include "jobs/alert.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "support/recording_alerts.h"

namespace sonoleaf {
namespace {

using namespace std::string_literals;
using testing::AlertCapture;

TEST(Alert, ShowAlertWidensUtf8WithTheFixedCaption) {
    struct Case {
        std::string narrow;
        std::u16string shown;
    };
    for (const Case& c :
         {Case{"Raw Text to Audio Operation Ended", u"Raw Text to Audio Operation Ended"},
          Case{"Text File Input Path is not set\r\nPlease set Text file input path correctly",
               u"Text File Input Path is not set\r\nPlease set Text file input path correctly"},
          Case{"\xC5\x81\xC3\xB3"
               "d\xC5\xBA",
               u"Łódź"},
          Case{"before\0after"s, u"before"}, Case{"", u""}}) {
        AlertCapture alerts;
        ShowAlert(c.narrow);
        const auto shown = alerts->Alerts();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].caption, u"Message Box for Alert");
        EXPECT_EQ(shown[0].text, c.shown);
    }
}

TEST(Alert, ShowAlertTextKeepsEveryCharacter) {
    for (const std::u16string& text : {std::u16string(u"File is saved to: /out//Ł.wav"),
                                       std::u16string(u"é ü ÿ \u0080 日本 \U0001F600")}) {
        AlertCapture alerts;
        ShowAlertText(text);
        const auto shown = alerts->Alerts();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, text);
    }
}

TEST(Alert, SetAlertPresenterReturnsThePreviousOne) {
    AlertCapture outer;
    {
        AlertCapture inner;
        ShowAlert("inner");
        EXPECT_EQ(inner->Alerts().size(), 1u);
    }
    ShowAlert("outer");
    ASSERT_EQ(outer->Alerts().size(), 1u);
    EXPECT_EQ(outer->Alerts()[0].text, u"outer");
}

TEST(Alert, AnOpenAlertBlocksOnlyItsOwnThread) {
    AlertCapture alerts;
    alerts->SetBlocking(true);
    std::thread first([] { ShowAlert("first"); });
    std::thread second([] { ShowAlert("second"); });
    ASSERT_TRUE(alerts->WaitForOpen(2, std::chrono::seconds(10)));
    alerts->ReleaseAlerts();
    first.join();
    second.join();
    EXPECT_EQ(alerts->Alerts().size(), 2u);
}

}  // namespace
}  // namespace sonoleaf
