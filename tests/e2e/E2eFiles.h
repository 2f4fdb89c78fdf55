#pragma once

#include <string>
#include <vector>

namespace ruvo::e2e {

// Whole files as bytes; "" when the file cannot be read.
std::string ReadBytes(const std::string& path);
bool WriteBytes(const std::string& path, const std::string& bytes);
bool PathExists(const std::string& path);

// The lines of a receipt file as the sales application writes them: each ended by CR LF.
std::string ReceiptText(const std::vector<std::string>& lines);

// How many times needle stands in text.
int CountOf(const std::string& text, const std::string& needle);

}  // namespace ruvo::e2e
