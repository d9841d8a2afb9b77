// Runs the program on a generated address book on a real display (run under xvfb-run) and
// saves pictures of the search question and the extended information window:
//
//   xvfb-run -s "-screen 0 1024x768x24" info_screenshots <folder>
//
// search-question.png (the item chooser asking for the search text), info-search.png (the
// window during a name-and-memo search, its Find dialog having found a match) and
// info-unwrapped.png (opened while the main memo does not wrap).

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <functional>

#include <platform/fakes.h>
#include <platform/form_style.h>

#include "address_book.h"
#include "entry_info_dialog.h"
#include "find_dialog.h"
#include "program.h"

namespace {

void save(QWidget& window, const QRect& area, const QString& file) {
    const QPixmap picture =
        window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (!picture.save(file)) std::fprintf(stderr, "cannot save %s\n", qPrintable(file));
}

// Once the modal window of type W is up: `prepare`, a pause for painting, the picture of
// `area(window)`, then `finish`.
template <typename W>
void whenUp(const std::function<void(W&)>& prepare, const std::function<QRect(W&)>& area,
            const QString& file, const std::function<void(W&)>& finish) {
    QTimer::singleShot(400, [=] {
        auto* window = qobject_cast<W*>(QApplication::activeModalWidget());
        if (window == nullptr) {
            std::fprintf(stderr, "no window for %s\n", qPrintable(file));
            return;
        }
        prepare(*window);
        QTimer::singleShot(400, window, [=] {
            save(*window, area(*window), file);
            finish(*window);
        });
    });
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    app::identifyApplication();
    platform::installFonts();
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    const QString book = out.filePath(QStringLiteral("book"));
    QDir().mkpath(book);
    store::GenerateOptions options;
    options.count = 200;
    store::generateAddressBook(QFile::encodeName(book).toStdString(), options);

    platform::FakePrompter prompter;
    platform::FakeShell shell;
    platform::FakeClipboard clipboard;
    platform::FakePhoneDialer dialer;
    app::Program program({prompter, shell, clipboard, dialer}, {{}, book});
    app::TZiDuv& window = program.ZiDuv;
    window.show();
    QCoreApplication::processEvents();

    const auto aroundDialog = [](QWidget& dialog) {
        return dialog.frameGeometry().adjusted(-10, -10, 10, 10);
    };
    whenUp<links::TBtnBottomDlg>(
        [](links::TBtnBottomDlg& dialog) { dialog.Edit1->setText(QStringLiteral("portland")); },
        [&](links::TBtnBottomDlg& dialog) { return aroundDialog(dialog); },
        out.filePath(QStringLiteral("search-question.png")),
        [](links::TBtnBottomDlg& dialog) { dialog.OKBtn->click(); });
    window.FindSpeed->click();

    whenUp<info::TInfo>(
        [](info::TInfo& info) {
            info.ButtonFindClick();
            info.FindDialog1Find();
        },
        [&](info::TInfo& info) {
            return aroundDialog(info).united(
                info.FindDialog1->frameGeometry().adjusted(0, 0, 10, 10));
        },
        out.filePath(QStringLiteral("info-search.png")),
        [](info::TInfo& info) { info.CloseButton->click(); });
    window.InfoSpeedClick();

    window.WrapButtonClick();
    whenUp<info::TInfo>([](info::TInfo&) {}, [&](info::TInfo& info) { return aroundDialog(info); },
                        out.filePath(QStringLiteral("info-unwrapped.png")),
                        [](info::TInfo& info) { info.CloseButton->click(); });
    window.InfoSpeedClick();
    return 0;
}
