#include "core/formats.h"
