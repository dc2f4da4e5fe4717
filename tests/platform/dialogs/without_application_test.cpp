// Without a Qt application (a command-line tool, a unit test of the jobs) the GUI
// calls must neither hang nor crash: they report that nothing ran, boxes return.

#include <gtest/gtest.h>

#include <thread>

#include "platform/dialogs/gui_thread.h"
#include "platform/dialogs/message_box.h"

namespace sonoleaf::dialogs {
namespace {

TEST(WithoutApplication, GuiCallsReturnAtOnce) {
    bool ran = false;
    EXPECT_FALSE(RunOnGuiThread([&] { ran = true; }));
    EXPECT_FALSE(ran);
    EXPECT_FALSE(OnGuiThread());
    ShowMessageBox(u"Message Box for Alert", u"nobody sees this");
    std::thread worker([] {
        ShowMessageBox(u"Message Box for Alert", u"nor this");
        OpenAndWait([]() -> QDialog* { return nullptr; });
    });
    worker.join();
    CloseAllMessageBoxes();
}

}  // namespace
}  // namespace sonoleaf::dialogs
