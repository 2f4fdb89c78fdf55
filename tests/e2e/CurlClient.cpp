#include "CurlClient.h"

#include <cstdlib>

#include "E2eFiles.h"
#include "support/ChildProcess.h"

namespace ruvo::e2e {

CurlReply RunCurl(const std::string& folder, const std::vector<std::string>& options) {
  const std::string body = folder + "/curl-body.out";
  const std::string headers = folder + "/curl-headers.out";
  const std::string code = folder + "/curl-code.out";
  std::vector<std::string> args = {kCurl, "-sS", "--max-time", "20", "-o",
                                   body,  "-D",  headers,      "-w", "%{http_code}"};
  args.insert(args.end(), options.begin(), options.end());
  testing::ChildProcess curl;
  CurlReply reply;
  if (!curl.Start(args, code, folder + "/curl.err")) return reply;
  if (curl.Wait(25000) != 0) return reply;
  reply.status = std::atoi(ReadBytes(code).c_str());
  reply.headers = ReadBytes(headers);
  reply.body = ReadBytes(body);
  return reply;
}

}  // namespace ruvo::e2e
