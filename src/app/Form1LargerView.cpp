#include "app/Form1.h"
#include "list/LargerView.h"

void Form1::PushButton12_Click() {
    showListInLargerView(*this, this);
}
