#pragma once

#include <netdb.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/Clock.h"
#include "platform/EventPump.h"

namespace ruvo {

using AddressList = std::unique_ptr<addrinfo, void (*)(addrinfo*)>;

// getaddrinfo's signature: what a lookup runs (tests give one that takes its time).
using Resolver = std::function<int(const char*, const char*, const addrinfo*, addrinfo**)>;

// Looks host up by the system's resolver within deadlineMs on the clock, serving the event
// loop meanwhile. getaddrinfo itself cannot be given a time-out, and a name server that
// does not answer holds it for as long as resolv.conf says (30 s and more): the lookup
// runs on a thread of its own, and one that outlives the deadline is left to end by
// itself and free what it found. A numeric address is taken at once. On failure the list
// is empty and error is getaddrinfo's code (EAI_AGAIN at the deadline).
AddressList LookUpName(const std::string& host, const std::string& service, const addrinfo& hints,
                       std::int64_t deadlineMs, IClock& clock, IEventPump& pump, int& error,
                       Resolver resolver = ::getaddrinfo);

}  // namespace ruvo
