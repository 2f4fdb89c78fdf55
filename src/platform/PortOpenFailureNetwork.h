#pragma once

#include <string>

#include "platform/PortOpenFailure.h"

namespace ruvo {

// The lines of PortOpenFailure for a port on a serial device server.
std::string NetworkFailureForLog(const PortOpenFailure& failure);
std::string NetworkFailureForOperator(const PortOpenFailure& failure);

}  // namespace ruvo
