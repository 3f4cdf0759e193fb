#pragma once
#include <QDialog>

class QGroupBox;
class QLabel;
class QPushButton;
class LinkLabel;
class IPrompts;

// The about box: loaded fresh each time it is opened.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(IPrompts &prompts, QWidget *parent = nullptr);

    QLabel *imgAbout = nullptr;
    QLabel *imgSplash = nullptr;
    QGroupBox *Frame1 = nullptr;
    QLabel *lblUses = nullptr;
    QLabel *lblWebsite = nullptr;
    LinkLabel *lblVidlark = nullptr;
    QLabel *lblSupport = nullptr;
    LinkLabel *lblVidlarkSupport = nullptr;
    QLabel *lblOther = nullptr;
    LinkLabel *lblVidlarkContact = nullptr;
    QPushButton *cmdOk = nullptr;

    void lblVidlark_Click();
    void lblVidlarkSupport_Click();
    void lblVidlarkContact_Click();
    void cmdOk_Click();

private:
    IPrompts &m_prompts;
};
