#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class QPushButton;
class QTabWidget;
class QTreeWidget;
struct TShutdownFlags;

// The client's own settings beyond the tray's: the answers kept for the
// sites' questions (permissions, certificates), each of which the user can
// take back. Not modal; it reads config.ini each time it is shown.
class TFormOptions : public QWidget
{
    Q_OBJECT

public:
    TFormOptions(const QString& configPath, QWidget* parent);

    // Reads the kept answers again and brings the window up in front.
    void ShowAndRaise();

    QTreeWidget* ListPermissions = nullptr;
    QPushButton* ButtonForgetPermission = nullptr;
    QPushButton* ButtonForgetAllPermissions = nullptr;
    QTreeWidget* ListCertificates = nullptr;
    QPushButton* ButtonForgetCertificate = nullptr;

    void ButtonForgetPermissionClick();
    void ButtonForgetAllPermissionsClick();
    void ButtonForgetCertificateClick();

private:
    void FillPermissions();
    void FillCertificates();
    // Runs a config.ini change; false, after saying so, when it failed.
    bool Store(const std::function<void()>& change);

    QString FConfigPath;
    QTabWidget* FTabs = nullptr;
};

// Opens the options window, one at a time (Ctrl+,).
class TOptionsWindow : public QObject
{
    Q_OBJECT

public:
    TOptionsWindow(QWidget& owner, const QString& configPath, const TShutdownFlags& flags, QObject* parent = nullptr);

    void Show();
    TFormOptions* Window() const { return FWindow; }

private:
    QWidget& FOwner;
    QString FConfigPath;
    const TShutdownFlags& FFlags;
    QPointer<TFormOptions> FWindow;
};
