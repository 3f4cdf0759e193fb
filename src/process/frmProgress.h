#pragma once
#include <QDialog>

class Forms;

// Placeholder until the progress window is built.
class frmProgress : public QDialog
{
    Q_OBJECT
public:
    explicit frmProgress(Forms &forms, QWidget *parent = nullptr);
    void showModal();

private:
    Forms &m_forms;
};
