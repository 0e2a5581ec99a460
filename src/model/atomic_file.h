// Saving atomically lives with the lowest layer that writes files.
#pragma once

#include "images/atomic_file.h"
