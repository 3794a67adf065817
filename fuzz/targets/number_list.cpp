// Any bytes through the number list payload's decoder.
#include "payload_target.h"

CORVALE_PAYLOAD_FUZZ_TARGET(NumberList, Deflated)
