#include "WindowFixture.h"

#include "app/Form1.h"
#include "base/ShellUtilities.h"

WindowFixture::WindowFixture() {
    SetProgramFolder(programFolder.path());
}

WindowFixture::~WindowFixture() {
    SetProgramFolder({});
}

std::unique_ptr<Form1> loadedWindow(const std::function<void(Form1&)>& prepare) {
    auto form = std::make_unique<Form1>();
    form->startupDraw = [] { return 1; };
    if (prepare)
        prepare(*form);
    form->Form_Load();
    return form;
}
