#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace ruvo {
class Driver;
}

namespace ruvo::http {

class HttpReceipts;

// GET /v1/status: what RUVODRV.INFO and `ruvo_drv ctl status` tell, as JSON (texts in
// UTF-8), and how many HTTP receipts wait.
nlohmann::json DriverStatusJson(const Driver& driver, const HttpReceipts& receipts);

// The channel the receipt file cycle runs now, "" when it runs none.
std::string RunningChannel(const Driver& driver);

}  // namespace ruvo::http
