#include "console/ControlCommandsKeyed.h"

#include <set>

#include "console/OperationFrame.h"
#include "platform/AmountText.h"
#include "platform/IntegerText.h"
#include "platform/Log.h"
#include "platform/Sha256.h"

namespace ruvo {

namespace {

// The keys whose operation runs now, in this process: a record without an answer that is
// not among them was cut off by a stop of the driver.
std::set<std::string>& RunningKeys() {
  static std::set<std::string> keys;
  return keys;
}

// Reads the daily totals before an operation or after a stop; no log of its own.
const OperationKind kKeyCheckOperation{"",    false, OperationLogPlace::None,
                                       false, false, "Verificare operatie",
                                       false, true};

// Where the daily totals block ("1004") holds the counts and sums this check reads.
struct TotalsField {
  std::size_t at;
  std::size_t length;
};
constexpr TotalsField kReceiptCount{0, 4};
constexpr TotalsField kDayTotal{4, 9};
constexpr TotalsField kCashOutCount{175, 4};
constexpr TotalsField kCashOutSum{179, 9};
constexpr TotalsField kCashInCount{188, 4};
constexpr TotalsField kCashInSum{192, 9};
constexpr std::size_t kTotalsLength = 253;

std::optional<std::int64_t> Read(const std::string& block, TotalsField field) {
  if (block.size() != kTotalsLength) return std::nullopt;
  std::string text = block.substr(field.at, field.length);
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::nullopt;
  return ParseInt64(text.substr(first));
}

bool WantsEvidence(const std::string& command) {
  return command == "cash-in" || command == "cash-out" || command == "z-report";
}

ControlAnswer ReadTotals(const ManualRunner& run, std::string& block) {
  return run(
      [&](const ConsoleContext& context) {
        return RunOperation(context, kKeyCheckOperation, [&](TXruvoLinux& link) {
          if (!link.ReadDailyTotals()) {
            ShowOperationFailure(context, "Nu pot citi totalurile zilei de la casa de marcat !\r" +
                                              link.Engine().LastError());
            return false;
          }
          block = link.DailyTotalsBlock();
          // A short answer leaves the block zeroed: it tells nothing.
          if (block.find('\0') != std::string::npos) block.clear();
          return true;
        });
      },
      false);
}

ControlAnswer WithKey(ControlAnswer answer, KeyOutcome outcome) {
  answer.key = outcome;
  return answer;
}

ControlAnswer Settle(OperationKeyStore& store, OperationKeyRecord record, const ManualRunner& run) {
  std::optional<bool> carriedOut;
  if (!record.evidence.empty()) {
    std::string now;
    ControlAnswer probe = ReadTotals(run, now);
    if (!probe.ok) return probe;  // nothing kept: the repeat asks again
    carriedOut = CarriedOut(record.arguments, record.evidence, now);
  }
  ControlAnswer answer;
  if (carriedOut && *carriedOut) {
    answer =
        Succeeded({"Operatia a fost efectuata inainte de oprirea driverului "
                   "(totalurile zilei din casa de marcat o arata)."});
  } else if (carriedOut) {
    answer =
        Failed({"Operatia nu a fost efectuata: driverul s-a oprit inainte ca ea sa ajunga "
                "la casa de marcat (totalurile zilei din casa de marcat o arata). "
                "Trimiteti-o din nou, cu o cheie noua."});
  } else {
    answer = WithKey(Failed({"Nu se poate afla daca operatia a fost efectuata: driverul s-a "
                             "oprit in timpul ei. Verificati casa de marcat (raportul X, "
                             "numerarul din sertar) inainte de a o trimite din nou, cu o "
                             "cheie noua."}),
                     KeyOutcome::Undetermined);
  }
  answer.ran = true;
  record.answer = answer;
  if (!store.Save(record)) Log(LogLevel::Warning, "operation key " + record.key + " not saved");
  return answer;
}

bool RefusedBeforeRunning(const ControlAnswer& answer) {
  if (!answer.ran || answer.refused) return true;
  for (const std::string& line : answer.lines) {
    if (line.find(kInterruptedRunWaitsPrefix) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

std::string RequestHash(const std::vector<std::string>& arguments) {
  return Sha256Hex(EncodeRequest(arguments));
}

std::optional<bool> CarriedOut(const std::vector<std::string>& arguments, const std::string& before,
                               const std::string& now) {
  if (arguments.empty()) return std::nullopt;
  const std::string& command = arguments[0];
  if (command == "cash-in" || command == "cash-out") {
    if (arguments.size() < 2) return std::nullopt;
    AmountRule rule;
    rule.separator = arguments[1].find(',') != std::string::npos ? ',' : '.';
    const AmountReading amount = ReadAmount(arguments[1], rule);
    const bool in = command == "cash-in";
    const auto countBefore = Read(before, in ? kCashInCount : kCashOutCount);
    const auto countNow = Read(now, in ? kCashInCount : kCashOutCount);
    const auto sumBefore = Read(before, in ? kCashInSum : kCashOutSum);
    const auto sumNow = Read(now, in ? kCashInSum : kCashOutSum);
    if (!amount.Ok() || !countBefore || !countNow || !sumBefore || !sumNow) return std::nullopt;
    if (*countNow == *countBefore && *sumNow == *sumBefore) return false;
    if (*countNow == *countBefore + 1 && *sumNow == *sumBefore + amount.hundredths) return true;
    return std::nullopt;  // other cash moved meanwhile, or a Z report cleared the day
  }
  if (command == "z-report") {
    // The Z report clears the day's totals; nothing else does.
    auto dayBusy = [](const std::string& block) -> std::optional<bool> {
      const auto receipts = Read(block, kReceiptCount);
      const auto total = Read(block, kDayTotal);
      const auto ins = Read(block, kCashInCount);
      const auto outs = Read(block, kCashOutCount);
      if (!receipts || !total || !ins || !outs) return std::nullopt;
      return *receipts != 0 || *total != 0 || *ins != 0 || *outs != 0;
    };
    const std::optional<bool> busyBefore = dayBusy(before);
    const std::optional<bool> busyNow = dayBusy(now);
    if (!busyBefore || !busyNow || !*busyBefore) return std::nullopt;
    if (now == before) return false;
    if (!*busyNow) return true;
    return std::nullopt;
  }
  return std::nullopt;
}

ManualRunner KeyedRunner(Driver& /*driver*/, const std::string& key,
                         const std::vector<std::string>& arguments, ManualRunner run) {
  return
      [key, arguments, run](const ManualOperation& operation, bool reachRunning) -> ControlAnswer {
        OperationKeyStore* store = OperationKeys();
        if (store == nullptr) {
          ControlAnswer answer = Failed({"--key: this driver keeps no operation keys"});
          answer.refused = true;
          return answer;
        }
        const std::string hash = RequestHash(arguments);
        if (std::optional<OperationKeyRecord> known = store->Find(key)) {
          if (known->requestHash != hash) {
            ControlAnswer answer = Failed({"Cheia " + key +
                                           " a fost folosita pentru alta operatie sau alte valori; "
                                           "nimic nu a rulat acum"});
            answer.refused = true;
            return WithKey(answer, KeyOutcome::Reused);
          }
          if (known->answer) {
            ControlAnswer answer = *known->answer;
            answer.replayed = true;
            answer.replayKey = key;
            return answer;
          }
          if (RunningKeys().count(key) != 0) {
            return WithKey(Failed({"Operatia cu cheia " + key +
                                   " ruleaza inca; repetati cererea dupa ce se termina"}),
                           KeyOutcome::InProgress);
          }
          return Settle(*store, *known, run);
        }
        OperationKeyRecord record{key, hash, arguments, "", std::nullopt};
        if (WantsEvidence(arguments.front())) {
          ControlAnswer probe = ReadTotals(run, record.evidence);
          if (!probe.ok) return probe;  // refused or the ECR silent: nothing kept, nothing sent
        }
        if (!store->Save(record)) {
          return WithKey(Failed({"Cheia nu a putut fi inregistrata (folderul de lucru nu se poate "
                                 "scrie); nimic nu a rulat. Repetati cererea cu aceeasi cheie"}),
                         KeyOutcome::NotSaved);
        }
        RunningKeys().insert(key);
        ControlAnswer answer;
        try {
          answer = run(operation, reachRunning);
        } catch (...) {
          RunningKeys().erase(key);
          throw;
        }
        RunningKeys().erase(key);
        if (RefusedBeforeRunning(answer)) {
          store->Forget(key);
          return answer;
        }
        record.answer = answer;
        // Kept in memory by the store even so; a restart would ask the ECR.
        if (!store->Save(record)) Log(LogLevel::Warning, "operation key " + key + " not saved");
        return answer;
      };
}

}  // namespace ruvo
