#include "core/MethodRegistry.h"
