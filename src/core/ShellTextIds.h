// Kept only until the store includes core/StringIds.h directly.
#pragma once

#include "core/StringIds.h"
