#pragma once
// A small modeless Find dialog: the text to look for, Find Next and Cancel. Each Find
// Next (the button, or Enter in the box) asks the owner for the next match; the owner
// decides where to look and what to do when there is none. The dialog stays open until
// the user cancels it or the owner closes it.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace info {

class FindDialog : public QDialog {
    Q_OBJECT
  public:
    explicit FindDialog(QWidget* parent = nullptr);

    QString findText() const;
    void setFindText(const QString& text);

    QLabel* findCaption;
    QLineEdit* findEdit;
    QPushButton* findNextButton;
    QPushButton* cancelButton;

  signals:
    // The user asks for the next match of findText().
    void findNext();
};

}  // namespace info
