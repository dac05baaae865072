#include "core/qtprompter.h"
