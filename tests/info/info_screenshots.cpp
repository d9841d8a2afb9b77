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

#include <app/program.h>
#include <info/entry_info_dialog.h>
#include <info/find_dialog.h>
#include <store/address_book.h>

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
    app::MainWindow& window = program.mainWindow;
    window.show();
    QCoreApplication::processEvents();

    const auto aroundDialog = [](QWidget& dialog) {
        return dialog.frameGeometry().adjusted(-10, -10, 10, 10);
    };
    whenUp<links::ItemChooser>(
        [](links::ItemChooser& dialog) { dialog.answerEdit->setText(QStringLiteral("portland")); },
        [&](links::ItemChooser& dialog) { return aroundDialog(dialog); },
        out.filePath(QStringLiteral("search-question.png")),
        [](links::ItemChooser& dialog) { dialog.okButton->click(); });
    window.searchButton->click();

    whenUp<info::EntryInfoDialog>(
        [](info::EntryInfoDialog& info) {
            info.openFindDialog();
            info.findNextInMemo();
        },
        [&](info::EntryInfoDialog& info) {
            return aroundDialog(info).united(
                info.findDialog->frameGeometry().adjusted(0, 0, 10, 10));
        },
        out.filePath(QStringLiteral("info-search.png")),
        [](info::EntryInfoDialog& info) { info.closeButton->click(); });
    window.showEntryInformation();

    window.toggleMemoWordWrap();
    whenUp<info::EntryInfoDialog>([](info::EntryInfoDialog&) {},
                                  [&](info::EntryInfoDialog& info) { return aroundDialog(info); },
                                  out.filePath(QStringLiteral("info-unwrapped.png")),
                                  [](info::EntryInfoDialog& info) { info.closeButton->click(); });
    window.showEntryInformation();
    return 0;
}
