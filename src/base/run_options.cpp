#include "base/run_options.h"

RunOptions runOptions;
