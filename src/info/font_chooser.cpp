#include <info/font_chooser.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include <array>

namespace info {
namespace {

struct NamedColour {
    const char* name;
    QRgb value;
};

// The text colours desktop font dialogs have always offered, in their order.
constexpr std::array<NamedColour, 16> kTextColours = {{
    {"Black", 0x000000},
    {"Maroon", 0x800000},
    {"Green", 0x008000},
    {"Olive", 0x808000},
    {"Navy", 0x000080},
    {"Purple", 0x800080},
    {"Teal", 0x008080},
    {"Gray", 0x808080},
    {"Silver", 0xC0C0C0},
    {"Red", 0xFF0000},
    {"Lime", 0x00FF00},
    {"Yellow", 0xFFFF00},
    {"Blue", 0x0000FF},
    {"Fuchsia", 0xFF00FF},
    {"Aqua", 0x00FFFF},
    {"White", 0xFFFFFF},
}};

QIcon swatch(const QColor& colour) {
    QPixmap picture(16, 12);
    picture.fill(colour);
    return QIcon(picture);
}

// The font as the dialog's lists can show it: the face fontconfig really gives, its
// style, and the size in points (a form font is set in pixels).
QFont asOffered(const QFont& font) {
    const QFontInfo resolved(font);
    QFont offered(resolved.family());
    offered.setStyleName(resolved.styleName());
    offered.setPointSizeF(resolved.pointSizeF());
    offered.setWeight(static_cast<QFont::Weight>(resolved.weight()));
    offered.setItalic(resolved.italic());
    offered.setUnderline(font.underline());
    offered.setStrikeOut(font.strikeOut());
    return offered;
}

}  // namespace

FontColourDialog::FontColourDialog(const FontChoice& initial, QWidget* parent)
    : QDialog(parent), initialFont_(initial.font) {
    setObjectName(QStringLiteral("FontDialog1"));
    setWindowTitle(QStringLiteral("Font"));

    fontList = new QFontDialog(this);
    fontList->setObjectName(QStringLiteral("Fonts"));
    fontList->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    fontList->setWindowFlags(Qt::Widget);
    fontList->setSizeGripEnabled(false);
    fontList->installEventFilter(this);
    // Enter in its family and style lists makes the font lists close themselves: that
    // answers this dialog, and the lists stay where they are.
    connect(fontList, &QDialog::finished, this, [this](int result) {
        fontList->show();
        done(result);
    });
    fontList->setCurrentFont(asOffered(initial.font));
    offeredFont_ = fontList->currentFont();

    colourList = new QComboBox(this);
    colourList->setObjectName(QStringLiteral("Colours"));
    for (const NamedColour& named : kTextColours) {
        const QColor colour = QColor::fromRgb(named.value);
        colourList->addItem(swatch(colour), QString::fromLatin1(named.name), colour);
    }
    int at = colourList->findData(initial.colour.toRgb());
    if (at < 0 && initial.colour.isValid()) {
        colourList->insertItem(0, swatch(initial.colour), QStringLiteral("Custom"), initial.colour);
        at = 0;
    }
    colourList->setCurrentIndex(std::max(at, 0));
    auto* colourLabel = new QLabel(QStringLiteral("&Colour:"), this);
    colourLabel->setBuddy(colourList);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    // Said outright: the font lists' own hidden OK would otherwise be taken for the default.
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* colourRow = new QHBoxLayout;
    colourRow->addWidget(colourLabel);
    colourRow->addWidget(colourList);
    colourRow->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fontList);
    layout->addLayout(colourRow);
    layout->addWidget(buttons);

    connect(colourList, &QComboBox::currentIndexChanged, this, [this] { showColourInSample(); });
    showColourInSample();
}

FontChoice FontColourDialog::choice() const {
    const QFont shown = fontList->currentFont();
    return {shown == offeredFont_ ? initialFont_ : shown,
            colourList->currentData().value<QColor>()};
}

void FontColourDialog::showColourInSample() {
    // The sample line of Qt's dialog, when it has the name it has carried so far.
    auto* sample = fontList->findChild<QLineEdit*>(QStringLiteral("qt_fontDialog_sampleEdit"));
    if (sample == nullptr) return;
    QPalette palette = sample->palette();
    palette.setColor(QPalette::Text, colourList->currentData().value<QColor>());
    sample->setPalette(palette);
}

bool FontColourDialog::eventFilter(QObject* watched, QEvent* event) {
    // The font lists are a dialog of their own inside this one: Enter and Escape in them
    // answer this dialog.
    if (watched == fontList && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            accept();
            return true;
        }
        if (key == Qt::Key_Escape) {
            reject();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

std::optional<FontChoice> DesktopFontChooser::chooseFont(const FontChoice& initial,
                                                         QWidget* parent) {
    FontColourDialog dialog(initial, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.choice();
}

}  // namespace info
