// Any bytes through the binary numeric payload's decoder.
#include "payload_target.h"

CORVALE_PAYLOAD_FUZZ_TARGET(BinaryNumeric, Plain)
