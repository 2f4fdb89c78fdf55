#pragma once

#include <string>
#include <string_view>

namespace ruvo {

// The SHA-256 digest of bytes as 64 lower-case hex digits. Tells whether a receipt file
// still holds the bytes that ran, whatever happened to its time stamp or inode.
std::string Sha256Hex(std::string_view bytes);

}  // namespace ruvo
