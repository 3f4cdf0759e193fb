#include "process/frmProgress.h"

frmProgress::frmProgress(Forms &forms, QWidget *parent) : QDialog(parent), m_forms(forms)
{
}

void frmProgress::showModal()
{
}
