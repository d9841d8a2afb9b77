#include <report_engine/report_preview.h>

#include <report_engine/report_definition.h>
#include <report_engine/report_error.h>
#include <report_engine/report_file.h>
#include <report_engine/report_layout.h>
#include <report_engine/report_render.h>
#include "report_page_view.h"

#include <platform/prompter.h>
#include <platform/save_file_dialog.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
#include <optional>

namespace reports {

namespace {

// Layout runs in slices this long, so input is handled in between.
constexpr int kSliceMilliseconds = 40;
constexpr int kRecordsPerStep = 8;
int recordsPerSlice = 0;  // 0: by time

const QString kReportFilter =
    QStringLiteral("Report file (*.%1)").arg(QLatin1String(kReportFileSuffix));
const QString kTextFilter = QStringLiteral("Text file (*.TXT *.txt)");
const QString kPdfFilter = QStringLiteral("PDF file (*.pdf)");

// A typed suffix of a known format wins over the chosen filter.
ReportPreview::SaveFormat saveFormatFor(const QString& file, const QString& filter) {
    const QString suffix = QFileInfo(file).suffix();
    if (suffix.compare(QStringLiteral("txt"), Qt::CaseInsensitive) == 0)
        return ReportPreview::SaveFormat::TextFile;
    if (suffix.compare(QStringLiteral("pdf"), Qt::CaseInsensitive) == 0)
        return ReportPreview::SaveFormat::Pdf;
    if (suffix.compare(QLatin1String(kReportFileSuffix), Qt::CaseInsensitive) == 0)
        return ReportPreview::SaveFormat::ReportFile;
    if (filter == kTextFilter) return ReportPreview::SaveFormat::TextFile;
    if (filter == kPdfFilter) return ReportPreview::SaveFormat::Pdf;
    return ReportPreview::SaveFormat::ReportFile;
}

// Printing and saving a long report take a while, and block the window meanwhile.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// A text as a file name on every desktop: no folder separators, no drive colon, none of
// the characters Windows refuses, no control characters, no blanks or dots at its ends.
QString validFileName(const QString& text) {
    static const QString refused = QStringLiteral("/\\:*?\"<>|");
    QString name;
    for (const QChar c : text) name += (c.unicode() < 0x20 || refused.contains(c)) ? u'_' : c;
    while (!name.isEmpty() && (name.front().isSpace() || name.front() == u'.')) name.remove(0, 1);
    while (!name.isEmpty() && (name.back().isSpace() || name.back() == u'.')) name.chop(1);
    return name.isEmpty() ? QStringLiteral("Report") : name;
}

QString suffixFor(const QString& filter) {
    if (filter == kTextFilter) return QStringLiteral("TXT");
    if (filter == kPdfFilter) return QStringLiteral("pdf");
    return QString::fromLatin1(kReportFileSuffix);
}

}  // namespace

ReportPreview::ReportPreview(QWidget* parent)
    : QMainWindow(parent),
      desktopPrompter_(std::make_unique<platform::DesktopPrompter>(this)),
      prompter_(desktopPrompter_.get()) {
    setObjectName(QStringLiteral("ReportPreview"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFont(QFont(QStringLiteral("Arial"), 9));
    resize(900, 700);

    scrollArea_ = new QScrollArea(this);
    scrollArea_->setObjectName(QStringLiteral("pageScrollArea"));
    scrollArea_->setAlignment(Qt::AlignCenter);
    QPalette desk = scrollArea_->viewport()->palette();
    desk.setColor(QPalette::Window, ReportPageView::kDeskColor);
    scrollArea_->viewport()->setPalette(desk);
    scrollArea_->viewport()->setAutoFillBackground(true);
    pageView_ = new ReportPageView;
    pageView_->setObjectName(QStringLiteral("pageView"));
    scrollArea_->setWidget(pageView_);
    scrollArea_->viewport()->installEventFilter(this);
    setCentralWidget(scrollArea_);

    pageStatus_ = new QLabel(this);
    pageStatus_->setTextFormat(Qt::PlainText);
    pageStatus_->setObjectName(QStringLiteral("pageStatus"));
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("layoutProgress"));
    progress_->setMaximumWidth(240);
    progress_->setVisible(false);
    statusBar()->addWidget(pageStatus_, 1);
    statusBar()->addPermanentWidget(progress_);

    layoutTimer_ = new QTimer(this);
    layoutTimer_->setSingleShot(true);
    layoutTimer_->setInterval(0);
    connect(layoutTimer_, &QTimer::timeout, this, &ReportPreview::layoutSlice);

    createActions();
    refresh();
}

ReportPreview::~ReportPreview() = default;

void ReportPreview::createActions() {
    QToolBar* bar = addToolBar(QStringLiteral("Preview"));
    bar->setObjectName(QStringLiteral("previewToolBar"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    const auto make = [&](const QString& name, const QString& text, QStyle::StandardPixmap icon,
                          const QKeySequence& key, auto slot) {
        QAction* action = bar->addAction(text);
        action->setObjectName(name);
        if (icon != QStyle::SP_CustomBase) action->setIcon(style()->standardIcon(icon));
        if (!key.isEmpty()) action->setShortcut(key);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    zoomFit_ = make(QStringLiteral("actionZoomFit"), tr("Fit Page"), QStyle::SP_CustomBase, {},
                    [this] { setZoomMode(ZoomMode::FitPage); });
    zoomActual_ = make(QStringLiteral("actionZoom100"), tr("100 %"), QStyle::SP_CustomBase, {},
                       [this] { setZoomMode(ZoomMode::Actual); });
    zoomWidth_ = make(QStringLiteral("actionZoomWidth"), tr("Page Width"), QStyle::SP_CustomBase,
                      {}, [this] { setZoomMode(ZoomMode::PageWidth); });
    for (QAction* zoom : {zoomFit_, zoomActual_, zoomWidth_}) zoom->setCheckable(true);
    bar->addSeparator();
    first_ = make(QStringLiteral("actionFirstPage"), tr("First"), QStyle::SP_MediaSkipBackward,
                  QKeySequence(Qt::CTRL | Qt::Key_Home), &ReportPreview::firstPage);
    previous_ = make(QStringLiteral("actionPreviousPage"), tr("Previous"), QStyle::SP_ArrowLeft,
                     QKeySequence(Qt::Key_PageUp), &ReportPreview::previousPage);
    next_ = make(QStringLiteral("actionNextPage"), tr("Next"), QStyle::SP_ArrowRight,
                 QKeySequence(Qt::Key_PageDown), &ReportPreview::nextPage);
    last_ = make(QStringLiteral("actionLastPage"), tr("Last"), QStyle::SP_MediaSkipForward,
                 QKeySequence(Qt::CTRL | Qt::Key_End), &ReportPreview::lastPage);
    bar->addSeparator();
    printerSetup_ = make(QStringLiteral("actionPrinterSetup"), tr("Printer Setup..."),
                         QStyle::SP_CustomBase, {}, &ReportPreview::printerSetup);
    print_ = make(QStringLiteral("actionPrint"), tr("Print..."), QStyle::SP_CustomBase,
                  QKeySequence::Print, &ReportPreview::print);
    save_ = make(QStringLiteral("actionSave"), tr("Save..."), QStyle::SP_DialogSaveButton,
                 QKeySequence::Save, &ReportPreview::save);
    load_ = make(QStringLiteral("actionLoad"), tr("Load..."), QStyle::SP_DialogOpenButton,
                 QKeySequence::Open, &ReportPreview::open);
    bar->addSeparator();
    close_ = make(QStringLiteral("actionClose"), tr("Close"), QStyle::SP_DialogCloseButton,
                  QKeySequence(Qt::Key_Escape), &ReportPreview::close);
}

void ReportPreview::startLayout(const Report& report) {
    layoutError_ = nullptr;
    fileName_ = report.fileName();
    layouter_ = std::make_unique<ReportLayouter>(report);
    document_ = ReportDocument{};
    document_.title = report.title();
    currentPage_ = 0;
    progress_->setRange(0, 0);
    progress_->setVisible(true);
    layoutTimer_->start();
    refresh();
}

void ReportPreview::setRecordsPerSlice(int records) {
    recordsPerSlice = std::max(0, records);
}

void ReportPreview::setDocument(ReportDocument document) {
    layoutTimer_->stop();
    layouter_.reset();
    progress_->setVisible(false);
    document_ = std::move(document);
    currentPage_ = 0;
    refresh();
}

const ReportDocument& ReportPreview::document() const {
    return layouter_ ? layouter_->document() : document_;
}

void ReportPreview::layoutSlice() {
    if (!layouter_) return;
    try {
        bool done = false;
        if (recordsPerSlice > 0) {
            done = layouter_->layoutSome(recordsPerSlice);
        } else {
            QElapsedTimer clock;
            clock.start();
            while (!done && clock.elapsed() < kSliceMilliseconds)
                done = layouter_->layoutSome(kRecordsPerStep);
        }
        const int total = layouter_->recordCount();
        if (total > 0) {
            progress_->setRange(0, total);
            progress_->setValue(std::min(layouter_->recordsDone(), total));
        }
        if (done) {
            finishLayout();
            return;
        }
    } catch (...) {
        // Qt cannot carry exceptions through its event loop: keep it for exec().
        layoutError_ = std::current_exception();
        layouter_.reset();
        progress_->setVisible(false);
        close();
        return;
    }
    // New pages may have moved the page list, and the shown page may have grown.
    refresh();
    layoutTimer_->start();
}

void ReportPreview::finishLayout() {
    document_ = layouter_->takeDocument();
    layouter_.reset();
    progress_->setVisible(false);
    refresh();
    emit layoutFinished();
}

void ReportPreview::exec() {
    QPointer<ReportPreview> alive(this);
    closed_ = false;
    // Without a window manager, maximising does nothing; start at the screen's size.
    if (const QScreen* shownOn = screen()) setGeometry(shownOn->availableGeometry());
    showMaximized();
    if (!closed_) {
        QEventLoop loop;
        connect(this, &ReportPreview::closed, &loop, &QEventLoop::quit);
        connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!alive) return;
    if (layoutError_) {
        std::exception_ptr error = layoutError_;
        layoutError_ = nullptr;
        std::rethrow_exception(error);
    }
}

void ReportPreview::closeEvent(QCloseEvent* event) {
    layoutTimer_->stop();
    if (layouter_) {
        // Closed before the end: keep what was laid out, walk no further.
        document_ = layouter_->takeDocument();
        layouter_.reset();
    }
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) {
        closed_ = true;
        emit closed();
    }
}

bool ReportPreview::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scrollArea_->viewport() && event->type() == QEvent::Resize &&
        zoomMode_ != ZoomMode::Actual)
        applyZoom();
    return QMainWindow::eventFilter(watched, event);
}

void ReportPreview::showPage(int index) {
    currentPage_ = std::clamp(index, 0, std::max(0, pageCount() - 1));
    refresh();
    scrollArea_->verticalScrollBar()->setValue(0);
}

void ReportPreview::firstPage() {
    showPage(0);
}
void ReportPreview::previousPage() {
    showPage(currentPage_ - 1);
}
void ReportPreview::nextPage() {
    showPage(currentPage_ + 1);
}
void ReportPreview::lastPage() {
    showPage(pageCount() - 1);
}

void ReportPreview::setZoomMode(ZoomMode mode) {
    zoomMode_ = mode;
    applyZoom();
    refresh();
}

double ReportPreview::zoomFactor() const {
    const ReportDocument& shown = document();
    const QSize room = scrollArea_->viewport()->size() -
                       QSize(2 * ReportPageView::kDeskMargin, 2 * ReportPageView::kDeskMargin);
    const double widthFit = std::max(1, room.width()) / double(shown.paperWidth);
    switch (zoomMode_) {
        case ZoomMode::Actual:
            return pageView_->logicalDpiX() / double(kReportDpi);
        case ZoomMode::PageWidth:
            return widthFit;
        case ZoomMode::FitPage:
            return std::min(widthFit, std::max(1, room.height()) / double(shown.paperHeight));
    }
    return 1.0;
}

void ReportPreview::applyZoom() {
    pageView_->setZoom(zoomFactor());
}

void ReportPreview::refresh() {
    const ReportDocument& shown = document();
    setWindowTitle(shown.title);
    currentPage_ = std::clamp(currentPage_, 0, std::max(0, shown.pageCount() - 1));
    pageView_->showPage(shown.pages.empty() ? nullptr : &shown.pages[size_t(currentPage_)],
                        shown.paperWidth, shown.paperHeight);
    applyZoom();

    if (shown.pages.empty()) {
        pageStatus_->setText(isLayingOut() ? tr("Laying out pages...") : tr("No pages"));
    } else {
        pageStatus_->setText(tr("Page %1 of %2").arg(currentPage_ + 1).arg(shown.pageCount()));
    }
    const bool hasPages = !shown.pages.empty();
    first_->setEnabled(currentPage_ > 0);
    previous_->setEnabled(currentPage_ > 0);
    next_->setEnabled(currentPage_ + 1 < shown.pageCount());
    last_->setEnabled(currentPage_ + 1 < shown.pageCount());
    // The pages are not final while they are laid out.
    print_->setEnabled(hasPages && !isLayingOut());
    save_->setEnabled(!isLayingOut());
    load_->setEnabled(!isLayingOut());
    zoomFit_->setChecked(zoomMode_ == ZoomMode::FitPage);
    zoomActual_->setChecked(zoomMode_ == ZoomMode::Actual);
    zoomWidth_->setChecked(zoomMode_ == ZoomMode::PageWidth);
}

void ReportPreview::setPrompter(platform::Prompter* prompter) {
    prompter_ = prompter != nullptr ? prompter : desktopPrompter_.get();
}

void ReportPreview::tell(const QString& message) {
    prompter_->error(message, windowTitle());
}

QPrinter& ReportPreview::printer() {
    if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    preparePrinter(*printer_, document());
    return *printer_;
}

QString ReportPreview::suggestedPrintFile() const {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::homePath();
    return QDir(folder).filePath(validFileName(fileName_) + QStringLiteral(".pdf"));
}

void ReportPreview::offerPrintFile(QPrinter& target) const {
    // Left empty, the print dialog would make the file's name of the job's name (the title,
    // a web address) and put it in the current folder.
    if (!target.outputFileName().isEmpty()) return;
    const QPrinter::OutputFormat format = target.outputFormat();
    target.setOutputFileName(suggestedPrintFile());
    // A ".pdf" name turns the printer into a PDF writer; the user still chooses.
    if (target.outputFormat() != format) target.setOutputFormat(format);
}

void ReportPreview::printerSetup() {
    offerPrintFile(printer());
    QPrintDialog dialog(&printer(), this);
    dialog.setObjectName(QStringLiteral("printerSetupDialog"));
    dialog.setWindowTitle(tr("Printer Setup"));
    dialog.exec();  // the choices stay in the printer for the next print
}

void ReportPreview::print() {
    if (isLayingOut() || pageCount() == 0) return;
    QPrinter& target = printer();
    offerPrintFile(target);
    QPrintDialog dialog(&target, this);
    dialog.setObjectName(QStringLiteral("printDialog"));
    dialog.setMinMax(1, pageCount());
    if (dialog.exec() != QDialog::Accepted) return;
    std::optional<WaitCursor> busy(std::in_place);
    try {
        printDocument(target, document());
    } catch (const ReportError& error) {
        busy.reset();
        tell(error.message());
    }
}

bool ReportPreview::saveAs(const QString& path, SaveFormat format) {
    std::optional<WaitCursor> busy(std::in_place);
    try {
        switch (format) {
            case SaveFormat::ReportFile:
                saveReportFile(document(), path);
                break;
            case SaveFormat::TextFile:
                writeTextFile(document(), path, textOptions_);
                break;
            case SaveFormat::Pdf:
                writePdf(document(), path);
                break;
        }
        return true;
    } catch (const ReportError& error) {
        busy.reset();
        tell(error.message());
        return false;
    }
}

bool ReportPreview::load(const QString& path) {
    try {
        setDocument(loadReportFile(path));
        return true;
    } catch (const ReportError& error) {
        tell(error.message());
        return false;
    }
}

void ReportPreview::save() {
    if (isLayingOut()) return;
    platform::SaveFileDialog dialog(this, tr("Save Report"));
    dialog.setObjectName(QStringLiteral("saveDialog"));
    dialog.setDirectory(QFileInfo(suggestedPrintFile()).absolutePath());
    dialog.selectFile(validFileName(fileName_));
    dialog.setNameFilters({kReportFilter, kTextFilter, kPdfFilter});
    dialog.setDefaultSuffix(suffixFor(kReportFilter));
    connect(&dialog, &QFileDialog::filterSelected, &dialog,
            [&dialog](const QString& filter) { dialog.setDefaultSuffix(suffixFor(filter)); });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;

    const QString file = dialog.selectedFiles().constFirst();
    saveAs(file, saveFormatFor(file, dialog.selectedNameFilter()));
}

void ReportPreview::open() {
    if (isLayingOut()) return;
    QFileDialog dialog(this, tr("Load Report"));
    dialog.setObjectName(QStringLiteral("loadDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({kReportFilter, tr("All files (*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    load(dialog.selectedFiles().constFirst());
}

void previewReport(const Report& report, QWidget* parent, platform::Prompter* prompter) {
    QPointer<ReportPreview> preview = new ReportPreview(parent);
    preview->setPrompter(prompter);
    try {
        preview->startLayout(report);
        preview->exec();
    } catch (...) {
        delete preview.data();
        throw;
    }
    delete preview.data();
}

void previewDocument(ReportDocument document, QWidget* parent, platform::Prompter* prompter) {
    QPointer<ReportPreview> preview = new ReportPreview(parent);
    preview->setPrompter(prompter);
    preview->setDocument(std::move(document));
    preview->exec();
    delete preview.data();
}

}  // namespace reports
