#pragma once

#include <optional>
#include <string>

namespace ruvo::http {

// The bearer token of the HTTP server: the file "ruvo-http.token" in the working folder,
// made at the first start with 32 random bytes as 64 hex digits, mode 0640 and the group
// of the folder (the sales application's group reads it, as it reads the answers). A
// file already there is used as it is (its first line, blanks trimmed); a link in its
// place, a file of less than 32 characters, or one that others may read is refused.
inline const std::string kTokenFileName = "ruvo-http.token";

std::optional<std::string> LoadOrMakeToken(const std::string& workingFolder, std::string& problem);

}  // namespace ruvo::http
