#include "app/frmSplash.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>

frmSplash::frmSplash(int milliseconds, QWidget *parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setAccessibleName(QStringLiteral("Vidlark Web Video Encoder"));
    setStyleSheet(QStringLiteral("QDialog { background: black; }"));
    imgSplash = new QLabel(this);
    imgSplash->setObjectName(QStringLiteral("imgSplash"));
    imgSplash->setPixmap(QPixmap(QStringLiteral(":/vidlark/splash.jpg")));
    imgSplash->setAccessibleName(QStringLiteral("Vidlark Web Video Encoder 4"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(imgSplash);
    setFixedSize(353, 200);

    tmrSplash = new QTimer(this);
    tmrSplash->setObjectName(QStringLiteral("tmrSplash"));
    tmrSplash->setSingleShot(true);
    tmrSplash->setInterval(milliseconds);
    connect(tmrSplash, &QTimer::timeout, this, &frmSplash::tmrSplash_Timer);
    // Form_Load: the timer runs from the moment the splash is loaded.
    tmrSplash->start();
}

void frmSplash::showModal()
{
    setWindowModality(Qt::ApplicationModal);
    show();
    // The time may be up while the window is still being shown.
    if (!m_done) {
        QEventLoop loop;
        m_loop = &loop;
        loop.exec(QEventLoop::DialogExec);
        m_loop = nullptr;
    }
    hide();
}

void frmSplash::tmrSplash_Timer()
{
    m_done = true;
    hide();
    if (m_loop)
        m_loop->quit();
}

void frmSplash::closeEvent(QCloseEvent *event)
{
    if (m_done)
        event->accept();
    else
        event->ignore();
}

void frmSplash::keyPressEvent(QKeyEvent *event)
{
    event->accept();
}
