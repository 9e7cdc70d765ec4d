// tessary: the desktop program.
#include <QApplication>
#include <QIcon>

#include "base/Strings.h"
#include "platform/FileSystem.h"
#include "platform/StopSignals.h"
#include "ui/Resources.h"
#include "ui/TessaryApp.h"

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    ts::InstallStopSignals();
    QApplication::setApplicationName(QString::fromUtf8(ts::kAppName));
    ts::EnsureResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/res/tessary.png")));
    // The main window is hidden during a run and the splash window comes and goes before it
    // is shown: only closing the main window ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    ts::CTessaryApp app(ts::RealFileSystem());
    bool started = app.InitInstance(QApplication::arguments());
    int status = started ? qapp.exec() : 1;
    app.ExitInstance();
    return status;
}
