#include "DriverRig.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "E2eFiles.h"
#include "app/ReceiptCycle.h"
#include "platform/Files.h"
#include "platform/IniFile.h"

namespace ruvo::e2e {

namespace {

// Unique among the tests of this run and among runs side by side (ctest -j).
std::string UniqueInstanceName() {
  static std::atomic<int> counter{0};
  return "ruvo-e2e-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

std::string StatusValue(const std::string& path, const std::string& key) {
  IniFile ini;
  if (!ini.Load(path)) return "";
  return ini.ReadString("INFO", key, "");
}

}  // namespace

DriverRig::DriverRig(RigOptions options)
    : options_(std::move(options)), instance_(UniqueInstanceName()) {
  driverFolder_ = folder_.Path();
  ecr1_ = std::make_unique<SimulatedEcr>(folder_.Path(), "ecr1");
  if (options_.secondEcr) ecr2_ = std::make_unique<SimulatedEcr>(folder_.Path(), "ecr2");
}

std::string DriverRig::SettingsText() const {
  const std::string com1 = com1_.empty() ? ecr1_->Link() : com1_;
  std::string text = "[Porturi]\r\nCOM1=" + com1 + "\r\n";
  if (ecr2_) text += "COM2=" + ecr2_->Link() + "\r\n";
  text += "[Configurari]\r\nPort=1\r\nLogFile=DA\r\n";
  // Immediate pickup, so that a test does not wait up to a second for each file; a test of
  // the once-a-second look names the key itself.
  bool pickupNamed = false;
  for (const std::string& line : options_.settings) {
    if (line.rfind("PreluareImediata=", 0) == 0) pickupNamed = true;
    text += line + "\r\n";
  }
  if (!pickupNamed) text += "PreluareImediata=DA\r\n";
  return text;
}

void DriverRig::UseDriverSubfolder(const std::string& name) {
  if (folder_.Path().empty()) return;
  driverFolder_ = folder_ / name;
  mkdir(driverFolder_.c_str(), 0755);
}

void DriverRig::MapCom1(const std::string& entry) {
  com1_ = entry;
  if (!driverStarted_) return;
  // Renamed into place: the driver reads the mapping at every open of the port.
  WriteBytes(PathOf("XRUVODRV.INI.new"), SettingsText());
  std::rename(PathOf("XRUVODRV.INI.new").c_str(), PathOf("XRUVODRV.INI").c_str());
}

bool DriverRig::Start() {
  if (folder_.Path().empty()) return false;
  if (!ecr1_->Start(options_.simArgs)) return false;
  if (ecr2_ && !ecr2_->Start()) return false;
  WriteBytes(PathOf("XRUVODRV.INI"), SettingsText());
  if (ReadBytes(PathOf("XRUVODRV.INI")) != SettingsText()) return false;
  return StartDriver();
}

std::vector<std::string> DriverRig::Environment() const {
  return {"XDG_RUNTIME_DIR=" + runtime_.Path()};
}

std::string DriverRig::ControlSocket() const {
  return runtime_.Path() + "/ruvo-drv/" + instance_ + "/control.sock";
}

bool DriverRig::StartDriver() {
  std::vector<std::string> args = {RUVO_DRV_PATH, "--dir", driverFolder_, "--instance", instance_};
  if (!options_.window) args.insert(args.begin() + 1, "--headless");
  std::vector<std::string> environment = Environment();
  if (options_.window) environment.push_back("QT_QPA_PLATFORM=offscreen");
  if (clockShiftS_ != 0) {
    environment.push_back(std::string("LD_PRELOAD=") + RUVO_CLOCK_SHIFT_PATH);
    environment.push_back("RUVO_CLOCK_SHIFT_S=" + std::to_string(clockShiftS_));
    // A sanitized driver's runtime must otherwise come first among its libraries.
    const char* asan = std::getenv("ASAN_OPTIONS");
    environment.push_back("ASAN_OPTIONS=" + (asan != nullptr ? std::string(asan) + ":" : "") +
                          "verify_asan_link_order=0");
  }
  driverStarted_ = driver_.Start(args, folder_ / "driver.out", folder_ / "driver.err", environment);
  if (!driverStarted_) return false;
  const std::string status = PathOf("RUVODRV.INFO");
  return WaitUntil(
      [&] {
        return StatusValue(status, "Stare") == "START PROCESARE" &&
               (!awaitConnected_ || StatusValue(status, "ConectatLaCasa") == "DA");
      },
      kAnswerMs);
}

bool DriverRig::Drop(const std::string& name, const std::string& content) {
  const std::string temporary = PathOf("ONLINE.TMP");
  WriteBytes(temporary, content);
  return ReadBytes(temporary) == content && rename(temporary.c_str(), PathOf(name).c_str()) == 0;
}

std::optional<std::string> DriverRig::AwaitResponse(const std::string& receiptName, int timeoutMs) {
  const std::string receipt = PathOf(receiptName);
  const std::string response = PathOf("ERROR" + ReceiptSuffix(receiptName) + ".TXT");
  // The response may be written more than once for one file; it is final once the
  // receipt file has been removed.
  if (!WaitUntil([&] { return !PathExists(receipt) && PathExists(response); }, timeoutMs))
    return std::nullopt;
  return ReadBytes(response);
}

std::vector<std::string> DriverRig::Run(const std::string& name,
                                        const std::vector<std::string>& lines) {
  if (!Drop(name, ReceiptText(lines))) return {"<receipt file not written>"};
  const std::optional<std::string> response = AwaitResponse(name);
  if (!response) return {"<no response>"};
  return ResponseLines(*response);
}

std::string DriverRig::Status(const std::string& key) const {
  return StatusValue(PathOf("RUVODRV.INFO"), key);
}

int DriverRig::StopDriver() { return driver_.Stop(SIGTERM); }

bool DriverRig::KillDriver() {
  if (driver_.Stop(SIGKILL) != -1) return false;
  // The killed driver's hold on the port would outlive it on the pseudo-terminal.
  return ecr1_->Control("release") && (!ecr2_ || ecr2_->Control("release"));
}

bool DriverRig::RestartDriver() {
  // The killed driver's status file would pass for the new one's.
  std::remove(PathOf("RUVODRV.INFO").c_str());
  return StartDriver();
}

long DriverRig::DriverCpuMs() const {
  // /proc/PID/stat: the name in parentheses may hold blanks; user and system time are the
  // 12th and 13th fields after it, in clock ticks.
  const std::string stat = ReadBytes("/proc/" + std::to_string(DriverPid()) + "/stat");
  const std::size_t nameEnd = stat.rfind(')');
  if (nameEnd == std::string::npos) return -1;
  std::istringstream fields(stat.substr(nameEnd + 1));
  std::string field;
  for (int k = 0; k < 11 && fields >> field; ++k) {
  }
  long user = 0;
  long system = 0;
  if (!(fields >> user >> system)) return -1;
  return (user + system) * 1000 / sysconf(_SC_CLK_TCK);
}

std::string DriverRig::DriverMessages() const { return ReadBytes(folder_ / "driver.err"); }

std::vector<std::string> ResponseLines(const std::string& response) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < response.size()) {
    std::size_t end = response.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(response.substr(start) + "<no CR LF>");
      break;
    }
    lines.push_back(response.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

void DriverTest::TearDown() {
  // A test that skipped before starting the rig has nothing to stop; the rig cleans up.
  if (IsSkipped()) return;
  EXPECT_EQ(rig.StopDriver(), 0) << rig.DriverMessages();
  EXPECT_EQ(rig.Ecr().Stop(), 0) << rig.Ecr().Messages();
  if (rig.HasSecondEcr()) {
    EXPECT_EQ(rig.SecondEcr().Stop(), 0) << rig.SecondEcr().Messages();
  }
}

}  // namespace ruvo::e2e
