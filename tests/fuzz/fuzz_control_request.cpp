// libFuzzer target for what a caller of the control socket or of POST /v1/operations/{name}
// may send: any bytes are a clear refusal or a valid operation, never a crash.
//
// Input, in parts separated by NUL bytes:
//   0  the bytes read from the control socket (a request "RUVOCTL 1 <n>" and its lines)
//   1  an HTTP operation's name
//   2  its JSON body
// A whole request and every call the body makes are run by the control commands on a
// driver whose ECR port never opens (processing stopped, operation keys on a scratch
// working folder): the argument checks, the amount rule, the keys and the refusals all
// run; nothing can reach an ECR. The logo is left out: its argument is a file to read.
// Checked beyond crashes: a refusal says why; an answer travels and reads back whole.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Driver.h"
#include "console/ControlCommands.h"
#include "console/ControlCommandsKeyed.h"
#include "console/ControlOperator.h"
#include "console/ControlProtocol.h"
#include "fuzz/FuzzParts.h"
#include "http/HttpOperationKeys.h"
#include "http/OperationBody.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"

namespace {

using namespace ruvo;

// A port that never opens: the operations stop at "Nu pot deschide portul serial !".
class ClosedPort final : public ISerialPort {
 public:
  bool Open(const std::string&) override { return false; }
  void Close() override {}
  bool Connected() const override { return false; }
  bool Write(const std::uint8_t*, std::size_t) override { return false; }
  std::size_t Read(std::uint8_t*, std::size_t, int) override { return 0; }
};

class ClosedPorts final : public IPortFactory {
 public:
  std::unique_ptr<ISerialPort> MakePort() override { return std::make_unique<ClosedPort>(); }
};

// The scratch working folder, made once in $TMPDIR and removed when the run ends.
const std::string& Folder() {
  static const std::string* folder = [] {
    const char* base = std::getenv("TMPDIR");
    auto* made = new std::string(std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                                 "/ruvo-fuzz-control-XXXXXX");
    if (::mkdtemp(made->data()) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(Folder(), ignored);
    });
    return made;
  }();
  return *folder;
}

struct Rig {
  VirtualClock clock;
  NullEventPump pump;
  ControlOperator op;
  ClosedPorts ports;
  Driver driver{DriverContext{clock, pump, op, ports}, Folder()};
  http::HttpOperationKeys keys{Folder(), clock, 7};
  Rig() { UseOperationKeys(&keys); }
};

Rig& TheRig() {
  static Rig* rig = new Rig();
  return *rig;
}

void CheckAnswer(const ControlAnswer& answer) {
  if (!answer.ok && answer.lines.empty()) __builtin_trap();  // a refusal says why
  const std::optional<ControlAnswer> travelled = ParseAnswer(EncodeAnswer(answer));
  if (!travelled || travelled->ok != answer.ok) __builtin_trap();
}

void Run(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    if (argument == "logo") return;
  }
  CheckAnswer(RunControlCommand(TheRig().driver, arguments));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> parts =
      fuzz::SplitAtNul(std::string_view(reinterpret_cast<const char*>(data), size));

  const RequestParse request = ParseRequest(parts[0]);
  if (request.status == RequestStatus::Malformed && request.error.empty()) __builtin_trap();
  if (request.status == RequestStatus::Complete) {
    if (request.arguments.empty() || EncodeRequest(request.arguments) != parts[0]) {
      __builtin_trap();
    }
    Run(request.arguments);
  }

  if (parts.size() >= 3) {
    const http::OperationParse operation =
        http::ParseOperation(parts[1], "application/json", parts[2]);
    if (!operation.call) {
      const int status = operation.refusal.status;
      if ((status != 400 && status != 404 && status != 415 && status != 422) ||
          operation.refusal.detail.empty()) {
        __builtin_trap();
      }
    } else {
      if (operation.call->arguments.empty()) __builtin_trap();
      Run(operation.call->arguments);
      std::vector<std::string> keyed = {"--key", "fuzz-key"};
      keyed.insert(keyed.end(), operation.call->arguments.begin(), operation.call->arguments.end());
      Run(keyed);
      TheRig().keys.Forget("fuzz-key");  // each input starts from the same store
    }
  }
  return 0;
}
