#pragma once
// Start-up and shutdown: handles the registration switches, else runs the main
// window until it closes. The program's life is the main window's.

namespace sonoleaf {

class CSonoleafApp {
  public:
    // Returns the process exit code.
    int Run(int argc, char** argv);

  private:
    int InitInstance(int argc, char** argv);
};

}  // namespace sonoleaf
