#include <report_engine/report_definition.h>

#include <report_engine/report_data_set.h>
#include <report_engine/report_error.h>

#include <cmath>

namespace reports {

ReportItem::ReportItem(QString name, int left, int top)
    : name_(std::move(name)), left_(left), top_(top) {}

void ReportItem::moveTo(int left, int top) {
    left_ = left;
    top_ = top;
}

void ReportItem::resize(int width, int height) {
    width_ = width;
    height_ = height;
}

ReportLabel::ReportLabel(QString name, int left, int top, QString caption)
    : ReportItem(std::move(name), left, top), caption_(std::move(caption)) {}

ReportDataText::ReportDataText(QString name, int left, int top, QString field)
    : ReportItem(std::move(name), left, top), field_(std::move(field)) {}

QString ReportDataText::text(const ItemContext& context) const {
    if (context.dataSet == nullptr || context.dataSet->atEnd()) return {};
    return context.dataSet->fieldText(field_);
}

ReportSystemText::ReportSystemText(QString name, int left, int top, SystemData data)
    : ReportItem(std::move(name), left, top), data_(data) {}

QString ReportSystemText::text(const ItemContext& context) const {
    switch (data_) {
        case SystemData::Date:
            return context.runTime.date().toString(context.dateFormat);
        case SystemData::Time:
            return context.runTime.time().toString(context.timeFormat);
        case SystemData::PageNumber:
            return QString::number(context.pageNumber);
        case SystemData::RecordCount:
            return QString::number(context.recordCount);
        case SystemData::DetailNumber:
            return QString::number(context.detailNumber);
    }
    return {};
}

ReportBand::ReportBand(BandKind kind, QString name, int height)
    : kind_(kind), name_(std::move(name)), height_(height) {}

template <typename Item, typename... Args>
Item& ReportBand::add(Args&&... args) {
    auto item = std::make_unique<Item>(std::forward<Args>(args)...);
    Item& added = *item;
    items_.push_back(std::move(item));
    return added;
}

ReportLabel& ReportBand::addLabel(const QString& name, int left, int top, const QString& caption) {
    return add<ReportLabel>(name, left, top, caption);
}

ReportDataText& ReportBand::addDataText(const QString& name, int left, int top,
                                        const QString& field) {
    return add<ReportDataText>(name, left, top, field);
}

ReportSystemText& ReportBand::addSystemText(const QString& name, int left, int top,
                                            SystemData data) {
    return add<ReportSystemText>(name, left, top, data);
}

ReportItem* ReportBand::findItem(const QString& name) const {
    for (const auto& item : items_)
        if (item->name().compare(name, Qt::CaseInsensitive) == 0) return item.get();
    return nullptr;
}

namespace {

int inchesToPixels(double inches) {
    return static_cast<int>(std::lround(inches * kReportDpi));
}

}  // namespace

Report::Report() = default;

void Report::setPaperSize(int width, int height) {
    if (width <= 0 || height <= 0)
        throw ReportError(
            QStringLiteral("The paper size %1 x %2 is not valid.").arg(width).arg(height));
    paperWidth_ = width;
    paperHeight_ = height;
}

int Report::contentLeft() const {
    return inchesToPixels(margins_.left);
}

int Report::contentTop() const {
    return inchesToPixels(margins_.top);
}

int Report::contentWidth() const {
    return paperWidth_ - inchesToPixels(margins_.left) - inchesToPixels(margins_.right);
}

int Report::contentBottom() const {
    return paperHeight_ - inchesToPixels(margins_.bottom);
}

ReportBand& Report::addBand(BandKind kind, const QString& name, int height) {
    if (band(kind) != nullptr)
        throw ReportError(
            QStringLiteral("The report already has a band of the kind of \"%1\".").arg(name));
    bands_.push_back(std::make_unique<ReportBand>(kind, name, height));
    return *bands_.back();
}

ReportBand* Report::band(BandKind kind) const {
    for (const auto& band : bands_)
        if (band->kind() == kind) return band.get();
    return nullptr;
}

ReportBand* Report::findBand(const QString& name) const {
    for (const auto& band : bands_)
        if (band->name().compare(name, Qt::CaseInsensitive) == 0) return band.get();
    return nullptr;
}

ReportItem* Report::findItem(const QString& name) const {
    for (const auto& band : bands_)
        if (ReportItem* item = band->findItem(name)) return item;
    return nullptr;
}

}  // namespace reports
