// xruvo_sim: a simulated XRuvo ECR on a pseudo-terminal.
#include <csignal>
#include <cstring>
#include <fstream>
#include <iostream>

#include "Options.h"
#include "PtyServer.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int) { g_stop = 1; }

void InstallSignals() {
  struct sigaction stopAction {};
  stopAction.sa_handler = OnStopSignal;
  sigemptyset(&stopAction.sa_mask);
  stopAction.sa_flags = 0;  // no restart: poll() must wake up
  sigaction(SIGTERM, &stopAction, nullptr);
  sigaction(SIGINT, &stopAction, nullptr);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  xruvo_sim::Options options;
  std::string error;
  if (!xruvo_sim::ParseOptions(argc, argv, options, error)) {
    std::cerr << "xruvo_sim: " << error << "\n\n" << xruvo_sim::UsageText();
    return 2;
  }
  if (options.help) {
    std::cout << xruvo_sim::UsageText();
    return 0;
  }
  InstallSignals();
  std::ofstream paperFile;
  std::ostream* paper = &std::cout;
  if (!options.paper.empty()) {
    paperFile.open(options.paper, std::ios::app | std::ios::binary);
    if (!paperFile) {
      std::cerr << "xruvo_sim: cannot open " << options.paper << ": " << std::strerror(errno)
                << "\n";
      return 1;
    }
    paper = &paperFile;
  }
  return xruvo_sim::Serve(options, *paper, std::cerr, g_stop);
}
