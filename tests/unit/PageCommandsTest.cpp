#include "core/Global.h"
#include "platform/Platform.h"
#include "widgets/AppMessageBox.h"
#include "page/CacheReset.h"
#include "page/ImageSaveName.h"
#include "shell/Main.h"
#include "page/PageCommand.h"
#include "page/PageMenu.h"
#include "page/SaveDialog.h"
#include "shell/Successor.h"

#include "page/BoxFlood.h"

#include "FormFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

// ---- The command text ----

struct TCommandCase
{
    QString Text;
    TPageCommandKind Kind;
    QString Command;
    QString Argument;
};

TEST(PageCommand, ParsesExactly)
{
    const QString colons(3, QLatin1Char(':'));
    const std::vector<TCommandCase> cases = {
        {QStringLiteral("NERITH:CLEAR_CACHE:"), TPageCommandKind::ClearCache, QStringLiteral("CLEAR_CACHE"), {}},
        {QStringLiteral("NERITH:CLEAR_CACHE:x"), TPageCommandKind::ClearCache, QStringLiteral("CLEAR_CACHE"),
         QStringLiteral("x")},
        {QStringLiteral("NERITH:RELOGIN:"), TPageCommandKind::Relogin, QStringLiteral("RELOGIN"), {}},
        {QStringLiteral("NERITH:RELOGIN:a:b"), TPageCommandKind::Relogin, QStringLiteral("RELOGIN"),
         QStringLiteral("a:b")},
        {QStringLiteral("NERITH:CLEAR_CACHE"), TPageCommandKind::EngineOwn, {}, {}},
        {QStringLiteral("NERITH:clear_cache:"), TPageCommandKind::EngineOwn, QStringLiteral("clear_cache"), {}},
        {QStringLiteral("NERITH::"), TPageCommandKind::EngineOwn, {}, {}},
        {QStringLiteral("NERITH:::"), TPageCommandKind::EngineOwn, {}, QStringLiteral(":")},
        {QStringLiteral("NERITH:"), TPageCommandKind::EngineOwn, {}, {}},
        {QStringLiteral("NERITH: RELOGIN:"), TPageCommandKind::EngineOwn, QStringLiteral(" RELOGIN"), {}},
        {QStringLiteral("nerith:RELOGIN:"), TPageCommandKind::Dialog, {}, {}},
        {QStringLiteral("NERITH"), TPageCommandKind::Dialog, {}, {}},
        {QString(), TPageCommandKind::Dialog, {}, {}},
        {colons, TPageCommandKind::Dialog, {}, {}},
        {QStringLiteral(" NERITH:RELOGIN:"), TPageCommandKind::Dialog, {}, {}},
        {QStringLiteral("NERITH:RELOGIN\n:"), TPageCommandKind::EngineOwn, QStringLiteral("RELOGIN\n"), {}},
        {QStringLiteral("NERITH:\x01\x02:\x7f"), TPageCommandKind::EngineOwn, QStringLiteral("\x01\x02"),
         QStringLiteral("\x7f")},
        {QStringLiteral("保存：NERITH:RELOGIN:"), TPageCommandKind::Dialog, {}, {}},
    };
    for (const auto& c : cases) {
        const TPageCommand parsed = ParsePageCommand(c.Text);
        EXPECT_EQ(parsed.Kind, c.Kind) << c.Text.toStdString();
        EXPECT_EQ(parsed.Command, c.Command) << c.Text.toStdString();
        EXPECT_EQ(parsed.Argument, c.Argument) << c.Text.toStdString();
    }
}

TEST(PageCommand, AMegabyteOfTextIsParsed)
{
    const QString big = QStringLiteral("NERITH:RELOGIN:") + QString(1 << 20, QLatin1Char('x'));
    EXPECT_EQ(ParsePageCommand(big).Kind, TPageCommandKind::Relogin);
    EXPECT_EQ(ParsePageCommand(big).Argument.size(), 1 << 20);
    EXPECT_EQ(ParsePageCommand(QStringLiteral("NERITH:") + QString(1 << 20, QLatin1Char('y'))).Kind,
              TPageCommandKind::EngineOwn);
}

// ---- The image's proposed name ----

