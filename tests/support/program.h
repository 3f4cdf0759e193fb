#pragma once
// The program as widget tests build it: scripted prompts, a private
// application folder, the windows' registry and the main window. Ending
// the program is counted instead of done; the splash is kept short.
#include "app/frmMain.h"
#include "app/ui_forms.h"
#include "support/fixture.h"

#include <memory>

class QComboBox;

struct TestProgram {
    ScriptedPrompts prompts;
    TestAppDir dir;
    Forms forms;
    int ended = 0;
    std::unique_ptr<frmMain> window;

    TestProgram();
    virtual ~TestProgram();
    TestProgram(const TestProgram &) = delete;
    TestProgram &operator=(const TestProgram &) = delete;
    bool start() { return window->Form_Load(); }
};

// The entries of a list, in order.
QStringList entries(const QComboBox *box);
