#pragma once
#include <QDialog>

class Forms;

// Placeholder until the watermark dialog is built.
class frmWatermarkOptions : public QDialog
{
    Q_OBJECT
public:
    explicit frmWatermarkOptions(Forms &forms, QWidget *parent = nullptr);

private:
    Forms &m_forms;
};
