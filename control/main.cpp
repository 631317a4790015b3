#include "control/control_window.h"

int main() { return RunControlWindow(); }
