// Any bytes through the number text payload's decoder.
#include "payload_target.h"

CORVALE_PAYLOAD_FUZZ_TARGET(NumberText, Deflated)
