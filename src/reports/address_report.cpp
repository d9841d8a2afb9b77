#include <reports/address_report.h>

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

AddressReport::AddressReport(QString mainWindowTitle, bool includeMemo) {
    createLayout();
    windowTitleText->setCaption(mainWindowTitle);
    if (!includeMemo) leaveMemoOut();
}

void AddressReport::createLayout() {
    report.setTitle(reportTitle());
    report.setFont(reportFont());
    report.setMargins({1.0, 0.5, 0.5, 0.5});
    report.setPrintIfEmpty(false);

    pageHeader =
        &report.addBand(BandKind::PageHeader, QStringLiteral("PageHeaderBand1"), kHeaderHeight);
    pageHeader->setPrintOnFirstPage(true);
    windowTitleText = &pageHeader->addLabel(QStringLiteral("HeaderLabel1"), 16, kHeaderTop, {});
    dateCaption = &pageHeader->addLabel(QStringLiteral("DateLabel"), 366, kHeaderTop,
                                        QStringLiteral("Date Run:"));
    dateText =
        &pageHeader->addSystemText(QStringLiteral("QRSysData1"), 454, kHeaderTop, SystemData::Date);
    recordCountCaption = &pageHeader->addLabel(QStringLiteral("QRLabel1"), 540, kHeaderTop,
                                               QStringLiteral("Records:"));
    recordCountText = &pageHeader->addSystemText(QStringLiteral("QRSysData3"), 632, kHeaderTop,
                                                 SystemData::RecordCount);
    pageNumberCaption = &pageHeader->addLabel(QStringLiteral("PageLabel1"), 746, kHeaderTop,
                                              QStringLiteral("Page:"));
    pageNumberText = &pageHeader->addSystemText(QStringLiteral("QRSysData2"), 780, kHeaderTop,
                                                SystemData::PageNumber);
    pageNumberText->setAlignment(Alignment::Right);
    pageNumberText->setAlignToBand(true);

    entryBand = &report.addBand(BandKind::Detail, QStringLiteral("DetailBand1"), kDetailHeight);
    entryBand->setFrame(Frame::topLine(LineStyle::DashDotDot));
    nameText = &entryBand->addDataText(QStringLiteral("QRDBText1"), 0, 8, QStringLiteral("NAME"));
    nameText->setHeight(24);
    nameText->setWordWrap(true);
    nameText->setFont(reportFont(true));
    memoText = &entryBand->addDataText(QStringLiteral("QRDBText2"), 0, 32, QStringLiteral("INFO"));
    memoText->setAutoSize(false);
    memoText->resize(kMemoWidth, kMemoHeight);
    memoText->setWordWrap(true);
    memoText->setStretches(true);

    closingBand =
        &report.addBand(BandKind::Summary, QStringLiteral("SummaryBand1"), kSummaryHeight);
    producedByText = &closingBand->addLabel(QStringLiteral("QRLabel2"), 0, 18, producedByCaption());
    producedByText->setAlignment(Alignment::Center);
    producedByText->setAlignToBand(true);
    producedByText->setFrame(Frame::box());
}

void AddressReport::leaveMemoOut() {
    memoText->setEnabled(false);
    entryBand->setFrame({});
    entryBand->setHeight(entryBand->height() - memoText->height());
}

void AddressReport::bind(ReportDataSet& entries) {
    // The data items read whatever data set the report walks.
    report.setDataSet(&entries);
}

void AddressReport::applyTextFormat(bool textFormat, const data::DataSet& mainTable) {
    PageMargins margins = report.margins();
    if (textFormat) {
        margins.left = 0.0;
        margins.right = 2.5;
        report.setMargins(margins);
        pageHeader->setEnabled(false);
        memoText->moveTo(kTextMemoLeft, memoText->top());
        memoText->setWidth(memoText->width() - kTextMemoNarrowing);
        closingBand->setEnabled(false);
        return;
    }
    margins.left = 1.0;
    report.setMargins(margins);
    pageHeader->setEnabled(true);
    closingBand->setEnabled(true);
    if (mainTable.filtered() && mainTable.filter().isEmpty()) {
        recordCountCaption->setEnabled(false);
        recordCountText->setEnabled(false);
    }
}

void produceReport(const ReportRequest& request,
                   const std::function<void(const Report&)>& preview) {
    AddressReport form(request.mainWindowTitle, request.includeMemo);
    form.bind(request.entries);
    form.report.setDateFormat(request.dateFormat);
    form.report.setFileName(request.bookName);
    // "Date Run" is the day the program's saves are stamped with.
    const xbase::Date today = xbase::Date::today();
    form.report.setRunTime(
        QDateTime(QDate(today.year, today.month, today.day), QTime::currentTime()));
    form.applyTextFormat(request.textFormat, request.mainTable);
    preview(form.report);
}

}  // namespace reports
