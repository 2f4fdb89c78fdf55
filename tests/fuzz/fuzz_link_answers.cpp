// libFuzzer target for the ECR link's reading of answers: whatever bytes come down the
// line, in whatever pieces and at whatever pace, the link ends each command with a result
// and never reads or writes outside its buffers.
//
// Input: the ECR's side of the conversation, as records of [length][pause][bytes]: length
// bytes arrive pause * 10 ms (virtual time) after the previous piece. A record of length
// 0 ends the reaction to one request frame; the next frame gets the next reaction. When the
// input runs out, the ECR falls silent.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ecr/ScriptedPort.h"
#include "ecr/TXruvoLinux.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"

namespace {

using ruvo::test::Chunk;
using ruvo::test::Reaction;

// The input's records as one reaction per request frame.
std::vector<Reaction> ReactionsOf(const std::uint8_t* data, std::size_t size) {
  std::vector<Reaction> reactions(1);
  std::size_t offset = 0;
  while (offset + 2 <= size) {
    const std::size_t length = data[offset];
    const std::int64_t pause = data[offset + 1] * 10;
    offset += 2;
    if (length == 0) {
      reactions.emplace_back();
      continue;
    }
    const std::size_t available = std::min(length, size - offset);
    reactions.back().push_back(
        Chunk{pause, std::string(reinterpret_cast<const char*>(data + offset), available)});
    offset += available;
  }
  return reactions;
}

// Virtual time needs no slicing: each wait may block until its deadline.
class WholeWaitPump final : public ruvo::IEventPump {
 public:
  void Pump() override {}
  int SliceMs() const override { return 1 << 30; }
};

void ExpectError(ruvo::TXruvoLinux& link, bool ok) {
  if (!ok && link.Engine().LastError().empty()) __builtin_trap();  // a failure always says why
}

// Commands whose answers are taken apart in different ways; each takes the next reaction
// (more than one when it retries or asks for the extended error).
constexpr std::size_t kCommandsPerRound = 13;
void RunEachCommand(ruvo::TXruvoLinux& link) {
  std::string answer;
  int resultCode = 0;
  ExpectError(link, link.ReadStatus());
  ExpectError(link, link.ReadReceiptState());
  ExpectError(link, link.ReadLastReceiptNumber(answer));
  ExpectError(link, link.ReadDocumentState(answer));
  ExpectError(link, link.ReadFiscalSeries(answer, resultCode));
  ExpectError(link, link.ReadJEFreeLines());
  ExpectError(link, link.ReadPrinterState(answer));
  ExpectError(link, link.ReadDailyTotals());
  ExpectError(link, link.ReadTotalizer(3, answer));
  ExpectError(link, link.Payment(1, "NUMERAR", 12.5));
  ExpectError(link, link.CloseReceipt());
  ExpectError(link, link.ReadExportData());
  ExpectError(link, link.PrintJEReceiptsOfZ(1, 1, 2));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ruvo::VirtualClock clock;
  WholeWaitPump pump;
  auto line = std::make_unique<ruvo::test::ScriptedPort>(clock);
  std::vector<Reaction> reactions = ReactionsOf(data, size);
  // One link for the whole input: setting one up costs far more than a command.
  const std::size_t rounds = std::min<std::size_t>(8, 1 + reactions.size() / kCommandsPerRound);
  for (Reaction& reaction : reactions) line->Queue(std::move(reaction));
  ruvo::TXruvoLinux link(std::move(line), clock, pump);
  if (!link.Engine().OpenPort(1)) __builtin_trap();
  for (std::size_t round = 0; round < rounds; ++round) RunEachCommand(link);
  link.Engine().ClosePort();
  return 0;
}
