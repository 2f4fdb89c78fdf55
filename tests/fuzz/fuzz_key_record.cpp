// libFuzzer target for the reader of the HTTP key records: any bytes are either a whole
// record as the driver wrote it or refused, never a crash.
//
// Input: the record file's bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "http/KeyRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::optional<ruvo::http::KeyRecord> record = ruvo::http::DecodeRecord(bytes);
  if (!record) return 0;
  if (!ruvo::http::ValidKey(record->key)) __builtin_trap();
  const std::string written = ruvo::http::EncodeRecord(*record);
  const std::optional<ruvo::http::KeyRecord> again = ruvo::http::DecodeRecord(written);
  if (!again || ruvo::http::EncodeRecord(*again) != written) __builtin_trap();
  // The current layout carries its check: only the driver's own text passes.
  if (bytes.rfind("RUVOHTTP 2\n", 0) == 0 && written != bytes) __builtin_trap();
  return 0;
}
