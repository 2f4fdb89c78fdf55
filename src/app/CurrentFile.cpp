#include "app/CurrentFile.h"

#include "platform/TimeFormat.h"

namespace ruvo {

CurrentFile::CurrentFile(DriverState& state, IOperator& op, IClock& clock,
                         const std::vector<std::string>& extraWarnings, const std::string& name,
                         bool hold)
    : run{ReceiptSuffix(name), FormatFileStamp(clock.Now()), {}},
      response(state, op, extraWarnings, run, hold) {}

}  // namespace ruvo
