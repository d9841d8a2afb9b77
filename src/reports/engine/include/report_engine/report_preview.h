#pragma once
// The preview window: shows the pages of a report while they are laid out, pages
// through them at three zooms, prints them, and saves them as a report file, a text
// file or PDF; a saved report file loads back into it. It is not modal, yet the call
// that shows it returns only when the user closes it.

#include <report_engine/report_document.h>
#include <report_engine/report_text_export.h>

#include <QMainWindow>
#include <QPointer>

#include <exception>
#include <memory>

class QAction;
class QLabel;
class QPrinter;
class QProgressBar;
class QScrollArea;
class QTimer;

namespace platform {
class Prompter;
}

namespace reports {

class Report;
class ReportLayouter;
class ReportPageView;

class ReportPreview : public QMainWindow {
    Q_OBJECT
  public:
    enum class ZoomMode { FitPage, Actual, PageWidth };
    enum class SaveFormat { ReportFile, TextFile, Pdf };

    explicit ReportPreview(QWidget* parent = nullptr);
    ~ReportPreview() override;

    // Lays the report out a slice at a time while the window shows the pages made so
    // far. The report and its data set must stay alive and unchanged until it is done.
    void startLayout(const Report& report);
    // How much one slice lays out, for every preview: by default as many records as fit in
    // a short time, so that input is handled in between; a fixed count of records gives
    // the same pace on every machine. 0 returns to the default.
    static void setRecordsPerSlice(int records);
    void setDocument(ReportDocument document);
    // The pages shown: those laid out so far while layout runs.
    const ReportDocument& document() const;
    bool isLayingOut() const { return layouter_ != nullptr; }

    // Shows the window maximised and waits, handling events, until it is closed. An
    // error of the layout closes the window and is thrown from here.
    void exec();

    int pageCount() const { return document().pageCount(); }
    int currentPage() const { return currentPage_; }  // 0-based
    void showPage(int index);

    ZoomMode zoomMode() const { return zoomMode_; }
    void setZoomMode(ZoomMode mode);
    // Screen pixels per report pixel.
    double zoomFactor() const;

    void setTextExportOptions(const TextExportOptions& options) { textOptions_ = options; }

    // The file offered when the pages are printed to a file: the report's file name made
    // valid, as a PDF in the user's documents folder (the home folder when there is none).
    QString suggestedPrintFile() const;

    // These show a failure in an error box and return false.
    bool saveAs(const QString& path, SaveFormat format);
    bool load(const QString& path);

    // The boxes go through this prompter (not owned); the desktop's unless set.
    void setPrompter(platform::Prompter* prompter);

  public slots:
    void firstPage();
    void previousPage();
    void nextPage();
    void lastPage();
    void printerSetup();
    void print();
    void save();
    void open();

  signals:
    void closed();
    void layoutFinished();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createActions();
    void layoutSlice();
    void finishLayout();
    void refresh();
    void applyZoom();
    void tell(const QString& message);
    QPrinter& printer();
    void offerPrintFile(QPrinter& printer) const;

    ReportDocument document_;
    std::unique_ptr<ReportLayouter> layouter_;
    std::exception_ptr layoutError_;
    std::unique_ptr<QPrinter> printer_;
    TextExportOptions textOptions_;
    QString fileName_;
    std::unique_ptr<platform::Prompter> desktopPrompter_;
    platform::Prompter* prompter_ = nullptr;
    int currentPage_ = 0;
    ZoomMode zoomMode_ = ZoomMode::FitPage;
    bool closed_ = false;

    QScrollArea* scrollArea_ = nullptr;
    ReportPageView* pageView_ = nullptr;
    QLabel* pageStatus_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QTimer* layoutTimer_ = nullptr;
    QAction* zoomFit_ = nullptr;
    QAction* zoomActual_ = nullptr;
    QAction* zoomWidth_ = nullptr;
    QAction* first_ = nullptr;
    QAction* previous_ = nullptr;
    QAction* next_ = nullptr;
    QAction* last_ = nullptr;
    QAction* printerSetup_ = nullptr;
    QAction* print_ = nullptr;
    QAction* save_ = nullptr;
    QAction* load_ = nullptr;
    QAction* close_ = nullptr;
};

// Lays the report out in a preview window and returns when the window is closed.
// Errors of the data set while laying out are thrown from here. The window's boxes go
// through `prompter` when one is given.
void previewReport(const Report& report, QWidget* parent = nullptr,
                   platform::Prompter* prompter = nullptr);

// Shows already laid-out pages (a loaded report file, say) the same way.
void previewDocument(ReportDocument document, QWidget* parent = nullptr,
                     platform::Prompter* prompter = nullptr);

}  // namespace reports
