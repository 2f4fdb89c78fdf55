#include "app/ReceiptDelivery.h"

#include <random>

#include "app/ReceiptFileGuard.h"
#include "platform/Files.h"
#include "platform/Sha256.h"

namespace ruvo {

namespace {

const std::string kPinPrefix = ".ruvodrv-pin-";
const std::string kLeavingPrefix = ".ruvodrv-done-";
constexpr std::size_t kTokenLength = 16;

std::optional<std::string> TokenAfter(const std::string& name, const std::string& prefix) {
  if (name.size() < prefix.size() + kTokenLength || name.compare(0, prefix.size(), prefix) != 0) {
    return std::nullopt;
  }
  const std::string token = name.substr(prefix.size(), kTokenLength);
  if (token.find_first_not_of("0123456789abcdef") != std::string::npos) return std::nullopt;
  return token;
}

bool SameInode(const FileOrigin& a, const FileOrigin& b) {
  return a.device == b.device && a.inode == b.inode;
}

DeliveryMatch ByBytes(const std::string& path, const std::string& sha256) {
  const std::optional<std::string> bytes = ReadFileBytes(path);
  if (!bytes) return DeliveryMatch::Same;
  return Sha256Hex(*bytes) == sha256 ? DeliveryMatch::Same : DeliveryMatch::Other;
}

}  // namespace

std::string PinName(const std::string& token) { return kPinPrefix + token; }

std::string LeavingName(const std::string& token, const std::string& name) {
  return kLeavingPrefix + token + "-" + name;
}

std::optional<std::string> PinToken(const std::string& name) {
  if (name.size() != kPinPrefix.size() + kTokenLength) return std::nullopt;
  return TokenAfter(name, kPinPrefix);
}

std::optional<std::pair<std::string, std::string>> LeavingParts(const std::string& name) {
  const std::size_t nameAt = kLeavingPrefix.size() + kTokenLength + 1;
  std::optional<std::string> token = TokenAfter(name, kLeavingPrefix);
  if (!token || name.size() <= nameAt || name[nameAt - 1] != '-') return std::nullopt;
  return std::make_pair(std::move(*token), name.substr(nameAt));
}

std::string NewDeliveryToken() {
  static std::mt19937_64 random{std::random_device{}()};
  static constexpr char kDigits[] = "0123456789abcdef";
  std::uint64_t value = random();
  std::string token(kTokenLength, '0');
  for (char& c : token) {
    c = kDigits[value & 0xF];
    value >>= 4;
  }
  return token;
}

DeliveryMatch MatchDelivery(const std::string& folder, const std::string& name,
                            const DeliveryId& id) {
  const std::string path = JoinPath(folder, name);
  const std::optional<FileOrigin> now = OriginOf(path);
  if (!now) return DeliveryMatch::Gone;
  if (!IsRegularFile(path)) return DeliveryMatch::Other;
  if (id.pinned) {
    const std::optional<FileOrigin> pin = OriginOf(JoinPath(folder, PinName(id.token)));
    if (!pin || !SameInode(*pin, *now)) return DeliveryMatch::Other;
    return ByBytes(path, id.sha256);
  }
  if (id.origin.inode != 0) {
    if (!SameInode(id.origin, *now)) return DeliveryMatch::Other;
    if (id.origin.birthNs != 0 && now->birthNs != 0 && id.origin.birthNs != now->birthNs) {
      return DeliveryMatch::Other;
    }
  }
  return ByBytes(path, id.sha256);
}

std::optional<DeliveryId> ClaimDelivery(const std::string& folder, const std::string& name,
                                        const FileIdentity& read, const std::string& sha256,
                                        IFileOperations& files) {
  const std::string path = JoinPath(folder, name);
  auto isRead = [&](const std::string& at) {
    const std::optional<FileIdentity> now = IdentityOf(at);
    return now && *now == read;
  };
  DeliveryId id;
  id.sha256 = sha256;
  for (int attempt = 0; attempt < 8; ++attempt) {
    id.token = NewDeliveryToken();
    const std::string pin = JoinPath(folder, PinName(id.token));
    if (files.Exists(pin)) continue;
    if (files.Link(path, pin)) {
      // The pin holds what stood under the name at the link; it must be what was read.
      if (!isRead(pin)) {
        files.Delete(pin);
        return std::nullopt;
      }
      id.pinned = true;
      break;
    }
    // No link here (a file system without them, a file that may not get one): the inode
    // and birth time stand in.
    if (files.Exists(pin)) continue;
    break;
  }
  const std::string at = id.pinned ? JoinPath(folder, PinName(id.token)) : path;
  const std::optional<FileOrigin> origin = OriginOf(at);
  if (!origin || (!id.pinned && !isRead(path))) {
    if (id.pinned) files.Delete(at);
    return std::nullopt;
  }
  id.origin = *origin;
  return id;
}

bool ReleasePin(const std::string& folder, const DeliveryId& id, IFileOperations& files) {
  if (!id.pinned) return true;
  return files.Delete(JoinPath(folder, PinName(id.token)));
}

}  // namespace ruvo
