#include "storage/Storage.h"
