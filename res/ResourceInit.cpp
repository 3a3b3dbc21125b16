#include "res/ResourceInit.h"

#include <QtCore/QDir>

void InitFernwickResources() { Q_INIT_RESOURCE(fernwick_res); }
