/* Compiles the interface headers as C11. */
#include "vellora_sdk.h"
