#include "windows/Options.h"

#include "config/ConfigFile.h"
#include "page/CertificatePolicy.h"
#include "page/PagePermissions.h"
#include "util/AppError.h"
#include "widgets/AppMessageBox.h"
#include "widgets/ShutdownFlags.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int MB_ICONSTOP = 0x10;
constexpr int KeyRole = Qt::UserRole;

QTreeWidget* NewList(QWidget* parent, const QStringList& columns)
{
    auto* list = new QTreeWidget(parent);
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setHeaderLabels(columns);
    list->header()->setStretchLastSection(true);
    list->header()->setMinimumSectionSize(90);
    list->header()->setDefaultSectionSize(150);
    return list;
}

// The keys of the selected rows, or of every row.
QStringList Keys(const QTreeWidget& list, bool selectedOnly)
{
    QStringList keys;
    for (int row = 0; row < list.topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = list.topLevelItem(row);
        if (!selectedOnly || item->isSelected())
            keys.append(item->data(0, KeyRole).toString());
    }
    return keys;
}

} // namespace

TFormOptions::TFormOptions(const QString& configPath, QWidget* parent)
    : QWidget(parent, Qt::Window), FConfigPath(configPath)
{
    setWindowTitle(QStringLiteral("高级设置"));
    resize(600, 380);
    FTabs = new QTabWidget(this);

    auto* permissions = new QWidget(FTabs);
    auto* permissionsNote = new QLabel(
        QStringLiteral("网站请求权限时您的回答会被记住。撤销后，网站下次请求时会重新询问"
                       "（已打开的页面在客户端重新启动后生效）。"),
        permissions);
    permissionsNote->setWordWrap(true);
    ListPermissions = NewList(permissions, {QStringLiteral("网站"), QStringLiteral("所在网站"),
                                            QStringLiteral("权限"), QStringLiteral("回答")});
    ButtonForgetPermission = new QPushButton(QStringLiteral("撤销所选"), permissions);
    ButtonForgetAllPermissions = new QPushButton(QStringLiteral("全部撤销"), permissions);
    auto* permissionButtons = new QHBoxLayout;
    permissionButtons->addStretch(1);
    permissionButtons->addWidget(ButtonForgetPermission);
    permissionButtons->addWidget(ButtonForgetAllPermissions);
    auto* permissionsLayout = new QVBoxLayout(permissions);
    permissionsLayout->addWidget(permissionsNote);
    permissionsLayout->addWidget(ListPermissions, 1);
    permissionsLayout->addLayout(permissionButtons);
    FTabs->addTab(permissions, QStringLiteral("网站权限"));

    auto* certificates = new QWidget(FTabs);
    auto* certificatesNote = new QLabel(
        QStringLiteral("以下网站的证书未通过验证，是您选择了“继续访问”。撤销后，再次访问时会重新提示。"),
        certificates);
    certificatesNote->setWordWrap(true);
    ListCertificates = NewList(certificates, {QStringLiteral("网站"), QStringLiteral("证书指纹（SHA-256）")});
    ButtonForgetCertificate = new QPushButton(QStringLiteral("撤销所选"), certificates);
    auto* certificateButtons = new QHBoxLayout;
    certificateButtons->addStretch(1);
    certificateButtons->addWidget(ButtonForgetCertificate);
    auto* certificatesLayout = new QVBoxLayout(certificates);
    certificatesLayout->addWidget(certificatesNote);
    certificatesLayout->addWidget(ListCertificates, 1);
    certificatesLayout->addLayout(certificateButtons);
    FTabs->addTab(certificates, QStringLiteral("证书例外"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FTabs);

    connect(ButtonForgetPermission, &QPushButton::clicked, this, &TFormOptions::ButtonForgetPermissionClick);
    connect(ButtonForgetAllPermissions, &QPushButton::clicked, this, &TFormOptions::ButtonForgetAllPermissionsClick);
    connect(ButtonForgetCertificate, &QPushButton::clicked, this, &TFormOptions::ButtonForgetCertificateClick);
    for (QTreeWidget* list : {ListPermissions, ListCertificates})
        connect(list, &QTreeWidget::itemSelectionChanged, this, [this] {
            ButtonForgetPermission->setEnabled(!ListPermissions->selectedItems().isEmpty());
            ButtonForgetCertificate->setEnabled(!ListCertificates->selectedItems().isEmpty());
        });
    FillPermissions();
    FillCertificates();
}

void TFormOptions::ShowAndRaise()
{
    FillPermissions();
    FillCertificates();
    show();
    raise();
    activateWindow();
}

void TFormOptions::FillPermissions()
{
    ListPermissions->clear();
    // The policy's service host only matters for its decisions, not its list.
    for (const auto& answer : TPermissionPolicy(FConfigPath, QString()).Remembered()) {
        auto* item = new QTreeWidgetItem(
            ListPermissions, {answer.Site, answer.Page.isEmpty() ? QStringLiteral("（本网站）") : answer.Page,
                              answer.Feature, answer.Allowed ? QStringLiteral("允许") : QStringLiteral("拒绝")});
        item->setData(0, KeyRole, answer.Key);
    }
    ButtonForgetPermission->setEnabled(false);
    ButtonForgetAllPermissions->setEnabled(ListPermissions->topLevelItemCount() > 0);
}

void TFormOptions::FillCertificates()
{
    ListCertificates->clear();
    for (const auto& [host, fingerprint] : TConfigFile(FConfigPath).ReadCertificateExceptions()) {
        auto* item = new QTreeWidgetItem(ListCertificates, {host, TCertificatePolicy::ReadableFingerprint(fingerprint)});
        item->setData(0, KeyRole, host);
    }
    ButtonForgetCertificate->setEnabled(false);
}

bool TFormOptions::Store(const std::function<void()>& change)
{
    try {
        change();
    } catch (const EAppError& error) {
        AppMessageBox(error.Message(), MB_OK | MB_ICONSTOP);
        return false;
    }
    return true;
}

void TFormOptions::ButtonForgetPermissionClick()
{
    const QStringList keys = Keys(*ListPermissions, true);
    const TPermissionPolicy policy(FConfigPath, QString());
    if (Store([&] {
            for (const QString& key : keys)
                policy.Forget(key);
        }))
        FillPermissions();
}

void TFormOptions::ButtonForgetAllPermissionsClick()
{
    if (AppMessageBox(QStringLiteral("确定要撤销全部网站权限吗？"), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    const QStringList keys = Keys(*ListPermissions, false);
    const TPermissionPolicy policy(FConfigPath, QString());
    if (Store([&] {
            for (const QString& key : keys)
                policy.Forget(key);
        }))
        FillPermissions();
}

void TFormOptions::ButtonForgetCertificateClick()
{
    const QStringList hosts = Keys(*ListCertificates, true);
    const TConfigFile config(FConfigPath);
    if (Store([&] {
            for (const QString& host : hosts)
                config.DeleteCertificateException(host);
        }))
        FillCertificates();
}

TOptionsWindow::TOptionsWindow(QWidget& owner, const QString& configPath, const TShutdownFlags& flags, QObject* parent)
    : QObject(parent), FOwner(owner), FConfigPath(configPath), FFlags(flags)
{
}

void TOptionsWindow::Show()
{
    if (FFlags.FClosing)
        return;
    if (!FWindow)
        FWindow = new TFormOptions(FConfigPath, &FOwner);
    FWindow->ShowAndRaise();
}
