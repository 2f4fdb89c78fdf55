#include "platform/PortOpenFailureNetwork.h"

#include <cerrno>
#include <cstring>

#include "platform/NetworkAddress.h"

namespace ruvo {

namespace {

std::string Where(const PortOpenFailure& f) { return f.portName + " (" + f.device + ")"; }

std::string Said(const PortOpenFailure& f) {
  return f.holder.empty() ? std::string() : ": " + f.holder;
}

}  // namespace

bool PortOpenFailure::OnNetwork() const { return NamesNetwork(device); }

std::string NetworkFailureForLog(const PortOpenFailure& f) {
  switch (f.error) {
    case EINVAL:
      if (!ParseNetworkAddress(f.device)) {
        return Where(f) + " is no network address: write tcp://HOST:PORT or rfc2217://HOST:PORT" +
               " (IPv6 as [ADDRESS]:PORT) in section Porturi of XRUVODRV.INI";
      }
      return Where(f) + " does not take the ECR's line settings" + Said(f);
    case ECONNREFUSED:
      return Where(f) +
             ": the device server refused the connection (ECONNREFUSED): is it on, "
             "and is this its TCP port?";
    case EHOSTUNREACH:
    case ENETUNREACH:
      return Where(f) + ": no route to the device server (" +
             std::string(f.error == EHOSTUNREACH ? "EHOSTUNREACH" : "ENETUNREACH") +
             "): check the network cable and the address";
    case ETIMEDOUT:
      return Where(f) + ": the device server did not answer in time (ETIMEDOUT)" + Said(f);
    case ENOENT:
      return Where(f) + ": the name was not found: check the host name, or write its IP address";
    case EAGAIN:
      return Where(f) + ": the name could not be looked up now (no answer from the name server)";
    case EBUSY:
      return Where(f) + ": another client holds the port (EBUSY)" + Said(f);
    case EPROTONOSUPPORT:
      return Where(f) +
             ": the device server does not offer RFC 2217 on this port: set its port "
             "to RFC 2217 (telnet) mode, or use tcp://";
    case ECONNRESET:
      return Where(f) + ": the device server closed the connection at once" + Said(f);
    default:
      return Where(f) + " does not connect (errno " + std::to_string(f.error) +
             "): " + std::strerror(f.error);
  }
}

std::string NetworkFailureForOperator(const PortOpenFailure& f) {
  const std::string port = "Portul " + Where(f);
  switch (f.error) {
    case EINVAL:
      if (!ParseNetworkAddress(f.device)) return port + " nu este o adresa de retea valida";
      return port + " nu accepta setarile liniei casei de marcat";
    case ECONNREFUSED:
      return port + ": serverul refuza conexiunea";
    case EHOSTUNREACH:
    case ENETUNREACH:
      return port + ": serverul nu poate fi atins (fara ruta)";
    case ETIMEDOUT:
      return port + ": serverul nu raspunde";
    case ENOENT:
    case EAGAIN:
      return port + ": numele serverului nu a fost gasit";
    case EBUSY:
      return port + " este ocupat de alt client";
    case EPROTONOSUPPORT:
      return port + ": serverul nu ofera RFC 2217";
    case ECONNRESET:
      return port + ": serverul a inchis conexiunea";
    default:
      return port + " nu se conecteaza";
  }
}

}  // namespace ruvo