TEST(ImageSaveName, FollowsTheAddress)
{
    struct TCase
    {
        const char* Url;
        const char* FileName;
        const char* Ext;
        const char* Filter;
    };
    const TCase cases[] = {
        {"http://h/img/photo.png", "photo.png", ".png", "*.png|*.png"},
        {"http://h/p/a.jpg?v=2", "a.jpg?v=2", ".jpg?v=2", "*.jpg?v=2|*.jpg?v=2"},
        {"http://h/img/123", "123", "", "*|*"},
        {"http://h/dir.d/file", "file", "", "*|*"},
        {"http://h:8080/a.b.gif", "a.b.gif", ".gif", "*.gif|*.gif"},
        {"data:image/png;base64,AAA", "png;base64,AAA", "", "*|*"},
        {"", "", "", "*|*"},
    };
    for (const auto& c : cases) {
        const TImageSaveName name = ImageSaveName(QString::fromUtf8(c.Url));
        EXPECT_EQ(name.FileName, QString::fromUtf8(c.FileName)) << c.Url;
        EXPECT_EQ(name.DefaultExt, QString::fromUtf8(c.Ext)) << c.Url;
        EXPECT_EQ(name.Filter, QString::fromUtf8(c.Filter)) << c.Url;
    }
}

TEST(SaveDialog, WindowsFiltersBecomeQtFilters)
{
    EXPECT_EQ(SaveDialogNameFilters(QStringLiteral("*.png|*.png")), QStringList{QStringLiteral("*.png (*.png)")});
    EXPECT_EQ(SaveDialogNameFilters(QStringLiteral("*.jpg|*.jpg;*.jpeg")),
              QStringList{QStringLiteral("*.jpg (*.jpg *.jpeg)")});
    EXPECT_EQ(SaveDialogNameFilters(QStringLiteral("*|*")), QStringList{QStringLiteral("* (*)")});
    EXPECT_TRUE(SaveDialogNameFilters(QString()).isEmpty());
}

// ---- The context menu ----

TContextMenuModel EngineMenu()
{
    TContextMenuModel model;
    model.AddItem(1, QStringLiteral("Back"), TContextMenuModel::TRole::Back);
    model.AddItem(2, QStringLiteral("Forward"), TContextMenuModel::TRole::Forward);
    model.AddItem(3, QStringLiteral("Reload"), TContextMenuModel::TRole::Reload);
    model.AddSeparator();
    model.AddItem(4, QStringLiteral("Copy"), TContextMenuModel::TRole::Copy);
    model.AddItem(5, QStringLiteral("View page source"), TContextMenuModel::TRole::ViewSource);
    return model;
}

QStringList Labels(const TContextMenuModel& model)
{
    QStringList labels;
    for (const auto& item : model.Items())
        labels << (item.Separator ? QStringLiteral("-") : item.Label);
    return labels;
}

TEST(PageMenu, DropsViewSourceByRoleAndAddsTheShellEntries)
{
    TContextMenuModel text = EngineMenu();
    EditPageMenu({}, text);
    EXPECT_EQ(Labels(text), (QStringList{"Back", "Forward", "Reload", "-", "Copy", "刷新"}));
    EXPECT_EQ(text.At(text.Count() - 1).CommandId, MenuIdRefresh);

    TContextMenuParams image;
    image.MediaType = TContextMediaType::Image;
    TContextMenuModel overImage = EngineMenu();
    EditPageMenu(image, overImage);
    EXPECT_EQ(Labels(overImage), (QStringList{"Back", "Forward", "Reload", "-", "Copy", "刷新", "-", "图片另存为..."}));
    EXPECT_EQ(overImage.At(overImage.Count() - 1).CommandId, MenuIdSaveImage);

    // No view-source entry (or a short menu): nothing of the engine's goes.
    TContextMenuModel shortMenu;
    shortMenu.AddItem(1, QStringLiteral("Copy"), TContextMenuModel::TRole::Copy);
    EditPageMenu({}, shortMenu);
    EXPECT_EQ(Labels(shortMenu), (QStringList{"Copy", "刷新"}));
    EXPECT_GE(MenuIdRefresh, TContextMenuModel::MenuIdUserFirst);
}

// ---- The reset script ----

TEST(CacheReset, QuotesForTheShell)
{
    EXPECT_EQ(ShellQuote("plain"), "'plain'");
    EXPECT_EQ(ShellQuote("it's"), "'it'\\''s'");
    EXPECT_EQ(ShellQuote(""), "''");
    EXPECT_EQ(ShellQuote("$x `y` \"z\"\n;&"), "'$x `y` \"z\"\n;&'");
}

