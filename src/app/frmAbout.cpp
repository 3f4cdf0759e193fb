#include "app/frmAbout.h"

#include "app/weblinks.h"
#include "common/prompts.h"
#include "common/ui_controls.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

static LinkLabel *makeLink(QWidget *parent, const char *name, const QString &url, const QString &tip)
{
    auto *link = new LinkLabel(parent);
    link->setObjectName(QLatin1String(name));
    link->setText(url);
    link->setStyleSheet(QStringLiteral("color: blue; text-decoration: underline;"));
    ui::describe(link, tip, url);
    return link;
}

frmAbout::frmAbout(IPrompts &prompts, QWidget *parent) : QDialog(parent), m_prompts(prompts)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("Vidlark Web Video Encoder ver 4 build 0.0.4 Revision 26"));
    setFont(ui::standardFont());

    imgAbout = ui::named(new QLabel(this), "imgAbout");
    imgAbout->setPixmap(QPixmap(QStringLiteral(":/vidlark/icon.png")));
    imgAbout->setAccessibleName(QStringLiteral("Vidlark icon"));
    imgSplash = ui::named(new QLabel(this), "imgSplash");
    imgSplash->setPixmap(QPixmap(QStringLiteral(":/vidlark/splash.jpg")));
    imgSplash->setAccessibleName(QStringLiteral("Vidlark Web Video Encoder 4"));

    Frame1 = ui::named(new QGroupBox(this), "Frame1");
    lblUses = ui::named(new QLabel(QStringLiteral("Vidlark Web Vdeo Encoder uses FFMPEG and QT-FS"), Frame1),
                        "lblUses", QStringLiteral(" Yes we love them! "));
    lblWebsite = ui::named(new QLabel(QStringLiteral("Website:"), Frame1), "lblWebsite");
    lblVidlark = makeLink(Frame1, "lblVidlark", weblinks::home, QStringLiteral(" Visit Website "));
    lblSupport = ui::named(new QLabel(QStringLiteral("Support:"), Frame1), "lblSupport");
    lblVidlarkSupport =
        makeLink(Frame1, "lblVidlarkSupport", weblinks::support, QStringLiteral(" Vidlark Support "));
    lblOther = ui::named(new QLabel(QStringLiteral("Contact:"), Frame1), "lblOther");
    lblVidlarkContact =
        makeLink(Frame1, "lblVidlarkContact", weblinks::contact, QStringLiteral(" Contact Vidlark "));

    auto *grid = new QGridLayout(Frame1);
    grid->addWidget(lblUses, 0, 0, 1, 2);
    grid->addWidget(lblWebsite, 1, 0);
    grid->addWidget(lblVidlark, 1, 1);
    grid->addWidget(lblSupport, 2, 0);
    grid->addWidget(lblVidlarkSupport, 2, 1);
    grid->addWidget(lblOther, 3, 0);
    grid->addWidget(lblVidlarkContact, 3, 1);
    grid->setColumnStretch(1, 1);

    cmdOk = ui::named(new QPushButton(QStringLiteral("&OK"), this), "cmdOk",
                      QStringLiteral(" Close this window "));
    cmdOk->setDefault(true);

    auto *top = new QHBoxLayout;
    top->addWidget(imgAbout, 0, Qt::AlignTop);
    top->addWidget(imgSplash);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(cmdOk);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Frame1);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(lblVidlark, &LinkLabel::clicked, this, &frmAbout::lblVidlark_Click);
    connect(lblVidlarkSupport, &LinkLabel::clicked, this, &frmAbout::lblVidlarkSupport_Click);
    connect(lblVidlarkContact, &LinkLabel::clicked, this, &frmAbout::lblVidlarkContact_Click);
    // Esc presses OK: QDialog's reject closes it the same way.
    connect(cmdOk, &QPushButton::clicked, this, &frmAbout::cmdOk_Click);
}

void frmAbout::lblVidlark_Click()
{
    m_prompts.openUrl(weblinks::home);
}
void frmAbout::lblVidlarkSupport_Click()
{
    m_prompts.openUrl(weblinks::support);
}
void frmAbout::lblVidlarkContact_Click()
{
    m_prompts.openUrl(weblinks::contact);
}
void frmAbout::cmdOk_Click()
{
    accept();
}
