// Helpers of the window tests: a private profile per test, short pauses, and a hand that
// answers the modal dialogs and message boxes a run shows.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "support/TempDir.h"

class QWidget;

namespace ts::test {

// Points TESSARY_PROFILE at a file in a fresh temporary directory and makes the splash
// window and the progress pauses short, for the lifetime of the object.
class CUiTestEnv {
public:
    CUiTestEnv();
    ~CUiTestEnv();
    const std::string& ProfilePath() const { return m_profile; }
    void WriteProfile(const std::string& text) const;
    std::string ReadProfile() const;

private:
    CTempDir m_dir;
    std::string m_profile;
    QByteArray m_oldProfile;
    int m_oldSplash;
    int m_oldPause;
};

// Answers every modal window that appears: the handler gets the window and closes it (by
// default each one is rejected). What was shown is recorded as "class: title: text".
class CModalHand : public QObject {
public:
    using Handler = std::function<void(QWidget*)>;
    explicit CModalHand(Handler handler = {});
    QStringList seen;

private:
    void Poll();
    Handler m_handler;
    QTimer m_timer;
};

// Copies the bundled sample site into dir/name and returns the copy's path.
std::string CopySampleSite(const CTempDir& dir, const std::string& name = "site");

// One step of the setup wizard with the mouse: Next, or Finish on the last page. False when w
// is not the wizard.
bool AdvanceWizard(QWidget* w);
// A hand for runs whose stored settings are fine as they are: it clicks through the wizard
// and rejects every other window.
CModalHand::Handler FinishWizardHandler();

}  // namespace ts::test
