// Compiled for a 32-bit target by the test suite (syntax only): the static
// assertions in these headers pin the records that 32-bit hosts exchange with us.
#include "abi/pcm_source.h"
#include "abi/vst2.h"
