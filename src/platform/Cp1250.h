#pragma once

#include <string>
#include <string_view>

namespace ruvo {

// Single-byte Windows-1250 text (what the driver keeps, the ECR prints and the files hold)
// as UTF-8, for a terminal, the journal or a document. Never used on data that goes back
// into a file or to the ECR.
std::string Cp1250ToUtf8(std::string_view text);

}  // namespace ruvo
