#include "app/sonoleaf_app.h"
#include "platform/process/spawn.h"

int main(int argc, char** argv) {
    // A helper that has gone fails the work it carried, never this program.
    sonoleaf::process::SurviveBrokenPipes();
    sonoleaf::CSonoleafApp app;
    return app.Run(argc, argv);
}
