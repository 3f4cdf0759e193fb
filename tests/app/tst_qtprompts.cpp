// The program's own prompts: file-dialog filters as Qt reads them.
#include "common/ui_qtprompts.h"

#include <QTest>

class TestQtPrompts : public QObject
{
    Q_OBJECT
private slots:
    void filters()
    {
        // "All files" must offer names without a dot too.
        QCOMPARE(qtFileFilter("Video Files |*.*"), QStringLiteral("Video Files (*)"));
        QCOMPARE(qtFileFilter("Vidlark Web Video Encoder Profile|*.vlp"),
                 QStringLiteral("Vidlark Web Video Encoder Profile (*.vlp)"));
        QCOMPARE(qtFileFilter("Mp4 Video File|*.mp4;.m4v;f4v"), QStringLiteral("Mp4 Video File (*.mp4 *.m4v *.f4v)"));
        QCOMPARE(qtFileFilter("Supported Image Files (*.png;*.jpg)|*.png;*.jpg|PNG (*.png)|*.png|Jpeg (*.jpg)|*.jpg"),
                 QStringLiteral("Supported Image Files (*.png *.jpg);;PNG (*.png);;Jpeg (*.jpg)"));
    }
};

QTEST_GUILESS_MAIN(TestQtPrompts)
#include "tst_qtprompts.moc"
