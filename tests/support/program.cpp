#include "support/program.h"

#include <QComboBox>

TestProgram::TestProgram() : forms(prompts, dir.path())
{
    forms.splashMilliseconds = 1;
    forms.endProgram = [this] { ++ended; };
    window = std::make_unique<frmMain>(forms);
}

TestProgram::~TestProgram() = default;

QStringList entries(const QComboBox *box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}
