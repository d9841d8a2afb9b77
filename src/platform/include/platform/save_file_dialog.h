#pragma once
// The file dialog for saving. It asks before replacing a file itself, with the file's name
// shown exactly as it is: Qt's own question shows the name as rich text, so a file named
// "<b>x</b>.pdf" would be shown as a bold "x.pdf".

#include <QFileDialog>

namespace platform {

class SaveFileDialog : public QFileDialog {
  public:
    explicit SaveFileDialog(QWidget* parent = nullptr, const QString& caption = {});

    // Whether to ask before replacing a file that exists (on unless turned off).
    void setConfirmOverwrite(bool on) { confirmOverwrite_ = on; }

  protected:
    void accept() override;

  private:
    bool confirmOverwrite_ = true;
};

}  // namespace platform
