#include "net/request/RQAutorotatingViewController.h"

namespace clipora {

bool RQAutorotatingViewController::shouldAutorotateToInterfaceOrientation(int) { return true; }

}  // namespace clipora
