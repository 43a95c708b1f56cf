// The 3D engine.
#pragma once

#include "gen_bit.h"
#include "gen_coll.h"
#include "gen_coll_map.h"
#include "gen_frustum.h"
#include "gen_info.h"
#include "gen_light.h"
#include "gen_math.h"
#include "gen_matrix.h"
#include "gen_mgr2.h"
#include "gen_tex.h"
#include "gen_waf.h"
#include "gen_wo2.h"
#include "gen_wrap.h"
#include "gen_xv.h"
#include "gen_zone.h"
#include "xv_kb.h"
