// Any bytes through the table payload's decoder.
#include "payload_target.h"

CORVALE_PAYLOAD_FUZZ_TARGET(Table, Deflated)
