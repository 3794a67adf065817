// Any bytes through the log payload's decoder.
#include "payload_target.h"

CORVALE_PAYLOAD_FUZZ_TARGET(Log, Deflated)
