#include "core/prompter.h"
