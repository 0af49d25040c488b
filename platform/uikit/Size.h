#pragma once
// Forwarding header: geometry lives in platform/foundation (the archiver codes it).
#include "platform/foundation/Size.h"
