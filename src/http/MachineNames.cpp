#include "http/MachineNames.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>

namespace ruvo::http {

namespace {

void AddOnce(std::vector<std::string>& names, const std::string& name) {
  if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) {
    names.push_back(name);
  }
}

std::string HostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "";
  return name;
}

// The IPv4 and IPv6 addresses of the machine's interfaces (IPv6 link-local ones left out:
// they need a zone a Host header cannot carry).
std::vector<std::string> InterfaceAddresses() {
  std::vector<std::string> addresses;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return addresses;
  for (const ifaddrs* item = list; item != nullptr; item = item->ifa_next) {
    if (item->ifa_addr == nullptr) continue;
    char text[INET6_ADDRSTRLEN] = {};
    if (item->ifa_addr->sa_family == AF_INET) {
      const auto* v4 = reinterpret_cast<const sockaddr_in*>(item->ifa_addr);
      if (::inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text) != nullptr) {
        AddOnce(addresses, text);
      }
    } else if (item->ifa_addr->sa_family == AF_INET6) {
      const auto* v6 = reinterpret_cast<const sockaddr_in6*>(item->ifa_addr);
      if (IN6_IS_ADDR_LINKLOCAL(&v6->sin6_addr)) continue;
      if (::inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text) != nullptr) {
        AddOnce(addresses, "[" + std::string(text) + "]");
      }
    }
  }
  ::freeifaddrs(list);
  return addresses;
}

}  // namespace

std::vector<std::string> MachineNames(const ListenAddress& address) {
  std::vector<std::string> names;
  if (address.unixSocket || address.Loopback()) return names;
  if (address.Wildcard()) {
    for (const std::string& interfaceAddress : InterfaceAddresses()) {
      AddOnce(names, interfaceAddress);
    }
    AddOnce(names, "127.0.0.1");
    AddOnce(names, "[::1]");
    AddOnce(names, "localhost");
  }
  const std::string host = HostName();
  if (!host.empty() && host != "localhost") {
    AddOnce(names, host);
    if (host.find('.') == std::string::npos) AddOnce(names, host + ".local");
  }
  return names;
}

std::vector<std::string> CertificateNames(const ListenAddress& address,
                                          const std::vector<std::string>& machineNames,
                                          const std::vector<std::string>& extra) {
  std::vector<std::string> names;
  if (!address.unixSocket && !address.Wildcard()) AddOnce(names, address.host);
  for (const std::vector<std::string>* list : {&machineNames, &extra}) {
    for (std::string name : *list) {
      if (name.size() > 2 && name.front() == '[' && name.back() == ']') {
        name = name.substr(1, name.size() - 2);
      }
      AddOnce(names, name);
    }
  }
  return names;
}

}  // namespace ruvo::http
