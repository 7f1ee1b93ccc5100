#pragma once

#include "ScriptedPrompter.h"
#include "TemporarySettings.h"

#include <QTemporaryDir>

#include <functional>
#include <memory>

class Form1;

// What a test of the main window stands on: settings in a temporary folder, a ScriptedPrompter
// that records and answers the window's boxes, and a program folder of its own. Made in init()
// and dropped in cleanup(), it gives every test a fresh start.
struct WindowFixture {
    WindowFixture();
    ~WindowFixture();
    WindowFixture(const WindowFixture&) = delete;
    WindowFixture& operator=(const WindowFixture&) = delete;

    TemporarySettings settings;
    ScriptedPrompter prompter;
    QTemporaryDir programFolder;
};

// The main window as the program loads it, without the start-up draw's offer; prepare runs
// before Form_Load (to replace the mail component or adjust the sign-in).
std::unique_ptr<Form1> loadedWindow(const std::function<void(Form1&)>& prepare = {});
