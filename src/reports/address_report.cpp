#include "address_report.h"

#include <QDateTime>

#include <data/dataset.h>
#include <xbase/types.h>

namespace reports {

namespace {

constexpr char kProductName[] = "Marigold Cardhold";

// Report pixels (1/120 inch).
constexpr int kHeaderHeight = 40;
constexpr int kHeaderTop = 8;
constexpr int kDetailHeight = 60;
constexpr int kMemoWidth = 837;
constexpr int kMemoHeight = 25;
constexpr int kSummaryHeight = 55;
// Text format: the memo moves right of the name's edge and gives up width to match.
constexpr int kTextMemoLeft = 32;
constexpr int kTextMemoNarrowing = 325;

ReportFont reportFont(bool bold = false) {
    return ReportFont::fromPoints(QStringLiteral("Arial"), 10, bold);
}

}  // namespace

QString reportTitle() {
    return QString::fromLatin1(kProductName) + QLatin1Char(' ') +
           QString::fromLatin1(kProductWebAddress);
}

QString producedByCaption() {
    return QStringLiteral(" Produced by %1  ").arg(QString::fromLatin1(kProductName)) +
           QString::fromLatin1(kProductWebAddress);
}

TQR::TQR(QString mainWindowTitle, int includeMemoMarker)
    : mainWindowTitle_(std::move(mainWindowTitle)), includeMemoMarker_(includeMemoMarker) {
    createLayout();
    FormCreate();
}

void TQR::createLayout() {
    QR.setTitle(reportTitle());
    QR.setFont(reportFont());
    QR.setMargins({1.0, 0.5, 0.5, 0.5});
    QR.setPrintIfEmpty(false);

    PageHeaderBand1 =
        &QR.addBand(BandKind::PageHeader, QStringLiteral("PageHeaderBand1"), kHeaderHeight);
    PageHeaderBand1->setPrintOnFirstPage(true);
    HeaderLabel1 = &PageHeaderBand1->addLabel(QStringLiteral("HeaderLabel1"), 16, kHeaderTop, {});
    DateLabel = &PageHeaderBand1->addLabel(QStringLiteral("DateLabel"), 366, kHeaderTop,
                                           QStringLiteral("Date Run:"));
    QRSysData1 = &PageHeaderBand1->addSystemText(QStringLiteral("QRSysData1"), 454, kHeaderTop,
                                                 SystemData::Date);
    QRLabel1 = &PageHeaderBand1->addLabel(QStringLiteral("QRLabel1"), 540, kHeaderTop,
                                          QStringLiteral("Records:"));
    QRSysData3 = &PageHeaderBand1->addSystemText(QStringLiteral("QRSysData3"), 632, kHeaderTop,
                                                 SystemData::RecordCount);
    PageLabel1 = &PageHeaderBand1->addLabel(QStringLiteral("PageLabel1"), 746, kHeaderTop,
                                            QStringLiteral("Page:"));
    QRSysData2 = &PageHeaderBand1->addSystemText(QStringLiteral("QRSysData2"), 780, kHeaderTop,
                                                 SystemData::PageNumber);
    QRSysData2->setAlignment(Alignment::Right);
    QRSysData2->setAlignToBand(true);

    DetailBand1 = &QR.addBand(BandKind::Detail, QStringLiteral("DetailBand1"), kDetailHeight);
    DetailBand1->setFrame(Frame::topLine(LineStyle::DashDotDot));
    QRDBText1 =
        &DetailBand1->addDataText(QStringLiteral("QRDBText1"), 0, 8, QStringLiteral("NAME"));
    QRDBText1->setHeight(24);
    QRDBText1->setWordWrap(true);
    QRDBText1->setFont(reportFont(true));
    QRDBText2 =
        &DetailBand1->addDataText(QStringLiteral("QRDBText2"), 0, 32, QStringLiteral("INFO"));
    QRDBText2->setAutoSize(false);
    QRDBText2->resize(kMemoWidth, kMemoHeight);
    QRDBText2->setWordWrap(true);
    QRDBText2->setStretches(true);

    SummaryBand1 = &QR.addBand(BandKind::Summary, QStringLiteral("SummaryBand1"), kSummaryHeight);
    QRLabel2 = &SummaryBand1->addLabel(QStringLiteral("QRLabel2"), 0, 18, producedByCaption());
    QRLabel2->setAlignment(Alignment::Center);
    QRLabel2->setAlignToBand(true);
    QRLabel2->setFrame(Frame::box());
}

void TQR::FormCreate() {
    HeaderLabel1->setCaption(mainWindowTitle_);
    if (includeMemoMarker_ == kLeaveMemoOut) {
        QRDBText2->setEnabled(false);
        DetailBand1->setFrame({});
        DetailBand1->setHeight(DetailBand1->height() - QRDBText2->height());
    }
}

void TQR::bind(ReportDataSet& entries) {
    // The data items read whatever data set the report walks.
    QR.setDataSet(&entries);
}

void TQR::applyTextFormat(bool textFormat, const data::DataSet& mainTable) {
    PageMargins margins = QR.margins();
    if (textFormat) {
        margins.left = 0.0;
        margins.right = 2.5;
        QR.setMargins(margins);
        PageHeaderBand1->setEnabled(false);
        QRDBText2->moveTo(kTextMemoLeft, QRDBText2->top());
        QRDBText2->setWidth(QRDBText2->width() - kTextMemoNarrowing);
        SummaryBand1->setEnabled(false);
        return;
    }
    margins.left = 1.0;
    QR.setMargins(margins);
    PageHeaderBand1->setEnabled(true);
    SummaryBand1->setEnabled(true);
    if (mainTable.filtered() && mainTable.filter().isEmpty()) {
        QRLabel1->setEnabled(false);
        QRSysData3->setEnabled(false);
    }
}

void produceReport(const ReportRequest& request,
                   const std::function<void(const Report&)>& preview) {
    TQR form(request.mainWindowTitle, request.includeMemoMarker);
    form.bind(request.entries);
    form.QR.setDateFormat(request.dateFormat);
    form.QR.setFileName(request.bookName);
    // "Date Run" is the day the program's saves are stamped with.
    const xbase::Date today = xbase::Date::today();
    form.QR.setRunTime(QDateTime(QDate(today.year, today.month, today.day), QTime::currentTime()));
    form.applyTextFormat(request.textFormat, request.mainTable);
    preview(form.QR);
}

}  // namespace reports
