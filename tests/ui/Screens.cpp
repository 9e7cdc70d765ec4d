// Renders every window of the desktop program into PNG files, so that they can be reviewed
// without a display:  QT_QPA_PLATFORM=offscreen build/tessary-screens build/screens
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <cstdio>

#include "base/RunContext.h"
#include "base/RunSettings.h"
#include "base/Strings.h"
#include "driver/TessaryDoc.h"
#include "platform/FileSystem.h"
#include "site/DirXpNode.h"
#include "site/LineEnds.h"
#include "site/VerifyLists.h"
#include "support/MakeNode.h"
#include "support/TempDir.h"
#include "ui/EditorDlg.h"
#include "ui/ListCtrlEx.h"
#include "ui/MainFrame.h"
#include "ui/ProgDlg.h"
#include "ui/QtRunUi.h"
#include "ui/ReadOnlyDlg.h"
#include "ui/RenameDlg.h"
#include "ui/SplashWnd.h"
#include "ui/TessaryApp.h"
#include "ui/TessaryView.h"
#include "ui/VerAsciiDlg.h"
#include "ui/VerDlg.h"
#include "ui/WizardSheet.h"
#include "ui/support/UiTestSupport.h"

namespace {

QDir g_out;
bool g_ok = true;

void Save(QWidget* w, const char* name) {
    QString path = g_out.filePath(QString::fromLatin1(name));
    if (!w->grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        g_ok = false;
        return;
    }
    std::printf("%s (%dx%d)\n", qPrintable(path), w->width(), w->height());
}

// A small site to run on.
std::string MakeSite(const ts::test::CTempDir& dir) {
    dir.Write("site/index.html",
              "<html><head><title>Home</title></head>\n<body>\n<a href=\"about.html\">About</a>\n"
              "<img src=\"images/logo.gif\">\n<a href=\"http://example.org/\">Example</a>\n"
              "</body></html>\n");
    dir.Write("site/about.html", "<html><body><a href=\"index.html\">Home</a></body></html>\n");
    dir.Write("site/images/logo.gif", "GIF89a");
    dir.Write("site/notes.txt", "Some notes\n");
    return dir / "site";
}

}  // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    g_out.setPath(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("build/screens"));
    g_out.mkpath(QStringLiteral("."));

    ts::test::CTempDir tmp;
    std::string site = MakeSite(tmp);
    qputenv("TESSARY_PROFILE", QByteArray::fromStdString(tmp / "tessary.ini"));
    tmp.Write("tessary.ini", "[Settings]\nDirectory=" + site + "\nTarget=1\nAutoFileName=1\n" +
                                 "[HTMLSettings]\nHomePage=" + site + "/index.html\n");
    ts::CTessaryApp::s_nSplashTimeoutMs = 1;
    ts::CProgDlg::s_nPauseMs = 0;

    {
        ts::CSplashWnd splash(false);
        splash.show();
        Save(&splash, "splash.png");
    }
    {
        ts::CSplashWnd about(true);
        about.show();
        Save(&about, "about.png");
    }
    {
        ts::CProgDlg dlg;
        dlg.Reset(0, 40, 0, 1);
        dlg.ShowWithCaption(QStringLiteral("Renaming Files"));
        for (int i = 0; i < 17; ++i)
            dlg.SetFile(QStringLiteral("/home/user/sites/holiday/photos/2024/summer/IMG_%1.JPG")
                            .arg(i + 1000));
        dlg.SetDirectory(QStringLiteral(
            "/home/user/sites/holiday/photos/2024/summer/a rather long directory name indeed"));
        Save(&dlg, "progress.png");
    }
    {
        ts::EditorOptions options;
        options.strEditor = "/usr/bin/gedit";
        options.strReportName = site + "/REPORT_2.TSY";
        ts::CEditorDlg dlg(options);
        dlg.show();
        Save(&dlg, "external-editor.png");
    }
    {
        // Every page of the wizard, as a renaming run on the sample site would show them.
        std::string sample = ts::test::CopySampleSite(tmp, "sample");
        ts::RunSettings settings;
        settings.Directory = sample;
        settings.HomePage = sample + "/index.html";
        settings.Target = ts::TFS_DOS_FAT;
        settings.LineEnd = ts::LE_UNIX;
        settings.Rename = true;
        settings.LogSubdirs = true;
        ts::CWizardSheet sheet(ts::RealFileSystem());
        ts::LoadPages(sheet.Values(), settings);
        sheet.show();
        const char* names[ts::PAGE_COUNT] = {"intro",     "target",       "line-ends", "check-urls",
                                             "rename",    "prompt",       "read-only", "directory",
                                             "home-page", "report-links", "summary"};
        for (int i = 0; i < ts::PAGE_COUNT; ++i) {
            sheet.SetActivePage(i);
            QApplication::processEvents();
            Save(&sheet, QStringLiteral("wizard-%1-%2.png")
                             .arg(i + 1, 2, 10, QLatin1Char('0'))
                             .arg(QString::fromLatin1(names[i]))
                             .toLatin1()
                             .constData());
        }
        sheet.hide();

        // The verification lists and the prompts, filled from the sample site.
        ts::CQtRunUi ui;
        ts::CRunContext ctx(ts::RealFileSystem(), ui);
        ts::CDirXpNode top = ts::test::MakeRunDir(ctx, sample);
        top.Scan(true, nullptr, false);
        bool autoNames = true;
        top.ForEach(
            [&](ts::CFileNode& node, bool& cancel) {
                return node.CheckName(ts::TFS_DOS_FAT, &autoNames, ts::WEB_EXT_WINDOWS, &cancel)
                           ? 1
                           : 0;
            },
            "Validating Filenames");
        {
            ts::CVerifyNameList list(top, ts::TFS_DOS_FAT);
            ts::CVerDlg dlg(list, true);
            dlg.List()->ToggleCheck(1);
            dlg.List()->SelectRow(3);
            dlg.show();
            QApplication::processEvents();
            Save(&dlg, "verify-filenames.png");
        }
        {
            ts::CFileNode* node = top.SiteMap().Lookup(sample + "/My Page.html");
            ts::CRenameDlg dlg(node, ts::TFS_DOS_FAT, true);
            dlg.show();
            QApplication::processEvents();
            Save(&dlg, "rename-file.png");
            ts::CRenameDlg edit(node, ts::TFS_DOS_FAT, false);
            edit.show();
            QApplication::processEvents();
            Save(&edit, "rename-file-edit.png");
        }
        top.ForEach(
            [&](ts::CFileNode& node, bool&) { return ts::MarkLineEnd(node, ts::LE_UNIX) ? 1 : 0; },
            "Searching for ASCII Files");
        {
            ts::CVerAsciiDlg dlg(top.m_strPath, ts::LineEndRows(top));
            dlg.List()->ToggleCheck(0);
            dlg.show();
            QApplication::processEvents();
            Save(&dlg, "verify-line-ends.png");
        }
        {
            ts::CReadOnlyDlg dlg;
            dlg.SetText(QString::fromStdString(
                ts::FormatMessage(ts::IDS_READ_ONLY_QUESTION, sample + "/News/spring.html")));
            dlg.show();
            QApplication::processEvents();
            Save(&dlg, "read-only-file.png");
        }
    }
    {
        // The first run clicks through the wizard with the stored settings.
        ts::test::CModalHand hand(ts::test::FinishWizardHandler());
        ts::CTessaryApp app(ts::RealFileSystem());
        if (!app.InitInstance(QApplication::arguments().mid(0, 1))) return 1;
        ts::CMainFrame* frame = app.Frame();
        frame->resize(900, 620);
        QApplication::processEvents();
        Save(frame, "main-window.png");
        QMenu* file = frame->FileMenu();
        file->popup(frame->mapToGlobal(QPoint(0, frame->menuBar()->height())));
        QApplication::processEvents();
        Save(file, "file-menu.png");
        file->hide();
    }
    return g_ok ? 0 : 1;
}
