#pragma once

#include <nlohmann/json.hpp>

#include "app/ReceiptAnswer.h"

namespace ruvo::http {

// The answer as the JSON of an HTTP answer: the lines exactly as the response file holds
// them and the answer's fields, texts converted from Windows-1250 to UTF-8.
nlohmann::json AnswerJson(const ReceiptAnswer& answer);

// The HTTP status of an answered receipt: 200 done, 422 refused before printing, 502 the
// ECR or the driver could not do it.
int AnswerStatus(const ReceiptAnswer& answer);

}  // namespace ruvo::http
