#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "platform/FileIdentity.h"

namespace ruvo {

class IFileOperations;

// One delivery of a receipt file: the file the sales application put under its name, not
// its bytes. The next customer's file with the same goods is another delivery; a `touch`
// or a rewrite in place of the same bytes is not.
//
// The file is pinned by a second name (a hard link) in the working folder while the driver
// needs to know it: the pin keeps its inode from being given to a new file, so the inode
// alone tells the two apart. Where no link can be made, the inode with the birth time
// (where the file system keeps one) stands in. The bytes count as well: other bytes written
// into the same file are another receipt.
struct DeliveryId {
  std::string token;    // names the delivery's private files; unique in the working folder
  bool pinned = false;  // the pin exists (was made)
  FileOrigin origin;    // all zero for a record of an older journal: then the bytes alone
  std::string sha256;

  bool operator==(const DeliveryId&) const = default;
};

// The private names of a delivery: the pin, and the name the file is renamed to on its
// way out. They start with ".ruvodrv-", match none of the masks of the driver or the sales
// application, and are removed at start when nothing refers to them.
// The leaving name carries the receipt file's name, so that a file that is not the
// delivery (another one renamed in at that moment) can be given its name back.
std::string PinName(const std::string& token);
std::string LeavingName(const std::string& token, const std::string& name);
// The token of a pin's name; nullopt for any other name.
std::optional<std::string> PinToken(const std::string& name);
// The token and the receipt file's name of a leaving name; nullopt for any other name.
std::optional<std::pair<std::string, std::string>> LeavingParts(const std::string& name);

// A fresh token: 16 hexadecimal digits.
std::string NewDeliveryToken();

enum class DeliveryMatch { Same, Other, Gone };

// Whether the entry folder + name (a receipt file's name, or a leaving name) is the
// delivery id. A pinned delivery whose pin is gone was finished: nothing is it any more.
// A file of the right inode that cannot be read now counts as the same: running it again
// is the one thing that must not happen.
DeliveryMatch MatchDelivery(const std::string& folder, const std::string& name,
                            const DeliveryId& id);

// Claims the file just read at folder + name (its identity and bytes' digest as read) as
// one delivery: pins it when the folder allows. nullopt when the file is no longer the one
// that was read, or the pin cannot be told from a failure to make it.
std::optional<DeliveryId> ClaimDelivery(const std::string& folder, const std::string& name,
                                        const FileIdentity& read, const std::string& sha256,
                                        IFileOperations& files);

// Removes the pin of id (when it has one); true when it is gone.
bool ReleasePin(const std::string& folder, const DeliveryId& id, IFileOperations& files);

}  // namespace ruvo
