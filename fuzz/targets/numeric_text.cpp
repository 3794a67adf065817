// Any bytes through the numeric text payload's decoder.
#include "payload_target.h"

CORVALE_PAYLOAD_FUZZ_TARGET(NumericText, Plain)
