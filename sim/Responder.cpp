#include "sim/Responder.h"
