#include <reports/record_selection_dialog.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

#include <algorithm>
#include <vector>

#include <platform/form_style.h>
#include <platform/form_widgets.h>
#include <platform/help_pages.h>
#include <platform/shell.h>

namespace reports {

namespace {

using platform::kNavy;
using platform::pixelFont;
using platform::plainLabel;
using platform::pushButton;
using platform::setTextColour;

constexpr int kClientWidth = 319;
constexpr int kClientHeight = 473;

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
        if (widest <= room.width() && metrics.lineSpacing() * lines.size() <= room.height()) break;
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

RecordSelectionDialog::RecordSelectionDialog(RecordSelection answers, platform::Shell& shell,
                                             QWidget* parent)
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

    setTabOrder(selectionItems->button(kCurrent), selectionItems->button(kRange));
    setTabOrder(selectionItems->button(kRange), selectionItems->button(kSelected));
    setTabOrder(selectionItems->button(kSelected), selectionItems->button(kAll));
    setTabOrder(selectionItems->button(kAll), okButton);
    setTabOrder(okButton, cancelButton);
    setTabOrder(cancelButton, includeMemoCheck);
    setTabOrder(includeMemoCheck, textFormatCheck);

    platform::centreOnScreen(*this);
}

void RecordSelectionDialog::createRangeGroup() {
    selectionGroup = new QGroupBox(QStringLiteral(" Records to include in review/printout:"), this);
    selectionGroup->setObjectName(QStringLiteral("RangeGroup"));
    selectionGroup->setGeometry(6, 5, 308, 42);
    selectionGroup->setFont(pixelFont(QStringLiteral("MS Sans Serif"), 15));
    selectionGroup->setToolTip(QStringLiteral("See explanation below"));

    selectionItems = new QButtonGroup(selectionGroup);
    selectionItems->setObjectName(QStringLiteral("RangeItems"));
    const QStringList items = {QStringLiteral("Current"), QStringLiteral("Range"),
                               QStringLiteral("Selected"), QStringLiteral("All")};
    // Four columns across the group; each as wide as its item needs, the room left over
    // shared out between them, so that no caption is cut.
    std::vector<QRadioButton*> made;
    int needed = 0;
    for (int index = 0; index < items.size(); ++index) {
        auto* item = new QRadioButton(items[index], selectionGroup);
        item->setObjectName(QStringLiteral("RangeItem%1").arg(index));
        selectionItems->addButton(item, index);
        made.push_back(item);
        needed += item->sizeHint().width();
    }
    constexpr int kInnerLeft = 8;
    constexpr int kItemTop = 19;
    const int room = selectionGroup->width() - 2 * kInnerLeft;
    const int gap = std::max(0, (room - needed) / static_cast<int>(made.size() - 1));
    int left = kInnerLeft;
    for (QRadioButton* item : made) {
        const int width = item->sizeHint().width();
        item->setGeometry(left, kItemTop, width, 20);
        left += width + gap;
    }
    chooseKind(kAll);
}

void RecordSelectionDialog::createButtons() {
    includeMemoCheck = new QCheckBox(QStringLiteral("include Memo field"), this);
    includeMemoCheck->setObjectName(QStringLiteral("CheckBox1"));
    includeMemoCheck->setGeometry(20, 52, 130, 17);
    includeMemoCheck->setToolTip(QStringLiteral("Include Memo (Note) in report/printout"));
    includeMemoCheck->setChecked(true);
    connect(includeMemoCheck, &QCheckBox::toggled, this, [this] { takeMemoChoice(); });

    textFormatCheck = new QCheckBox(QStringLiteral("Format for Text Output"), this);
    textFormatCheck->setObjectName(QStringLiteral("CheckText"));
    textFormatCheck->setGeometry(159, 52, 151, 17);
    textFormatCheck->setToolTip(QStringLiteral("No left margin or page header"));
    textFormatCheck->setChecked(false);
    connect(textFormatCheck, &QCheckBox::toggled, this, [this] { takeTextFormatChoice(); });

    okButton = pushButton(this, "BitBtn1", QStringLiteral("OK"), QRect(91, 80, 66, 25),
                          style()->standardIcon(QStyle::SP_DialogOkButton));
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, [this] {
        takeChosenKind();
        accept();
    });

