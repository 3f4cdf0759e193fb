#include "process/frmProgress.h"

#include "common/prompts.h"
#include "common/ui_controls.h"
#include "process/mdlKillProcess.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// Swallows the user's input to every window of the program.
class InputBlock : public QObject
{
public:
    explicit InputBlock(QObject *parent) : QObject(parent)
    {
        qApp->installEventFilter(this);
        QApplication::setOverrideCursor(Qt::BusyCursor);
    }
    ~InputBlock() override
    {
        qApp->removeEventFilter(this);
        QApplication::restoreOverrideCursor();
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::Drop:
        case QEvent::Close: event->ignore(); return true;
        default: return false;
        }
    }
};

const QString kTarget = QStringLiteral("ffmpeg");
// A display frame: the console box is never repainted more often.
constexpr int kFrameMs = 16;

// Courier New 9 pt, or the desktop's fixed-pitch font where it is missing.
QFont consoleFont()
{
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSizeF(9.0);
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSizeF(9.0);
    }
    return font;
}

CaptionLabel *pathLabel(QWidget *parent, const char *name, const QString &caption)
{
    auto *label = new CaptionLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // A long path is cut at the edge; the tooltip carries all of it.
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    label->setMargin(2);
    label->setCaption(caption);
    label->setMinimumHeight(label->sizeHint().height());
    return label;
}

} // namespace

