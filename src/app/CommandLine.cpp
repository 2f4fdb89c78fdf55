#include "app/CommandLine.h"

namespace ruvo {

bool ParseCommandLine(int argc, const char* const* argv, CommandLine& line, std::string& error) {
  int k = 1;
  if (argc > 1 && argv[1] != nullptr && std::string(argv[1]) == "ctl") {
    line.control = true;
    k = 2;
  }
  for (; k < argc; ++k) {
    const std::string arg = argv[k] != nullptr ? argv[k] : "";
    if (line.control && arg.rfind("--", 0) != 0 && arg != "-h") {
      // The command and its own arguments (which may look like options) follow.
      for (; k < argc; ++k) line.controlCommand.emplace_back(argv[k] != nullptr ? argv[k] : "");
      return true;
    }
    if (arg == "--headless" && !line.control) {
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
  if (line.control && !line.help) {
    error = "ctl needs a command";
    return false;
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
         "display (and runs headless when there is none).\n"
         "\n"
         "Usage: ruvo_drv ctl [--dir DIR] [--instance NAME] COMMAND [ARGUMENTS]\n"
         "Runs a command in the running driver (the one started with the same --instance or\n"
         "$RUVO_DRV_INSTANCE) through its control socket, and prints what the window would\n"
         "show. Exit status 0 when the command succeeded, 1 when it failed. Only the driver's\n"
         "own user and root are served. With --dir, a driver working in another folder\n"
         "refuses the command.\n"
         "  status                      processing, connection and port, free JE lines,\n"
         "                              warning lines\n"
         "  stop, start                 stop or start processing receipt files (the settings\n"
         "                              are not saved)\n"
         "The manual operations run only while processing is stopped (ruvo_drv ctl stop):\n"
         "  z-report, x-report          the daily Z report, the X report\n"
         "  mf-report --by-z START END | --by-date DD.MM.YY DD.MM.YY [--je] [--summary]\n"
         "                              MF report (JE with --je; --summary: MF by date only)\n"
         "  stop-report                 stop a report the ECR is printing\n"
         "  cash-in AMOUNT [REASON]     cash into the drawer (reason: SOLD INITIAL)\n"
         "  cash-out AMOUNT [REASON]    cash out of the drawer; AMOUNT with \".\" or \",\"\n"
         "  cancel-receipt              cancel the receipt open in the ECR\n"
         "  close-receipt               close the receipt open in the ECR\n"
         "  logo FILE                   load a BMP logo into the ECR (no question asked)\n"
         "  export YEAR MONTH R|X [--binary]\n"
         "                              the monthly XML export into ExportXML/ (--binary:\n"
         "                              the 7404 transfer)\n"
         "Any manual operation takes --key KEY right after its name (ruvo_drv ctl cash-in\n"
         "--key float-1 150.50): sent again with the same key and arguments, it prints the\n"
         "first answer and runs nothing; with other arguments it is refused.\n";
}

}  // namespace ruvo
