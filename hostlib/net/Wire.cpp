#include "net/Wire.h"
