#pragma once

#include <optional>
#include <string>

namespace ruvo::http {

// Files of the working folder that only the driver and the sales application's group may
// read (the token, the server's key and certificate): mode 0640 and the folder's group.

// Writes bytes to path under a temporary name and links it into place, so that the file
// is whole or absent, and one made meanwhile by another start is never overwritten
// (false then, and the caller reads that one). problem says why on failure.
bool WritePrivateFile(const std::string& workingFolder, const std::string& path,
                      const std::string& bytes, std::string& problem);

// The file's bytes (at most maxBytes) when it is a regular file, no link, that others
// cannot read; nullopt and the problem otherwise.
std::optional<std::string> ReadPrivateFile(const std::string& path, std::size_t maxBytes,
                                           std::string& problem);

}  // namespace ruvo::http
