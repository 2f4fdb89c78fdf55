#pragma once

#include <string>

namespace ruvo::e2e {

// A TCP port nothing listens on now at the IPv4 address (the kernel's choice), for a
// server of the test to take; 0 when none could be had.
int FreePort(const std::string& ipv4 = "127.0.0.1");

}  // namespace ruvo::e2e
