#pragma once
// The design of a banded report: bands of items over a data set, on Letter paper.
// Everything can be changed at run time, up to the moment the report is laid out.

#include <report_engine/report_document.h>
#include <report_engine/report_font.h>

#include <QDateTime>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace reports {

class ReportDataSet;

enum class Alignment { Left, Center, Right };

// Lines drawn around an item or along a band's edges.
struct Frame {
    bool top = false;
    bool bottom = false;
    bool left = false;
    bool right = false;
    LineStyle style = LineStyle::Solid;
    int penWidth = 1;

    static Frame box(LineStyle style = LineStyle::Solid) { return {true, true, true, true, style}; }
    static Frame topLine(LineStyle style = LineStyle::Solid) {
        return {true, false, false, false, style};
    }
    bool any() const { return top || bottom || left || right; }
    bool all() const { return top && bottom && left && right; }
    bool operator==(const Frame&) const = default;
};

// What an item shows while the report is laid out.
struct ItemContext {
    const ReportDataSet* dataSet = nullptr;
    int pageNumber = 0;
    int recordCount = 0;
    int detailNumber = 0;  // 1 for the first record
    QDateTime runTime;
    QString dateFormat;
    QString timeFormat;
};

class ReportItem {
  public:
    ReportItem(QString name, int left, int top);
    virtual ~ReportItem() = default;
    ReportItem(const ReportItem&) = delete;
    ReportItem& operator=(const ReportItem&) = delete;

    virtual QString text(const ItemContext& context) const = 0;
    virtual bool usesPageNumber() const { return false; }

    const QString& name() const { return name_; }

    // Place and size in report pixels, relative to the band's top-left corner.
    int left() const { return left_; }
    int top() const { return top_; }
    int width() const { return width_; }
    // Zero: as high as the text.
    int height() const { return height_; }
    void moveTo(int left, int top);
    void resize(int width, int height);
    void setLeft(int left) { left_ = left; }
    void setTop(int top) { top_ = top; }
    void setWidth(int width) { width_ = width; }
    void setHeight(int height) { height_ = height; }

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }

    // As wide as the text (the default); otherwise the set width, text cut to it.
    bool autoSize() const { return autoSize_; }
    void setAutoSize(bool on) { autoSize_ = on; }
    bool wordWrap() const { return wordWrap_; }
    void setWordWrap(bool on) { wordWrap_ = on; }
    // Grows downward to hold all of its text, and its band with it.
    bool stretches() const { return stretches_; }
    void setStretches(bool on) { stretches_ = on; }

    // Text alignment inside the item; with alignToBand, the item's place in the band.
    Alignment alignment() const { return alignment_; }
    void setAlignment(Alignment alignment) { alignment_ = alignment; }
    bool alignToBand() const { return alignToBand_; }
    void setAlignToBand(bool on) { alignToBand_ = on; }

    // Unset: the report's font.
    const std::optional<ReportFont>& font() const { return font_; }
    void setFont(const ReportFont& font) { font_ = font; }

    const Frame& frame() const { return frame_; }
    void setFrame(const Frame& frame) { frame_ = frame; }

  private:
    QString name_;
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;
    bool enabled_ = true;
    bool autoSize_ = true;
    bool wordWrap_ = false;
    bool stretches_ = false;
    Alignment alignment_ = Alignment::Left;
    bool alignToBand_ = false;
    std::optional<ReportFont> font_;
    Frame frame_;
};

class ReportLabel : public ReportItem {
  public:
    ReportLabel(QString name, int left, int top, QString caption);
    QString text(const ItemContext&) const override { return caption_; }
    const QString& caption() const { return caption_; }
    void setCaption(const QString& caption) { caption_ = caption; }

  private:
    QString caption_;
};

// A field of the data set's current record.
class ReportDataText : public ReportItem {
  public:
    ReportDataText(QString name, int left, int top, QString field);
    QString text(const ItemContext& context) const override;
    const QString& field() const { return field_; }
    void setField(const QString& field) { field_ = field; }

  private:
    QString field_;
};

enum class SystemData { Date, Time, PageNumber, RecordCount, DetailNumber };

class ReportSystemText : public ReportItem {
  public:
    ReportSystemText(QString name, int left, int top, SystemData data);
    QString text(const ItemContext& context) const override;
    bool usesPageNumber() const override { return data_ == SystemData::PageNumber; }
    SystemData data() const { return data_; }
    void setData(SystemData data) { data_ = data; }

  private:
    SystemData data_;
};

enum class BandKind { PageHeader, Title, Detail, Summary, PageFooter };

