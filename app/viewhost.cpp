// Storage of the view contract's process-wide values.
#include "viewhost.h"

std::function<QWidget*(TViewHost* host, int plane)> ViewFactory;
QString MessageCaption;
