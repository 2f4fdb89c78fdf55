// The operation keys' store the program registers: apart from the keyed runner, so that
// what only asks whether a key is an operation's (the HTTP receipts) needs nothing more.
#include "console/ControlCommandsKeyed.h"

namespace ruvo {

namespace {

OperationKeyStore* g_store = nullptr;

}  // namespace

void UseOperationKeys(OperationKeyStore* store) { g_store = store; }

OperationKeyStore* OperationKeys() { return g_store; }

}  // namespace ruvo
