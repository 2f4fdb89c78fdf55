// The graphic logo: "9100" announces the size, "9101" carries up to 50 bytes in
// hexadecimal, "9102" keeps the picture when every byte arrived.
#include "Device.h"

namespace xruvo_sim {

namespace {

constexpr std::size_t kLargestPiece = 50;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

Answer Device::BeginLogo(FieldReader& f) {
  std::int64_t size = 0;
  if (!f.Number(6, size) || !f.AtEnd()) return Answer::Err(ecr_error::kBadLength);
  if (receipt_.Open() || nonFiscalOpen_) return Answer::Err(ecr_error::kDocumentOpen);
  logo_.active = true;
  logo_.announced = static_cast<std::size_t>(size);
  logo_.received.clear();
  return Answer::Ok();
}

Answer Device::LogoPiece(FieldReader& f) {
  std::int64_t length = 0;
  if (!f.Number(2, length)) return Answer::Err(ecr_error::kBadLength);
  const std::string hex = f.Rest();
  if (length < 1 || static_cast<std::size_t>(length) > kLargestPiece ||
      hex.size() != static_cast<std::size_t>(length) * 2)
    return Answer::Err(ecr_error::kBadLength);
  if (!logo_.active) return Answer::Err(ecr_error::kImpossible);
  std::string bytes;
  for (std::size_t k = 0; k < hex.size(); k += 2) {
    const int high = HexValue(hex[k]);
    const int low = HexValue(hex[k + 1]);
    if (high < 0 || low < 0) return Answer::Err(ecr_error::kInvalidValue);
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  if (logo_.received.size() + bytes.size() > logo_.announced)
    return Answer::Err(ecr_error::kDataMismatch);
  logo_.received += bytes;
  return Answer::Ok();
}

// A logo that arrived short is refused and the old one stays.
Answer Device::EndLogo(FieldReader& f) {
  if (!f.AtEnd()) return Answer::Err(ecr_error::kBadLength);
  if (!logo_.active) return Answer::Err(ecr_error::kImpossible);
  logo_.active = false;
  if (logo_.received.size() != logo_.announced) return Answer::Err(ecr_error::kDataMismatch);
  logo_.stored = logo_.received;
  ++logo_.storedCount;
  return Answer::Ok();
}

}  // namespace xruvo_sim
