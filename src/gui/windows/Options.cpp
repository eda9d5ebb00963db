#include "windows/Options.h"

#include "config/ConfigFile.h"
#include "config/Policy.h"
#include "page/CertificatePolicy.h"
#include "page/PagePermissions.h"
#include "page/SignIn.h"
#include "util/AppError.h"
#include "widgets/AppMessageBox.h"
#include "widgets/ShutdownFlags.h"
#include "windows/Diagnostics.h"

#include <QButtonGroup>
#include <QClipboard>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

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

TFormOptions::TFormOptions(const QString& configPath, TSignIn* signIn, QWidget* parent)
    : QWidget(parent, Qt::Window), FConfigPath(configPath), FSignIn(signIn)
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

    auto* signIns = new QWidget(FTabs);
    auto* signInsNote = new QLabel(
        QStringLiteral("您选择记住密码的网站和代理服务器。密码保存在系统的密钥环中，不写入客户端的文件。"), signIns);
    signInsNote->setWordWrap(true);
    ListSignIns = NewList(signIns, {QStringLiteral("网站"), QStringLiteral("服务器提示"), QStringLiteral("用户名")});
    ButtonForgetSignIn = new QPushButton(QStringLiteral("删除所选"), signIns);
    auto* signInButtons = new QHBoxLayout;
    signInButtons->addStretch(1);
    signInButtons->addWidget(ButtonForgetSignIn);
    auto* signInsLayout = new QVBoxLayout(signIns);
    signInsLayout->addWidget(signInsNote);
    signInsLayout->addWidget(ListSignIns, 1);
    signInsLayout->addLayout(signInButtons);
    FTabs->addTab(signIns, QStringLiteral("已保存的登录"));
    FTabs->addTab(NewProxyPage(), QStringLiteral("代理服务器"));
    FTabs->addTab(NewDiagnosticsPage(), QStringLiteral("诊断信息"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FTabs);

    connect(ButtonForgetPermission, &QPushButton::clicked, this, &TFormOptions::ButtonForgetPermissionClick);
    connect(ButtonForgetAllPermissions, &QPushButton::clicked, this, &TFormOptions::ButtonForgetAllPermissionsClick);
    connect(ButtonForgetCertificate, &QPushButton::clicked, this, &TFormOptions::ButtonForgetCertificateClick);
    connect(ButtonForgetSignIn, &QPushButton::clicked, this, &TFormOptions::ButtonForgetSignInClick);
    for (QTreeWidget* list : {ListPermissions, ListCertificates, ListSignIns})
        connect(list, &QTreeWidget::itemSelectionChanged, this, [this] {
            ButtonForgetPermission->setEnabled(!ListPermissions->selectedItems().isEmpty());
            ButtonForgetCertificate->setEnabled(!ListCertificates->selectedItems().isEmpty());
            ButtonForgetSignIn->setEnabled(!ListSignIns->selectedItems().isEmpty());
        });
    FillPermissions();
    FillCertificates();
    FillSignIns();
    FillProxy();
}

