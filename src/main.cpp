#include "app/sonoleaf_app.h"

int main(int argc, char** argv) {
    sonoleaf::CSonoleafApp app;
    return app.Run(argc, argv);
}
