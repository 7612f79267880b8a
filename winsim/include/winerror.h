#pragma once

#include "winsim/errors.h"
