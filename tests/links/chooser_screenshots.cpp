// Shows the item chooser in its three shapes on a real display (run under xvfb-run) and
// saves a picture of the screen area around it for each:
//
//   xvfb-run -s "-screen 0 800x600x24" chooser_screenshots <folder>
//
// nothing-found.png (phone, nothing found), one-item.png (a web address with its memo
// lines), several-email.png (three addresses, send to all and bcc, list dropped down).

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFont>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <functional>

#include <links/item_chooser.h>
#include <platform/fakes.h>
#include <platform/form_style.h>

namespace {

// Once the dialog is up and `prepare` has run, waits a moment for painting, saves the
// screen around the dialog (with room below for a dropped-down list) and cancels.
void shoot(links::ItemChooser& dialog, int count, links::ItemKind kind, const QString& file,
           const std::function<void(links::ItemChooser&)>& prepare = {}) {
    QTimer::singleShot(300, &dialog, [&dialog, file, prepare] {
        if (prepare) prepare(dialog);
        QTimer::singleShot(300, &dialog, [&dialog, file] {
            const QRect area = dialog.frameGeometry().adjusted(-10, -10, 10, 10);
            QScreen* screen = dialog.screen();
            const QPixmap picture =
                screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
            if (!picture.save(file)) std::fprintf(stderr, "cannot save %s\n", qPrintable(file));
            dialog.itemCombo->hidePopup();
            dialog.cancelButton->click();
        });
    });
    dialog.choose(count, kind);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    platform::setApplicationTitle(QStringLiteral("Marigold Cardhold"));
    platform::installFonts();
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());

    platform::FakePrompter prompter;
    platform::FakeShell shell;
    platform::FakeClipboard clipboard;
    links::ItemChooser dialog(prompter, shell, clipboard);

    dialog.setItems({}, false);
    shoot(dialog, 0, links::ItemKind::Phone, folder.filePath(QStringLiteral("nothing-found.png")));

    dialog.setItems({QStringLiteral("www.marigold-garden.example/catalogue.html")}, true,
                    {QStringLiteral("Garden centre, open 9-5")},
                    {QStringLiteral("Site: www.marigold-garden.example/catalogue.html, more")});
    shoot(dialog, 1, links::ItemKind::Web, folder.filePath(QStringLiteral("one-item.png")));

    dialog.sendAsBccCheck->setChecked(false);
    dialog.sendAsBccCheck->setEnabled(false);
    dialog.sendAsBccCheck->show();
    dialog.setItems({QStringLiteral("club@marigold.example"), QStringLiteral("jo@home.example"),
                     QStringLiteral("sam.smith@work.example")},
                    false);
    shoot(dialog, 3, links::ItemKind::Email, folder.filePath(QStringLiteral("several-email.png")),
          [](links::ItemChooser& d) {
              d.optionCheck->click();
              d.sendAsBccCheck->click();
          });
    return 0;
}
