#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "console/ControlProtocol.h"

namespace ruvo {

class Driver;
struct ConsoleContext;

// Operation keys: a manual operation sent with "--key KEY" (ruvo_drv ctl, the HTTP
// operations' Idempotency-Key) runs at most once for its key. The first answer is kept;
// a repeat with the same operation and values gets it again (`replayed`) and nothing runs,
// a repeat with anything else is refused (KeyOutcome::Reused), one that comes while the
// key's operation still runs is refused (KeyOutcome::InProgress).
//
// The key is recorded, durably, before anything is sent to the ECR; for cash in, cash out
// and the Z report with what the ECR's daily totals showed just before. A record without
// an answer after a restart is an operation a stop of the driver cut off: its repeat asks
// the ECR again and answers what the totals tell (carried out, or not carried out), or
// that it cannot be told (KeyOutcome::Undetermined). That answer is kept like any other.
//
// A request refused before its operation began (its values, processing running, another
// operation under way, an interrupted receipt file waiting) keeps nothing: the key stays
// free and the request may be sent again with it.

struct OperationKeyRecord {
  std::string key;
  std::string requestHash;             // SHA-256 hex of the operation and its values
  std::vector<std::string> arguments;  // the control command and its arguments
  std::string evidence;                // the ECR's daily totals before the run; may be empty
  std::optional<ControlAnswer> answer;
};

// Where the records live (src/http: beside the HTTP receipts' keys). Records are saved
// whole; Save is durable when it returns true.
class OperationKeyStore {
 public:
  virtual ~OperationKeyStore() = default;
  virtual bool ValidKey(const std::string& key) const = 0;
  virtual std::optional<OperationKeyRecord> Find(const std::string& key) = 0;
  virtual bool Save(const OperationKeyRecord& record) = 0;
  virtual void Forget(const std::string& key) = 0;
};

// The store the control commands use; none (nullptr) refuses "--key". Set once by the
// program before requests are served.
void UseOperationKeys(OperationKeyStore* store);
OperationKeyStore* OperationKeys();

// Runs one manual operation whose input check has passed: the frame in RunManual of the
// control commands. reachRunning: meant for the operation under way (the report's stop).
using ManualOperation = std::function<bool(const ConsoleContext&)>;
using ManualRunner = std::function<ControlAnswer(const ManualOperation&, bool reachRunning)>;

// The runner that does the key's part around `run`, for the command `arguments` (without
// the key). `run` is the plain runner.
ManualRunner KeyedRunner(Driver& driver, const std::string& key,
                         const std::vector<std::string>& arguments, ManualRunner run);

// The SHA-256 hex that tells one keyed request from another.
std::string RequestHash(const std::vector<std::string>& arguments);

// What the ECR's daily totals (the 253-character answer of "1004") before and now tell of
// an operation cut off by a stop: true carried out, false not carried out, nullopt unknown.
std::optional<bool> CarriedOut(const std::vector<std::string>& arguments, const std::string& before,
                               const std::string& now);

}  // namespace ruvo
