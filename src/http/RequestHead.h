#pragma once

#include <cstddef>
#include <optional>

#include "http/HttpMessage.h"

namespace ruvo::http {

// The refusal of a request whose line and headers alone say it cannot be served, or
// nullopt. The server gives it before reading a byte of the body (and so never invites
// the body with "100 Continue"):
// - no Host (RFC 9112: 400; which server is meant cannot be checked);
// - a header that must come once given twice (HttpMessage's IsSingleHeader), or two
//   Content-Length values that differ;
// - a Content-Length beside a Transfer-Encoding;
// - a Content-Length that is no number, or above maxBodyBytes (413).
std::optional<HttpResponse> HeadRefusal(const HttpRequest& request, std::size_t maxBodyBytes);

}  // namespace ruvo::http
