#include "app/Form1.h"
#include "list/RecordStore.h"
#include "list/SelectionCommands.h"

using namespace SelectionCommands;

void Form1::PushButton4_Click() {
    checkAll(*this, QStringLiteral("in Brastovel2/19/201512/22/2014.Form1.PushButton4_Click "));
}

void Form1::PushButton6_Click() {
    uncheckAll(*this, QStringLiteral("in Brastovel2/19/201512/22/2014.Form1.PushButton6_Click "));
}

void Form1::PushButton3_Click() {
    clearList(*this, QStringLiteral("in Brastovel2/19/201512/4/2014.Form1.PushButton3_Click "));
    // No row is left to read a body from: the stored bodies go with the rows.
    messageRecords().recreate(0);
}

void Form1::PushButton9_Click() {
    checkMatching(*this, Search::Containing,
                  QStringLiteral("in Brastovel2/19/2015.Form1.PushButton9_Click "));
}

void Form1::PushButton11_Click() {
    checkMatching(*this, Search::NotContaining,
                  QStringLiteral("in Brastovel2/19/2015.Form1.PushButton11_Click "));
}