QWidget* TFormOptions::NewProxyPage()
{
    using M = TNetworkOptions::TProxyMode;
    auto* page = new QWidget(FTabs);
    GroupProxyMode = new QButtonGroup(page);
    const struct
    {
        M Mode;
        const char16_t* Text;
    } modes[] = {
        {M::System, u"使用系统代理设置"},
        {M::Direct, u"不使用代理"},
        {M::Manual, u"手动指定代理服务器"},
        {M::Pac, u"使用自动配置脚本（PAC）"},
    };
    auto* layout = new QVBoxLayout(page);
    for (const auto& mode : modes) {
        auto* button = new QRadioButton(QString::fromUtf16(mode.Text), page);
        GroupProxyMode->addButton(button, static_cast<int>(mode.Mode));
        layout->addWidget(button);
    }
    EditProxyServer = new QLineEdit(page);
    EditProxyServer->setPlaceholderText(QStringLiteral("proxy.example.com:3128"));
    EditProxyBypass = new QLineEdit(page);
    EditProxyBypass->setPlaceholderText(QStringLiteral("*.corp.local;10.0.0.0/8"));
    EditPacUrl = new QLineEdit(page);
    EditPacUrl->setPlaceholderText(QStringLiteral("http://wpad.example.com/proxy.pac"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("代理服务器："), EditProxyServer);
    form->addRow(QStringLiteral("不使用代理的地址："), EditProxyBypass);
    form->addRow(QStringLiteral("自动配置脚本地址："), EditPacUrl);
    layout->addLayout(form);
    auto* note = new QLabel(QStringLiteral("代理设置在客户端重新启动后生效。代理服务器要求的密码会在需要时询问。"), page);
    note->setWordWrap(true);
    layout->addWidget(note);
    LabelProxyLocked = new QLabel(page);
    LabelProxyLocked->setWordWrap(true);
    LabelProxyLocked->hide();
    layout->addWidget(LabelProxyLocked);
    layout->addStretch(1);
    ButtonSaveProxy = new QPushButton(QStringLiteral("保存"), page);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ButtonSaveProxy);
    layout->addLayout(buttons);
    connect(GroupProxyMode, &QButtonGroup::idClicked, this, &TFormOptions::ProxyModeChanged);
    connect(ButtonSaveProxy, &QPushButton::clicked, this, &TFormOptions::ButtonSaveProxyClick);
    return page;
}

void TFormOptions::FillProxy()
{
    const TConfigFile config(FConfigPath);
    const TNetworkOptions options = config.ReadNetwork();
    GroupProxyMode->button(static_cast<int>(options.ProxyMode))->setChecked(true);
    // What is written, also where the mode in force does not use it.
    EditProxyServer->setText(options.ProxyServer);
    EditProxyBypass->setText(options.ProxyBypass);
    EditPacUrl->setText(options.PacUrl);
    // Fixed by the administrator: shown as it is, and nothing to change.
    const bool locked = config.Locked(QStringLiteral("PROXY"));
    LabelProxyLocked->setText(QStringLiteral("此设置由系统管理员在 %1 中设定，不能更改。").arg(config.Policy().Path()));
    LabelProxyLocked->setVisible(locked);
    for (QAbstractButton* button : GroupProxyMode->buttons())
        button->setEnabled(!locked);
    ButtonSaveProxy->setEnabled(!locked);
    ProxyModeChanged();
}

void TFormOptions::ProxyModeChanged()
{
    using M = TNetworkOptions::TProxyMode;
    const auto mode = static_cast<M>(GroupProxyMode->checkedId());
    const bool open = ButtonSaveProxy->isEnabled();
    EditProxyServer->setEnabled(open && mode == M::Manual);
    EditProxyBypass->setEnabled(open && mode == M::Manual);
    EditPacUrl->setEnabled(open && mode == M::Pac);
}

QWidget* TFormOptions::NewDiagnosticsPage()
{
    auto* page = new QWidget(FTabs);
    auto* note = new QLabel(QStringLiteral("联系技术支持时，请把以下信息一并发送。"), page);
    TextDiagnostics = new QPlainTextEdit(page);
    TextDiagnostics->setReadOnly(true);
    ButtonCopyDiagnostics = new QPushButton(QStringLiteral("复制诊断信息"), page);
    connect(ButtonCopyDiagnostics, &QPushButton::clicked, this, &TFormOptions::ButtonCopyDiagnosticsClick);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ButtonCopyDiagnostics);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(note);
    layout->addWidget(TextDiagnostics, 1);
    layout->addLayout(buttons);
    return page;
}

void TFormOptions::ButtonCopyDiagnosticsClick()
{
    QGuiApplication::clipboard()->setText(TextDiagnostics->toPlainText());
}

