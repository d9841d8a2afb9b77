#pragma once
// Shows one page of a laid-out report on a grey desk, at a given zoom.

#include <report_engine/report_document.h>

#include <QColor>
#include <QWidget>

namespace reports {

class ReportPageView : public QWidget {
    Q_OBJECT
  public:
    // Grey space around the page, in screen pixels.
    static constexpr int kDeskMargin = 12;
    static constexpr QColor kDeskColor{0x80, 0x80, 0x80};

    explicit ReportPageView(QWidget* parent = nullptr);

    // The page is not owned and must stay alive while it is shown; null shows no page.
    void showPage(const ReportPage* page, int paperWidth, int paperHeight);
    void setZoom(double screenPixelsPerReportPixel);
    double zoom() const { return zoom_; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void updateSize();

    const ReportPage* page_ = nullptr;
    int paperWidth_ = kLetterWidth;
    int paperHeight_ = kLetterHeight;
    double zoom_ = 1.0;
};

}  // namespace reports