TEST(CacheReset, ScriptForAPlainFolder)
{
    const QByteArray expected =
        "#!/bin/sh\n"
        "# Empties the engine cache but keeps its cookies, then starts the program again.\n"
        "dir='/opt/erp'\n"
        "cache='/opt/erp/cache'\n"
        "exe='/opt/erp/VelmarERP'\n"
        "sleep 2\n"
        "if [ -d \"$cache\" ] && [ ! -L \"$cache\" ]; then\n"
        "  [ -L \"$cache/Cookies\" ] || cp -f -- \"$cache/Cookies\" \"$dir/Cookies\" 2>/dev/null\n"
        "  [ -L \"$cache/Cookies-journal\" ] || cp -f -- \"$cache/Cookies-journal\" \"$dir/Cookies-journal\" 2>/dev/null\n"
        "  find \"$cache\" -mindepth 1 -type f -exec rm -f -- {} + 2>/dev/null\n"
        "  if [ -f \"$dir/Cookies\" ] && [ ! -e \"$cache/Cookies\" ] && [ ! -L \"$cache/Cookies\" ]; then\n"
        "    cp -f -- \"$dir/Cookies\" \"$cache/Cookies\" 2>/dev/null && rm -f -- \"$dir/Cookies\"\n"
        "  fi\n"
        "  if [ -f \"$dir/Cookies-journal\" ] && [ ! -e \"$cache/Cookies-journal\" ] && [ ! -L \"$cache/Cookies-journal\" ]; then\n"
        "    cp -f -- \"$dir/Cookies-journal\" \"$cache/Cookies-journal\" 2>/dev/null && rm -f -- \"$dir/Cookies-journal\"\n"
        "  fi\n"
        "fi\n"
        "exec \"$exe\"\n";
    EXPECT_EQ(CacheResetScript(QStringLiteral("/opt/erp/"), QStringLiteral("/opt/erp/VelmarERP")), expected);
    EXPECT_EQ(CacheResetScript(QStringLiteral("/opt/erp"), QStringLiteral("/opt/erp/VelmarERP")), expected);
}