void TFormOptions::ButtonSaveProxyClick()
{
    using M = TNetworkOptions::TProxyMode;
    TNetworkOptions options;
    options.ProxyMode = static_cast<M>(GroupProxyMode->checkedId());
    options.ProxyServer = EditProxyServer->text().trimmed();
    options.ProxyBypass = EditProxyBypass->text().trimmed();
    options.PacUrl = EditPacUrl->text().trimmed();
    if (options.ProxyMode == M::Manual && options.ProxyServer.isEmpty()) {
        AppMessageBox(QStringLiteral("请填写代理服务器的地址和端口。"), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    const QUrl pac(options.PacUrl);
    if (options.ProxyMode == M::Pac && (!pac.isValid() || pac.scheme().isEmpty())) {
        AppMessageBox(QStringLiteral("请填写完整的自动配置脚本地址，例如 http://wpad.example.com/proxy.pac。"),
                      MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (Store([&] { TConfigFile(FConfigPath).WriteNetwork(options); }))
        AppMessageBox(QStringLiteral("代理设置已保存，将在客户端重新启动后生效。"), MB_OK | MB_ICONINFORMATION);
}

void TFormOptions::FillSignIns()
{
    ListSignIns->clear();
    if (FSignIn) {
        for (const auto& saved : FSignIn->Saved()) {
            auto* item = new QTreeWidgetItem(ListSignIns, {saved.Site, saved.Realm, saved.User});
            item->setData(0, KeyRole, saved.Key);
        }
    }
    ButtonForgetSignIn->setEnabled(false);
}

void TFormOptions::ButtonForgetSignInClick()
{
    if (FSignIn && ForgetEach(Keys(*ListSignIns, true), [this](const QString& key) { FSignIn->Forget(key); }))
        FillSignIns();
}

void TFormOptions::ShowAndRaise()
{
    FillPermissions();
    FillCertificates();
    FillSignIns();
    FillProxy();
    TextDiagnostics->setPlainText(DiagnosticReport(FEngineVersion));
    show();
    raise();
    activateWindow();
}

void TFormOptions::FillPermissions()
{
    ListPermissions->clear();
    // The policy's service host only matters for its decisions, not its list.
    const TConfigFile config(FConfigPath);
    for (const auto& answer : TPermissionPolicy(FConfigPath, QString()).Remembered()) {
        // An answer the administrator gave stays; it is listed, not offered.
        const bool locked = config.Locked(QStringLiteral("PERMISSIONS"), answer.Key);
        const QString given = answer.Allowed ? QStringLiteral("允许") : QStringLiteral("拒绝");
        auto* item = new QTreeWidgetItem(
            ListPermissions, {answer.Site, answer.Page.isEmpty() ? QStringLiteral("（本网站）") : answer.Page,
                              answer.Feature, locked ? given + QStringLiteral("（管理员设定）") : given});
        item->setData(0, KeyRole, answer.Key);
        if (locked)
            item->setFlags(item->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEnabled));
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

bool TFormOptions::ForgetEach(const QStringList& keys, const std::function<void(const QString&)>& forget)
{
    return Store([&] {
        for (const QString& key : keys)
            forget(key);
    });
}

void TFormOptions::ButtonForgetPermissionClick()
{
    const TPermissionPolicy policy(FConfigPath, QString());
    if (ForgetEach(Keys(*ListPermissions, true), [&policy](const QString& key) { policy.Forget(key); }))
        FillPermissions();
}

void TFormOptions::ButtonForgetAllPermissionsClick()
{
    if (AppMessageBox(QStringLiteral("确定要撤销全部网站权限吗？"), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    const TPermissionPolicy policy(FConfigPath, QString());
    QStringList keys = Keys(*ListPermissions, false);
    const TConfigFile config(FConfigPath);
    keys.removeIf([&config](const QString& key) { return config.Locked(QStringLiteral("PERMISSIONS"), key); });
    if (ForgetEach(keys, [&policy](const QString& key) { policy.Forget(key); }))
        FillPermissions();
}

void TFormOptions::ButtonForgetCertificateClick()
{
    const TConfigFile config(FConfigPath);
    if (ForgetEach(Keys(*ListCertificates, true),
                   [&config](const QString& host) { config.DeleteCertificateException(host); }))
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
        FWindow = new TFormOptions(FConfigPath, FSignIn, &FOwner);
    FWindow->SetEngineVersion(FEngineVersion);
    FWindow->ShowAndRaise();
}
