#include "http/AccessToken.h"

#include <sys/random.h>

#include <cstdio>

#include "http/PrivateFile.h"
#include "platform/Files.h"

namespace ruvo::http {

namespace {

constexpr std::size_t kMinTokenLength = 32;

std::optional<std::string> RandomHex(std::size_t bytes) {
  std::string raw(bytes, '\0');
  std::size_t got = 0;
  while (got < bytes) {
    const ssize_t n = ::getrandom(raw.data() + got, bytes - got, 0);
    if (n <= 0) return std::nullopt;
    got += static_cast<std::size_t>(n);
  }
  std::string hex;
  for (const char c : raw) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(c));
    hex += pair;
  }
  return hex;
}

std::optional<std::string> ReadToken(const std::string& path, std::string& problem) {
  std::optional<std::string> text = ReadPrivateFile(path, 512, problem);
  if (!text) return std::nullopt;
  *text = text->substr(0, text->find_first_of("\r\n"));
  const std::size_t first = text->find_first_not_of(" \t");
  const std::size_t last = text->find_last_not_of(" \t");
  *text = first == std::string::npos ? "" : text->substr(first, last - first + 1);
  if (text->size() < kMinTokenLength) {
    problem = path + " holds no token of at least 32 characters";
    return std::nullopt;
  }
  return text;
}

}  // namespace

std::optional<std::string> LoadOrMakeToken(const std::string& workingFolder, std::string& problem) {
  const std::string path = JoinPath(workingFolder, kTokenFileName);
  if (FileExists(path)) return ReadToken(path, problem);
  const std::optional<std::string> token = RandomHex(32);
  if (!token) {
    problem = "no random bytes for the token";
    return std::nullopt;
  }
  if (!WritePrivateFile(workingFolder, path, *token + "\n", problem)) {
    if (FileExists(path)) {
      problem.clear();
      return ReadToken(path, problem);
    }
    return std::nullopt;
  }
  return token;
}

}  // namespace ruvo::http
