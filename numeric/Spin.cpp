#include "numeric/Spin.h"
