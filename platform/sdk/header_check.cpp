// Compiles the interface headers as C++20.
#include "vellora_sdk.h"
