#include "numeric/TouchSpinEdit.h"
