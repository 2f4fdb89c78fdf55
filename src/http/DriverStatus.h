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

}  // namespace ruvo::http
