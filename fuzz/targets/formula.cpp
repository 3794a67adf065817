// Any bytes through the formula payload's decoder.
#include "payload_target.h"

CORVALE_PAYLOAD_FUZZ_TARGET(Formula, Plain)
