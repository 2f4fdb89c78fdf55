#include "app/DeliveryLedger.h"

#include <algorithm>

#include "app/ReceiptCycle.h"
#include "app/ResponseFile.h"
#include "platform/FileIdentity.h"
#include "platform/Files.h"
#include "platform/Sha256.h"

namespace ruvo {

bool HoldsUnansweredRun(const std::string& folder, const InFlightRecord& record) {
  // Only a run that reached the ECR and was never answered: any other file runs like a
  // new one.
  if (record.phase == RunPhase::Preparing || record.phase == RunPhase::Answered) return false;
  const std::string path = JoinPath(folder, record.name);
  const std::optional<FileIdentity> identity = IdentityOf(path);
  const std::optional<std::string> bytes = ReadFileBytes(path);
  return identity && identity->regular && bytes && Sha256Hex(*bytes) == record.delivery.sha256;
}

std::vector<std::string> NamesInFlight(const std::vector<InFlightRecord>& records,
                                       const std::vector<ExecutedFile>& executed,
                                       const std::vector<std::string>& owed) {
  std::vector<std::string> names;
  auto keep = [&](const std::string& name) {
    names.push_back(name);
    names.push_back(ResponseFileName(ReceiptSuffix(name)));
  };
  for (const InFlightRecord& r : records) keep(r.name);
  for (const ExecutedFile& e : executed) keep(e.name);
  for (const std::string& name : owed) keep(name);
  return names;
}

void LiveDeliveries::Mark(const std::string& token) {
  if (std::find(tokens_.begin(), tokens_.end(), token) == tokens_.end()) tokens_.push_back(token);
}

bool LiveDeliveries::Has(const DeliveryId& delivery) const {
  return std::find(tokens_.begin(), tokens_.end(), delivery.token) != tokens_.end();
}

void LiveDeliveries::Forget(const std::string& token) { std::erase(tokens_, token); }

}  // namespace ruvo