class ReportBand {
  public:
    ReportBand(BandKind kind, QString name, int height);
    ReportBand(const ReportBand&) = delete;
    ReportBand& operator=(const ReportBand&) = delete;

    BandKind kind() const { return kind_; }
    const QString& name() const { return name_; }
    int height() const { return height_; }
    void setHeight(int height) { height_ = height; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    const Frame& frame() const { return frame_; }
    void setFrame(const Frame& frame) { frame_ = frame; }
    // Start the band on a new page rather than split it, when it fits on one.
    bool keepTogether() const { return keepTogether_; }
    void setKeepTogether(bool on) { keepTogether_ = on; }
    // Page headers only: whether the first page has one too.
    bool printOnFirstPage() const { return printOnFirstPage_; }
    void setPrintOnFirstPage(bool on) { printOnFirstPage_ = on; }

    ReportLabel& addLabel(const QString& name, int left, int top, const QString& caption);
    ReportDataText& addDataText(const QString& name, int left, int top, const QString& field);
    ReportSystemText& addSystemText(const QString& name, int left, int top, SystemData data);

    const std::vector<std::unique_ptr<ReportItem>>& items() const { return items_; }
    ReportItem* findItem(const QString& name) const;

  private:
    template <typename Item, typename... Args>
    Item& add(Args&&... args);

    BandKind kind_;
    QString name_;
    int height_;
    bool enabled_ = true;
    bool keepTogether_ = false;
    bool printOnFirstPage_ = true;
    Frame frame_;
    std::vector<std::unique_ptr<ReportItem>> items_;
};

// Page margins in inches.
struct PageMargins {
    double left = 1.0;
    double top = 0.5;
    double right = 0.5;
    double bottom = 0.5;
};

class Report {
  public:
    Report();
    Report(const Report&) = delete;
    Report& operator=(const Report&) = delete;

    const QString& title() const { return title_; }
    void setTitle(const QString& title) { title_ = title; }
    // What the report's files are called when it is saved or printed to a file, without
    // folder or suffix; any text (the title holds a web address): the preview makes a
    // valid file name of it.
    const QString& fileName() const { return fileName_; }
    void setFileName(const QString& name) { fileName_ = name; }

    // The data set is not owned; it must outlive every layout of the report.
    ReportDataSet* dataSet() const { return dataSet_; }
    void setDataSet(ReportDataSet* dataSet) { dataSet_ = dataSet; }

    const PageMargins& margins() const { return margins_; }
    void setMargins(const PageMargins& margins) { margins_ = margins; }
    // The page in report pixels; US Letter portrait unless changed.
    int paperWidth() const { return paperWidth_; }
    int paperHeight() const { return paperHeight_; }
    void setPaperSize(int width, int height);
    // Printable area in report pixels, from the paper's top-left corner.
    int contentLeft() const;
    int contentTop() const;
    int contentWidth() const;
    int contentBottom() const;

    // Items without a font of their own use this one.
    const ReportFont& font() const { return font_; }
    void setFont(const ReportFont& font) { font_ = font; }

    // Off: a data set without records gives no pages at all.
    bool printIfEmpty() const { return printIfEmpty_; }
    void setPrintIfEmpty(bool on) { printIfEmpty_ = on; }

    // Date and time for the system items; unset means the moment layout starts.
    const std::optional<QDateTime>& runTime() const { return runTime_; }
    void setRunTime(const QDateTime& time) { runTime_ = time; }
    const QString& dateFormat() const { return dateFormat_; }
    void setDateFormat(const QString& format) { dateFormat_ = format; }
    const QString& timeFormat() const { return timeFormat_; }
    void setTimeFormat(const QString& format) { timeFormat_ = format; }

    // One band of each kind; adding a second one of a kind is an error.
    ReportBand& addBand(BandKind kind, const QString& name, int height);
    ReportBand* band(BandKind kind) const;
    ReportBand* findBand(const QString& name) const;
    ReportItem* findItem(const QString& name) const;

  private:
    QString title_;
    QString fileName_;
    ReportDataSet* dataSet_ = nullptr;
    PageMargins margins_;
    int paperWidth_ = kLetterWidth;
    int paperHeight_ = kLetterHeight;
    ReportFont font_;
    bool printIfEmpty_ = false;
    std::optional<QDateTime> runTime_;
    QString dateFormat_ = QStringLiteral("MM/dd/yy");
    QString timeFormat_ = QStringLiteral("h:mm AP");
    std::vector<std::unique_ptr<ReportBand>> bands_;
};

}  // namespace reports
