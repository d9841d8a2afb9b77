#pragma once
// Hands URLs and files to the desktop's default programs. Nothing goes through a command
// shell: the desktop (xdg-open on Linux) receives the URL as one argument.

#include <QString>

class QFileInfo;

namespace platform {

class Prompter;

class Shell {
  public:
    virtual ~Shell() = default;

    // A URL ("mailto:", "http://", "ftp://", "file:", "tel:", ...) or a memo item. An item
    // starting "www." is opened as "http://" + item; a text without a scheme is a file name.
    // Returns whether the desktop took the request.
    virtual bool openUrl(const QString& address) = 0;

    // A local file, opened with the program its type is associated with. "~/" at the start
    // is the home folder. A missing file is not handed over.
    virtual bool openFile(const QString& path) = 0;
};

// The address as the desktop must receive it: "www." items get "http://" in front.
QString withWebScheme(const QString& address);

// Whether opening the file would start a program: an executable file or a launcher.
bool startsProgram(const QFileInfo& file);

// The question asked before such a file is opened.
QString runProgramQuestion(const QString& path);

class DesktopShell : public Shell {
  public:
    explicit DesktopShell(Prompter& prompter);

    bool openUrl(const QString& address) override;
    bool openFile(const QString& path) override;

  private:
    Prompter& prompter_;
};

}  // namespace platform