    cancelButton = pushButton(this, "BitBtn2", QStringLiteral("Cancel"), QRect(169, 80, 66, 25),
                              style()->standardIcon(QStyle::SP_DialogCancelButton));
    cancelButton->setAutoDefault(false);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void RecordSelectionDialog::createExplanation() {
    explanationCaption = plainLabel(
        this, "Label1", QStringLiteral("Explanation of record selection categories:"), {7, 122});
    explanationCaption->setFont(pixelFont(QStringLiteral("MS Sans Serif"), 11, true));
    setTextColour(explanationCaption, kNavy);
    explanationCaption->adjustSize();

    explanationText = new QPlainTextEdit(this);
    explanationText->setObjectName(QStringLiteral("Memo1"));
    explanationText->setGeometry(5, 142, 306, 302);
    explanationText->setReadOnly(true);
    explanationText->setFocusPolicy(Qt::NoFocus);
    explanationText->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QPalette face = explanationText->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    explanationText->setPalette(face);
    const QStringList explanation = recordSelectionExplanation();
    // Room for text inside the frame and the document's margins, less a pixel for the cursor.
    const int margin = 2 * static_cast<int>(explanationText->document()->documentMargin()) + 1;
    const QSize room = explanationText->contentsRect().size() - QSize(margin, margin);
    explanationText->setFont(fittingFont(explanationText->font(), explanation, room));
    explanationText->setPlainText(explanation.join(QLatin1Char('\n')));

    // "Confused?  Visit our On-line Help for more detail": each piece starts where the one
    // before ends, a blank apart, however wide the faces draw them.
    helpLinkLead = plainLabel(this, "Label2", QStringLiteral("Confused?  Visit our "), {17, 452});
    const int linkLeft = helpLinkLead->x() +
                         QFontMetrics(helpLinkLead->font()).horizontalAdvance(helpLinkLead->text());

    helpLink = plainLabel(this, "HomeLabel", QStringLiteral("On-line Help"), {linkLeft, 450});
    QFont link = pixelFont(QStringLiteral("Arial"), 15, true);
    link.setUnderline(true);
    helpLink->setFont(link);
    setTextColour(helpLink, Qt::blue);
    helpLink->setCursor(Qt::PointingHandCursor);
    helpLink->adjustSize();
    helpLink->installEventFilter(this);

    helpLinkTail = plainLabel(this, "Label3", QStringLiteral("for more detail"), {0, 452});
    helpLinkTail->move(helpLink->x() + helpLink->width() +
                           QFontMetrics(helpLinkTail->font()).horizontalAdvance(QLatin1Char(' ')),
                       helpLinkTail->y());
}

int RecordSelectionDialog::chosenKind() const {
    return selectionItems->checkedId();
}

void RecordSelectionDialog::chooseKind(int index) {
    if (QAbstractButton* item = selectionItems->button(index)) item->setChecked(true);
}

void RecordSelectionDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    startWithMemoIncluded();
    if (QAbstractButton* chosen = selectionItems->checkedButton()) chosen->setFocus();
}

void RecordSelectionDialog::startWithMemoIncluded() {
    answers_.includeMemo = true;
}

void RecordSelectionDialog::takeMemoChoice() {
    answers_.includeMemo = includeMemoCheck->isChecked();
}

void RecordSelectionDialog::takeTextFormatChoice() {
    answers_.textFormat = textFormatCheck->isChecked();
}

void RecordSelectionDialog::takeChosenKind() {
    answers_.kind = static_cast<SelectionKind>(chosenKind());
}

void RecordSelectionDialog::showHelp() {
    shell_.openUrl(platform::helpPageUrl(QString::fromLatin1(kReportHelpPage)).toString());
}

bool RecordSelectionDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == helpLink && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        showHelp();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace reports
