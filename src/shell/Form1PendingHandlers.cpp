#include "shell/Form1.h"

// Commands of the main window whose subsystems have not written them yet.

void Form1::PushButton12_Click() {}
