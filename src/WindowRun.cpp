#ifdef RUVO_WITH_GUI
#include "WindowRun.h"

#include <vector>

#include "DriverProgram.h"

namespace ruvo {

int RunWindowed(gui::WindowedDriver& window, DriverProgram& program, StopSignals& stopSignals) {
  ControlServer& control = program.Control();
  std::vector<gui::DescriptorWatch> watches = {{control.Fd(), [&control] { control.ServeOne(); },
                                                true, [&control] { return control.HasWaiting(); }}};
  if (http::HttpService* http = program.Http()) {
    watches.push_back(
        {http->Fd(), [http] { http->Serve(); }, true, [http] { return http->HasWaiting(); }});
  }
  return window.Run(program.TheDriver(), &program.Observer(), stopSignals, watches);
}

}  // namespace ruvo
#endif
