#pragma once
#include <QDialog>

class QLabel;
class QTimer;
class QEventLoop;

// Borderless picture shown for a fixed time during start-up; clicks and keys
// do not shorten it.
class frmSplash : public QDialog
{
    Q_OBJECT
public:
    explicit frmSplash(int milliseconds = 2000, QWidget *parent = nullptr);

    QTimer *tmrSplash = nullptr;
    QLabel *imgSplash = nullptr;

    void reject() override {}
    // Shows the splash modally and returns when its time is up.
    void showModal();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void tmrSplash_Timer();
    bool m_done = false;
    QEventLoop *m_loop = nullptr;
};
