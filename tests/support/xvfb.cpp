#include "support/xvfb.h"
