// The monthly XML export: prepare ("6416"), open ("7400"), read in hexadecimal pieces
// ("7403060") or whole ("7404"), close ("7408").
#include "Device.h"
#include "ExportArchive.h"

namespace xruvo_sim {

namespace {

// The driver keeps at most 1000 characters of a piece after its 3-character prefix.
constexpr std::size_t kLargestChunk = 500;

bool AllDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

void Device::RefreshExport() {
  if (export_.phase == ExportState::Phase::kPreparing && clock_.MonotonicMs() >= export_.readyAtMs)
    export_.phase = ExportState::Phase::kReady;
}

// The year is sent as the operator typed it, so its width is not fixed: the fields are
// found from the type letter, which is followed by nothing or by two N4 report numbers.
Answer Device::StartExport(FieldReader& f) {
  const std::string rest = f.Rest();
  std::size_t typeAt = std::string::npos;
  for (std::size_t k = rest.size(); k-- > 0;) {
    const std::string tail = rest.substr(k + 1);
    if ((rest[k] == 'R' || rest[k] == 'X') &&
        (tail.empty() || (tail.size() == 8 && AllDigits(tail)))) {
      typeAt = k;
      break;
    }
  }
  if (typeAt == std::string::npos || typeAt < 3) return Answer::Err(ecr_error::kBadLength);
  const std::string year = rest.substr(0, typeAt - 2);
  const std::string monthText = rest.substr(typeAt - 2, 2);
  const char type = rest[typeAt];
  if (!AllDigits(year) || year.size() > 8 || !AllDigits(monthText))
    return Answer::Err(ecr_error::kInvalidValue);
  const int month = std::stoi(monthText);
  if (month < 1 || month > 12) return Answer::Err(ecr_error::kInvalidValue);
  if (typeAt + 1 < rest.size() && rest.substr(typeAt + 1, 4) > rest.substr(typeAt + 5, 4))
    return Answer::Err(ecr_error::kInvalidValue);  // first report after the last
  if (conditions_.export87Once) {
    conditions_.export87Once = false;
    return Answer::Err(ecr_error::kExportOpen);
  }
  // An export file still open from an earlier transfer must be closed first.
  if (export_.open) return Answer::Err(ecr_error::kExportOpen);
  if (receipt_.Open() || nonFiscalOpen_) return Answer::Err(ecr_error::kDocumentOpen);
  export_ = ExportState{};
  export_.phase = ExportState::Phase::kPreparing;
  export_.readyAtMs = clock_.MonotonicMs() + config_.exportPrepareMs;
  export_.archive = config_.exportArchive.empty()
                        ? MakeExportArchive(year, month, type, config_.fiscalSeries)
                        : config_.exportArchive;
  RefreshExport();
  return Answer::Ok();
}

Answer Device::BeginTransfer(FieldReader& f) {
  std::string mode;
  if (!f.Text(4, mode) || !f.AtEnd()) return Answer::Err(ecr_error::kBadLength);
  if (mode != "0401" && mode != "0701") return Answer::Err(ecr_error::kInvalidValue);
  if (export_.phase != ExportState::Phase::kReady) return Answer::Err(ecr_error::kNoFile);
  export_.open = true;
  export_.readPos = 0;
  return Answer::Ok();
}

// Each piece: the number of bytes in it as three digits, then the bytes in hexadecimal.
// Past the end the ECR answers an error, which is how the driver knows it has all.
Answer Device::ReadChunk(FieldReader& f) {
  if (!f.AtEnd()) return Answer::Err(ecr_error::kBadLength);
  if (!export_.open || export_.readPos >= export_.archive.size())
    return Answer::Err(ecr_error::kNoFile);
  std::size_t size = config_.exportChunkBytes;
  if (size == 0 || size > kLargestChunk) size = kLargestChunk;
  const std::string piece = export_.archive.substr(export_.readPos, size);
  export_.readPos += piece.size();
  return Answer::Ok(PadNumber(static_cast<std::int64_t>(piece.size()), 3) + ToHex(piece));
}

Answer Device::ReadWhole(FieldReader& f) {
  if (!f.AtEnd()) return Answer::Err(ecr_error::kBadLength);
  if (!export_.open) return Answer::Err(ecr_error::kNoFile);
  export_.readPos = export_.archive.size();
  return Answer::Binary(export_.archive);
}

Answer Device::EndTransfer(FieldReader& f) {
  if (!f.AtEnd()) return Answer::Err(ecr_error::kBadLength);
  export_.open = false;
  return Answer::Ok();
}

}  // namespace xruvo_sim
