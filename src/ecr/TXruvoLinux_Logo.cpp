// The graphic logo: announce its size, send it in hexadecimal pieces, end the upload.
#include "ecr/Amount.h"
#include "ecr/TXruvoLinux.h"

namespace ruvo {

bool TXruvoLinux::BeginLogoUpload(int size) {
  if (!IsReady()) return false;
  return RunCommand("9100" + PadNumber(size, 6), kDefaultTimeOut);
}

bool TXruvoLinux::SendLogoPiece(int length, const std::string& hexText) {
  if (!IsReady()) return false;
  return RunCommand("9101" + PadNumber(length, 2) + hexText, kDefaultTimeOut);
}

bool TXruvoLinux::EndLogoUpload() {
  if (!IsReady()) return false;
  return RunCommand("9102", kDefaultTimeOut);
}

}  // namespace ruvo
