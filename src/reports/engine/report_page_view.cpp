#include "report_page_view.h"

#include <report_engine/report_render.h>

#include <QPainter>

#include <cmath>

namespace reports {

ReportPageView::ReportPageView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    updateSize();
}

void ReportPageView::showPage(const ReportPage* page, int paperWidth, int paperHeight) {
    page_ = page;
    paperWidth_ = paperWidth;
    paperHeight_ = paperHeight;
    updateSize();
    update();
}

void ReportPageView::setZoom(double screenPixelsPerReportPixel) {
    zoom_ = std::max(0.05, screenPixelsPerReportPixel);
    updateSize();
    update();
}

QSize ReportPageView::sizeHint() const {
    return {static_cast<int>(std::ceil(paperWidth_ * zoom_)) + 2 * kDeskMargin,
            static_cast<int>(std::ceil(paperHeight_ * zoom_)) + 2 * kDeskMargin};
}

void ReportPageView::updateSize() {
    setFixedSize(sizeHint());
}

void ReportPageView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kDeskColor);
    const QRectF paper(kDeskMargin, kDeskMargin, paperWidth_ * zoom_, paperHeight_ * zoom_);
    painter.fillRect(paper.translated(4, 4), QColor(0x50, 0x50, 0x50));
    painter.fillRect(paper, Qt::white);
    if (page_ == nullptr) return;
    painter.translate(paper.topLeft());
    painter.scale(zoom_, zoom_);
    painter.setClipRect(QRectF(0, 0, paperWidth_, paperHeight_));
    paintPage(painter, *page_);
}

}  // namespace reports
