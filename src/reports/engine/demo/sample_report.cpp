#include <report_engine/sample_report.h>

#include <QStringList>

#include <random>

namespace reports::sample {

namespace {

const QStringList kFirstNames = {"Margaret", "Oliver", "Priya",  "Tomasz", "Hannah", "Kwame",
                                 "Lucia",    "Stefan", "Aiko",   "Rafael", "Ingrid", "Dmitri",
                                 "Fatima",   "George", "Yvonne", "Henrik"};
const QStringList kLastNames = {"Abbott",    "Barrington", "Castellanos", "Dunmore", "Eriksen",
                                "Fairbanks", "Gallagher",  "Hollis",      "Ivanova", "Jefferson",
                                "Kowalski",  "Lindqvist",  "Mbeki",       "Novak",   "Okafor"};
const QStringList kStreets = {"Maple Avenue", "Harbour Road", "Chestnut Lane", "Mill Street",
                              "Orchard Way",  "Station Road", "Kingsway",      "Elm Court"};
const QStringList kTowns = {"Springfield, IL 62704", "Portland, OR 97205", "Burlington, VT 05401",
                            "Madison, WI 53703",     "Santa Fe, NM 87501", "Ithaca, NY 14850"};
const QStringList kNotes = {
    "Met at the spring trade fair; interested in the catalogue and asked to be called back "
    "after the holidays about the larger order for the new shop.",
    "Prefers e-mail. Birthday in March. Has a daughter at the university who studies "
    "architecture and may want an internship next summer.",
    "Old friend from school. Lends out the camping gear, and borrowed the ladder in "
    "October; still has it.",
    "Accountant. Tax papers go to the office before the end of February, with copies of "
    "every receipt and the car's mileage log.",
    "Plays the cello in the community orchestra; concerts on the second Sunday of each "
    "month in the old church on the square.",
};

QString makeMemo(std::mt19937& random, int index) {
    const auto pick = [&](const QStringList& list) {
        return list[static_cast<qsizetype>(random() % list.size())];
    };
    QStringList lines;
    lines << QStringLiteral("%1 %2").arg(10 + random() % 980).arg(pick(kStreets)) << pick(kTowns);
    lines << QStringLiteral("Phone: (%1) 555-%2")
                 .arg(200 + random() % 700)
                 .arg(random() % 10000, 4, 10, QLatin1Char('0'));
    if (random() % 2 == 0) lines << QStringLiteral("Email: contact%1@example.org").arg(index);
    if (random() % 3 == 0) lines << QStringLiteral("www.example.com/people/%1").arg(index);
    const int notes = static_cast<int>(random() % 4);
    for (int n = 0; n < notes; ++n) lines << pick(kNotes);
    // Now and then a memo that is a long diary.
    if (random() % 40 == 0)
        for (int n = 0; n < 80; ++n)
            lines << QStringLiteral("%1/%2: ").arg(1 + n % 12).arg(1 + n % 28) + pick(kNotes);
    return lines.join(QStringLiteral("\r\n"));
}

}  // namespace

std::unique_ptr<MemoryDataSet> makeEntries(int count, unsigned seed) {
    auto entries = std::make_unique<MemoryDataSet>(QStringList{"NAME", "INFO"});
    std::mt19937 random(seed);
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("%1, %2").arg(
            kLastNames[static_cast<qsizetype>(random() % kLastNames.size())],
            kFirstNames[static_cast<qsizetype>(random() % kFirstNames.size())]);
        entries->addRecord({name, makeMemo(random, i)});
    }
    return entries;
}

std::unique_ptr<Report> makeAddressReport(ReportDataSet& entries, const QString& title,
                                          const AddressReportOptions& options) {
    auto report = std::make_unique<Report>();
    report->setTitle(title);
    report->setDataSet(&entries);
    report->setFont(ReportFont::fromPoints(QStringLiteral("Arial"), 10));
    report->setMargins({1.0, 0.5, 0.5, 0.5});

    ReportBand& header = report->addBand(BandKind::PageHeader, "PageHeaderBand1", 40);
    header.addLabel("HeaderLabel1", 16, 8, title);
    header.addLabel("DateLabel", 366, 8, "Date Run:");
    header.addSystemText("QRSysData1", 454, 8, SystemData::Date);
    header.addLabel("QRLabel1", 540, 8, "Records:");
    header.addSystemText("QRSysData3", 632, 8, SystemData::RecordCount);
    header.addLabel("PageLabel1", 746, 8, "Page:");
    ReportItem& page = header.addSystemText("QRSysData2", 780, 8, SystemData::PageNumber);
    page.setAlignment(Alignment::Right);
    page.setAlignToBand(true);

    ReportBand& detail = report->addBand(BandKind::Detail, "DetailBand1", 60);
    detail.setFrame(Frame::topLine(LineStyle::DashDotDot));
    ReportItem& name = detail.addDataText("QRDBText1", 0, 8, "NAME");
    name.setHeight(24);
    name.setWordWrap(true);
    name.setFont(ReportFont::fromPoints(QStringLiteral("Arial"), 10, true));
    ReportItem& memo = detail.addDataText("QRDBText2", 0, 32, "INFO");
    memo.setAutoSize(false);
    memo.resize(837, 25);
    memo.setWordWrap(true);
    memo.setStretches(true);

    ReportBand& summary = report->addBand(BandKind::Summary, "SummaryBand1", 55);
    ReportItem& produced = summary.addLabel("QRLabel2", 0, 18, " Produced by Marigold Cardhold  ");
    produced.setAlignment(Alignment::Center);
    produced.setAlignToBand(true);
    produced.setFrame(Frame::box());

    if (!options.includeMemo) {
        memo.setEnabled(false);
        detail.setFrame({});
        detail.setHeight(60 - memo.height());
    }
    if (options.textFormat) {
        report->setMargins({0.0, 0.5, 2.5, 0.5});
        header.setEnabled(false);
        memo.moveTo(32, memo.top());
        memo.setWidth(memo.width() - 325);
        summary.setEnabled(false);
    } else if (!options.showRecordCount) {
        report->findItem("QRLabel1")->setEnabled(false);
        report->findItem("QRSysData3")->setEnabled(false);
    }
    return report;
}

}  // namespace reports::sample
