#include "shell/Form1.h"

// Commands of the main window whose subsystems have not written them yet.

void Form1::PushButton3_Click() {}
void Form1::PushButton4_Click() {}
void Form1::PushButton6_Click() {}
void Form1::PushButton9_Click() {}
void Form1::PushButton11_Click() {}
void Form1::PushButton12_Click() {}
void Form1::oMail_MailExtractListing(const QString&, const QString&, const QString&, const QString&,
                                     const QString&, const QString&, const QString&, qint32) {}
void Form1::ListView1_ItemCheck(int) {}
void Form1::UpdateCounters(bool) {}
qint32 Form1::CountChecked() {
    return 0;
}
