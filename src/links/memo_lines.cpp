#include <links/memo_lines.h>

#include <QAbstractTextDocumentLayout>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

namespace links {

QStringList memoLines(const QPlainTextEdit& memo, bool wrapped) {
    QStringList lines;
    const QTextDocument* document = memo.document();
    QAbstractTextDocumentLayout* layout = document->documentLayout();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        QString text = block.text();
        // A CR kept from a CR LF memo is not part of the line.
        if (text.endsWith(u'\r')) text.chop(1);
        if (!wrapped) {
            lines << text;
            continue;
        }
        // Blocks out of sight are laid out only when asked; this asks.
        layout->blockBoundingRect(block);
        const QTextLayout* blockLayout = block.layout();
        if (blockLayout == nullptr || blockLayout->lineCount() <= 1) {
            lines << text;
            continue;
        }
        for (int i = 0; i < blockLayout->lineCount(); ++i) {
            const QTextLine line = blockLayout->lineAt(i);
            lines << text.mid(line.textStart(), line.textLength());
        }
    }
    return lines;
}

}  // namespace links
