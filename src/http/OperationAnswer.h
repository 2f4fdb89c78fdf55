#pragma once

#include "console/ControlProtocol.h"
#include "http/HttpMessage.h"

namespace ruvo::http {

// The HTTP answer to a manual operation from what the control command answered: 200
// {"ok": true, "lines": [...]} when it was done; otherwise a problem whose detail is the
// driver's text and whose "lines" member holds every line:
//   409 processing-running  processing runs ("Opriti procesarea: ruvo_drv ctl stop")
//   409 operation-running   another manual operation holds the ECR
//   409 interrupted-run     a receipt file's interrupted run waits for the processing
//   422 input-refused       the control command refused the values (its own input check)
//   502 operation-failed    the operation ran and was not carried out (the ECR's refusal
//                           or error, the port, processing that would not start or stop)
// The lines are UTF-8, one a line, as `ruvo_drv ctl` prints them.
HttpResponse OperationResponse(const ControlAnswer& answer);

}  // namespace ruvo::http
