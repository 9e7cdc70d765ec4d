// The progress dialog during walks: its caption, Cancel, and pauses that keep events running.
#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "base/RunContext.h"
#include "platform/FileSystem.h"
#include "site/DirXpNode.h"
#include "support/MakeNode.h"
#include "ui/ProgDlg.h"
#include "ui/QtRunUi.h"
#include "ui/support/UiTestSupport.h"

using namespace ts;
using namespace ts::test;

class TestProgress : public QObject {
    Q_OBJECT
private slots:
    void captionCarriesTheNameOnceInEveryWalk() {
        CUiTestEnv env;
        CTempDir site;
        site.Write("a.txt", "a");
        site.Write("b.txt", "b");
        site.Write("sub/c.txt", "c");
        CQtRunUi ui;
        CRunContext ctx(RealFileSystem(), ui);
        CDirXpNode top = test::MakeRunDir(ctx, site.Path());
        QCOMPARE(top.Scan(true, nullptr, false), 4);
        CProgDlg* dlg = ui.ProgressDialog();
        QVERIFY(dlg);
        QCOMPARE(dlg->windowTitle(), QStringLiteral("Tessary: Scanning Files"));
        QVERIFY(!dlg->isVisible());

        // Every walk visits the top directory and the 4 entries below it.
        for (const char* pass : {"Validating Filenames", "Renaming Files", "Scanning Files"}) {
            QStringList seen;
            int n = top.ForEach(
                [&](CFileNode&, bool&) {
                    seen << QStringLiteral("%1 %2").arg(dlg->windowTitle()).arg(dlg->isVisible());
                    return 1;
                },
                pass);
            QCOMPARE(n, 5);
            QCOMPARE(seen.size(), 5);
            for (const QString& s : seen)
                QCOMPARE(s, QStringLiteral("Tessary: %1 1").arg(QString::fromLatin1(pass)));
            // The bar went through every entry; the dialog is hidden between walks.
            QCOMPARE(dlg->Bar()->maximum(), 5);
            QCOMPARE(dlg->Bar()->value(), 5);
            QVERIFY(!dlg->isVisible());
        }
    }

    void cancelEndsTheWalkBeforeTheNextNode() {
        CUiTestEnv env;
        CTempDir site;
        for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"})
            site.Write(name, "x");
        CQtRunUi ui;
        CRunContext ctx(RealFileSystem(), ui);
        CDirXpNode top = test::MakeRunDir(ctx, site.Path());
        QCOMPARE(top.Scan(true, nullptr, false), 5);

        QStringList calls;
        bool hiddenAtOnce = false;
        int n = top.ForEach(
            [&](CFileNode& node, bool& cancel) {
                calls
                    << QStringLiteral("%1 %2").arg(QString::fromStdString(node.Name())).arg(cancel);
                if (node.Name() == "b.txt") {
                    QTest::mouseClick(ui.ProgressDialog()->CancelButton(), Qt::LeftButton);
                    hiddenAtOnce = !ui.ProgressDialog()->isVisible();
                }
                return cancel ? 0 : 1;
            },
            "Validating Filenames");
        QCOMPARE(n, -1);
        QVERIFY(hiddenAtOnce);
        // The node being worked on finished; the walk noticed the cancel at the next node
        // and went no further.
        QString topName = QString::fromStdString(BaseName(site.Path()));
        QCOMPARE(calls, QStringList({topName + " 0", "a.txt 0", "b.txt 0", "c.txt 1"}));

        // The next walk starts afresh.
        calls.clear();
        QCOMPARE(top.ForEach([&](CFileNode&, bool&) { return 1; }, "Renaming Files"), 6);
        QVERIFY(!ui.ProgressDialog()->IsCancelled());
    }

    void pausesKeepEventsRunning() {
        CUiTestEnv env;
        CProgDlg::s_nPauseMs = 150;
        CTempDir site;
        CQtRunUi ui;
        CRunContext ctx(RealFileSystem(), ui);
        CDirXpNode top = test::MakeRunDir(ctx, site.Path());
        QCOMPARE(top.Scan(true, nullptr, false), 0);

        // A walk over an empty tree still shows the dialog for the two pauses, and a timer
        // fires while the first one lasts.
        bool fired = false;
        QTimer::singleShot(30, [&fired] { fired = true; });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(top.ForEach([](CFileNode&, bool&) { return 1; }, "Renaming Files"), 1);
        QVERIFY(clock.elapsed() >= 300);
        QVERIFY(fired);
    }
};

QTEST_MAIN(TestProgress)
#include "ProgressTest.moc"
