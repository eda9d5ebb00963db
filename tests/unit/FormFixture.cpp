#include "FormFixture.h"

#include "core/Global.h"

void FormFixture::SetUp()
{
    gAppDir = FProgram.Path();
    gDataDir = FData.Path(); // what the program writes goes here, never beside it
}

void FormFixture::TearDown()
{
    FForm.reset();
}

void FormFixture::CreateForm()
{
    FForm.reset();
    FEngine.Views.clear();
    FForm = std::make_unique<TFormMain>(FEngine);
}

void FormFixture::MakeForm()
{
    CreateForm();
    FForm->show();
}

void FormFixture::StartForm()
{
    MakeForm();
    FForm->showNormal();
    FForm->resize(1000, 700);
    Pump();
    ASSERT_TRUE(WaitUntil([this] { return Pages().PageCount() == 3; }, 20000));
    Pump();
}

TPageControl& FormFixture::Pages()
{
    return FForm->PageControl1();
}

TFakeChromium* FormFixture::ViewOn(int index)
{
    for (auto& view : FEngine.Views)
        if (view && Pages().Page(index) && view->parentWidget() == Pages().Page(index))
            return view;
    return nullptr;
}

TChromium* FormFixture::Popup(int fromIndex, bool userGesture)
{
    TPopupRequest request;
    request.TargetUrl = QUrl(QStringLiteral("http://service/child"));
    request.UserGesture = userGesture;
    return ViewOn(fromIndex)->RaisePopup(request);
}

void TabsFixture::SetUp()
{
    gAppDir = FProgram.Path();
    gDataDir = FData.Path();
    FRegistry.CreatePages();
    FPages.resize(1000, 700);
    FRegistry.OpenAddressTab(QStringLiteral("http://127.0.0.1:8765/?ComputerName=x"));
    FView = FEngine.Views.back();
    ASSERT_TRUE(FView);
}
