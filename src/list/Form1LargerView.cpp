#include "list/LargerView.h"
#include "shell/Form1.h"

void Form1::PushButton12_Click() {
    showListInLargerView(*this, this);
}