frmProgress::frmProgress(IPrompts &prompts, const QString &appFolder, QWidget *parent)
    : QDialog(parent), m_prompts(prompts), m_appFolder(appFolder)
{
    setObjectName(QStringLiteral("frmProgress"));
    // No title text, and a frame without a close box or any other button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint);
    setWindowTitle(QString());
    setFont(ui::standardFont());
    setAccessibleName(QStringLiteral("Encoding progress"));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1500);
    connect(Timer1, &QTimer::timeout, this, &frmProgress::Timer1_Timer);

    m_paintTimer = new QTimer(this);
    m_paintTimer->setSingleShot(true);
    connect(m_paintTimer, &QTimer::timeout, this, &frmProgress::paintNow);

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    lblEncodingFrom = pathLabel(Frame1, "lblEncodingFrom", QStringLiteral("Encoding "));
    lblEncodingTo = pathLabel(Frame1, "lblEncodingTo", QStringLiteral("To "));

    txtDOS = new QPlainTextEdit(Frame1);
    txtDOS->setObjectName(QStringLiteral("txtDOS"));
    txtDOS->setReadOnly(true);
    txtDOS->setFont(consoleFont());
    QPalette palette = txtDOS->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, Qt::black);
        palette.setColor(group, QPalette::Text, QColor(0, 192, 0));
    }
    txtDOS->setPalette(palette);
    txtDOS->setFixedSize(600, 280);
    ui::describe(txtDOS, QStringLiteral(" Encoder status "), QStringLiteral("Encoder output"));

    prgEncoding = new QProgressBar(Frame1);
    prgEncoding->setObjectName(QStringLiteral("prgEncoding"));
    prgEncoding->setTextVisible(false);
    prgEncoding->setAccessibleName(QStringLiteral("Encoding progress"));
    lblTimeLeft = new QLabel(Frame1);
    lblTimeLeft->setObjectName(QStringLiteral("lblTimeLeft"));
    lblTimeLeft->setAccessibleName(QStringLiteral("Time"));
    m_clockTimer = new QTimer(this);
    m_clockTimer->setInterval(250);
    connect(m_clockTimer, &QTimer::timeout, this, &frmProgress::updateProgress);

    cmdCancel = new QPushButton(QStringLiteral("&Cancel Encoding"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    ui::describe(cmdCancel, QStringLiteral(" Cancel encoding "));
    cmdCancel->setAutoDefault(false);
    connect(cmdCancel, &QPushButton::clicked, this, &frmProgress::cmdCancel_Click);

    auto *frameLayout = new QVBoxLayout(Frame1);
    frameLayout->addWidget(lblEncodingFrom);
    frameLayout->addWidget(lblEncodingTo);
    frameLayout->addWidget(txtDOS);
    frameLayout->addWidget(prgEncoding);
    frameLayout->addWidget(lblTimeLeft);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

frmProgress::~frmProgress() = default;

mdlDOSPipe::RunResult frmProgress::showModal(const ToolRun &run)
{
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
    runTool(run);
    return m_result;
}

void frmProgress::runTool(const ToolRun &run)
{
    if (!Timer1->isActive())
        Timer1->start();
    m_result = {};
    if (run.isEncoder()) {
        lblEncodingFrom->setCaption(QStringLiteral(" Encoding ") + run.source);
        lblEncodingTo->setCaption(QStringLiteral(" To ") + run.output);
    }
    ui::describe(lblEncodingFrom, lblEncodingFrom->caption());
    ui::describe(lblEncodingTo, lblEncodingTo->caption());

    // The window stays alive for the whole run, even when a cancel unloads
    // it: its deletion waits until the runner has returned (see event()).
    m_running = true;
    startProgress(run.isEncoder());
    mdlDOSPipe::RunResult result = mdlDOSPipe::ExecuteApp(
        run.commandLine, m_appFolder,
        [this](const QString &text, const QByteArray &bytes, const ProgressParser &report) {
            appendOutput(text);
            // The figures as they arrive, before the timer clears the box.
            m_parser = report;
            updateProgress();
            emit outputReceived(bytes, text);
        });
    // A confirmed cancel has marked the run meanwhile.
    result.cancelled = m_result.cancelled;
    m_result = result;
    if (m_result.startFailure != mdlDOSPipe::StartFailure::None)
        m_prompts.error(mdlDOSPipe::startFailureText(m_result.startFailure));
    txtDOS->clear();
    m_running = false;
    m_clockTimer->stop();
    delete m_inputBlock;
    m_inputBlock = nullptr;

    mdlKillProcess::KillProcess(kTarget);
    hide();
    if (m_deleteAfterRun)
        deleteLater();
}

void frmProgress::startProgress(bool encoder)
{
    m_parser.reset();
    m_progress.start();
    // The encoders tell how far they are; the still image and the faststart
    // tool only show that something is happening.
    m_showsTime = encoder;
    prgEncoding->setRange(0, 0);
    lblTimeLeft->setVisible(m_showsTime);
    lblTimeLeft->setText(progressLine(ProgressFigures()));
    if (m_showsTime)
        m_clockTimer->start();
}

void frmProgress::updateProgress()
{
    if (!m_showsTime)
        return;
    ProgressFigures figures = m_progress.update(m_parser);
    if (figures.fraction) {
        prgEncoding->setRange(0, 1000);
        prgEncoding->setValue(int(*figures.fraction * 1000));
    } else {
        // Busy until the encoder tells how far it is; the speed comes with
        // the share done.
        prgEncoding->setRange(0, 0);
        figures.speed.reset();
    }
    lblTimeLeft->setText(progressLine(figures));
}

void frmProgress::blockInputUntilRunEnds()
{
    if (!m_inputBlock)
        m_inputBlock = new InputBlock(this);
}

void frmProgress::Timer1_Timer()
{
    txtDOS->setPlainText(QString());
}

void frmProgress::cmdCancel_Click()
{
    if (m_prompts.question(QStringLiteral("CANCEL ENCODING?")) != vbYes)
        return;
    mdlKillProcess::KillProcess(kTarget);
    m_result.cancelled = true;
    Timer1->stop();
    m_clockTimer->stop();
    if (m_running)
        blockInputUntilRunEnds();
    emit unloaded();
    hide();
    deleteLater();
}

void frmProgress::appendOutput(const QString &text)
{
    if (text.isEmpty())
        return;
    // The box shows line ends as line breaks; a CR LF pair cut between two
    // pieces makes one break, as it does within a piece.
    QStringView piece(text);
    if (m_lastWasCR && piece.startsWith(QLatin1Char('\n')))
        piece = piece.mid(1);
    m_lastWasCR = text.endsWith(QLatin1Char('\r'));
    if (piece.isEmpty())
        return;
    QTextCursor cursor(txtDOS->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(piece.toString());
}

void frmProgress::closeEvent(QCloseEvent *event)
{
    // Neither the window frame nor Alt+F4 closes the window.
    event->ignore();
}

void frmProgress::reject()
{
    cmdCancel->click();
}

void frmProgress::paintNow()
{
    m_lastPaint.restart();
    QEvent update(QEvent::UpdateRequest);
    QDialog::event(&update);
}

bool frmProgress::event(QEvent *event)
{
    if (event->type() == QEvent::UpdateRequest && (m_running || m_paintTimer->isActive())) {
        // The runner turns the event loop after every piece of output; a
        // fast tool would spend its time waiting for repaints nobody can
        // see. The text is always current; the window shows it once a frame.
        if (m_paintTimer->isActive())
            return true;
        if (m_lastPaint.isValid() && m_lastPaint.elapsed() < kFrameMs) {
            m_paintTimer->start(int(kFrameMs - m_lastPaint.elapsed()));
            return true;
        }
        m_lastPaint.restart();
        return QDialog::event(event);
    }
    if (event->type() == QEvent::DeferredDelete && m_running) {
        // Unloaded by a cancel while the runner is still on the call stack
        // in Form_Activate: delete once the run has returned.
        m_deleteAfterRun = true;
        return true;
    }
    return QDialog::event(event);
}

ProgressWindowRunner::ProgressWindowRunner(IPrompts &prompts, const QString &appFolder)
    : m_prompts(prompts), m_appFolder(appFolder)
{
}

frmProgress &ProgressWindowRunner::window()
{
    return m_window.get([this] { return new frmProgress(m_prompts, m_appFolder); });
}

mdlDOSPipe::RunResult ProgressWindowRunner::run(const ToolRun &run)
{
    return window().showModal(run);
}
