#pragma once
// The program as widget tests build it: scripted prompts, a private
// application folder, the shared Forms and a main window. Ending the program
// is counted instead of done, and the splash is kept short.
#include "app/frmMain.h"
#include "app/ui_forms.h"
#include "support/scriptedprompts.h"
#include "support/testappdir.h"

#include <QStringList>
#include <functional>
#include <memory>

class QComboBox;

struct TestProgram {
    ScriptedPrompts prompts;
    TestAppDir dir;
    Forms forms;
    int ended = 0; // how often the program was ended
    std::unique_ptr<frmMain> window;

    // With withMain false only Forms is made (for windows tested alone);
    // other prompts, when given, take the place of the scripted ones.
    explicit TestProgram(TestAppDir::Tools tools = TestAppDir::RealTools, bool withMain = true,
                         IPrompts *otherPrompts = nullptr);
    virtual ~TestProgram();
    TestProgram(const TestProgram &) = delete;
    TestProgram &operator=(const TestProgram &) = delete;

    // Start-up of the main window (Form_Load).
    bool start() { return window->Form_Load(); }
};

// The entries of a list, in order.
QStringList entries(const QComboBox *box);

// The number of the RuntimeError the call throws, 0 when it throws none.
int runtimeErrorOf(const std::function<void()> &call);

// Types of the top-level boxes of an MP4 file, in file order ("ftyp",
// "moov", "mdat", ...).
QStringList mp4TopLevelAtoms(const QString &path);
// True when the index (moov) stands before the media data (mdat).
bool moovBeforeMdat(const QString &path);
