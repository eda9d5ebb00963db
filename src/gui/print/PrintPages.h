#pragma once

#include <QByteArray>
#include <QScrollArea>

#include <vector>

class QBuffer;
class QLabel;
class QPdfDocument;

// The pages of a print preview, drawn from the PDF the engine made. Every
// page shows at once as a blank sheet of its size and fills in when drawn,
// one page per turn of the event loop, so the window answers meanwhile and
// a long document is readable from its first page on.
class TPrintPages : public QScrollArea
{
    Q_OBJECT

public:
    explicit TPrintPages(QWidget* parent = nullptr);
    ~TPrintPages() override;

    // Shows the document (once); Unreadable follows when it is not a PDF
    // that can be read.
    void SetDocument(const QByteArray& pdf);
    int PageCount() const;
    int PagesDrawn() const { return FDrawn; }
    // Width in device-independent pixels at which pages are drawn.
    static constexpr int PageWidth = 600;

Q_SIGNALS:
    // drawn of count pages are drawn; equal once all are.
    void Progress(int drawn, int count);
    void Unreadable();

private:
    void DocumentStatusChanged();
    void DrawNextPage();
    QSize PageSize(int page) const;

    QByteArray FData;
    QBuffer* FBuffer = nullptr;
    QPdfDocument* FDocument = nullptr;
    QWidget* FSheets = nullptr;
    std::vector<QLabel*> FPages;
    int FDrawn = 0;
};
