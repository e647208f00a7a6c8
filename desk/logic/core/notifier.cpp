// The notifier's moc output is built here.
#include "core/notifier.h"
