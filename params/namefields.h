#pragma once

#include "events/names.h"

// Where the parameter memory keeps the zone and user names, for the names download. Both the
// event list window and the command line read names with it.
NameFields moduleNameFields();
