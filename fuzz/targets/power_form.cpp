// Any bytes through the power form payload's decoder.
#include "payload_target.h"

CORVALE_PAYLOAD_FUZZ_TARGET(PowerForm, Plain)
