// The progress dialog of every walk: the pass as its caption, the directory and the file being
// worked on, a bar, and Cancel. The program has one thread, so the dialog also keeps the
// windows alive: each new directory lets queued events run, and answers with the cancel flag.
#pragma once

#include <QDialog>
#include <QElapsedTimer>

class QLabel;
class QProgressBar;
class QPushButton;

namespace ts {

class CElidedLabel;

class CProgDlg : public QDialog {
    Q_OBJECT
public:
    explicit CProgDlg(QWidget* parent = nullptr);

    // Clears the cancel flag and both fields, and sets the bar's range, position and step.
    void Reset(int low, int high, int pos, int step);
    // Shows a file and steps the bar.
    void SetFile(const QString& path);
    // Shows a directory, lets queued events run, and returns the cancel flag.
    int SetDirectory(const QString& path);

    // Shows the dialog captioned with the pass's progress text (the application's name in
    // front, once) and paints it at once.
    void ShowWithCaption(const QString& progressText);
    // The pause before a walk shows the dialog and before it hides it; events keep running.
    static void Pause();
    static int s_nPauseMs;

    bool IsCancelled() const { return m_nCancelled != 0; }
    QPushButton* CancelButton() const { return m_pCancel; }
    QString FileText() const;
    QString DirectoryText() const;
    QProgressBar* Bar() const { return m_pBar; }

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    CElidedLabel* m_pFile;
    CElidedLabel* m_pDirectory;
    QProgressBar* m_pBar;
    QPushButton* m_pCancel;
    int m_nCancelled = 0;
    int m_nStep = 1;
    QElapsedTimer m_sinceEvents;
};

// Waits ms milliseconds while events keep running.
void WaitWithEvents(int ms);

}  // namespace ts
