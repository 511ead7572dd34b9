#include "settings/settings.h"

settings_record settings;
