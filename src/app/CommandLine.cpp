#include "app/CommandLine.h"

namespace ruvo {

bool ParseCommandLine(int argc, const char* const* argv, CommandLine& line, std::string& error) {
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k] != nullptr ? argv[k] : "";
    if (arg == "--headless") {
      line.headless = true;
    } else if (arg == "--help" || arg == "-h") {
      line.help = true;
    } else if (arg == "--version") {
      line.version = true;
    } else if (arg == "--check-port") {
      line.checkPort = true;
    } else if (arg == "--dir" || arg == "--instance") {
      if (k + 1 >= argc || argv[k + 1] == nullptr || std::string(argv[k + 1]).empty()) {
        error = arg + " needs a value";
        return false;
      }
      (arg == "--dir" ? line.dir : line.instanceName) = argv[++k];
    } else {
      error = "unknown argument: " + arg;
      return false;
    }
  }
  return true;
}

std::string UsageText() {
  return "Usage: ruvo_drv [--headless] [--dir DIR] [--instance NAME]\n"
         "       ruvo_drv [--dir DIR] --check-port | --version | --help\n"
         "The Ruvo_Drv fiscal printer driver: picks up ONLINE*.TXT receipt files from its\n"
         "working folder once a second, prints them on the XRuvo ECR named in XRUVODRV.INI\n"
         "and answers in ERROR*.TXT. RUVODRV.INFO tells its state. Stops cleanly on SIGTERM\n"
         "or SIGINT (settings saved, \"DRIVER INCHIS\" in RUVODRV.INFO).\n"
         "\n"
         "  --headless       run without window or tray; messages go to standard error and\n"
         "                   every question gets the answer of an absent operator (No/Cancel)\n"
         "  --dir DIR        working folder; a leading ~/ is $HOME/ (made when missing)\n"
         "                   (default: the executable's folder when XRUVODRV.INI or\n"
         "                   CMakeCache.txt is there, else $XDG_DATA_HOME/ruvo-drv, that is\n"
         "                   ~/.local/share/ruvo-drv)\n"
         "  --instance NAME  name of the run-once guard (default: $RUVO_DRV_INSTANCE, else\n"
         "                   XRuvoDrv); a second driver under the same name refuses to start\n"
         "  --check-port     exit 0 when XRUVODRV.INI names the device of its port in\n"
         "                   section [Porturi] (COM1=/dev/serial/by-id/...), else 1\n"
         "  --version        prints the version\n"
         "  --help           this text\n"
         "\n"
         "Without --headless the driver shows its window and tray icon when there is a\n"
         "display (and runs headless when there is none).\n";
}

}  // namespace ruvo
