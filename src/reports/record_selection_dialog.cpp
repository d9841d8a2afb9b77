#include "record_selection_dialog.h"
#include <platform/form_style.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>

#include <algorithm>
#include <vector>

#include <platform/help_pages.h>
#include <platform/shell.h>

#include "address_report.h"

namespace reports {

namespace {

using platform::pixelFont;
using platform::kNavy;

constexpr int kClientWidth = 319;
constexpr int kClientHeight = 473;


QLabel* label(QWidget* parent, const char* name, int left, int top, const QString& caption) {
    auto* made = new QLabel(parent);
    made->setTextFormat(Qt::PlainText);
    made->setText(caption);
    made->setObjectName(QString::fromLatin1(name));
    made->move(left, top);
    made->adjustSize();
    return made;
}

// The explanation's lines were broken by hand for its box; the free faces that stand in
// for the form's run a little wider. The largest size up to the form's at which every line
// fits the box's width and all of them its height, so that the text reads as written.
QFont fittingFont(QFont font, const QStringList& lines, QSize room) {
    for (int pixels = font.pixelSize(); pixels > 6; --pixels) {
        font.setPixelSize(pixels);
        const QFontMetrics metrics(font);
        int widest = 0;
        for (const QString& line : lines) {
            // A line's trailing blank may hang past the edge without wrapping it.
            const int width = metrics.horizontalAdvance(line.trimmed());
            widest = std::max(widest, width);
        }
        if (widest <= room.width() && metrics.lineSpacing() * lines.size() <= room.height())
            break;
    }
    return font;
}

}  // namespace

QStringList recordSelectionExplanation() {
    return {
        QStringLiteral("Current: Report only the one record now highlighted in the grid. "),
        QString(),
        QStringLiteral("Range: In the Grid, set range by clicking on a record at one "),
        QStringLiteral("end of the range (even if already highlighted), then go to the "),
        QStringLiteral("other end of desired range by using the scroll or navigation bar "),
        QStringLiteral("as needed (DON'T use the keyboard) and HOLD DOWN THE "),
        QStringLiteral("CTRL KEY while clicking on that record. Don't worry that the "),
        QStringLiteral("intervening records aren't highlighted, it'll work anyway! "),
        QString(),
        QStringLiteral("Selected: Reports records selected in the Grid. In the grid, "),
        QStringLiteral("select the first record by clicking (even if already highlighted), "),
        QStringLiteral("then additional records by using the scroll or navigation bar to "),
        QStringLiteral("locate (DON'T use the keyboard) and HOLD DOWN THE "),
        QStringLiteral("CTRL KEY while clicking. "),
        QString(),
        QStringLiteral("All: Reports records matching search string IF filter is active (you "),
        QStringLiteral("have done a search and haven't cancelled it), otherwise all "),
        QStringLiteral("non-deleted records in the database will be reported. "),
        QString(),
        QStringLiteral("* Cancel and return to grid if necessary to select records * "),
    };
}

TRecRange::TRecRange(RecordSelection answers, platform::Shell& shell, QWidget* parent)
    // A fixed border with a caption and no border icons: no system menu, no close box.
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      answers_(answers),
      shell_(shell) {
    setObjectName(QStringLiteral("RecRange"));
    setWindowTitle(QStringLiteral("Choose records to include in Review/Printout"));
    setFixedSize(kClientWidth, kClientHeight);
    setFont(pixelFont(QStringLiteral("MS Sans Serif"), 11));

    createRangeGroup();
    createButtons();
    createExplanation();

    setTabOrder(RangeItems->button(kCurrent), RangeItems->button(kRange));
    setTabOrder(RangeItems->button(kRange), RangeItems->button(kSelected));
    setTabOrder(RangeItems->button(kSelected), RangeItems->button(kAll));
    setTabOrder(RangeItems->button(kAll), BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, CheckBox1);
    setTabOrder(CheckBox1, CheckText);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void TRecRange::createRangeGroup() {
    RangeGroup = new QGroupBox(QStringLiteral(" Records to include in review/printout:"), this);
    RangeGroup->setObjectName(QStringLiteral("RangeGroup"));
    RangeGroup->setGeometry(6, 5, 308, 42);
    RangeGroup->setFont(pixelFont(QStringLiteral("MS Sans Serif"), 15));
    RangeGroup->setToolTip(QStringLiteral("See explanation below"));

    RangeItems = new QButtonGroup(RangeGroup);
    RangeItems->setObjectName(QStringLiteral("RangeItems"));
    const QStringList items = {QStringLiteral("Current"), QStringLiteral("Range"),
                               QStringLiteral("Selected"), QStringLiteral("All")};
    // Four columns across the group; each as wide as its item needs, the room left over
    // shared out between them, so that no caption is cut.
    std::vector<QRadioButton*> made;
    int needed = 0;
    for (int index = 0; index < items.size(); ++index) {
        auto* item = new QRadioButton(items[index], RangeGroup);
        item->setObjectName(QStringLiteral("RangeItem%1").arg(index));
        RangeItems->addButton(item, index);
        made.push_back(item);
        needed += item->sizeHint().width();
    }
    constexpr int kInnerLeft = 8;
    constexpr int kItemTop = 19;
    const int room = RangeGroup->width() - 2 * kInnerLeft;
    const int gap = std::max(0, (room - needed) / static_cast<int>(made.size() - 1));
    int left = kInnerLeft;
    for (QRadioButton* item : made) {
        const int width = item->sizeHint().width();
        item->setGeometry(left, kItemTop, width, 20);
        left += width + gap;
    }
    setItemIndex(kAll);
}

void TRecRange::createButtons() {
    CheckBox1 = new QCheckBox(QStringLiteral("include Memo field"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(20, 52, 130, 17);
    CheckBox1->setToolTip(QStringLiteral("Include Memo (Note) in report/printout"));
    CheckBox1->setChecked(true);
    connect(CheckBox1, &QCheckBox::toggled, this, [this] { CheckBox1Click(); });

    CheckText = new QCheckBox(QStringLiteral("Format for Text Output"), this);
    CheckText->setObjectName(QStringLiteral("CheckText"));
    CheckText->setGeometry(159, 52, 151, 17);
    CheckText->setToolTip(QStringLiteral("No left margin or page header"));
    CheckText->setChecked(false);
    connect(CheckText, &QCheckBox::toggled, this, [this] { CheckTextClick(); });

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                              QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(91, 80, 66, 25);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        BitBtn1Click();
        accept();
    });

    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                              QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(169, 80, 66, 25);
    BitBtn2->setAutoDefault(false);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

void TRecRange::createExplanation() {
    Label1 = label(this, "Label1", 7, 122,
                   QStringLiteral("Explanation of record selection categories:"));
    Label1->setFont(pixelFont(QStringLiteral("MS Sans Serif"), 11, true));
    QPalette navy = Label1->palette();
    navy.setColor(QPalette::WindowText, kNavy);
    Label1->setPalette(navy);
    Label1->adjustSize();

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(5, 142, 306, 302);
    Memo1->setReadOnly(true);
    Memo1->setFocusPolicy(Qt::NoFocus);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QPalette face = Memo1->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    Memo1->setPalette(face);
    const QStringList explanation = recordSelectionExplanation();
    // Room for text inside the frame and the document's margins, less a pixel for the cursor.
    const int margin = 2 * static_cast<int>(Memo1->document()->documentMargin()) + 1;
    const QSize room = Memo1->contentsRect().size() - QSize(margin, margin);
    Memo1->setFont(fittingFont(Memo1->font(), explanation, room));
    Memo1->setPlainText(explanation.join(QLatin1Char('\n')));

    // "Confused?  Visit our On-line Help for more detail": each piece starts where the one
    // before ends, a blank apart, however wide the faces draw them.
    Label2 = label(this, "Label2", 17, 452, QStringLiteral("Confused?  Visit our "));
    const int linkLeft =
        Label2->x() + QFontMetrics(Label2->font()).horizontalAdvance(Label2->text());

    HomeLabel = label(this, "HomeLabel", linkLeft, 450, QStringLiteral("On-line Help"));
    QFont link = pixelFont(QStringLiteral("Arial"), 15, true);
    link.setUnderline(true);
    HomeLabel->setFont(link);
    QPalette blue = HomeLabel->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    HomeLabel->setPalette(blue);
    HomeLabel->setCursor(Qt::PointingHandCursor);
    HomeLabel->adjustSize();
    HomeLabel->installEventFilter(this);

    Label3 = label(this, "Label3", 0, 452, QStringLiteral("for more detail"));
    Label3->move(HomeLabel->x() + HomeLabel->width() +
                     QFontMetrics(Label3->font()).horizontalAdvance(QLatin1Char(' ')),
                 Label3->y());
}

int TRecRange::itemIndex() const {
    return RangeItems->checkedId();
}

void TRecRange::setItemIndex(int index) {
    if (QAbstractButton* item = RangeItems->button(index)) item->setChecked(true);
}

void TRecRange::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
    if (QAbstractButton* chosen = RangeItems->checkedButton()) chosen->setFocus();
}

void TRecRange::FormShow() {
    answers_.includeMemoMarker = 0;
}

void TRecRange::CheckBox1Click() {
    answers_.includeMemoMarker = CheckBox1->isChecked() ? 0 : kLeaveMemoOut;
}

void TRecRange::CheckTextClick() {
    answers_.textFormat = CheckText->isChecked();
}

void TRecRange::BitBtn1Click() {
    answers_.selectionKind = itemIndex();
}

void TRecRange::HomeLabelClick() {
    shell_.openUrl(platform::helpPageUrl(QString::fromLatin1(kReportHelpPage)).toString());
}

bool TRecRange::eventFilter(QObject* watched, QEvent* event) {
    if (watched == HomeLabel && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        HomeLabelClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace reports