// A program folder whose name holds everything a shell could trip over, in
// a tree with things beside it that must survive.
class CacheResetRun : public testing::Test
{
protected:
    void SetUp() override
    {
        FRoot = FScratch.Path();
        FProgram = FRoot + QStringLiteral("-x y 'q' \"d\" $HOME `touch pwned` ; & rm -rf x\nnl/");
        FCache = FProgram + QStringLiteral("cache/");
        for (const QString& folder :
             {FCache + QStringLiteral("sub/deeper"), FCache + QStringLiteral("empty"), FRoot + QStringLiteral("-x"),
              FRoot + QStringLiteral("outside"), FProgram + QStringLiteral("cache x")})
            ASSERT_TRUE(QDir().mkpath(folder));
        Write(FCache + QStringLiteral("data_0"), "cached");
        Write(FCache + QStringLiteral("sub/f 1"), "cached");
        Write(FCache + QStringLiteral("sub/deeper/-rf"), "cached");
        Write(FCache + QStringLiteral("read-only"), "cached");
        QFile::setPermissions(FCache + QStringLiteral("read-only"), QFileDevice::ReadOwner);
        Write(FCache + QStringLiteral("Cookies"), "fresh cookies");
        Write(FCache + QStringLiteral("Cookies-journal"), "fresh journal");
        Write(FProgram + QStringLiteral("Cookies"), "stale cookies"); // the copy the program made earlier
        Write(FProgram + QStringLiteral("config.ini"), "[SYSTEM]\n");
        Write(FProgram + QStringLiteral("cache x/keep"), "keep");
        Write(FRoot + QStringLiteral("-x/keep"), "keep");
        Write(FRoot + QStringLiteral("outside/keep"), "keep");
        // Links out of the cache, to a folder and to a file.
        ASSERT_TRUE(QFile::link(FRoot + QStringLiteral("outside"), FCache + QStringLiteral("to-outside")));
        ASSERT_TRUE(QFile::link(FRoot + QStringLiteral("outside/keep"), FCache + QStringLiteral("sub/keep-link")));
        // Stands in for the program: it only notes that it was started, and where.
        Write(FProgram + QStringLiteral("VelmarERP"), "#!/bin/sh\npwd > started\n");
        QFile::setPermissions(FProgram + QStringLiteral("VelmarERP"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    static void Write(const QString& path, const QByteArray& bytes) { WriteBytes(path, bytes); }

    // Runs the script as the program starts it: /bin/sh, in the program folder.
    void RunScript(const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
    {
        const QString script = FProgram + QLatin1String(CacheResetScriptName);
        WriteBytes(script, CacheResetScript(FProgram, FProgram + QStringLiteral("VelmarERP")));
        QProcess shell;
        shell.setProcessEnvironment(environment);
        shell.setWorkingDirectory(FProgram);
        shell.start(QStringLiteral("/bin/sh"), {script});
        ASSERT_TRUE(shell.waitForFinished(60000));
        EXPECT_EQ(shell.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
    }

    QStringList Entries(const QString& folder) const
    {
        QStringList names;
        for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System
                                                                | QDir::Hidden, QDir::Name))
            names << info.fileName();
        return names;
    }

    TScratchDir FScratch;
    QString FRoot;
    QString FProgram;
    QString FCache;
};

TEST_F(CacheResetRun, EmptiesOnlyTheCacheKeepsCookiesAndRestarts)
{
    RunScript();

    // Files gone, folders and links stay; the fresh cookies are back.
    EXPECT_EQ(Entries(FCache), (QStringList{"Cookies", "Cookies-journal", "empty", "sub", "to-outside"}));
    EXPECT_EQ(Entries(FCache + QStringLiteral("sub")), (QStringList{"deeper", "keep-link"}));
    EXPECT_TRUE(Entries(FCache + QStringLiteral("sub/deeper")).isEmpty());
    EXPECT_EQ(ReadBytes(FCache + QStringLiteral("Cookies")), "fresh cookies");
    EXPECT_EQ(ReadBytes(FCache + QStringLiteral("Cookies-journal")), "fresh journal");
    // Beside the program: the copies are gone, everything else is there.
    EXPECT_EQ(Entries(FProgram), (QStringList{"ClearCache.sh", "VelmarERP", "cache", "cache x", "config.ini", "started"}));
    EXPECT_EQ(ReadBytes(FProgram + QStringLiteral("cache x/keep")), "keep");
    // Nothing outside the program folder was touched or created.
    EXPECT_EQ(ReadBytes(FRoot + QStringLiteral("-x/keep")), "keep");
    EXPECT_EQ(ReadBytes(FRoot + QStringLiteral("outside/keep")), "keep");
    EXPECT_EQ(Entries(FRoot).size(), 3); // "-x", "outside" and the program folder
    EXPECT_FALSE(QFile::exists(FProgram + QStringLiteral("pwned")));
    // Started again, in the program folder.
    EXPECT_EQ(ReadBytes(FProgram + QStringLiteral("started")), QFile::encodeName(FProgram.chopped(1)) + "\n");
}

TEST_F(CacheResetRun, ACacheFolderThatIsALinkIsLeftAlone)
{
    ASSERT_TRUE(QDir(FCache).removeRecursively() || true);
    ASSERT_TRUE(QFile::link(FRoot + QStringLiteral("outside"), FProgram + QStringLiteral("cache")));
    RunScript();
    EXPECT_EQ(ReadBytes(FRoot + QStringLiteral("outside/keep")), "keep");
    EXPECT_FALSE(QFile::exists(FRoot + QStringLiteral("outside/Cookies")));
    EXPECT_TRUE(QFile::exists(FProgram + QStringLiteral("started")));
}

TEST_F(CacheResetRun, NoCookieFilesStillRestarts)
{
    QFile::remove(FCache + QStringLiteral("Cookies"));
    QFile::remove(FCache + QStringLiteral("Cookies-journal"));
    QFile::remove(FProgram + QStringLiteral("Cookies"));
    RunScript();
    EXPECT_EQ(Entries(FCache), (QStringList{"empty", "sub", "to-outside"}));
    EXPECT_TRUE(QFile::exists(FProgram + QStringLiteral("started")));
}

TEST_F(CacheResetRun, CopiesThatCannotBePutBackAreKept)
{
    // Putting a cookie file back into the cache fails, as on a full disk:
    // a cp first in the path refuses every copy into the cache folder.
    const QString tools = FRoot + QStringLiteral("outside/bin");
    ASSERT_TRUE(QDir().mkpath(tools));
    Write(tools + QStringLiteral("/cp"), "#!/bin/sh\n"
                                        "for last; do :; done\n"
                                        "case \"$last\" in */cache/*) echo 'No space left on device' >&2; exit 1;; esac\n"
                                        "exec /bin/cp \"$@\"\n");
    QFile::setPermissions(tools + QStringLiteral("/cp"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), tools + u':' + environment.value(QStringLiteral("PATH")));
    RunScript(environment);

    // The cache was emptied, the cookies could not go back: the copies,
    // taken again before the cache was emptied, are the login and stay.
    EXPECT_EQ(Entries(FCache), (QStringList{"empty", "sub", "to-outside"}));
    EXPECT_EQ(ReadBytes(FProgram + QStringLiteral("Cookies")), "fresh cookies");
    EXPECT_EQ(ReadBytes(FProgram + QStringLiteral("Cookies-journal")), "fresh journal");
    EXPECT_TRUE(QFile::exists(FProgram + QStringLiteral("started")));

    // The next reset, with a working disk, puts them back and only then
    // removes them.
    RunScript();
    EXPECT_EQ(ReadBytes(FCache + QStringLiteral("Cookies")), "fresh cookies");
    EXPECT_EQ(ReadBytes(FCache + QStringLiteral("Cookies-journal")), "fresh journal");
    EXPECT_FALSE(QFile::exists(FProgram + QStringLiteral("Cookies")));
    EXPECT_FALSE(QFile::exists(FProgram + QStringLiteral("Cookies-journal")));
}

// ---- The main window's handlers, with the fake engine ----

class PageCommands : public FormFixture
{
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        FMessages.Answer = IDOK;
        SetStartWhenEndedHook([this](const TStartCommand& command) { FStarted.push_back(command); });
        SetSaveDialogHook([this](const TSaveDialogOptions& options) {
            FDialogs.push_back(options);
            return FChosen;
        });
        MakeForm();
        // The service's page, where commands come from.
        View().Load(QStringLiteral("http://%1/").arg(ServiceHost()));
    }
    void TearDown() override
    {
        FormFixture::TearDown();
        SetStartWhenEndedHook(nullptr);
        SetSaveDialogHook(nullptr);
    }

    TFakeChromium& View() { return *FEngine.Views.front(); }
    TJsDialogReply Dialog(TJsDialogType type, const QString& text, const QString& defaultText = {})
    {
        return View().RaiseJsDialog({QUrl(QStringLiteral("http://%1").arg(ServiceHost())), type, text, defaultText});
    }

    std::vector<TRecordedBox>& FBoxes = FMessages.Boxes;
    int& FAnswer = FMessages.Answer;
    std::vector<TStartCommand> FStarted;
    std::vector<TSaveDialogOptions> FDialogs;
    std::optional<QString> FChosen;
};

TEST_F(PageCommands, OrdinaryDialogsAreTheShellsBoxes)
{
    struct TCase
    {
        TJsDialogType Type;
        int Answer;
        QString Caption;
        int Flags;
        bool Success;
    };
    const TCase cases[] = {
        {TJsDialogType::Confirm, IDYES, QString(), MB_YESNO, true},
        {TJsDialogType::Confirm, IDNO, QString(), MB_YESNO, false},
        {TJsDialogType::Alert, IDOK, AppTitle(), MB_OK, false},
        {TJsDialogType::Prompt, IDOK, AppTitle(), MB_OK, false},
    };
    for (const auto& c : cases) {
        FBoxes.clear();
        FAnswer = c.Answer;
        const TJsDialogReply reply = Dialog(c.Type, QStringLiteral("nerith:RELOGIN:"), QStringLiteral("d"));
        EXPECT_TRUE(reply.Handled);
        EXPECT_EQ(reply.Success, c.Success);
        EXPECT_EQ(reply.HasInput && c.Type == TJsDialogType::Prompt, false); // a prompt gives null
        ASSERT_EQ(FBoxes.size(), 1u);
        EXPECT_EQ(FBoxes[0].Caption, c.Caption);
        EXPECT_EQ(FBoxes[0].Text, QStringLiteral("nerith:RELOGIN:"));
        EXPECT_EQ(FBoxes[0].Flags, c.Flags);
    }
    EXPECT_TRUE(FStarted.empty());
    EXPECT_FALSE(FForm->FClosing);
}

TEST_F(PageCommands, MalformedCommandsGoToTheEngine)
{
    for (const char* text : {"NERITH:CLEAR_CACHE", "NERITH:clear_cache:", "NERITH::", "NERITH:", "NERITH:OTHER:x"}) {
        EXPECT_FALSE(Dialog(TJsDialogType::Alert, QString::fromUtf8(text)).Handled) << text;
    }
    EXPECT_TRUE(FBoxes.empty());
    EXPECT_TRUE(FStarted.empty());
    EXPECT_FALSE(FForm->FClosing);
    EXPECT_TRUE(FForm->FConfirmExit);
}

TEST_F(PageCommands, OnlyTheServicesOwnPagesCommand)
{
    const QString service = ServiceHost();
    const QString host = QUrl(QStringLiteral("http://") + service).host();
    struct TCase
    {
        QString Page;  // the view's address
        QString Frame; // the origin of the frame that raised the dialog
    };
    const TCase cases[] = {
        {QStringLiteral("http://other.example/"), QStringLiteral("http://other.example")},
        // a foreign frame inside a service page, and the service in a foreign page
        {QStringLiteral("http://%1/a").arg(service), QStringLiteral("http://other.example")},
        {QStringLiteral("http://other.example/"), QStringLiteral("http://%1").arg(service)},
        // same host, another port
        {QStringLiteral("http://%1:1/").arg(host), QStringLiteral("http://%1:1").arg(host)},
        {QStringLiteral("file:///tmp/a.html"), QStringLiteral("file://")},
    };
    for (const TCase& c : cases) {
        View().Load(c.Page);
        Q_EMIT View().LoadingStateChanged(true, false, false); // a new document: no box flood carried over
        for (const char* text : {"NERITH:CLEAR_CACHE:", "NERITH:RELOGIN:", "NERITH:OTHER"}) {
            FBoxes.clear();
            const TJsDialogReply reply =
                View().RaiseJsDialog({QUrl(c.Frame), TJsDialogType::Alert, QString::fromUtf8(text), {}});
            EXPECT_TRUE(reply.Handled) << c.Page.toStdString() << " " << text;
            ASSERT_EQ(FBoxes.size(), 1u) << c.Page.toStdString();
            EXPECT_EQ(FBoxes[0].Text, QString::fromUtf8(text)); // shown as text
        }
    }
    EXPECT_TRUE(FStarted.empty());
    EXPECT_FALSE(FForm->FClosing);
    EXPECT_TRUE(FForm->isVisible());
}

TEST_F(PageCommands, ReloginAnsweredNoChangesNothing)
{
    FAnswer = IDNO;
    const TJsDialogReply reply = Dialog(TJsDialogType::Confirm, QStringLiteral("NERITH:RELOGIN:"));
    EXPECT_TRUE(reply.Handled);
    EXPECT_FALSE(reply.Success);
    ASSERT_EQ(FBoxes.size(), 1u);
    EXPECT_EQ(FBoxes[0].Caption, AppTitle());
    EXPECT_EQ(FBoxes[0].Text, QStringLiteral("确定要重新登录吗？"));
    EXPECT_EQ(FBoxes[0].Flags, 0x24);
    EXPECT_TRUE(FStarted.empty());
    EXPECT_TRUE(FForm->FConfirmExit);
    EXPECT_TRUE(FForm->isVisible());
}

TEST_F(PageCommands, ReloginAnsweredYesClosesAndStartsTheProgramAgain)
{
    FAnswer = IDYES;
    FForm->NReloginClick(); // the tray entry
    ASSERT_EQ(FBoxes.size(), 1u); // the relogin question, no exit question
    EXPECT_FALSE(FForm->isVisible());
    EXPECT_FALSE(FForm->FConfirmExit);
    ASSERT_EQ(FStarted.size(), 1u);
    EXPECT_EQ(FStarted[0].Program, Platform::ExecutablePath());
    EXPECT_TRUE(FStarted[0].Arguments.isEmpty());
    EXPECT_EQ(FStarted[0].WorkingFolder, gAppDir);
    EXPECT_TRUE(QFile::exists(FData.File(QStringLiteral("config.ini")))); // the placement was saved
    EXPECT_TRUE(QDir(FProgram.Path()).isEmpty());
}

TEST_F(PageCommands, ClearCacheClosesWithoutAQuestionAndStartsTheScript)
{
    ASSERT_TRUE(QDir().mkpath(FData.File(QStringLiteral("cache"))));
    WriteBytes(FData.File(QStringLiteral("cache/Cookies")), "cookies");
    // No journal: a missing cookie file is no error.
    const TJsDialogReply reply = Dialog(TJsDialogType::Alert, QStringLiteral("NERITH:CLEAR_CACHE:x"));
    EXPECT_TRUE(reply.Handled);
    EXPECT_TRUE(FBoxes.empty());
    EXPECT_TRUE(FForm->FClosing);
    EXPECT_TRUE(FForm->FExitRequested);
    EXPECT_FALSE(FForm->FConfirmExit);
    EXPECT_FALSE(FForm->isVisible());
    // Cookie copies, script and cache all in the data folder; the program
    // folder gets nothing, and the script starts the program from there.
    EXPECT_EQ(ReadBytes(FData.File(QStringLiteral("Cookies"))), "cookies");
    EXPECT_FALSE(QFile::exists(FData.File(QStringLiteral("Cookies-journal"))));
    EXPECT_EQ(FEngine.CookieChangesSavedTo, QStringList{FData.File(QStringLiteral("CookieChanges"))});
    const QString script = FData.File(QStringLiteral("ClearCache.sh"));
    EXPECT_EQ(ReadBytes(script), CacheResetScript(FData.Path(), Platform::ExecutablePath()));
    EXPECT_TRUE(QDir(FProgram.Path()).isEmpty());
    ASSERT_EQ(FStarted.size(), 1u);
    EXPECT_EQ(FStarted[0].Program, QStringLiteral("/bin/sh"));
    EXPECT_EQ(FStarted[0].Arguments, QStringList{script});
    EXPECT_EQ(FStarted[0].WorkingFolder, FData.Path());

    // Closing: later dialogs and commands do nothing, downloads do not start.
    EXPECT_TRUE(Dialog(TJsDialogType::Alert, QStringLiteral("NERITH:RELOGIN:")).Handled);
    EXPECT_TRUE(Dialog(TJsDialogType::Alert, QStringLiteral("hello")).Handled);
    EXPECT_TRUE(FBoxes.empty());
    EXPECT_EQ(FStarted.size(), 1u);
    FChosen = FProgram.File(QStringLiteral("file.bin"));
    EXPECT_FALSE(View().RaiseDownload({QUrl(QStringLiteral("http://service/f.bin")), QStringLiteral("f.bin"), {}}).Accept);
    EXPECT_TRUE(FDialogs.empty());
}

TEST_F(PageCommands, ResetAndReloginAskEveryOtherPageAndStayingCancelsThem)
{
    FForm->Registry().OpenAddressTab(QStringLiteral("http://%1/pages/draft.html").arg(ServiceHost()));
    ASSERT_EQ(FEngine.Views.size(), 2u);
    QPointer<TFakeChromium> draft = FEngine.Views.back();
    draft->AsksOnRequest = true;
    const auto drafts = [this] { return FForm->Registry().VisibleTabs().size(); };

    // The user stays on the draft: no reset, nothing closes, nothing starts.
    FAnswer = IDNO;
    EXPECT_TRUE(Dialog(TJsDialogType::Alert, QStringLiteral("NERITH:CLEAR_CACHE:")).Handled);
    ASSERT_EQ(FBoxes.size(), 1u);
    EXPECT_EQ(FBoxes[0].Text, TFakeChromium::LeaveQuestion);
    EXPECT_EQ(View().CloseRequests, 0); // the asking page is not asked
    EXPECT_TRUE(FStarted.empty());
    EXPECT_FALSE(FForm->FClosing);
    EXPECT_TRUE(FForm->isVisible());
    ASSERT_TRUE(draft);
    EXPECT_EQ(drafts(), 2u);
    EXPECT_FALSE(QFile::exists(FData.File(QStringLiteral("ClearCache.sh"))));

    // The relogin's own question, then the page's: staying keeps both.
    FBoxes.clear();
    FMessages.Answers = {IDYES, IDNO};
    Dialog(TJsDialogType::Alert, QStringLiteral("NERITH:RELOGIN:"));
    ASSERT_EQ(FBoxes.size(), 2u);
    EXPECT_EQ(FBoxes[1].Text, TFakeChromium::LeaveQuestion);
    EXPECT_TRUE(FStarted.empty());
    EXPECT_TRUE(FForm->isVisible());

    // Leaving: the reset goes on.
    FBoxes.clear();
    FMessages.Answers.clear();
    FAnswer = IDYES;
    Dialog(TJsDialogType::Alert, QStringLiteral("NERITH:CLEAR_CACHE:"));
    EXPECT_EQ(FBoxes.size(), 1u);
    EXPECT_TRUE(FForm->FClosing);
    ASSERT_EQ(FStarted.size(), 1u);
    EXPECT_EQ(FStarted[0].Program, QStringLiteral("/bin/sh"));
}

TEST_F(PageCommands, AnUnwritableScriptIsReportedAndNothingStarts)
{
    ASSERT_TRUE(QDir().mkpath(FData.File(QStringLiteral("ClearCache.sh/blocked"))));
    Dialog(TJsDialogType::Alert, QStringLiteral("NERITH:CLEAR_CACHE:"));
    ASSERT_EQ(FBoxes.size(), 1u);
    EXPECT_TRUE(FBoxes[0].Text.contains(QStringLiteral("ClearCache.sh")));
    EXPECT_TRUE(FStarted.empty());
}

TEST_F(PageCommands, DownloadsGoThroughTheSaveDialog)
{
    const TDownloadRequest request{QUrl(QStringLiteral("http://service/files/report.csv")),
                                   QStringLiteral("report.csv"), QStringLiteral("text/csv")};
    FChosen = std::nullopt;
    EXPECT_FALSE(View().RaiseDownload(request).Accept);
    FChosen = FProgram.File(QStringLiteral("saved.csv"));
    const TDownloadReply reply = View().RaiseDownload(request);
    EXPECT_TRUE(reply.Accept);
    EXPECT_EQ(reply.FullPath, *FChosen);
    ASSERT_EQ(FDialogs.size(), 2u);
    EXPECT_EQ(FDialogs[1].FileName, QStringLiteral("report.csv"));

    // A folder that is not there cannot take the file: said, and not started.
    const std::size_t boxes = FBoxes.size();
    FChosen = FProgram.File(QStringLiteral("no/such/folder/saved.csv"));
    EXPECT_FALSE(View().RaiseDownload(request).Accept);
    ASSERT_EQ(FBoxes.size(), boxes + 1);
    EXPECT_EQ(FBoxes.back().Text, QStringLiteral("保存失败！"));
}

TEST_F(PageCommands, MenuCommandsActOnTheirOwnView)
{
    TContextMenuParams params;
    params.MediaType = TContextMediaType::Image;
    params.SourceUrl = QUrl(QStringLiteral("http://service/img/photo.png"));
    const TContextMenuModel menu = View().RaiseContextMenu(params, {});
    EXPECT_EQ(Labels(menu), (QStringList{"刷新", "-", "图片另存为..."}));

    View().RaiseContextMenuCommand(params, MenuIdRefresh);
    EXPECT_EQ(View().ReloadCount, 1);
    for (auto& view : FEngine.Views) {
        if (view && view != FEngine.Views.front()) {
            EXPECT_EQ(view->ReloadCount, 0);
        }
    }

    // Cancelled: nothing more. Chosen: the fake view cannot fetch, so the
    // save fails and says so.
    FChosen = std::nullopt;
    View().RaiseContextMenuCommand(params, MenuIdSaveImage);
    ASSERT_EQ(FDialogs.size(), 1u);
    EXPECT_EQ(FDialogs[0].FileName, QStringLiteral("photo.png"));
    EXPECT_EQ(FDialogs[0].DefaultExt, QStringLiteral(".png"));
    EXPECT_EQ(FDialogs[0].Filter, QStringLiteral("*.png|*.png"));
    EXPECT_TRUE(FBoxes.empty());
    FChosen = FProgram.File(QStringLiteral("photo.png"));
    View().RaiseContextMenuCommand(params, MenuIdSaveImage);
    ASSERT_EQ(FBoxes.size(), 1u);
    EXPECT_EQ(FBoxes[0].Text, QStringLiteral("保存失败！"));
    EXPECT_EQ(FBoxes[0].Flags, 0x30);
    EXPECT_EQ(FBoxes[0].Caption, AppTitle());
}

// The page goes while the save dialog is open (a popup that closes itself):
// nothing is fetched through the view that is gone, and the user is told.
TEST_F(PageCommands, AnImageWhosePageWentDuringTheDialogIsNotFetched)
{
    TContextMenuParams params;
    params.MediaType = TContextMediaType::Image;
    params.SourceUrl = QUrl(QStringLiteral("http://service/img/photo.png"));
    SetSaveDialogHook([this](const TSaveDialogOptions&) {
        delete FEngine.Views.front().data();
        return std::optional<QString>(FProgram.File(QStringLiteral("photo.png")));
    });
    View().RaiseContextMenuCommand(params, MenuIdSaveImage);
    EXPECT_FALSE(FEngine.Views.front());
    ASSERT_EQ(FBoxes.size(), 1u);
    EXPECT_EQ(FBoxes[0].Text, QStringLiteral("保存失败！"));
}

// A page that raises box after box: after a burst the user is offered to
// stop its boxes; a stopped page's dialogs and save dialogs are answered at
// once, until it loads another document.
TEST_F(PageCommands, APageThatKeepsRaisingBoxesCanBeStopped)
{
    const QString question = QStringLiteral("此网页正在连续弹出对话框。要阻止此网页继续弹出对话框吗？");
    for (int i = 0; i < TBoxFlood::Burst; ++i)
        Dialog(TJsDialogType::Alert, QStringLiteral("第 %1 次").arg(i + 1));
    ASSERT_EQ(FBoxes.size(), static_cast<size_t>(TBoxFlood::Burst));
    FAnswer = IDNO; // not now: the box shows, and the offer comes again after another burst
    Dialog(TJsDialogType::Alert, QStringLiteral("再来"));
    ASSERT_EQ(FBoxes.size(), static_cast<size_t>(TBoxFlood::Burst) + 2);
    EXPECT_EQ(FBoxes[TBoxFlood::Burst].Text, question);

    FBoxes.clear();
    for (int i = 0; i < TBoxFlood::Burst - 1; ++i)
        Dialog(TJsDialogType::Alert, QStringLiteral("又一次"));
    FAnswer = IDYES;
    const TJsDialogReply stopped = Dialog(TJsDialogType::Confirm, QStringLiteral("还要继续吗？"));
    ASSERT_EQ(FBoxes.size(), static_cast<size_t>(TBoxFlood::Burst));
    EXPECT_EQ(FBoxes.back().Text, question);
    EXPECT_TRUE(stopped.Handled);
    EXPECT_FALSE(stopped.Success);
    for (int i = 0; i < 100; ++i)
        Dialog(TJsDialogType::Alert, QStringLiteral("循环"));
    FChosen = FProgram.File(QStringLiteral("x.bin"));
    EXPECT_EQ(View().StartDownload({QUrl(QStringLiteral("http://service/x.bin")), QStringLiteral("x.bin"), {}}), nullptr);
    EXPECT_TRUE(FDialogs.empty());
    EXPECT_EQ(FBoxes.size(), static_cast<size_t>(TBoxFlood::Burst));

    View().RaiseLoading(true); // another document
    Dialog(TJsDialogType::Alert, QStringLiteral("新页面"));
    EXPECT_EQ(FBoxes.back().Text, QStringLiteral("新页面"));
}

} // namespace
