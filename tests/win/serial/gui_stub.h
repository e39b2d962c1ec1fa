#pragma once

#include "platform/gui.h"

#include <string>
#include <vector>

std::vector<std::string> stubPortList();
