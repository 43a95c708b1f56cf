// The 3D engine.
#pragma once

#include "gen_info.h"
