#pragma once

#include <string>
#include <vector>

#include "support/FileBytes.h"

namespace ruvo::e2e {

using ruvo::testing::ReadBytes;
using ruvo::testing::WriteBytes;

// True when there is an entry of that name (a dangling link counts).
bool PathExists(const std::string& path);

// The lines of a receipt file as the sales application writes them: each ended by CR LF.
std::string ReceiptText(const std::vector<std::string>& lines);

// How many times needle stands in text.
int CountOf(const std::string& text, const std::string& needle);

}  // namespace ruvo::e2e
