#pragma once

// The whole operating-system layer.
#include "common/os/OsEvent.h"
#include "common/os/OsMutex.h"
#include "common/os/OsSharedMemory.h"
#include "common/os/OsStatus.h"
#include "common/os/OsThread.h"
#include "common/os/OsTime.h"
