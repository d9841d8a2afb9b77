#include <report_engine/report_layout.h>

#include <report_engine/report_data_set.h>
#include <report_engine/report_definition.h>
#include <report_engine/report_error.h>
#include <report_engine/report_text_metrics.h>

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace reports {

namespace {

// One band as printed for one record, before it is put on a page: coordinates are
// relative to the band's top-left corner.
struct BandImage {
    int height = 0;
    ReportPage elements;
    // Heights at which the band may be split: between two lines of a stretching item.
    std::vector<int> breaks;
};

struct ItemImage {
    const ReportItem* item = nullptr;
    std::vector<TextLine> lines;
    ReportFont font;
    double lineSpacing = 0;
    int boxLeft = 0;
    int boxWidth = 0;
    int boxHeight = 0;
    int designHeight = 0;
    int growth = 0;
};

int lineOffset(int line, double lineSpacing) {
    return static_cast<int>(std::lround(line * lineSpacing));
}

void addFrame(ReportPage& page, const Frame& frame, int x, int y, int width, int height) {
    if (!frame.any()) return;
    if (frame.all()) {
        page.boxes.push_back({x, y, width, height, frame.style, frame.penWidth});
        return;
    }
    const auto line = [&](int x1, int y1, int x2, int y2) {
        page.lines.push_back({x1, y1, x2, y2, frame.style, frame.penWidth});
    };
    if (frame.top) line(x, y, x + width, y);
    if (frame.bottom) line(x, y + height, x + width, y + height);
    if (frame.left) line(x, y, x, y + height);
    if (frame.right) line(x + width, y, x + width, y + height);
}

void offset(ReportPage& page, int dx, int dy) {
    for (PageText& text : page.texts) {
        text.x += dx;
        text.y += dy;
    }
    for (PageLine& line : page.lines) {
        line.x1 += dx;
        line.x2 += dx;
        line.y1 += dy;
        line.y2 += dy;
    }
    for (PageBox& box : page.boxes) {
        box.x += dx;
        box.y += dy;
    }
}

void append(ReportPage& to, ReportPage from) {
    to.texts.insert(to.texts.end(), std::make_move_iterator(from.texts.begin()),
                    std::make_move_iterator(from.texts.end()));
    to.lines.insert(to.lines.end(), from.lines.begin(), from.lines.end());
    to.boxes.insert(to.boxes.end(), from.boxes.begin(), from.boxes.end());
}

// Cuts a band at height `at`: what lies above stays in `image`, the rest is returned,
// moved up so that it starts at 0. Lines and boxes that cross the cut are cut too.
BandImage splitBand(BandImage& image, int at) {
    BandImage rest;
    rest.height = image.height - at;
    ReportPage above;

    for (PageText& text : image.elements.texts) {
        if (text.y < at) {
            above.texts.push_back(std::move(text));
        } else {
            text.y -= at;
            rest.elements.texts.push_back(std::move(text));
        }
    }
    for (const PageLine& line : image.elements.lines) {
        const int top = std::min(line.y1, line.y2);
        const int bottom = std::max(line.y1, line.y2);
        if (bottom <= at && !(top == at && bottom == at)) {
            above.lines.push_back(line);
        } else if (top >= at) {
            PageLine moved = line;
            moved.y1 -= at;
            moved.y2 -= at;
            rest.elements.lines.push_back(moved);
        } else {  // a vertical line across the cut
            PageLine upper = line;
            upper.y1 = top;
            upper.y2 = at;
            above.lines.push_back(upper);
            PageLine lower = line;
            lower.y1 = 0;
            lower.y2 = bottom - at;
            rest.elements.lines.push_back(lower);
        }
    }
    for (const PageBox& box : image.elements.boxes) {
        if (box.y + box.height <= at) {
            above.boxes.push_back(box);
        } else if (box.y >= at) {
            PageBox moved = box;
            moved.y -= at;
            rest.elements.boxes.push_back(moved);
        } else {
            PageBox upper = box;
            upper.height = at - box.y;
            above.boxes.push_back(upper);
            PageBox lower = box;
            lower.y = 0;
            lower.height = box.y + box.height - at;
            rest.elements.boxes.push_back(lower);
        }
    }
    for (int split : image.breaks)
        if (split > at) rest.breaks.push_back(split - at);

    image.elements = std::move(above);
    image.height = at;
    image.breaks.clear();
    return rest;
}

}  // namespace

class ReportLayouter::Impl {
  public:
    explicit Impl(const Report& report);

    bool layoutSome(int maxRecords);

    const Report& report;
    ReportDataSet& data;
    TextMetrics metrics;
    ReportDocument document;
    ItemContext context;
    int recordsDone = 0;
    bool finished = false;

  private:
    enum class Stage { Start, Details, End };

    BandImage buildBand(const ReportBand& band);
    ItemImage buildItem(const ReportItem& item, int bandWidth);
    void placeBand(const ReportBand& band);
    void place(BandImage image);
    void openPage();
    void closePage();
    int freshBodyHeight() const;
    static bool enabled(const ReportBand* band) { return band != nullptr && band->isEnabled(); }

    Stage stage_ = Stage::Start;
    bool pageOpen_ = false;
    int cursorY_ = 0;
    int bodyTop_ = 0;
    int bodyBottom_ = 0;
    // The last record with something on the page: what a page footer counts.
    int placedDetailNumber_ = 0;
    bool placingDetail_ = false;
};

ReportLayouter::Impl::Impl(const Report& r)
    : report(r), data([&]() -> ReportDataSet& {
          if (r.dataSet() == nullptr)
              throw ReportError(QStringLiteral("The report has no data set."));
          return *r.dataSet();
      }()) {
    document.title = report.title();
    document.paperWidth = report.paperWidth();
    document.paperHeight = report.paperHeight();
    context.dataSet = &data;
    context.runTime = report.runTime().value_or(QDateTime::currentDateTime());
    context.dateFormat = report.dateFormat();
    context.timeFormat = report.timeFormat();
}

bool ReportLayouter::Impl::layoutSome(int maxRecords) {
    if (stage_ == Stage::Start) {
        data.first();
        context.recordCount = data.recordCount();
        if (data.atEnd() && !report.printIfEmpty()) {
            stage_ = Stage::End;
            finished = true;
            return true;
        }
        if (enabled(report.band(BandKind::Title))) placeBand(*report.band(BandKind::Title));
        stage_ = Stage::Details;
    }
    if (stage_ == Stage::Details) {
        const ReportBand* detail = report.band(BandKind::Detail);
        for (int done = 0; done < std::max(1, maxRecords) && !data.atEnd(); ++done) {
            context.detailNumber = recordsDone + 1;
            if (enabled(detail)) placeBand(*detail);
            ++recordsDone;
            data.next();
        }
        if (!data.atEnd()) return false;
        if (enabled(report.band(BandKind::Summary))) placeBand(*report.band(BandKind::Summary));
        if (pageOpen_) closePage();
        stage_ = Stage::End;
        finished = true;
    }
    return finished;
}

ItemImage ReportLayouter::Impl::buildItem(const ReportItem& item, int bandWidth) {
    ItemImage image;
    image.item = &item;
    image.font = item.font().value_or(report.font());
    const FontMeasure& measure = metrics.measure(image.font);
    image.lineSpacing = measure.lineSpacing;

    const QString text = TextMetrics::printable(item.text(context));
    double available = item.width();
    if (item.autoSize()) available = item.alignToBand() ? bandWidth : bandWidth - item.left();
    if (item.wordWrap() && available > 0) {
        image.lines = metrics.wrap(text, image.font, available);
    } else if (!item.autoSize()) {
        image.lines = metrics.cut(text, image.font, available);
    } else {
        image.lines = metrics.lines(text, image.font);
    }

    double widest = 0;
    for (const TextLine& line : image.lines) widest = std::max(widest, line.width);
    image.boxWidth = item.autoSize() ? static_cast<int>(std::ceil(widest - 1e-6)) : item.width();
    if (!item.alignToBand()) {
        image.boxLeft = item.left();
    } else if (item.alignment() == Alignment::Right) {
        image.boxLeft = bandWidth - image.boxWidth;
    } else if (item.alignment() == Alignment::Center) {
        image.boxLeft = (bandWidth - image.boxWidth) / 2;
    }

    const int lineCount = static_cast<int>(image.lines.size());
    const int textHeight = lineOffset(lineCount, image.lineSpacing);
    image.designHeight = item.height() > 0 ? item.height() : textHeight;
    if (item.stretches()) {
        image.boxHeight = std::max(image.designHeight, textHeight);
        image.growth = image.boxHeight - image.designHeight;
    } else {
        image.boxHeight = image.designHeight;
        // A fixed item shows the lines that fit, and always its first one.
        int fitting = 0;
        while (fitting < lineCount && lineOffset(fitting + 1, image.lineSpacing) <= image.boxHeight)
            ++fitting;
        image.lines.resize(std::min(lineCount, std::max(fitting, 1)));
    }
    return image;
}

BandImage ReportLayouter::Impl::buildBand(const ReportBand& band) {
    const int bandWidth = report.contentWidth();
    std::vector<ItemImage> items;
    for (const auto& item : band.items())
        if (item->isEnabled()) items.push_back(buildItem(*item, bandWidth));

    BandImage image;
    int growth = 0;
    for (const ItemImage& grown : items) growth = std::max(growth, grown.growth);
    image.height = band.height() + growth;

    for (const ItemImage& item : items) {
        // Whatever stands below a stretching item moves down as far as it grows.
        int shift = 0;
        for (const ItemImage& grown : items)
            if (&grown != &item && grown.growth > 0 &&
                item.item->top() >= grown.item->top() + grown.designHeight)
                shift = std::max(shift, grown.growth);
        const int top = item.item->top() + shift;

        for (size_t i = 0; i < item.lines.size(); ++i) {
            const int lineTop = top + lineOffset(static_cast<int>(i), item.lineSpacing);
            const int lineBottom = top + lineOffset(static_cast<int>(i) + 1, item.lineSpacing);
            if (i > 0 && item.item->stretches()) image.breaks.push_back(lineTop);
            const TextLine& line = item.lines[i];
            if (line.text.isEmpty()) continue;
            const int width = static_cast<int>(std::ceil(line.width - 1e-6));
            int x = item.boxLeft;
            if (item.item->alignment() == Alignment::Right) x += item.boxWidth - width;
            if (item.item->alignment() == Alignment::Center) x += (item.boxWidth - width) / 2;
            image.elements.texts.push_back(
                {x, lineTop, width, lineBottom - lineTop, line.text, item.font});
        }
        if (item.boxWidth > 0 || !item.item->autoSize())
            addFrame(image.elements, item.item->frame(), item.boxLeft, top, item.boxWidth,
                     item.boxHeight);
    }
    addFrame(image.elements, band.frame(), 0, 0, bandWidth, image.height);

    // Never split through a line of text of another item.
    std::erase_if(image.breaks, [&](int at) {
        if (at <= 0 || at >= image.height) return true;
        return std::any_of(image.elements.texts.begin(), image.elements.texts.end(),
                           [at](const PageText& t) { return t.y < at && at < t.y + t.height; });
    });
    std::sort(image.breaks.begin(), image.breaks.end());
    image.breaks.erase(std::unique(image.breaks.begin(), image.breaks.end()), image.breaks.end());
    return image;
}

int ReportLayouter::Impl::freshBodyHeight() const {
    const ReportBand* header = report.band(BandKind::PageHeader);
    const int headerHeight = enabled(header) ? header->height() : 0;
    return bodyBottom_ - report.contentTop() - headerHeight;
}

void ReportLayouter::Impl::openPage() {
    document.pages.emplace_back();
    pageOpen_ = true;
    context.pageNumber = document.pageCount();
    cursorY_ = report.contentTop();
    bodyBottom_ = report.contentBottom();
    const ReportBand* footer = report.band(BandKind::PageFooter);
    if (enabled(footer)) bodyBottom_ -= footer->height();

    const ReportBand* header = report.band(BandKind::PageHeader);
    if (enabled(header) && (context.pageNumber > 1 || header->printOnFirstPage())) {
        BandImage image = buildBand(*header);
        const int height = image.height;
        place(std::move(image));
        cursorY_ += height;
    }
    bodyTop_ = cursorY_;
}

void ReportLayouter::Impl::closePage() {
    const ReportBand* footer = report.band(BandKind::PageFooter);
    if (enabled(footer)) {
        const int current = context.detailNumber;
        context.detailNumber = placedDetailNumber_;
        BandImage image = buildBand(*footer);
        context.detailNumber = current;
        cursorY_ = report.contentBottom() - footer->height();
        place(std::move(image));
    }
    pageOpen_ = false;
}

void ReportLayouter::Impl::place(BandImage image) {
    if (placingDetail_) placedDetailNumber_ = context.detailNumber;
    offset(image.elements, report.contentLeft(), cursorY_);
    append(document.pages.back(), std::move(image.elements));
}

void ReportLayouter::Impl::placeBand(const ReportBand& band) {
    if (!pageOpen_) openPage();
    placingDetail_ = band.kind() == BandKind::Detail;
    const struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{placingDetail_};
    const bool pageNumbered =
        std::any_of(band.items().begin(), band.items().end(),
                    [](const auto& i) { return i->isEnabled() && i->usesPageNumber(); });
    BandImage image = buildBand(band);
    for (;;) {
        const int room = bodyBottom_ - cursorY_;
        const bool freshPage = cursorY_ == bodyTop_;
        if (image.height <= room) {
            const int height = image.height;
            place(std::move(image));
            cursorY_ += height;
            return;
        }
        const bool moveWhole =
            band.keepTogether() && !freshPage && image.height <= freshBodyHeight();
        const auto split = std::upper_bound(image.breaks.begin(), image.breaks.end(), room);
        if (!moveWhole && split != image.breaks.begin()) {
            BandImage rest = splitBand(image, *std::prev(split));
            place(std::move(image));
            closePage();
            openPage();
            image = std::move(rest);
            continue;
        }
        if (!freshPage) {
            closePage();
            openPage();
            if (pageNumbered) image = buildBand(band);
            continue;
        }
        // Taller than an empty page and nowhere to split: print what the paper holds.
        const int height = image.height;
        place(std::move(image));
        cursorY_ += height;
        return;
    }
}

ReportLayouter::ReportLayouter(const Report& report) : impl_(std::make_unique<Impl>(report)) {}

ReportLayouter::~ReportLayouter() = default;

bool ReportLayouter::layoutSome(int maxRecords) {
    if (impl_->finished) return true;
    return impl_->layoutSome(maxRecords);
}

bool ReportLayouter::isFinished() const {
    return impl_->finished;
}

int ReportLayouter::recordsDone() const {
    return impl_->recordsDone;
}

int ReportLayouter::recordCount() const {
    return impl_->context.recordCount;
}

const ReportDocument& ReportLayouter::document() const {
    return impl_->document;
}

ReportDocument ReportLayouter::takeDocument() {
    return std::move(impl_->document);
}

ReportDocument layoutReport(const Report& report, const LayoutProgress& progress) {
    ReportLayouter layouter(report);
    constexpr int kSlice = 64;
    while (!layouter.layoutSome(kSlice))
        if (progress) progress(layouter.recordsDone(), layouter.recordCount());
    if (progress) progress(layouter.recordsDone(), layouter.recordCount());
    return layouter.takeDocument();
}

}  // namespace reports
