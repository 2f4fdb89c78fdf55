// The driver killed before each write, rename, link, unlink and fsync it makes for one
// receipt file, started again, and the same bytes dropped again as a new file: every sale
// is on the paper exactly as often as it was dropped, each under the number it was answered
// with, and every answer is true. strace, attached to the running driver, does the killing.
//
// By default a few points of each file's sweep, chosen at random (the seed is printed;
// RUVO_SWEEP_SEED repeats it); RUVO_KILL_SWEEP=full runs every point.
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <random>

#include <gtest/gtest.h>

#include "DriverRig.h"
#include "E2eFiles.h"
#include "SyscallFaults.h"

namespace ruvo::e2e {
namespace {

const std::vector<std::string> kSyscalls = {"write", "rename", "renameat2",
                                            "link",  "unlink", "fsync"};
constexpr std::size_t kDefaultPointsPerFile = 4;

enum class FileKind { Sale, NonFiscal };

std::vector<std::string> FileLines(FileKind kind, const std::string& article) {
  if (kind == FileKind::Sale) {
    return {"1;" + article + ";BUC;1;1;250;100000", "1;LAPTE UHT;L;1;2;675;100000", "5;925;1"};
  }
  return {"20", "21;1;" + article, "21;1;MULTUMIM PENTRU VIZITA"};
}

// The pieces of paper between two cuts that hold text.
std::vector<std::string> PiecesWith(const std::string& paper, const std::string& text,
                                    const std::string& kindLine) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (start < paper.size()) {
    std::size_t end = paper.find(kCutLine, start);
    if (end == std::string::npos) end = paper.size();
    const std::string piece = paper.substr(start, end - start);
    if (piece.find(text) != std::string::npos && piece.find(kindLine) != std::string::npos) {
      pieces.push_back(piece);
    }
    start = end + kCutLine.size();
  }
  return pieces;
}

struct Point {
  std::string syscall;
  int n;
};

class KillSweepTest : public DriverTest {
 protected:
  // No idle status query: between two files the driver makes no call the sweep counts.
  KillSweepTest() : DriverTest(RigOptions{false, {}, {"FaraVerificareConexiune=DA"}, false}) {}

  void SetUp() override {
    if (!SyscallFaults::Available()) GTEST_SKIP() << "strace is not installed";
  }

  std::string Strace() const { return rig.PathOf("strace.trace"); }

  // The calls the driver makes for one file, by system call.
  std::map<std::string, int> CountCalls(FileKind kind) {
    SyscallFaults counter(Strace());
    if (!counter.Count(rig.DriverPid(), kSyscalls)) return {};
    const std::vector<std::string> answer = rig.Run("ONLINE.TXT", FileLines(kind, "NUMARARE"));
    counter.Detach();
    EXPECT_EQ(answer.at(0), "0 OK");
    return counter.Counts();
  }

  std::vector<Point> Points(FileKind kind) {
    std::vector<Point> points;
    for (const auto& [syscall, calls] : CountCalls(kind)) {
      for (int n = 1; n <= calls; ++n) points.push_back({syscall, n});
    }
    const char* full = std::getenv("RUVO_KILL_SWEEP");
    if (full != nullptr && std::string(full) == "full") return points;
    const char* seedText = std::getenv("RUVO_SWEEP_SEED");
    const unsigned seed = seedText != nullptr
                              ? static_cast<unsigned>(std::strtoul(seedText, nullptr, 10))
                              : static_cast<unsigned>(std::random_device{}());
    std::cout << "kill sweep: " << points.size() << " points, seed " << seed
              << " (RUVO_SWEEP_SEED), RUVO_KILL_SWEEP=full for all\n";
    std::mt19937 random(seed);
    std::shuffle(points.begin(), points.end(), random);
    points.resize(std::min(points.size(), kDefaultPointsPerFile));
    return points;
  }

