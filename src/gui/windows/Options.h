#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class TSignIn;
struct TShutdownFlags;

// The client's own settings beyond the tray's: the answers kept for the
// sites' questions (permissions, certificates, sign-ins), each of which the
// user can take back, and the proxy. Not modal; it reads config.ini each
// time it is shown.
class TFormOptions : public QWidget
{
    Q_OBJECT

public:
    // signIn: whose kept sign-ins are listed; none leaves the list empty.
    TFormOptions(const QString& configPath, TSignIn* signIn, QWidget* parent);

    // Reads the kept answers again and brings the window up in front.
    void ShowAndRaise();

    QTreeWidget* ListPermissions = nullptr;
    QPushButton* ButtonForgetPermission = nullptr;
    QPushButton* ButtonForgetAllPermissions = nullptr;
    QTreeWidget* ListCertificates = nullptr;
    QPushButton* ButtonForgetCertificate = nullptr;
    QTreeWidget* ListSignIns = nullptr;
    QPushButton* ButtonForgetSignIn = nullptr;
    QButtonGroup* GroupProxyMode = nullptr; // ids: the proxy modes
    QLineEdit* EditProxyServer = nullptr;
    QLineEdit* EditProxyBypass = nullptr;
    QLineEdit* EditPacUrl = nullptr;
    QPushButton* ButtonSaveProxy = nullptr;
    QLabel* LabelProxyLocked = nullptr; // shown when the administrator fixed the proxy
    QPlainTextEdit* TextDiagnostics = nullptr;
    QPushButton* ButtonCopyDiagnostics = nullptr;

    // The engine's line of the diagnostic report.
    void SetEngineVersion(const QString& version) { FEngineVersion = version; }
    // Puts the diagnostic report on the clipboard.
    void ButtonCopyDiagnosticsClick();

    void ButtonForgetPermissionClick();
    void ButtonForgetAllPermissionsClick();
    void ButtonForgetCertificateClick();
    void ButtonForgetSignInClick();
    // Stores the proxy (used from the next start); says what is missing.
    void ButtonSaveProxyClick();

private:
    QWidget* NewProxyPage();
    QWidget* NewDiagnosticsPage();
    void FillPermissions();
    void FillCertificates();
    void FillSignIns();
    void FillProxy();
    void ProxyModeChanged();
    // Runs a config.ini change; false, after saying so, when it failed.
    bool Store(const std::function<void()>& change);
    // Takes back each kept answer; false, after saying so, when one could not be.
    bool ForgetEach(const QStringList& keys, const std::function<void(const QString&)>& forget);

    QString FConfigPath;
    TSignIn* FSignIn = nullptr;
    QTabWidget* FTabs = nullptr;
    QString FEngineVersion;
};

// Opens the options window, one at a time (Ctrl+,).
class TOptionsWindow : public QObject
{
    Q_OBJECT

public:
    TOptionsWindow(QWidget& owner, const QString& configPath, const TShutdownFlags& flags, QObject* parent = nullptr);

    void Show();
    TFormOptions* Window() const { return FWindow; }
    void SetSignIn(TSignIn* signIn) { FSignIn = signIn; }
    void SetEngineVersion(const QString& version) { FEngineVersion = version; }

private:
    QWidget& FOwner;
    QString FConfigPath;
    TSignIn* FSignIn = nullptr;
    QString FEngineVersion;
    const TShutdownFlags& FFlags;
    QPointer<TFormOptions> FWindow;
};
