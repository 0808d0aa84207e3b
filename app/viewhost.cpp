#include "viewhost.h"

std::function<QWidget*(TViewHost* host, int plane)> ViewFactory;
QString MessageCaption;
