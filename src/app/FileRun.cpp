#include "app/FileRun.h"

namespace ruvo {

std::string ReceiptSuffix(const std::string& name) {
  const std::string base = name.substr(0, name.find('.'));
  return base.size() > 6 ? base.substr(6) : std::string();
}

}  // namespace ruvo
