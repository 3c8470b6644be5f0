#include "numeric/TouchSpinPanel.h"
