#include "Options.h"

#include "Control.h"

namespace xruvo_sim {

namespace {

bool ParseCount(const std::string& text, std::int64_t& out) {
  if (text.empty() || text.size() > 15 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  out = std::stoll(text);
  return true;
}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error) {
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      continue;
    }
    if (arg == "--pace") {
      options.config.byteTimeUs = 87;
      continue;
    }
    if (k + 1 >= argc) {
      error = arg.rfind("--", 0) == 0 ? arg + " needs a value" : "unknown argument: " + arg;
      return false;
    }
    const std::string value = argv[++k];
    std::int64_t number = 0;
    const bool isNumber = ParseCount(value, number);
    auto needNumber = [&]() {
      if (!isNumber) error = arg + " needs a whole number, not \"" + value + "\"";
      return isNumber;
    };
    if (arg == "--link") {
      options.link = value;
    } else if (arg == "--paper") {
      options.paper = value;
    } else if (arg == "--logo") {
      options.logo = value;
    } else if (arg == "--control") {
      options.control = value;
    } else if (arg == "--fault") {
      options.faults.push_back(value);
    } else if (arg == "--series") {
      options.config.fiscalSeries = value;
    } else if (arg == "--pace-us") {
      if (!needNumber()) return false;
      options.config.byteTimeUs = number;
    } else if (arg == "--delay") {
      if (!needNumber()) return false;
      options.config.answerDelayMs = number;
    } else if (arg == "--je-free") {
      if (!needNumber()) return false;
      options.config.jeFreeLines = number;
    } else if (arg == "--receipt" || arg == "--z") {
      if (!needNumber()) return false;
      if (number > 9999) {
        error = arg + " is 0 to 9999";
        return false;
      }
      int& target = arg == "--z" ? options.config.lastZNumber : options.config.lastReceiptNumber;
      target = static_cast<int>(number);
    } else if (arg == "--report-ms") {
      if (!needNumber()) return false;
      options.config.reportMs = number;
    } else if (arg == "--typed-report-ms") {
      if (!needNumber()) return false;
      options.config.typedReportMs = number;
    } else if (arg == "--export-ms") {
      if (!needNumber()) return false;
      options.config.exportPrepareMs = number;
    } else {
      error = "unknown option: " + arg;
      return false;
    }
  }
  return true;
}

std::string UsageText() {
  return std::string(
             "Usage: xruvo_sim [options]\n"
             "A simulated XRuvo ECR on a pseudo-terminal. Prints the slave's path on the\n"
             "first line of standard output and serves until SIGTERM or SIGINT.\n"
             "\n"
             "  --link PATH            put a symlink to the slave at PATH (removed at exit)\n"
             "  --paper FILE           append the printed paper to FILE (default: stdout)\n"
             "  --control PATH         read fault commands, one a line, from the FIFO PATH\n"
             "                         (created when missing)\n"
             "  --logo FILE            write every logo the ECR stores to FILE, byte for byte\n"
             "  --fault COMMAND        apply a fault command at start (repeatable)\n"
             "  --pace                 send answers at the wire time of 115,200 bit/s\n"
             "  --pace-us US           wire time per answer byte in microseconds\n"
             "  --delay MS             wait MS before every answer\n"
             "  --je-free N            free electronic journal lines (default 150000)\n"
             "  --series TEXT          fiscal series\n"
             "  --receipt N, --z N     last receipt number and last Z number\n"
             "  --report-ms MS         printing time of Z, X, MF and JE reports (default 0)\n"
             "  --typed-report-ms MS   busy time of \"2202\"/\"2203\" (default 8000)\n"
             "  --export-ms MS         preparation time of the XML export (default 10000)\n"
             "  --help                 this text\n"
             "\n"
             "Fault commands (--fault and --control):\n") +
         ControlCommandHelp();
}

}  // namespace xruvo_sim
