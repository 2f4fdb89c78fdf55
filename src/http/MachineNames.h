#pragma once

#include <string>
#include <vector>

#include "http/HttpSettings.h"

namespace ruvo::http {

// The names a till on the shop's network may give for this machine, besides the address
// the server is bound to, without the port, IPv6 addresses in brackets:
// - bound to every address (0.0.0.0, [::]): the machine's addresses now (its interfaces'),
//   127.0.0.1, [::1] and localhost, and its host name (also with ".local", as mDNS gives it);
// - bound to one address beyond the loopback: the host name (and with ".local");
// - on the loopback or a socket: none.
// These are the machine's own names: a page of a foreign site cannot give them (DNS
// rebinding gets nowhere), and a till that uses another name lists it in GazdeHttp.
std::vector<std::string> MachineNames(const ListenAddress& address);

// The names and addresses a self-signed certificate for this server states (IPv6
// without brackets): the bound address (unless every address), the machine's names and
// the extra ones.
std::vector<std::string> CertificateNames(const ListenAddress& address,
                                          const std::vector<std::string>& machineNames,
                                          const std::vector<std::string>& extra);

}  // namespace ruvo::http
