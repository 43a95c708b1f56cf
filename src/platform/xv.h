// The platform library: every service between the game and the machine.
#pragma once

#include "xv_bit.h"
#include "xv_dsp.h"
#include "xv_error.h"
#include "xv_flic.h"
#include "xv_font.h"
#include "xv_io.h"
#include "xv_io_ini.h"
#include "xv_list.h"
#include "xv_mem.h"
#include "xv_menu.h"
#include "xv_pal.h"
#include "xv_random.h"
#include "xv_snd.h"
#include "xv_str.h"