  // Drops the file with a kill armed at point; the answer of that delivery, after a
  // restart when the kill landed.
  std::optional<std::string> DropWithKill(FileKind kind, const std::string& article,
                                          const Point& point, bool& killed) {
    std::remove(rig.PathOf("ERROR.TXT").c_str());
    SyscallFaults faults(Strace());
    if (!faults.Inject(rig.DriverPid(), point.syscall,
                       "signal=KILL:when=" + std::to_string(point.n))) {
      ADD_FAILURE() << "strace did not attach\n" << faults.Messages();
      return std::nullopt;
    }
    if (!rig.Drop("ONLINE.TXT", ReceiptText(FileLines(kind, article)))) return std::nullopt;
    const std::string receipt = rig.PathOf("ONLINE.TXT");
    const std::string response = rig.PathOf("ERROR.TXT");
    WaitUntil(
        [&] { return !rig.DriverRunning() || (!PathExists(receipt) && PathExists(response)); },
        DriverRig::kAnswerMs);
    // The call may come after the answer (the last removals): only once strace is gone can
    // nothing more be killed.
    faults.Detach();
    killed = WaitUntil([&] { return !rig.DriverRunning(); }, 100);
    if (killed) {
      if (!rig.KillDriver() || !rig.RestartDriver()) return std::nullopt;
    }
    return rig.AwaitResponse("ONLINE.TXT");
  }

  void Sweep(FileKind kind) {
    ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
    const std::vector<Point> points = Points(kind);
    ASSERT_FALSE(points.empty()) << "strace counted nothing; it may not trace here";
    const std::string kindLine = kind == FileKind::Sale ? "BON FISCAL NR. " : "BON NEFISCAL";
    for (std::size_t i = 0; i < points.size(); ++i) {
      const Point& point = points[i];
      const std::string article = "ARTICOL-" + std::to_string(i);
      const std::string where = "kill before " + point.syscall + " " + std::to_string(point.n);
      bool killed = false;
      const std::optional<std::string> first = DropWithKill(kind, article, point, killed);
      ASSERT_TRUE(first) << where << "\n" << rig.DriverMessages();
      const std::vector<std::string> firstLines = ResponseLines(*first);
      // The same bytes again, as the next customer's file.
      const std::vector<std::string> second = rig.Run("ONLINE.TXT", FileLines(kind, article));
      ASSERT_GE(second.size(), 2u) << where;
      ASSERT_EQ(second[0], "0 OK") << where;

      const std::vector<std::string> pieces = PiecesWith(rig.Ecr().Paper(), article, kindLine);
      if (kind == FileKind::Sale) {
        ASSERT_GE(firstLines.size(), 2u) << where << "\n" << *first;
        ASSERT_EQ(firstLines[0], "0 OK") << where << "\n" << *first;
        ASSERT_EQ(pieces.size(), 2u) << where << "\n" << rig.Ecr().Paper();
        ASSERT_NE(firstLines[1], second[1]) << where;
        for (const std::string& number : {firstLines[1], second[1]}) {
          EXPECT_EQ(std::count_if(pieces.begin(), pieces.end(),
                                  [&](const std::string& p) {
                                    return p.find(number) != std::string::npos;
                                  }),
                    1)
              << where << ": " << number << "\n"
              << rig.Ecr().Paper();
        }
      } else if (firstLines.at(0) == "0 OK") {
        ASSERT_GE(firstLines.size(), 2u) << where;
        EXPECT_EQ(pieces.size(), 2u) << where << "\n" << rig.Ecr().Paper();
      } else {
        // Cut short where the ECR cannot tell how far it came: said so, not run again.
        EXPECT_EQ(firstLines,
                  (std::vector<std::string>{
                      "1 ERROR",
                      "8097;Executia fisierului a fost intrerupta. Verificati casa de marcat"}))
            << where;
        EXPECT_TRUE(killed) << where;
        EXPECT_GE(pieces.size(), 1u) << where << "\n" << rig.Ecr().Paper();
        EXPECT_LE(pieces.size(), 2u) << where << "\n" << rig.Ecr().Paper();
      }
    }
  }
};

TEST_F(KillSweepTest, ASaleKilledAtAnyCallIsPrintedOnceAndItsBytesAgainAreANewSale) {
  Sweep(FileKind::Sale);
}

TEST_F(KillSweepTest, ANonFiscalReceiptKilledAtAnyCallIsAnsweredTruly) {
  Sweep(FileKind::NonFiscal);
}

}  // namespace
}  // namespace ruvo::e2e
