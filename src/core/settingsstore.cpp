#include "core/settingsstore.h"
